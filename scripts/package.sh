#!/usr/bin/env bash
# Builds the release packages into dist/:
#   Tarnwick-<version>-win32.zip, Tarnwick-<version>-win64.zip  (the plug-in and the tool)
#   tarnwick_<version>_amd64.deb                                (the tool for Debian)
#   SHA256SUMS                                                  (of the three)
# The version is the project version in CMakeLists.txt; every time stamp is SOURCE_DATE_EPOCH
# (default: the last commit's time), so two builds of one commit give the same bytes wherever
# the checkout lies.
#
# usage: scripts/package.sh [--dist DIR]
#   The release: the current commit is built twice, from two clean clones, one after the other
#   (scripts/reproducible.sh); both builds must be byte-identical; then the packages' contents
#   are checked (tests/package/check_packages.py, tarnwick.exe run under Wine). Only committed
#   changes count.
# usage: scripts/package.sh --once [--build-dir DIR] [--dist DIR]
#   One build of the checkout, each target configured afresh in DIR/<target> (default
#   build/package): Release, no tests, TARNWICK_REPRODUCIBLE, and TARNWICK_HARDENED for the .deb.
# usage: scripts/package.sh --trees TREES [--build-dir DIR] [--dist DIR]
#   The packages of the trees TREES/linux, TREES/win32 and TREES/win64 that the presets of those
#   names configure as the packages are configured (the install prefix aside), brought up to
#   date: the binaries the tests ran. The test command checks these; the release proves what
#   fresh builds give.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

mode=release
build=build/package
dist=dist
trees=
while (($#)); do
  case $1 in
    --once) mode=once; shift ;;
    --trees) mode=trees; trees=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--once | --trees TREES] [--build-dir DIR] [--dist DIR]" >&2
       exit 2 ;;
  esac
done

if [[ $mode == release ]]; then
  bash scripts/reproducible.sh --keep-dist "$dist"
  python3 tests/package/check_packages.py "$dist" --wineprefix build/wineprefix
  echo "== package: the release packages are in $dist"
  exit 0
fi

mkdir -p "$build" "$dist"
build=$(cd "$build" && pwd)
dist=$(cd "$dist" && pwd)
if [[ $mode == trees ]]; then
  trees=$(cd "$trees" && pwd)
else
  trees=$build
fi
stage=$build/stage

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
# The packages' maintainer (the Debian package's Maintainer field and changelog).
maintainer=${TARNWICK_MAINTAINER:-Tarnwick authors <tarnwick@example.org>}
# Nothing that lands in a package may depend on the builder's clock zone, language or umask.
export TZ=UTC LC_ALL=C.UTF-8
umask 022

# Builds one target and installs it under /usr into DESTDIR=$2. With --once the target is
# configured afresh; with --trees its tree must have been configured as the packages are built
# (its install prefix aside: the tool's last-resort catalogue folder follows the prefix, so a
# tree's tool differs from a package build's by that path). The Windows binaries lose their
# symbols at link time (TARNWICK_REPRODUCIBLE), the tool for Debian at install time.
build_target() {
  local name=$1 destdir=$2
  shift 2
  local install=()
  [[ $name == linux ]] && install=(--strip)
  if [[ $mode == once ]]; then
    echo "== package: building $name"
    cmake --fresh -S "$root" -B "$trees/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DTARNWICK_TESTS=OFF -DTARNWICK_REPRODUCIBLE=ON -DCMAKE_INSTALL_PREFIX=/usr "$@" \
      >/dev/null
  else
    echo "== package: $name from $trees/$name"
    check_tree "$trees/$name" "$@"
  fi
  cmake --build "$trees/$name" -j 2
  rm -rf "$destdir"
  DESTDIR=$destdir cmake --install "$trees/$name" --prefix /usr "${install[@]}" >/dev/null
}

