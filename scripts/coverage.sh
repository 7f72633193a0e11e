#!/usr/bin/env bash
# Builds the native tree with line coverage (build/coverage), runs its tests (the unit tests,
# the tool's tests and the hostile inputs) and prints the line coverage of each product file;
# an HTML report with every line marked goes to build/coverage/report/index.html.
# Usage: scripts/coverage.sh [FOLDER...]   (default: every product folder)
set -euo pipefail
cd "$(dirname "$0")/.."

command -v gcovr >/dev/null || {
  echo "coverage: gcovr is missing (apt-get install gcovr)" >&2
  exit 2
}
build=build/coverage
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="--coverage -O0 -fprofile-update=atomic" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" --output-on-failure -E bench-harness

folders=("$@")
((${#folders[@]})) || folders=(TemplateList lists strings sorting commands plugin cli platform base)
filters=()
for f in "${folders[@]}"; do filters+=(--filter "$f/"); done
mkdir -p "$build/report"
gcovr -r . "$build" "${filters[@]}" --exclude-unreachable-branches \
  --html-details "$build/report/index.html" --txt -
