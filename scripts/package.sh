#!/usr/bin/env bash
# Builds the release packages of the checked-out commit into dist/:
#   Tarnwick-<version>-win32.zip, Tarnwick-<version>-win64.zip  (the plug-in and the tool)
#   tarnwick_<version>_amd64.deb                                (the tool for Debian)
#   SHA256SUMS                                                  (of the three)
# The version is the project version in CMakeLists.txt. Each target is configured afresh in
# build/package/<target> (Release, no tests) with TARNWICK_REPRODUCIBLE, and every time stamp
# is SOURCE_DATE_EPOCH (default: the last commit's time), so two runs on the same commit give
# the same bytes wherever the checkout lies (scripts/reproducible.sh checks it).
#
# usage: scripts/package.sh [--build-dir DIR] [--dist DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build/package
dist=dist
while (($#)); do
  case $1 in
    --build-dir) build=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--build-dir DIR] [--dist DIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$build" "$dist"
build=$(cd "$build" && pwd)
dist=$(cd "$dist" && pwd)

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
# The packages' maintainer (the Debian package's Maintainer field and changelog).
maintainer=${TARNWICK_MAINTAINER:-Tarnwick authors <tarnwick@example.org>}
# Nothing that lands in a package may depend on the builder's clock zone, language or umask.
export TZ=UTC LC_ALL=C.UTF-8
umask 022

# Configures one target afresh, builds it and installs it into DESTDIR=$3. $2 says how the
# binaries lose their symbols: "install" (cmake --install --strip) or "link" (ld -s; strip
# would write a time stamp into a PE header that the linker left at zero).
build_target() {
  local name=$1 strip=$2 stage=$3
  shift 3
  local flags=() install=()
  if [[ $strip == link ]]; then
    flags=(-DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s -DCMAKE_SHARED_LINKER_FLAGS_RELEASE=-s)
  else
    install=(--strip)
  fi
  echo "== package: building $name"
  cmake --fresh -S "$root" -B "$build/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARNWICK_TESTS=OFF -DTARNWICK_REPRODUCIBLE=ON -DCMAKE_INSTALL_PREFIX=/usr \
    "${flags[@]}" "$@" >/dev/null
  cmake --build "$build/$name" -j 2
  rm -rf "$stage"
  DESTDIR=$stage cmake --install "$build/$name" "${install[@]}" >/dev/null
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

rm -rf "$build/stage"
mkdir -p "$build/stage"

# The Windows packages: one folder named after the package, zipped.
for arch in win32 win64; do
  case $arch in
    win32) toolchain=cmake/toolchain-mingw-i686.cmake ;;
    win64) toolchain=cmake/toolchain-mingw-x86_64.cmake ;;
  esac
  build_target "$arch" link "$build/stage/$arch-install" \
    -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain"
  version=$(<"$build/$arch/version.txt")
  package=Tarnwick-$version-$arch
  dir=$build/stage/$package
  mkdir -p "$dir"
  install -m 644 "$build/stage/$arch-install/usr/bin/Tarnwick.dll" "$dir/Tarnwick.dll"
  install -m 755 "$build/stage/$arch-install/usr/bin/tarnwick.exe" "$dir/tarnwick.exe"
  windows_text docs/ja/README.md "$dir/README-ja.txt"
  windows_text LICENSE "$dir/LICENSE.txt"
  windows_text THIRD-PARTY-NOTICES.txt "$dir/THIRD-PARTY-NOTICES.txt"
  (cd "$dir" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    xargs sha256sum >SHA256SUMS)
  fix_times "$dir"
  python3 scripts/make-zip.py "$dist/$package.zip" "$build/stage" "$package"
done

# The Debian package of the tool: the files cmake --install puts under /usr, the manual page
# compressed, and the documentation Debian expects beside it. The package's tree lies where
# Debian's tools expect it, debian/<package> beside debian/control, so that dpkg-shlibdeps
# can tell the package's own files from the system's.
debsrc=$build/stage/debsrc
deb=$debsrc/debian/tarnwick
# Debian's hardening: checked string functions and a read-only relocation table.
build_target linux install "$deb" -DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2 \
  "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
version=$(<"$build/linux/version.txt")
doc=$deb/usr/share/doc/tarnwick
gzip -9n "$deb/usr/share/man/man1/tarnwick.1"
mkdir -p "$doc"
gzip -9n <README.md >"$doc/README.md.gz"
gzip -9n <docs/ja/README.md >"$doc/README.ja.md.gz"
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
