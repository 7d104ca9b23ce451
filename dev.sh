#!/usr/bin/env bash
# ./dev.sh play   installs what is missing, builds, and starts the game
# ./dev.sh test   installs what is missing, builds, and runs every test:
#                 the unit tests, the same tests under AddressSanitizer and
#                 UndefinedBehaviorSanitizer, and the end-to-end tests that
#                 drive the real window under a private Xvfb
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  echo "== building $dir"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
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
  test)
    tools/setup.sh
    build build
    build build-sanitize -DDENTIVALE_SANITIZE=ON
    trap stop_xvfb EXIT
    start_xvfb
    status=0
    echo "== unit and end-to-end tests"
    (cd build && ctest --output-on-failure -j "$jobs") || status=1
    echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    (cd build-sanitize && ctest --output-on-failure -j "$jobs" -L unit) || status=1
    exit $status
    ;;
  *)
    echo "usage: $0 play|test" >&2
    exit 2
    ;;
esac
