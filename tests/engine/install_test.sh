#!/usr/bin/env bash
# Another CMake project finds the installed grouper with find_package(drg),
# links drg::drg and groups the sample with it.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR DRG_TOOL
set -euo pipefail
build=$1 source=$2 tool=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/include/drg/grouper.h"
test -f "$work/prefix/include/drg/grouper_c.h"
test -f "$work/prefix/include/drg/explain.h"
test -f "$work/prefix/include/drg/export.h"
ls "$work"/prefix/lib*/libdrg.so >/dev/null
# The shared library exports the public interface and nothing of the inside.
exports=$(nm -DC --defined-only "$work"/prefix/lib*/libdrg.so)
grep -q ' T drg_group_line$' <<<"$exports"
grep -q ' T drg::Worker::groupRecord(' <<<"$exports"
grep -q ' T drg::openRelease(' <<<"$exports"
if grep 'drg::prepareRecord\|drg::loadRelease' <<<"$exports"; then
  echo "libdrg.so exports the grouper's inside" >&2
  exit 1
fi
ls "$work"/prefix/lib*/libdrg.a >/dev/null
# Both programs, as the cluster recipes run them from the prefix.
"$work/prefix/bin/drg" --version >/dev/null
test -x "$work/prefix/bin/drg-batch"
# Only the public headers are installed.
test "$(find "$work/prefix/include" -type f | wc -l)" -eq 4
cmake -S "$source/examples" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$tool" tables build "$source/data/sample-release" "$work/tables" >/dev/null
"$work/consumer/group_records" "$work/tables" "$source/data/sample/valtic.in" >"$work/out" 2>/dev/null
test "$(wc -l <"$work/out")" -eq 37
