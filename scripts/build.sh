#!/usr/bin/env bash
# Configures and builds the given presets (default: linux win32 win64) into build/<preset>.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
((${#presets[@]})) || presets=(linux win32 win64)

for preset in "${presets[@]}"; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
