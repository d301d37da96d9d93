#!/bin/bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
ctest --test-dir "${VQ_BUILD_DIR:-$root/build}" --output-on-failure -j2
