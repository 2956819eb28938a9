#!/usr/bin/env bash
# The main job: installs what is missing and builds quorvel.dll.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" windows
echo "built: ${QUORVEL_BUILD_ROOT:-$root/build}/windows"
