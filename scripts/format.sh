#!/usr/bin/env bash
# Formats the project's C and C++ files in place with the repository's .clang-format: the files
# named, or every one (scripts/source-files.sh) when none is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
format=${CLANG_FORMAT:-$(command -v clang-format-14 || command -v clang-format || true)}
[[ -n $format ]] || { echo "format: clang-format not found (scripts/install-deps.sh --test installs it)" >&2; exit 2; }
if [[ $# -gt 0 ]]; then
  files=("$@")
else
  cd "$root"
  mapfile -t files < <("$root/scripts/source-files.sh")
fi
# A reflowed trailing comment can need a second pass before the result is stable.
for _ in 1 2 3; do
  "$format" -i "${files[@]}"
  "$format" --dry-run --Werror "${files[@]}" >/dev/null 2>&1 && exit 0
done
echo "format: still not stable after three passes:" >&2
"$format" --dry-run --Werror "${files[@]}"
