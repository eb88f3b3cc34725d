#!/usr/bin/env bash
# Builds with a sanitizer and runs the tests that touch threads and parsing under it.
# Usage: scripts/sanitize.sh thread|address [ctest -R regex]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?thread or address}
filter=${2:-'Movie|Media|dshow|DShow|Texture|Loader|Ogg|Sound|Registry|DMusic|Font|Input|Moire'}
build=$root/build-$kind
"$root/scripts/install-deps.sh" --test
ORBELLE_BUILD_DIR=$build "$root/scripts/build.sh" -DORBELLE_SANITIZE="$kind"
export SDL_AUDIODRIVER=dummy
export TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp halt_on_error=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp"
# Full unwinding on malloc, so that the load-time suppression sees the loader under GLib.
# Full unwinding on malloc lets the GLib start-up suppression match for the media tests, but it
# deadlocks inside libgcc's unwinder when llvmpipe registers JIT code: opt in per run, e.g.
#   ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 scripts/sanitize.sh address 'Movie|Media|FilterGraph'
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 600 -R "$filter"
