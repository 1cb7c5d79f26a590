#!/usr/bin/env bash
# The library as an application uses it: installs the build into a fresh
# prefix, builds tests/consumer/pay.cpp against it once with find_package and
# once with pkg-config, installs both programs into the prefix and runs each
# for one payment against tavio-sim on loopback.
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
# shellcheck disable=SC2086  # the flags are words
c++ -std=c++20 "$here/pay.cpp" -o "$prefix/bin/pay-pc" $flags

# A shared library installed outside the loader's folders is found as an
# application would find it there (nothing is built with a run path).
libdir=$(dirname "$pc_dir")
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

for program in pay pay-pc; do
  echo "== $program $address"
  out=$(cd "$work" && timeout 60 "$prefix/bin/$program" "$address")
  echo "$out" | head -n 3
  echo "$out" | grep -q '^result 0 ' || { echo "$program: no approved result"; exit 1; }
  # Installed programs find the installed resources, not the source tree's.
  echo "$out" | grep -qx "resources $prefix/share/veltrix" \
    || { echo "$program: resources not found in the prefix"; exit 1; }
done
echo "consumer: both builds paid"
