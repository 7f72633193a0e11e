#!/usr/bin/env bash
# Shows what the build produced: the programs and libraries of each build tree with their sizes.
set -euo pipefail
cd "$(dirname "$0")/.."

for dir in build/linux build/win32 build/win64; do
  [[ -d $dir ]] || continue
  echo "== $dir"
  find "$dir" \( -name CMakeFiles -o -name googletest -o -name lib \) -prune -o -type f \
    \( -name '*.exe' -o -name '*.dll' -o -name '*.a' -o -perm -u+x \) -printf '%P %s\n' |
    sort | while read -r name size; do
      printf '  %-40s %8s\n' "$name" "$(numfmt --to=iec "$size")"
    done
done
