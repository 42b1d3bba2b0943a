#!/usr/bin/env bash
# Prints the size of the tests against the size of the code they test: non-blank lines of every
# .cpp/.h under tests/ against those of every other .cpp/.h, build folders left out.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { # non-blank lines of the tracked and untracked (not ignored) .cpp/.h files given by git ls-files args
  git ls-files -z --cached --others --exclude-standard -- "$@" | xargs -0r cat -- | grep -cv '^\s*$' || true
}
test_lines=$(count 'tests/*.cpp' 'tests/*.h')
code_lines=$(count '*.cpp' '*.h' ':!tests/')
echo "test_lines=$test_lines"
echo "code_lines=$code_lines"
awk -v t="$test_lines" -v c="$code_lines" 'BEGIN { printf "ratio=%.2f\n", (c ? t / c : 0) }'
