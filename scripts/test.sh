#!/usr/bin/env bash
# Builds Dravik and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVIK_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build" "$@"
# One more test than cores: many tests wait on real time (dials, the
# NetworkManager testbed, real windows) rather than on the processor.
ctest --test-dir "$build" --output-on-failure -j"$(($(nproc) + 1))"
