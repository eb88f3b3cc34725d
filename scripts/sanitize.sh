#!/usr/bin/env bash
# Builds with a sanitizer and runs the tests that touch threads and parsing under it.
# Usage: scripts/sanitize.sh thread|address [ctest -R regex [build target ...]]
# Build targets, when named, are all that is built (with what they need): the regex should then
# pick only their tests, since a test program that is not built fails as "<target>_NOT_BUILT". An
# empty regex with targets runs every test of those test programs, e.g. the media tests:
#   scripts/sanitize.sh thread '' test_media test_dshow
# A ThreadSanitizer report fails the test it came from: the test goes on after a report
# (halt_on_error=0, so that one run shows all of them) and its program then exits with 66.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?thread or address}
targets=("${@:3}")
filter=${2-'Movie|Media|dshow|DShow|Texture|Loader|Ogg|Sound|Registry|DMusic|Font|Input|Moire'}
[[ -n $filter || ${#targets[@]} -gt 0 ]] || { echo "sanitize: an empty regex needs build targets" >&2; exit 2; }
build=$root/build-$kind
"$root/scripts/install-deps.sh" --test
ORBELLE_BUILD_DIR=$build ORBELLE_BUILD_TARGETS="${targets[*]}" "$root/scripts/build.sh" -DORBELLE_SANITIZE="$kind"
export SDL_AUDIODRIVER=dummy
# GLib 2.74 keeps freed blocks in per-thread magazines and hands them to another thread without a
# lock ThreadSanitizer can see (a GstBuffer made again at the same address reads as a race): plain
# malloc, which the sanitizers track.
export G_SLICE=always-malloc
export TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp halt_on_error=0 exitcode=66"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp"
# Full unwinding on malloc lets the GLib start-up suppression match for the media tests, but it
# deadlocks inside libgcc's unwinder when llvmpipe registers JIT code: opt in per run, e.g.
#   ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 scripts/sanitize.sh address 'Movie|Media|FilterGraph'
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
if [[ -z $filter ]]; then
  # The test suites the programs hold (gtest lists "Suite." lines, each followed by its cases).
  suites=$(for t in "${targets[@]}"; do "$build/tests/$t" --gtest_list_tests; done |
    sed -nE 's/^([^ #][^ ]*)\.( .*)?$/\1/p' | sort -u | paste -sd'|')
  [[ -n $suites ]] || { echo "sanitize: no tests in ${targets[*]}" >&2; exit 1; }
  filter="^($suites)\\."
fi
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --no-tests=error -j2 --timeout 600 -R "$filter"
