#!/usr/bin/env bash
# Builds the test suite in one build folder and runs it with a short report:
# the build's output only when it fails or warns, the tests' output only for
# the tests that fail (in full), then the totals.
# Usage: tools/run-tests.sh BUILD_DIR [CMAKE_OPTION...]
# TARGETS (build only these) and TESTS (a ctest -R pattern) narrow a run.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "== $dir: building"
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
if ! { cmake -S . -B "$dir" "$@" && cmake --build "$dir" -j "$jobs" "${targets[@]}"; } >"$log" 2>&1; then
  cat "$log"
  echo "== $dir: the build failed"
  exit 1
fi
if grep -q 'warning:' "$log"; then
  cat "$log"
  echo "== $dir: the build has warnings"
fi

echo "== $dir: testing"
status=0
filter=()
[ -n "${TESTS:-}" ] && filter=(-R "$TESTS")
(cd "$dir" && ctest --output-on-failure -j "$jobs" "${filter[@]}") >"$log" 2>&1 || status=$?
# Passing tests leave no line; failing ones keep their status line and output.
grep -v -E '^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed +[0-9.]+ sec$' "$log" | cat -s || true
exit "$status"
