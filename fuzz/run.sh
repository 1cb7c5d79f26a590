#!/usr/bin/env bash
# Builds the decoders' fuzz targets with clang and runs each one for a short,
# bounded time, seeded with the golden messages of the decoder tests.
#   FUZZ_SECONDS  seconds per target (default 10)
#   FUZZ_BUILD_DIR build directory (default build-fuzz)
#   JOBS          parallel build jobs (default 3)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v clang++ > /dev/null 2>&1; then
  echo "fuzz: clang++ not found; the fuzz targets are not built"
  exit 0
fi

build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-10}

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$build" -j "${JOBS:-3}"

for target in "$build"/*_fuzz; do
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name (${seconds}s)"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -dict="$root/fuzz/casp.dict" "$corpus" "$root/tests/codec/fixtures"
done
