#!/usr/bin/env bash
# Checks that every C and C++ file of the project is formatted as the repository's .clang-format
# says; lists the files that are not and fails. Changes nothing (scripts/format.sh does).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# Formatting differs between clang-format releases: the one .clang-format was written for first.
format=${CLANG_FORMAT:-$(command -v clang-format-14 || command -v clang-format || true)}
[[ -n $format ]] || { echo "check-format: clang-format not found (scripts/install-deps.sh --test installs it)" >&2; exit 2; }
mapfile -t files < <("$root/scripts/source-files.sh")
[[ ${#files[@]} -gt 0 ]] || { echo "check-format: no source files found" >&2; exit 2; }

# One run over all files; a file that needs changes yields "<file>:<line>:<col>: error: code should
# be clang-formatted". Any other failure (an unreadable .clang-format, say) is shown as it is.
status=0
output=$("$format" --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t offending < <(sed -nE 's/^(.*):[0-9]+:[0-9]+: (error|warning): code should be clang-formatted.*/\1/p' \
  <<<"$output" | sort -u)
if [[ ${#offending[@]} -gt 0 ]]; then
  echo "check-format: ${#offending[@]} of ${#files[@]} files are not formatted as .clang-format says:" >&2
  printf '  %s\n' "${offending[@]}" >&2
  echo "check-format: fix them with: bash scripts/format.sh   (or scripts/format.sh FILE...)" >&2
  exit 1
fi
if [[ $status -ne 0 ]]; then
  echo "$output" >&2
  echo "check-format: $format failed" >&2
  exit 2
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
