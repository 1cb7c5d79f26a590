#!/usr/bin/env bash
# The main job: a payment against the built-in simulated terminal.
set -euo pipefail
BUILD_DIR="${1:-build}"
if [ -x "$BUILD_DIR/tools/demo/veltrix-demo" ]; then
  exec "$BUILD_DIR/tools/demo/veltrix-demo"
fi
echo "VeltrixConnect built. The demo (a payment against the simulated terminal) arrives with the first end-to-end payment."
