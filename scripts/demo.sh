#!/usr/bin/env bash
# The main job: a payment, a refund of it and a reconciliation through the
# library against the simulated terminal, which the demo starts in its own
# process on loopback, a payment over Bluetooth LE, and a payment picked on
# the scan screen, whose pictures it writes. Each run uses a fresh temporary
# data directory, which also receives the pictures.
set -euo pipefail
BUILD_DIR="${1:-build}"
CLI="$BUILD_DIR/tools/cli/veltrix-cli"
if [ ! -x "$CLI" ]; then
  echo "veltrix-cli is not built in $BUILD_DIR (run: make build)" >&2
  exit 1
fi
exec "$CLI" demo
