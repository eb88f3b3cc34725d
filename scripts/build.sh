#!/usr/bin/env bash
# Configures and builds the project into build/ (or $ORBELLE_BUILD_DIR). Extra args go to cmake.
# $ORBELLE_BUILD_TARGETS (names separated by spaces) builds only those targets and what they need.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBELLE_BUILD_DIR:-$root/build}
read -r -a targets <<<"${ORBELLE_BUILD_TARGETS:-}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" ${targets[@]+--target "${targets[@]}"}
