#!/usr/bin/env bash
# Compares the grouping speed of two revisions in one process (see
# compare/compare.cc): steadier on a shared machine than timing the two
# builds one after the other. A revision is anything git names, or "." for
# the working tree as it is.
# Usage: bench/compare-builds.sh REV_A REV_B [DIRECTORY [RECORDS [ROUNDS [PASSES]]]]
#   DIRECTORY  tables and valtic.in (default: the synthetic set of make bench)
#   RECORDS    how many of its records (default 100000)
#   ROUNDS     passes over them in each process (default 4)
#   PASSES     times the four kinds of process run (default 4)
set -euo pipefail
[ $# -ge 2 ] || { sed -n '6,10p' "$0" >&2; exit 2; }
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
directory=${3:-$root/build-bench/synthetic-1000000}
records=${4:-100000}
rounds=${5:-4}
passes=${6:-4}
[ -f "$directory/valtic.in" ] || { echo "no $directory/valtic.in (make bench writes it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The flags the release build gives the grouping library.
flags=(-std=c++20 -O3 -fPIC -fvisibility=hidden -fvisibility-inlines-hidden -fno-semantic-interposition)
layers=(record tables conditions grouping complexity engine)

# Compiles one revision's grouping core and its entry points into
# $work/SIDE/*.o, with the core's namespace renamed after the side.
build_side() {  # build_side SIDE REVISION
  local side=$1 revision=$2 tree="$work/$1"
  mkdir -p "$tree"
  if [ "$revision" = . ]; then
    cp -r "$root/src" "$tree/"
  else
    git -C "$root" archive "$revision" src | tar -x -C "$tree"
  fi
  local sources=()
  for layer in "${layers[@]}"; do sources+=("$tree"/src/"$layer"/*.cc); done
  sources+=("$root/bench/compare/side.cc")
  # Two compilers at a time; the inner shell expands its own arguments.
  # shellcheck disable=SC2016
  printf '%s\n' "${sources[@]}" |
    xargs -P 2 -I{} sh -c 'source=$1 objects=$2; shift 2; g++ "$@" -c "$source" -o "$objects/$(basename "$source" .cc).o"' \
      sh {} "$tree" "${flags[@]}" -Ddrg="drg_compare_$side" -DCOMPARE_SIDE="$side" -I"$tree/src"
}

build_side a "$1"
build_side b "$2"
# Where the linker placed each build's code, and where each build's copy of
# the release landed, move a process's ratio by a few percent: each of the
# two link orders runs with each build opening its release first, PASSES
# times over, and the median of them all is the figure.
g++ "${flags[@]}" "$root/bench/compare/compare.cc" "$work"/a/*.o "$work"/b/*.o -o "$work/compare_ab" -lpthread
g++ "${flags[@]}" "$root/bench/compare/compare.cc" "$work"/b/*.o "$work"/a/*.o -o "$work/compare_ba" -lpthread
echo "A = $1, B = $2; $records records, $rounds rounds a process"
for _ in $(seq "$passes"); do
  for program in compare_ab compare_ba; do
    for opening in "" b-first; do
      line=$("$work/$program" "$directory" "$records" "$rounds" $opening)
      printf '%-11s %-8s %s\n' "$program" "${opening:-a-first}" "$line"
    done
  done
done | tee "$work/lines"
awk '{for (i = 1; i < NF; ++i) if ($i == "median") print $(i + 1)}' "$work/lines" | sort -g |
  awk '{r[NR] = $1} END {m = NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
    printf "B/A: median %.4f of %d processes (lowest %.4f, highest %.4f); below 1: B is faster\n", m, NR, r[1], r[NR]}'
