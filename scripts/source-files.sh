#!/usr/bin/env bash
# Prints the project's own C and C++ files, one a line, relative to the repository root: the
# tracked ones in a git checkout, otherwise those found in the source folders. Nothing in the tree
# is generated or third-party; a file that ever is goes into `excluded` below.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
patterns=('*.c' '*.cc' '*.cpp' '*.cxx' '*.h' '*.hh' '*.hpp' '*.hxx' '*.inl')
excluded='^$'  # extended regex over the relative path
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -- "${patterns[@]}"
else
  names=()
  for p in "${patterns[@]}"; do names+=(-o -name "$p"); done
  dirs=()
  for d in app framework scene input ui media background sound platform assets tests bench; do
    [[ -d $d ]] && dirs+=("$d")
  done
  find "${dirs[@]}" -type f \( "${names[@]:1}" \) | sort
fi | grep -Ev "$excluded"
