# Shared by the bench scripts: building, timing and printing.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache_root="${BENCH_CACHE:-$root/build/bench-cache}"

build_release() {  # targets...
    cmake --preset release >/dev/null
    cmake --build --preset release --target "$@" >/dev/null
}

best_seconds() {  # runs command...; prints the best wall time of `runs` runs
    local runs=$1 best=""
    shift
    for _ in $(seq "$runs"); do
        local start=$EPOCHREALTIME
        "$@" > /dev/null
        local took
        took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
        if [ -z "$best" ] || awk -v t="$took" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$took; fi
    done
    echo "$best"
}

report() {  # name seconds megabytes baseline_seconds
    awk -v n="$1" -v t="$2" -v mb="$3" -v w="$4" \
        'BEGIN { printf "  %-22s %8.3fs  %6.0f MB/s  %6.2fx wc -l\n", n, t, mb / t, t / w }'
}
