#!/usr/bin/env bash
# Installs what Orvane needs to build and test on a fresh Debian 12 machine.
# Idempotent: every step checks first and skips what is already there.
#   setup.sh          everything: native, Windows cross builds, Wine, test peers
#   setup.sh native   only what the native build of orvane-cli needs (make demo)
set -euo pipefail
mode=${1:-all}

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: installing packages needs root (run as root or through sudo)" >&2
    exit 1
  fi
}

packages=(build-essential cmake ninja-build pkg-config libgtest-dev googletest libcli11-dev python3-jsonschema)
if [ "$mode" != native ]; then
  packages+=(
    clang libclang-rt-14-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
    wine64 xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic locales
    lhasa jlha-utils
    lintian unzip
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  need_root
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$mode" = native ]; then
  echo "setup: ready (native)"
  exit 0
fi

# The Japanese locale: Wine takes its ANSI code page (932) from it.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  need_root
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# The kernel stages (scripts/qemu): a guest kernel under QEMU with the drive tools, and Wine's
# 32-bit loader, which only the guest can run (this machine's kernel runs no 32-bit code). They
# are optional: a group that cannot be installed makes its stage say so and skip.
install_optional() {  # install_optional WHAT PACKAGE...
  local what=$1 p missing=()
  shift
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: installing ${missing[*]} needs root; the $what stage will skip" >&2
    return 0
  fi
  echo "setup: installing ${missing[*]} for the $what stage"
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; } ||
    echo "setup: ${missing[*]} could not be installed; the $what stage will skip" >&2
}
install_optional "kernel drives" qemu-system-x86 linux-image-amd64 busybox-static cpio sg3-utils fdisk xxd
if ! dpkg --print-foreign-architectures | grep -qx i386 && [ "$(id -u)" -eq 0 ]; then
  dpkg --add-architecture i386 && apt-get update -qq || echo "setup: no i386 packages available" >&2
fi
install_optional "kernel win32" qemu-system-x86 linux-image-amd64 busybox-static cpio wine32:i386

# GoogleTest built with each MinGW toolchain into that toolchain's own prefix, so the
# cross builds find it like any installed library.
for triple in x86_64-w64-mingw32 i686-w64-mingw32; do
  prefix=/usr/$triple
  [ -f "$prefix/lib/libgtest.a" ] && continue
  need_root
  echo "setup: building GoogleTest for $triple"
  work=$(mktemp -d)
  cmake -S /usr/src/googletest -B "$work" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER=$triple-gcc-posix -DCMAKE_CXX_COMPILER=$triple-g++-posix \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$work" >/dev/null
  cmake --install "$work" >/dev/null
  rm -rf "$work"
done

"$(dirname "$0")/wine-prefix.sh"
echo "setup: ready"
