#!/usr/bin/env bash
# Runs tarnwick on the bundled sample text and shows a few of its operations.
# TARNWICK names the program to run (default: the Linux build).
set -euo pipefail
cd "$(dirname "$0")/.."

tool=${TARNWICK:-build/linux/cli/tarnwick}
sample=samples/sample.txt
if [[ ! -x $tool ]]; then
  echo "$tool is missing: build first (bash scripts/build.sh)" >&2
  exit 1
fi

show() {
  echo "\$ tarnwick $* $sample"
  "$tool" "$@" "$sample"
  echo
}

show --locale ja sort
show sort-numeric
show sort-length-desc
show dedupe
show count
show highlight
show highlight --mark

# The Windows build runs the same operations under Wine.
exe=build/win64/cli/tarnwick.exe
if [[ -f $exe && -x scripts/wine-run ]]; then
  echo "\$ wine tarnwick.exe count $sample"
  scripts/wine-run build/wineprefix "$exe" count "$sample"
fi
