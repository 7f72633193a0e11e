#!/usr/bin/env bash
# Installs what a Debian 12 machine lacks for building and testing Tarnwick. Safe to run again:
# when everything is present it only asks dpkg once and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 python3-matplotlib time clang libclang-rt-14-dev clang-format
  libicu-dev libcli11-dev libxxhash-dev libbenchmark-dev libgtest-dev libgmock-dev googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 xvfb xauth fonts-noto-cjk
  git dpkg-dev lintian unzip man-db
)

# 32-bit Wine needs the i386 architecture.
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

# One dpkg query; a package counts as present when its status is "installed".
declare -A present=()
while IFS='|' read -r status name arch; do
  if [[ ${status:1:1} == i ]]; then
    present[$name]=1
    present[$name:$arch]=1
  fi
done < <(dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Architecture}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
  [[ -n ${present[$p]:-} ]] || missing+=("$p")
done

if ((need_i386 == 0 && ${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if ((EUID != 0)); then
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
if ((need_i386)); then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
