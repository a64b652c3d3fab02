#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test everything:
# the native toolchain and GoogleTest, clang with its sanitizer and libFuzzer
# runtimes (libclang-rt-14-dev, which the clang packages only recommend) and
# llvm-symbolizer (readable sanitizer reports), ncurses, the MinGW-w64 cross
# compilers, the 32-bit Linux cross compiler and the user-mode emulator that
# runs its programs, Wine (64-bit), a virtual X server, rsync (benchmarks,
# and the measure of the whole-home test, which is skipped without it),
# ImageMagick (screenshots), Python 3 (turns the text-form bitmaps into
# BMP at build time), libvterm (the terminal emulator the tests read the
# terminal views through), ccache (faster rebuilds of the several
# configurations), dpkg-dev (the Debian package's dependencies) and
# liburing-dev (a listing's lookups batched through io_uring). Where
# the kernel starts 32-bit programs (scripts/kernel-runs-i686.sh), also
# 32-bit Wine (wine32:i386, with the i386 architecture added to dpkg): the
# shipping 32-bit DLL's tests run under it. Does nothing when all of it is
# present.
set -euo pipefail

cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ libgtest-dev googletest libncurses-dev
  clang libclang-rt-14-dev llvm
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  g++-i686-linux-gnu qemu-user-static
  wine wine64 xvfb xauth x11-utils
  rsync imagemagick ccache dpkg-dev python3 libvterm-dev pkg-config liburing-dev
)

is_installed() {
  [[ $(dpkg-query -W -f='${db:Status-Status}' "$1" 2> /dev/null) == installed ]]
}

sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in "${packages[@]}"; do
  is_installed "$package" || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-deps: installing ${missing[*]}"
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y "${missing[@]}"
fi

# 32-bit Wine, once the cross compiler that builds the probe is there.
wine32=missing
if is_installed wine32:i386; then
  wine32=installed
elif scripts/kernel-runs-i686.sh; then
  echo "install-deps: installing wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y wine32:i386
  wine32=installed
fi

if [[ ${#missing[@]} -eq 0 && $wine32 == installed ]]; then
  echo "install-deps: everything is installed"
fi
