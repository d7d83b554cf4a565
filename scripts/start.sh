#!/usr/bin/env bash
# Builds Dravik and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build" >/dev/null
exec "$root/build/bin/dravik.bin"
