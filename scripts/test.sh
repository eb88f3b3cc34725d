#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under a virtual X display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBELLE_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" --test
"$root/scripts/build.sh" -DORBELLE_TESTS=ON
export SDL_AUDIODRIVER=dummy
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 300 "$@"
