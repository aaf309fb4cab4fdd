#!/usr/bin/env bash
# The C example groups the bundled sample exactly as drg-batch does.
# Usage: example_test.sh EXAMPLE DRG_TOOL DRG_BATCH SOURCE_DIR
set -euo pipefail
example=$1 tool=$2 batch=$3 source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" tables build "$source/data/sample-release" "$work" >/dev/null
cp "$source/data/sample/valtic.in" "$work/"
(cd "$work" && "$batch" >/dev/null) || [ $? -eq 1 ]
"$example" "$work" "$work/valtic.in" >"$work/example.out" 2>"$work/example.err"
cmp "$work/valtic.out" "$work/example.out"
grep -q "^37 records grouped$" "$work/example.err"
# A release that is not there is refused with its reason and status 1.
if "$example" "$work/missing" "$work/valtic.in" 2>"$work/refused.err"; then exit 1; fi
grep -q "/missing: the folder cannot be opened: No such file or directory" "$work/refused.err"
# Output that cannot be written and input that cannot be read fail; neither is a success.
if "$example" "$work" "$work/valtic.in" >/dev/full 2>"$work/full.err"; then exit 1; fi
grep -q "^output: No space left on device$" "$work/full.err"
if "$example" "$work" "$work" >/dev/null 2>"$work/dir.err"; then exit 1; fi
grep -q "Is a directory" "$work/dir.err"
