#!/usr/bin/env bash
# Builds Dravik and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVIK_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build" "$@"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
