#!/usr/bin/env bash
# Checks that the release packages are reproducible: clones the current commit twice into
# folders of different names and depths, builds the packages in each with
# scripts/package.sh --once (one after the other, so at different times, with the compile cache
# off so that every object is really compiled), and compares the checksums of the packages and
# of every file in them. Exits non-zero and names the differing files when they are not
# byte-identical. The release command (scripts/package.sh) runs it.
#
# usage: scripts/reproducible.sh [--keep-dist DIR]
#   --keep-dist DIR   copy the packages of the first build to DIR
# Only committed changes count: the clones are of HEAD.
set -euo pipefail
cd "$(dirname "$0")/.."

keep=
while (($#)); do
  case $1 in
    --keep-dist) keep=$2; shift 2 ;;
    *) echo "usage: scripts/reproducible.sh [--keep-dist DIR]" >&2; exit 2 ;;
  esac
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
commit=$(git rev-parse HEAD)

# No compile cache and no launcher: a cached object would hide a compiler that is not
# deterministic.
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
export CCACHE_DISABLE=1

checkouts=("$work/first/tarnwick" "$work/second-build/a/longer/path/src")
for dir in "${checkouts[@]}"; do
  mkdir -p "$(dirname "$dir")"
  git clone -q --shared --no-checkout . "$dir"
  git -C "$dir" checkout -q --detach "$commit"
  echo "== reproducible: building in $dir"
  start=$SECONDS
  bash "$dir/scripts/package.sh" --once >"$dir.log" 2>&1 || {
    tail -40 "$dir.log"
    echo "reproducible: the build in $dir failed" >&2
    exit 1
  }
  echo "   $((SECONDS - start)) s"
done

# Every file of every package, listed with its checksum, from both builds.
inventory() {
  local dist=$1 out=$2 tmp
  tmp=$(mktemp -d "$work/inventory.XXXXXX")
  (cd "$dist" && sha256sum ./*.zip ./*.deb) >"$out"
  for zip in "$dist"/*.zip; do
    mkdir -p "$tmp/$(basename "$zip")"
    unzip -q "$zip" -d "$tmp/$(basename "$zip")"
  done
  for deb in "$dist"/*.deb; do
    dpkg-deb -x "$deb" "$tmp/$(basename "$deb")"
    dpkg-deb -e "$deb" "$tmp/$(basename "$deb")/DEBIAN"
  done
  (cd "$tmp" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum) >>"$out"
}
inventory "${checkouts[0]}/dist" "$work/first.sums"
inventory "${checkouts[1]}/dist" "$work/second.sums"

if ! diff -u "$work/first.sums" "$work/second.sums"; then
  echo "reproducible: the two builds differ (files above)" >&2
  exit 1
fi
echo "== reproducible: both builds are byte-identical"
cat "${checkouts[0]}/dist/SHA256SUMS"

if [[ -n $keep ]]; then
  rm -rf "$keep"
  mkdir -p "$keep"
  cp "${checkouts[0]}"/dist/* "$keep/"
fi
