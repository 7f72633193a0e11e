#!/usr/bin/env bash
# Sets up the machine, builds every preset and runs every test: the linux tree's ctest runs
# the unit tests natively and, through the other trees, under AddressSanitizer and
# UndefinedBehaviorSanitizer, under 32-bit Wine and under 64-bit Wine; then the fuzz targets run
# briefly; then the release packages are built twice from clean clones of the current commit,
# compared byte for byte, and checked (contents, checksums, the .deb installed and run, lintian).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh linux linux-asan win32 win64
ctest --preset linux

# A short bounded run of every fuzz target against the plain references; longer runs:
# scripts/fuzz.sh 600.
bash scripts/fuzz.sh 12

# Two package builds without the compile cache (a few minutes); the first one's packages are
# kept for the checks, which also run tarnwick.exe from each zip under Wine.
bash scripts/reproducible.sh --keep-dist build/dist-check
python3 tests/package/check_packages.py build/dist-check --wineprefix build/wineprefix
