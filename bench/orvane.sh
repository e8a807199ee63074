#!/usr/bin/env bash
# Times orvane on an N x N matrix (default 8000, about 0.6 GB) with 500 listed IDs, against
# `wc -l` on the same file: the cost of merely reading every byte.
#   bench/orvane.sh [N] [LIST_SIZE] [RUNS]
set -euo pipefail
order=${1:-8000}
list_size=${2:-500}
runs=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
cache="${BENCH_CACHE:-$root/build/bench-cache}/orvane-$order-$list_size"

cmake --preset release >/dev/null
cmake --build --preset release --target orvane bench_generate >/dev/null
if [ ! -f "$cache/matrix.txt" ]; then
    mkdir -p "$cache"
    echo "generating a $order x $order matrix in $cache ..."
    "$root/build/release/bench/bench_generate" matrix "$order" "$list_size" "$cache"
fi
cd "$cache"
size_mb=$(( $(stat -c %s matrix.txt) / 1000000 ))
cat matrix.txt > /dev/null  # into the page cache

seconds() {  # command...; prints the best wall time of $runs runs
    local best=""
    for _ in $(seq "$runs"); do
        local start=$EPOCHREALTIME
        "$@" > /dev/null
        local took
        took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
        if [ -z "$best" ] || awk -v t="$took" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$took; fi
    done
    echo "$best"
}

run_orvane() { printf 'ids.txt\nmatrix.txt\nout.txt\nsample.txt\n' | "$root/build/release/orvane/orvane"; }

wc_time=$(seconds wc -l matrix.txt)
orvane_time=$(seconds run_orvane)
printf 'matrix %s x %s (%s MB), %s listed IDs, best of %s runs\n' "$order" "$order" "$size_mb" "$list_size" "$runs"
printf '  wc -l   %8ss\n' "$wc_time"
awk -v t="$orvane_time" -v w="$wc_time" -v mb="$size_mb" \
    'BEGIN { printf "  orvane  %8ss  (%.2fx wc -l, %.0f MB/s)\n", t, t / w, mb / t }'
