#!/usr/bin/env bash
# Checks commit subjects for the `layer: what changed` habit (e.g. `d3d9: track sampler state`,
# several layers as `tests, bench: ...` or `tests: ...; bench: ...`) and lists those that break it.
# Usage: scripts/check-commit-subjects.sh [N | revision range]   (default: the last 20 commits)
#        as a commit-msg hook: ln -s ../../scripts/check-commit-subjects.sh .git/hooks/commit-msg
# Merge commits are skipped. Reporting only: the test command does not run it, since old commits
# need not follow the habit. Fails when a subject breaks it.
set -euo pipefail
layer='[a-z0-9][a-z0-9_./+-]*'
habit="^$layer(, ?$layer)*: [^ ]"

subjects=()
if [[ $# -eq 1 && -f $1 ]]; then
  # Called as a commit-msg hook with the file that holds the message: its first line that is
  # neither empty nor a comment is the subject.
  subjects+=("$(grep -v -e '^#' -e '^[[:space:]]*$' "$1" | head -n 1 || true)")
  labels=("new commit")
else
  range=${1:-20}
  [[ $range =~ ^[0-9]+$ ]] && range=(-n "$range") || range=("$range")
  mapfile -t lines < <(git log --no-merges --format='%h %s' "${range[@]}")
  labels=()
  for line in "${lines[@]}"; do
    labels+=("${line%% *}")
    subjects+=("${line#* }")
  done
fi

bad=0
for i in "${!subjects[@]}"; do
  if ! grep -qE "$habit" <<<"${subjects[$i]}"; then
    echo "check-commit-subjects: ${labels[$i]}: \"${subjects[$i]}\" is not \`layer: what changed\`" >&2
    bad=$((bad + 1))
  fi
done
if [[ $bad -gt 0 ]]; then
  echo "check-commit-subjects: $bad of ${#subjects[@]} subjects break the habit" >&2
  exit 1
fi
echo "check-commit-subjects: ${#subjects[@]} subjects follow \`layer: what changed\`"
