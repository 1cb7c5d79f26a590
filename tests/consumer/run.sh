#!/usr/bin/env bash
# The library as an application uses it: installs the build into a fresh
# prefix, builds tests/consumer/pay.cpp against it once with find_package and
# once with pkg-config, installs both programs into the prefix and runs each
# for one payment against tavio-sim on loopback. Then the README's recipe,
# where the library is installed into the prefix it was configured with: the
# programs, run from where they were built, find the resources there with the
# source tree out of reach; with no resources anywhere the log says where
# the library looked; VELTRIX_RESOURCE_DIR finds a moved copy. Exits 77
# (skipped) after the other checks when no mount namespace can be had.
#   run.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(realpath "$(mktemp -d)")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The README shows pay.cpp as its example: the two must not drift apart.
sed -n '/^<!-- example: tests\/consumer\/pay.cpp -->$/,/^<!-- end of example -->$/p' \
  "$here/../../README.md" | sed '1,2d;$d' | sed '$d' > "$work/readme-example.cpp"
diff -u "$here/pay.cpp" "$work/readme-example.cpp" \
  || { echo "README's example differs from tests/consumer/pay.cpp"; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

echo "== headers"
# Every installed header compiles on its own, from the prefix alone.
find "$prefix/include" -name '*.h' | sort | while read -r header; do
  echo "#include \"${header#"$prefix/include/"}\""
done > "$work/headers.cpp"
echo "installed headers: $(wc -l < "$work/headers.cpp")"
# shellcheck disable=SC2046  # the flags are words
c++ -std=c++20 -fsyntax-only -I"$prefix/include" $(pkg-config --cflags fmt nlohmann_json) \
  "$work/headers.cpp"

echo "== find_package"
cmake -S "$here" -B "$work/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" > "$work/configure.log"
cmake --build "$work/cmake-build" > "$work/build.log"
cmake --install "$work/cmake-build" > /dev/null

echo "== pkg-config"
pc_dir=$(dirname "$(find "$prefix" -name veltrix.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs veltrix)
mkdir "$work/pc-build"
# shellcheck disable=SC2086  # the flags are words
c++ -std=c++20 "$here/pay.cpp" -o "$work/pc-build/pay-pc" $flags
cp "$work/pc-build/pay-pc" "$prefix/bin/pay-pc"

# A shared library installed outside the loader's folders is found as an
# application would find it there (nothing is built with a run path).
libdir=$(dirname "$pc_dir")
system_library_path=${LD_LIBRARY_PATH:-}
export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

"$prefix/bin/tavio-sim" --http 127.0.0.1:0 > "$work/sim.log" 2>&1 &
sim_pid=$!
address=""
for _ in $(seq 1 100); do
  address=$(sed -n 's|^tavio-sim listening on http://\([0-9.:]*\).*|\1|p' "$work/sim.log")
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { echo "tavio-sim did not start"; cat "$work/sim.log"; exit 1; }

# Outputs are read from here-strings, not pipes: a reader that stops early
# (head, grep -q) can break the pipe while the writer is still at it, which
# pipefail counts as a failure on a busy machine.
for program in pay pay-pc; do
  echo "== $program $address"
  out=$(cd "$work" && timeout 60 "$prefix/bin/$program" "$address")
  head -n 3 <<< "$out"
  grep -q '^result 0 ' <<< "$out" || { echo "$program: no approved result"; exit 1; }
  # Installed programs find the installed resources, not the source tree's.
  grep -qx "resources $prefix/share/veltrix" <<< "$out" \
    || { echo "$program: resources not found in the prefix"; exit 1; }
done
echo "consumer: both builds paid"

# The README's recipe installs into the prefix the build was configured with;
# this build's is the system's, so a private mount namespace puts the test
# prefix there and an empty folder over the source tree's resources. Inside
# it the library sees what it would after that recipe, with the source tree
# gone.
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")
source_resources="$(sed -n 's/^CMAKE_HOME_DIRECTORY:[A-Z]*=//p' "$build/CMakeCache.txt")/resources"
datadir=$(dirname "$(find "$prefix" -name tavio-services.plist | head -n 1)")
installed_resources="$configured/${datadir#"$prefix/"}"
mkdir "$work/empty"
namespace=()
skipped=""
if [ "$configured" = / ] || [ "$configured" = /usr ] || [ ! -d "$configured" ]; then
  # Covering / or /usr would hide the programs' own libraries.
  skipped="the configured prefix $configured cannot be covered by the test prefix"
else
  for candidate in "unshare -m" "unshare -rm"; do
    read -r -a try <<< "$candidate"
    if "${try[@]}" mount --bind "$work/empty" "$source_resources" 2>/dev/null; then
      namespace=("${try[@]}")
      break
    fi
  done
  [ ${#namespace[@]} -gt 0 ] || skipped="no mount namespace (unshare -m, unshare -rm) here"
fi

# Runs a command there; with `hide-installed` first, the installed resources
# are covered too.
isolated() {
  local mounts=("$work/empty" "$source_resources" "$prefix" "$configured")
  if [ "$1" = hide-installed ]; then
    mounts+=("$work/empty" "$installed_resources")
    shift
  fi
  # shellcheck disable=SC2016  # expanded by the inner shell
  LD_LIBRARY_PATH="$configured/${libdir#"$prefix/"}${system_library_path:+:$system_library_path}" \
    "${namespace[@]}" bash -c \
    'while [ "$1" != -- ]; do mount --bind "$1" "$2"; shift 2; done; shift; exec "$@"' \
    isolated "${mounts[@]}" -- "$@"
}

if [ -z "$skipped" ]; then
  for program in "$work/cmake-build/pay" "$work/pc-build/pay-pc"; do
    echo "== $program, library installed into $configured, no source tree"
    out=$(cd "$work" && isolated timeout 60 "$program" "$address")
    grep -q '^result 0 ' <<< "$out" || { echo "$program: no approved result"; exit 1; }
    grep -qx "resources $installed_resources" <<< "$out" \
      || { echo "$program: resources not found in the configured prefix: $out"; exit 1; }
  done

  echo "== no resources anywhere"
  out=$(cd "$work" && VELTRIX_LOG=stderr isolated hide-installed \
    timeout 60 "$work/cmake-build/pay" "$address" 2> "$work/no-resources.log") || true
  grep -qx "resources resources" <<< "$out" \
    || { echo "pay: unexpected resources: $out"; exit 1; }
  notice=$(grep 'No resources (artwork, services list) found; looked in: ' "$work/no-resources.log" \
    || true)
  echo "$notice"
  [ "$(echo "$notice" | grep -c .)" = 1 ] || { echo "pay: not one line naming where it looked"; exit 1; }
  for place in "$source_resources" "$installed_resources" VELTRIX_RESOURCE_DIR; do
    [[ "$notice" == *"$place"* ]] || { echo "pay: the line does not name $place"; exit 1; }
  done
fi

echo "== VELTRIX_RESOURCE_DIR"
cp -r "$datadir" "$work/moved"
out=$(cd "$work" && VELTRIX_RESOURCE_DIR="$work/moved" timeout 60 "$work/cmake-build/pay" "$address")
grep -q '^result 0 ' <<< "$out" || { echo "pay: no approved result"; exit 1; }
grep -qx "resources $work/moved" <<< "$out" \
  || { echo "pay: VELTRIX_RESOURCE_DIR not used: $out"; exit 1; }

if [ -n "$skipped" ]; then
  echo "SKIPPED the README's recipe without the source tree: $skipped"
  exit 77
fi
echo "consumer: the README's recipe finds its resources"