# Fails unless the tree in $1 was configured as --once configures it: Release,
# TARNWICK_REPRODUCIBLE, and the options given after it (-DNAME=VALUE).
check_tree() {
  local tree=$1 setting name value
  shift
  [[ -f $tree/CMakeCache.txt ]] || {
    echo "package: $tree is not configured (cmake --preset $(basename "$tree"))" >&2
    exit 1
  }
  for setting in -DCMAKE_BUILD_TYPE=Release -DTARNWICK_REPRODUCIBLE=ON "$@"; do
    setting=${setting#-D}
    name=${setting%%=*}
    value=${setting#*=}
    if [[ $(sed -n "s|^$name:[A-Z]*=||p" "$tree/CMakeCache.txt") != "$value" ]]; then
      echo "package: $tree is not configured with $name=$value, as the packages are" >&2
      exit 1
    fi
  done
}

# Gives every file and folder under $1 the commit's time, so that archives record it.
fix_times() {
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# A text file for Windows users: UTF-8 with a byte-order mark and CR LF line breaks, which
# every Windows editor, Notepad included, reads as UTF-8.
windows_text() {
  printf '\xef\xbb\xbf' >"$2"
  sed 's/$/\r/' "$1" >>"$2"
}

rm -rf "$stage"
mkdir -p "$stage"

# The Windows packages: one folder named after the package, zipped.
for arch in win32 win64; do
  case $arch in
    win32) toolchain=cmake/toolchain-mingw-i686.cmake ;;
    win64) toolchain=cmake/toolchain-mingw-x86_64.cmake ;;
  esac
  build_target "$arch" "$stage/$arch-install" -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain"
  version=$(<"$trees/$arch/version.txt")
  package=Tarnwick-$version-$arch
  dir=$stage/$package
  mkdir -p "$dir"
  install -m 644 "$stage/$arch-install/usr/bin/Tarnwick.dll" "$dir/Tarnwick.dll"
  install -m 755 "$stage/$arch-install/usr/bin/tarnwick.exe" "$dir/tarnwick.exe"
  windows_text docs/ja/README.md "$dir/README-ja.txt"
  windows_text LICENSE "$dir/LICENSE.txt"
  windows_text THIRD-PARTY-NOTICES.txt "$dir/THIRD-PARTY-NOTICES.txt"
  (cd "$dir" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    xargs sha256sum >SHA256SUMS)
  fix_times "$dir"
  python3 scripts/make-zip.py "$dist/$package.zip" "$stage" "$package"
done

# The Debian package of the tool: the files cmake --install puts under /usr, the manual page
# compressed, and the documentation Debian expects beside it. The package's tree lies where
# Debian's tools expect it, debian/<package> beside debian/control, so that dpkg-shlibdeps
# can tell the package's own files from the system's.
debsrc=$stage/debsrc
deb=$debsrc/debian/tarnwick
build_target linux "$deb" -DTARNWICK_HARDENED=ON
version=$(<"$trees/linux/version.txt")
doc=$deb/usr/share/doc/tarnwick
gzip -9n "$deb/usr/share/man/man1/tarnwick.1"
mkdir -p "$doc"
gzip -9n <README.md >"$doc/README.md.gz"
gzip -9n <docs/ja/README.md >"$doc/README.ja.md.gz"
gzip -9n <docs/tool.md >"$doc/tool.md.gz"  # the tool's reference, which the README links
install -m 644 packaging/debian/copyright "$doc/copyright"
date=$(date -u -d "@$SOURCE_DATE_EPOCH" -R)
fill() {
  sed -e "s|@VERSION@|$version|g" -e "s|@DATE@|$date|g" -e "s|@MAINTAINER@|$maintainer|g" "$1"
}
fill packaging/debian/changelog.in | gzip -9n >"$doc/changelog.gz"

# Depends from the libraries the binary is linked against, as Debian's tools compute them
# (they take the folder holding DEBIAN/ for the package's root).
mkdir -p "$deb/DEBIAN"
fill packaging/debian/control.in >"$debsrc/debian/control"
depends=$(cd "$debsrc" && dpkg-shlibdeps -O debian/tarnwick/usr/bin/tarnwick |
  sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

# Installed-Size as dpkg counts it: each file's size in KiB rounded up, one per folder.
size=$(find "$deb" -mindepth 1 \( -path "$deb/DEBIAN" -prune -o -printf '%y %s\n' \) |
  awk '$1 == "f" { s += int(($2 + 1023) / 1024) } $1 != "f" { s += 1 } END { print s }')
sed -n '/^Package:/,$p' "$debsrc/debian/control" | sed -e "/^Package:/a Version: $version" \
  -e "/^Architecture:/a Installed-Size: $size\nDepends: $depends" >"$deb/DEBIAN/control"
(cd "$deb" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
find "$deb" -type d -exec chmod 755 {} +
find "$deb" -type f -exec chmod 644 {} +
chmod 755 "$deb/usr/bin/tarnwick"
fix_times "$deb"
dpkg-deb --root-owner-group -Zxz --build "$deb" "$dist/tarnwick_${version}_amd64.deb" >/dev/null

(cd "$dist" && sha256sum "Tarnwick-$version-win32.zip" "Tarnwick-$version-win64.zip" \
  "tarnwick_${version}_amd64.deb" >SHA256SUMS)
echo "== package: written to $dist"
cat "$dist/SHA256SUMS"
