#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a short, bounded
# time. The decoders are seeded with the golden messages of the decoder
# tests, the other parsers with fuzz/corpus/<Target>; each format has its
# dictionary in fuzz/dict. A finding is kept in <build>/findings and makes
# the script fail once every target has run.
#   FUZZ_SECONDS   seconds per target (default 5)
#   FUZZ_TARGETS   regular expression of the targets to run (default all)
#   FUZZ_BUILD_DIR build directory (default build-fuzz)
#   JOBS           parallel build jobs (default 3)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v clang++ > /dev/null 2>&1; then
  echo "fuzz: clang++ not found (scripts/deps.sh fuzz installs it)" >&2
  exit 1
fi

build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-5}
pattern=${FUZZ_TARGETS:-.}

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > /dev/null
cmake --build "$build" -j "${JOBS:-3}"

failed=()
mkdir -p "$build/findings"
for target in "$build"/*_fuzz; do
  name=$(basename "$target" _fuzz)
  [[ $name =~ $pattern ]] || continue
  snake=$(sed -E 's/([a-z])([A-Z])/\1_\2/g' <<< "$name" | tr '[:upper:]' '[:lower:]')
  seeds=("$root/fuzz/corpus/$name")
  dict="$root/fuzz/dict/$snake.dict"
  if [ ! -d "${seeds[0]}" ]; then
    # The message decoders and the notification body read casp messages.
    seeds=("$root/tests/codec/fixtures")
    dict="$root/fuzz/dict/casp.dict"
  fi
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name (${seconds}s)"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$name-" -dict="$dict" "$corpus" "${seeds[@]}"; then
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $build/findings)" >&2
  exit 1
fi
