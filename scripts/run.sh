#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer; arguments go to it (e.g. a file to open).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DORBELLE_TESTS=OFF
exec "${ORBELLE_BUILD_DIR:-$root/build}/bin/orbelle-player" "$@"
