#!/usr/bin/env bash
# Builds in Release and starts Korvane from its runtime folder, beside the arm stand-in
# (korvane-armsim) when no arm is attached. Set KORVANE_NO_ARMSIM=1 to talk to a real arm.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
runtime="$PWD/$build/runtime"
cd "$runtime"

armsim_pid=""
cleanup() { [ -n "$armsim_pid" ] && kill "$armsim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -x ./korvane-armsim ] && [ "${KORVANE_NO_ARMSIM:-0}" != 1 ]; then
  # The stand-in listens on 127.0.0.1:6000 (camera on 6001) and answers as COM5 over a pseudo-terminal.
  if [ -x ./korvane ]; then
    ./korvane-armsim --pty --com 5 --config ./config.ini &
    armsim_pid=$!
  else
    exec ./korvane-armsim --pty --com 5 --config ./config.ini --log "$@"
  fi
fi

if [ -x ./korvane ]; then
  ./korvane "$@"
else
  echo "korvane is not built yet" >&2
  exit 1
fi
