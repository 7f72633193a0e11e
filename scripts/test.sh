#!/usr/bin/env bash
# The test command. Sets up the machine, builds the linux, linux-asan, win32 and win64 trees
# and runs every test: the linux tree's ctest runs the unit tests natively and, through the
# other trees, under AddressSanitizer and UndefinedBehaviorSanitizer, under 32-bit Wine and
# under 64-bit Wine (the real pop-up menu on a private Xvfb display); then every fuzz target
# runs briefly; then the release packages are made from the tested binaries and checked
# (contents, checksums, tarnwick.exe under Wine, the .deb installed and run, lintian).
# That fresh builds make the same packages, byte for byte, is proved by the release command,
# scripts/package.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh linux linux-asan win32 win64
ctest --preset linux

# A short bounded run of every fuzz target against the plain references; longer runs:
# scripts/fuzz.sh 600.
bash scripts/fuzz.sh 12

# The presets build as the packages are built, so the packages come from the trees above.
bash scripts/package.sh --trees build --dist build/dist-check
python3 tests/package/check_packages.py build/dist-check --wineprefix build/wineprefix
