#!/usr/bin/env bash
# Times orvane on an N x N matrix (default 8000, about 0.6 GB) with 500 listed IDs, against
# `wc -l` on the same file: the cost of merely reading every byte.
#   bench/orvane.sh [N] [LIST_SIZE] [RUNS]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
order=${1:-8000}
list_size=${2:-500}
runs=${3:-3}
cache="$cache_root/orvane-$order-$list_size"

build_release orvane bench_generate
if [ ! -f "$cache/matrix.txt" ]; then
    mkdir -p "$cache"
    echo "generating a $order x $order matrix in $cache ..."
    "$root/build/release/bench/bench_generate" matrix "$order" "$list_size" "$cache"
fi
cd "$cache"
size_mb=$(( $(stat -c %s matrix.txt) / 1000000 ))
cat matrix.txt > /dev/null  # into the page cache

run_orvane() { printf 'ids.txt\nmatrix.txt\nout.txt\nsample.txt\n' | "$root/build/release/orvane/orvane"; }

wc_time=$(best_seconds "$runs" wc -l matrix.txt)
printf 'matrix %s x %s (%s MB), %s listed IDs, best of %s runs\n' "$order" "$order" "$size_mb" "$list_size" "$runs"
report "wc -l" "$wc_time" "$size_mb" "$wc_time"
report orvane "$(best_seconds "$runs" run_orvane)" "$size_mb" "$wc_time"
