#!/usr/bin/env bash
# ./dev.sh play     installs what is missing, builds, and starts the game
# ./dev.sh test     installs what is missing, builds, and runs every test:
#                   the unit tests, the same tests under AddressSanitizer and
#                   UndefinedBehaviorSanitizer, the end-to-end tests that
#                   drive the real window under a window manager on a
#                   private Xvfb, and the checks of the Windows build (its
#                   twin runs under wine64)
# ./dev.sh windows  installs what is missing and builds the Windows game,
#                   build-win32/dentivale.exe, and its download for players,
#                   build-win32/dentivale-<version>-win32.zip
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  echo "== building $dir"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# windows_build ARCH DIR: the game for Windows from the same sources, with
# Allegro and FreeType built once for ARCH under DIR/deps. Its datafile and
# icon come from the Linux build, which must be built first.
windows_build() {
  local arch=$1 dir=$2 deps
  deps=$(tools/windows_deps.sh "$arch" "$dir/deps" | tail -n 1)
  # What CMake found in older libraries stays cached: new ones start afresh.
  grep -qs "^DENTIVALE_WINDOWS_DEPS:.*=$deps\$" "$dir/CMakeCache.txt" || rm -f "$dir/CMakeCache.txt"
  build "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/Toolchain-mingw-$arch.cmake \
    -DDENTIVALE_WINDOWS_DEPS="$deps" -DDENTIVALE_HOST_BUILD="$PWD/build"
}

# Starts an Xvfb on a free display and sets DISPLAY; stop_xvfb ends it.
xvfb_pid=
start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local number
  read -r -t 10 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; exit 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
  echo "== Xvfb on $DISPLAY"
}
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}

case "${1:-}" in
  play)
    tools/setup.sh
    build build
    exec build/dentivale
    ;;
  windows)
    tools/setup.sh --windows
    build build
    windows_build i686 build-win32
    echo "== the Windows game: build-win32/dentivale.exe, to download:" build-win32/dentivale-*-win32.zip
    ;;
  test)
    tools/setup.sh --windows --wine
    build build -DDENTIVALE_WINDOWS_TESTS=ON
    build build-sanitize -DDENTIVALE_SANITIZE=ON
    windows_build i686 build-win32
    # The twin that wine64 runs, since these machines cannot run 32 bits.
    windows_build x86_64 build-win64
    cmake --build build-win64 -j "$jobs" --target unit_tests
    trap stop_xvfb EXIT
    start_xvfb
    status=0
    echo "== unit, end-to-end, package and Windows tests"
    (cd build && ctest --output-on-failure -j "$jobs") || status=1
    echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    (cd build-sanitize && ctest --output-on-failure -j "$jobs" -L unit) || status=1
    exit $status
    ;;
  *)
    echo "usage: $0 play|test|windows" >&2
    exit 2
    ;;
esac
