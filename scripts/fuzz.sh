#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target name ...]
# Targets: the folders of tests/fuzz/corpus (all when none is named).
# New inputs go to build-fuzz/corpus/<target> (seeded from tests/fuzz/corpus/<target>); a crash,
# hang or failed property is written to build-fuzz/findings/<target>/ and the script fails: copy the
# file to tests/fuzz/regressions/<target>/ once it is fixed, so that the tests replay it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=${ORBELLE_FUZZ_BUILD_DIR:-$root/build-fuzz}
"$root/scripts/install-deps.sh" --fuzz
cmake -S "$root" -B "$build" -DORBELLE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=()
  for dir in "$root"/tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
cmake --build "$build" -j"${ORBELLE_FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp"
failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "fuzz: $target for ${seconds}s"
  # One process: the machine is shared. -timeout turns a hang into a finding; -rss_limit_mb
  # a runaway allocation.
  if ! "$build/bin/fuzz_$target" "$corpus" "$root/tests/fuzz/corpus/$target" "$root/tests/fuzz/regressions/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$findings/" -print_final_stats=1 2>"$build/$target.log"; then
    failed+=("$target")
    echo "fuzz: $target FOUND A FAULT; see $build/$target.log and $findings/" >&2
  fi
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE" "$build/$target.log" || true
done
[[ ${#failed[@]} -eq 0 ]] || { echo "fuzz: faults in ${failed[*]}" >&2; exit 1; }
echo "fuzz: no faults in ${targets[*]}"
