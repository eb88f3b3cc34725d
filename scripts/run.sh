#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer from the folder that holds its data.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DORBELLE_TESTS=OFF
cd "${ORBELLE_BUILD_DIR:-$root/build}/bin"
exec ./orbelle-player
