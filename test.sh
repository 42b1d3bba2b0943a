#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test,
# then runs them again in a plain Release build (compiled while the first tests run).
# Tests labelled "display" get a private Xvfb server; the rest run on Qt's offscreen platform.
# Extra arguments go to both CTest runs.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
build=build-test
release=build-release
# The tree is compiled twice, so each build is made as fast as it goes: Ninja, each library as a few
# unity files, gold where it exists; the sanitizer build keeps line tables only, all its reports need.
fast=(-G Ninja -DCMAKE_UNITY_BUILD=ON)
for dir in "$build" "$release"; do
  # A folder configured earlier with another generator is configured afresh.
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  fi
done
if ld.gold --version >/dev/null 2>&1; then
  fast+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKORVANE_SANITIZE=ON -DKORVANE_TESTS=ON \
      "${fast[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

# The server picks a free display itself and writes its number to the pipe once it accepts
# connections: no lock-file race with other servers, and no guessing when it is ready.
exec {displayfd}< <(exec Xvfb -displayfd 1 -screen 0 1600x1000x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
if ! read -r -t 30 -u "$displayfd" number || [ -z "$number" ]; then
  echo "test.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$number"

# The Release build compiles while the sanitizer build's tests run (they mostly wait on timers,
# sockets and the X server); its output is shown if it fails.
cmake -S . -B "$release" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=ON "${fast[@]}" >/dev/null
cmake --build "$release" -j"$(nproc)" >"$release/build.log" 2>&1 &
release_build=$!
trap 'kill $xvfb_pid $release_build 2>/dev/null || true' EXIT

(
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  cd "$build"
  ctest --output-on-failure -j"$(nproc)" --timeout 300 "$@"
)

if ! wait "$release_build"; then
  cat "$release/build.log" >&2
  echo "test.sh: the Release build failed" >&2
  exit 1
fi
cd "$release"
ctest --output-on-failure -j"$(nproc)" --timeout 300 "$@"
