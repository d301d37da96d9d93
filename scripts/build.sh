#!/bin/bash
# Configures and builds into build/ (Ninja, two jobs). Extra arguments go to
# the build step, e.g. "--target vqwizard".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VQ_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja ${VQ_CMAKE_ARGS:-}
cmake --build "$build" -j2 "$@"
