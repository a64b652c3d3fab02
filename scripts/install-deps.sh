#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test everything:
# the native toolchain and GoogleTest, clang with its sanitizer and libFuzzer
# runtimes (libclang-rt-14-dev, which the clang packages only recommend) and
# llvm-symbolizer (readable sanitizer reports), ncurses, the MinGW-w64 cross
# compilers, the 32-bit Linux cross compiler and the user-mode emulator that
# runs its programs, Wine (64-bit), a virtual X server, rsync (benchmarks),
# ImageMagick (screenshots), Python 3 (turns the text-form bitmaps into
# BMP at build time), libvterm (the terminal emulator the tests read the
# terminal views through), ccache (faster rebuilds of the several
# configurations) and dpkg-dev (the Debian package's dependencies). Does
# nothing when all of it is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest libncurses-dev
  clang libclang-rt-14-dev llvm
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  g++-i686-linux-gnu qemu-user-static
  wine wine64 xvfb xauth x11-utils
  rsync imagemagick ccache dpkg-dev python3 libvterm-dev pkg-config
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2> /dev/null || true)
  [[ $status == installed ]] || missing+=("$package")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y "${missing[@]}"
