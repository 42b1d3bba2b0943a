#!/usr/bin/env bash
# Builds one fuzz target as a real libFuzzer binary with clang and runs it for a while.
#   tests/fuzz/run.sh <name> [seconds]     e.g. tests/fuzz/run.sh assembler 60
# New crashing inputs land in build-fuzz/; copy each one into tests/fuzz/corpus/<name>/ once fixed.
set -euo pipefail
cd "$(dirname "$0")/../.."
name=$1; seconds=${2:-60}
./scripts/deps.sh clang # only fuzzing needs it
build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_TESTS=ON \
      -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
src=tests/fuzz/fuzz_$name.cpp
libs=$(sed -n '1s#^// fuzz-libs:##p' "$src")
cmake --build "$build" --target $libs -j"$(nproc)"
lib_files=()
for l in $libs; do lib_files+=("$(find "$build" -name "lib$l.a" | head -n1)"); done
clang++ -std=c++20 -g -fsanitize=fuzzer,address,undefined -I. "$src" "${lib_files[@]}" \
  $(pkg-config --cflags --libs Qt6Core Qt6Gui Qt6Widgets Qt6Network Qt6OpenGL 2>/dev/null) -lGL -lGLU \
  -fPIC -o "$build/fuzz_$name"
mkdir -p "$build/corpus_$name"
cp -n tests/fuzz/corpus/"$name"/* "$build/corpus_$name/" 2>/dev/null || true
"$build/fuzz_$name" -max_total_time="$seconds" -artifact_prefix="$build/" "$build/corpus_$name"
