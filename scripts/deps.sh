#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with.
# Idempotent: quick when everything is present; refreshes the package
# index only when something is missing.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build make pkg-config git clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libcurl4-openssl-dev libasio-dev nlohmann-json3-dev
  libssl-dev libfmt-dev libicu-dev libqrencode-dev
  libcairo2-dev libpango1.0-dev libpng-dev fonts-dejavu-core fonts-wqy-microhei
  libzbar-dev iproute2 sqlite3
)

# `deps.sh fuzz`: also clang and its fuzzer and sanitizer runtimes.
if [ "${1:-}" = "fuzz" ]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
