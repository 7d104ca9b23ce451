#!/usr/bin/env bash
# tools/setup.sh [--windows] [--wine]
#
# Installs the Debian packages that building, playing and testing Dentivale
# need, when any of them is missing; --windows adds the cross compilers, what
# fetches and builds the libraries for Windows and what reads the program
# built (pefile); --wine what runs the Windows build in the tests. Works as
# root, or as a normal user through sudo.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  liballegro4-dev libfreetype-dev libx11-dev
  libgtest-dev libbenchmark-dev
  xvfb xdotool x11-utils openbox python3 python3-xlib imagemagick
  dpkg-dev lintian desktop-file-utils appstream libglib2.0-bin
  fonts-liberation2 fonts-dejavu-core fonts-comfortaa
)
for option in "$@"; do
  case "$option" in
    --windows) packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 curl xz-utils patch python3-pefile) ;;
    --wine) packages+=(wine wine64) ;;
    *) echo "usage: $0 [--windows] [--wine]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package Dentivale needs is installed."
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "setup: these packages are missing and I am neither root nor able to use sudo:" >&2
  echo "  ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "setup: done."
