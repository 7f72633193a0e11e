#!/usr/bin/env bash
# Sets up the machine, builds every preset and runs every test: the linux tree's ctest runs
# the unit tests natively and, through the other trees, under AddressSanitizer and
# UndefinedBehaviorSanitizer, under 32-bit Wine and under 64-bit Wine; then the fuzz targets run
# briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh linux linux-asan win32 win64
ctest --preset linux

# A short bounded run of every fuzz target against the plain references; longer runs:
# scripts/fuzz.sh 600.
bash scripts/fuzz.sh 12
