#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything with warnings as errors, runs
# every test under a virtual X display, then the media tests under ThreadSanitizer (in
# build-thread/, which builds only their programs). Arguments go to the main ctest run (e.g. -R
# regex). Every step runs even when an earlier one failed (except a failed build), so that one run
# shows all that is wrong; the command fails when any step did.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBELLE_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" --test
failed=()

"$root/scripts/check-format.sh" || failed+=("formatting (fix with: bash scripts/format.sh)")

"$root/scripts/build.sh" -DORBELLE_TESTS=ON -DORBELLE_WERROR=ON
export SDL_AUDIODRIVER=dummy
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 300 "$@") ||
  failed+=("tests")

# The media tests run GStreamer pipelines, worker processes and frame hand-over across threads:
# every test of their programs, where a ThreadSanitizer report fails the test.
"$root/scripts/sanitize.sh" thread '' test_media test_dshow test_worker || failed+=("media tests under ThreadSanitizer")

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "test: FAILED: $(IFS=';'; echo "${failed[*]}")" >&2
  exit 1
fi
echo "test: formatting, tests and media tests under ThreadSanitizer passed"
