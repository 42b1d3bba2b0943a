#!/usr/bin/env bash
# Builds one benchmark in Release and runs it:  bench/run.sh <name> [arguments...]
# <name> is a folder of bench/; its program bench-<name> prints name=value lines, each figure
# beside a baseline measured in the same run. The program starts in its own folder (benchmarks
# that start the product find it and its runtime files there).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || [ ! -f "bench/$1/CMakeLists.txt" ]; then
  echo "usage: bench/run.sh NAME [args...]; NAME one of:" $(cd bench && ls -d */ | tr -d /) >&2
  exit 2
fi
name=$1; shift
build=build-bench
# lib3ds and assimp are the loader benchmark's peers, XTest drives the keyboard for the idle
# benchmark: only benchmarks install and link them.
./scripts/deps.sh lib3ds-dev libassimp-dev libxtst-dev
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_BENCH=ON -DKORVANE_TESTS=OFF \
      -DKORVANE_SANITIZE=OFF >/dev/null
cmake --build "$build" --target "bench_$name" -j"$(nproc)" >&2
exe=$(find "$build" -type f -name "bench-$name" -perm -u+x | head -n1)
if [ -z "$exe" ]; then
  echo "bench/run.sh: no program bench-$name was built" >&2
  exit 1
fi
cd "$(dirname "$exe")"
exec "./bench-$name" "$@"
