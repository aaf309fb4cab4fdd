#!/usr/bin/env bash
# Compares the grouping speed of two revisions in one process (see
# compare/compare.cc): far steadier on a shared machine than timing the two
# builds one after the other. A revision is anything git names, or "." for
# the working tree as it is.
# Usage: bench/compare-builds.sh REV_A REV_B [DIRECTORY [RECORDS [ROUNDS]]]
#   DIRECTORY  tables and valtic.in (default: the synthetic set of make bench)
#   RECORDS    how many of its records (default 100000)
#   ROUNDS     passes over them (default 10)
set -euo pipefail
[ $# -ge 2 ] || { sed -n '6,9p' "$0" >&2; exit 2; }
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
directory=${3:-$root/build-bench/synthetic-1000000}
records=${4:-100000}
rounds=${5:-10}
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
# Where the linker places each build's code moves its speed by about a
# percent; the two link orders, run in turn, cancel that.
g++ "${flags[@]}" "$root/bench/compare/compare.cc" "$work"/a/*.o "$work"/b/*.o -o "$work/compare_ab" -lpthread
g++ "${flags[@]}" "$root/bench/compare/compare.cc" "$work"/b/*.o "$work"/a/*.o -o "$work/compare_ba" -lpthread
echo "A = $1, B = $2"
first=$("$work/compare_ab" "$directory" "$records" "$rounds")
second=$("$work/compare_ba" "$directory" "$records" "$rounds")
echo "A linked first: $first"
echo "B linked first: $second"
printf '%s\n%s\n' "$first" "$second" | awk '{for (i = 1; i < NF; ++i) if ($i == "median") p = (p ? p : 1) * $(i + 1)}
  END {printf "B/A: %.4f (below 1: B is faster)\n", sqrt(p)}'
