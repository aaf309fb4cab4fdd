#!/usr/bin/env bash
# Groups the bundled sample records with the bundled sample classification:
# compiles data/sample-release into a scratch folder, runs drg-batch there on
# data/sample/valtic.in and prints its console output and the results.
# Usage: tools/run-sample.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
work=${2:-scratch/sample}

rm -rf "$work"
mkdir -p "$work"
"$build/drg" tables build data/sample-release "$work"
cp data/sample/valtic.in "$work/"

echo
echo "== drg-batch in $work"
status=0
console=$(cd "$work" && "$build/drg-batch") || status=$?
if [ -n "$console" ]; then printf '%s\n' "$console"; else echo "(no console output)"; fi
case $status in
  1) echo "exit status 1: complete run" ;;
  *) echo "exit status $status: the run failed"; exit 1 ;;
esac

echo
echo "== results in $work/valtic.out"
awk '
  BEGIN { printf "%-8s  %-9s  %-3s  %-4s  %-4s  %s\n", "record", "principal", "MDC", "ADRG", "PCCL", "DRG" }
  { sub(/\r$/, "")
    printf "%-8s  %-9s  %-3s  %-4s  %-4s  %s\n", substr($0, 1, 8), substr($0, 34, 6), substr($0, 284, 3),
           substr($0, 287, 4), substr($0, 291, 1), substr($0, 292, 6) }
' "$work/valtic.out"
