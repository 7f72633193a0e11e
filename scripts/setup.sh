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
  git dpkg-dev lintian unzip man-db gettext locales
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

sudo=()
if ((EUID != 0)); then
  sudo=(sudo)
fi

# The tool's Japanese messages are tested under ja_JP.UTF-8, which glibc honours only once the
# locale is generated.
make_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  "${sudo[@]}" sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo[@]}" locale-gen >/dev/null
}

if ((need_i386 == 0 && ${#missing[@]} == 0)); then
  make_locale
  exit 0
fi
echo "setup: installing ${missing[*]}"
if ((need_i386)); then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
make_locale
