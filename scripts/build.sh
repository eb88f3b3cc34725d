#!/usr/bin/env bash
# Configures and builds the project into build/ (or $ORBELLE_BUILD_DIR). Extra args go to cmake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBELLE_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
