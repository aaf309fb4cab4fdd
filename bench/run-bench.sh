#!/usr/bin/env bash
# The figures quoted for the grouper's speed: drg-batch on 1,000,000 records
# of the national-scale synthetic release, with one worker and with every
# worker, against a plain copy (cat) of the same input: once writing a new
# output file, once rewriting the output that the run before wrote.
# Usage: bench/run-bench.sh BUILD_DIR [RECORDS]
set -euo pipefail
build=$(cd "$1" && pwd)
records=${2:-1000000}
data="$build/synthetic-$records"
cores=$(nproc)

if [ ! -f "$data/valtic.in" ]; then
  echo "writing the synthetic release and $records records to $data (once)"
  # --force: a run stopped while writing leaves the folder not empty.
  "$build/drg" synth --seed 1 --records "$records" --force "$data" >/dev/null
fi
bytes=$(stat -c %s "$data/valtic.in")

# Best of five wall times, the peak resident memory of the best run, and the
# median of the five: on a shared host a single run can take half as long
# again as the next one, and the median shows how far the host moved.
# Every command starts alike: its output either does not exist yet ("new")
# or holds what its run before wrote ("rewritten"; truncating 300 MB takes a
# file system a while), and nothing is left to write out to disk from
# earlier runs. drg-batch ends a complete run with status 1, so the status
# is no verdict; the figures go through a file of their own.
figures=$(mktemp)
trap 'rm -f "$figures"' EXIT
measure() {  # measure new|rewritten OUTPUT COMMAND...
  local state=$1 output=$2
  shift 2
  local times=() best="" memory=""
  if [ "$state" = rewritten ]; then "$@" >/dev/null 2>&1 || true; fi
  for _ in 1 2 3 4 5; do
    if [ "$state" = new ]; then rm -f "$output"; fi
    sync
    /usr/bin/time -o "$figures" -f "%e %M" "$@" >/dev/null 2>&1 || true
    local t m
    read -r t m < <(tail -1 "$figures")
    times+=("$t")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t memory=$m; fi
  done
  echo "$best $memory $(printf '%s\n' "${times[@]}" | sort -g | sed -n 3p)"
}

tables=$(du -cb "$data"/T* | tail -1 | cut -f1)
awk -v r="$records" -v b="$bytes" -v t="$tables" -v n="$cores" 'BEGIN {
  printf "input: %d records, %.0f MB; tables %.1f MB; %d cores\n", r, b / 1e6, t / 1e6, n
  printf "best of five runs (and their median)\n"
}'
copyOut="$data/copy.out"
for state in new rewritten; do
  # cat may copy inside the kernel (copy_file_range); a program that reads
  # and writes every byte, as drg-batch does, pays at least what dd pays.
  read -r copy _ copyMedian < <(measure $state "$copyOut" sh -c "cat '$data/valtic.in' > '$copyOut'")
  read -r passed _ passedMedian < <(measure $state "$copyOut" dd if="$data/valtic.in" of="$copyOut" bs=1M)
  read -r one oneMemory oneMedian < <(measure $state "$data/valtic.out" "$build/bench/batch_run" "$data" 1)
  read -r all allMemory allMedian < <(measure $state "$data/valtic.out" "$build/bench/batch_run" "$data" 0)
  rm -f "$copyOut"
  awk -v r="$records" -v c="$copy" -v p="$passed" -v o="$one" -v a="$all" -v om="$oneMemory" -v am="$allMemory" \
      -v n="$cores" -v cm="$copyMedian" -v pm="$passedMedian" -v omd="$oneMedian" -v amd="$allMedian" \
      -v state="$state" 'BEGIN {
    if (state == "new") printf "\nto a new output file\n"
    else printf "\nrewriting the output of the run before\n"
    printf "%-24s %8s %8s %8s %12s %10s %8s\n", "", "seconds", "x cat", "x dd", "records/s", "peak MiB", "median"
    printf "%-24s %8.2f %8.1f %8s %12s %10s %8.2f\n", "cat", c, 1, "-", "-", "-", cm
    printf "%-24s %8.2f %8.1f %8.1f %12s %10s %8.2f\n", "dd bs=1M (read, write)", p, p / c, 1, "-", "-", pm
    printf "%-24s %8.2f %8.1f %8.1f %12.0f %10.1f %8.2f\n", "drg-batch, 1 worker", o, o / c, o / p, r / o, om / 1024, omd
    printf "%-24s %8.2f %8.1f %8.1f %12.0f %10.1f %8.2f\n", "drg-batch, " n " workers", a, a / c, a / p, r / a, am / 1024, amd
    printf "all workers / one worker: %.2f\n", a / o
  }'
done
