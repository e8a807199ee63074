# Shared by the bench scripts: tools, building, timing and the table.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache_root="${BENCH_CACHE:-$root/build/bench-cache}"
runs=${BENCH_RUNS:-5}

# Installs the build's and the measuring tools and the peers from Debian when they are missing.
ensure_tools() {
    "$root/packaging/install-missing" build bench || echo "cannot install every tool: the rows that need one are left out" >&2
}

build_release() {  # targets...
    cmake --preset release >/dev/null
    cmake --build --preset release --target "$@" >/dev/null
}

# median_seconds COMMAND [RUNS] [PREPARE]: the median of $runs (or RUNS) runs (after one
# warm-up), by hyperfine; PREPARE runs, untimed, before each.
median_seconds() {
    local json
    json=$(mktemp)
    hyperfine --warmup 1 --runs "${2:-$runs}" --prepare "${3:-true}" --export-json "$json" "$1" >/dev/null 2>&1
    python3 -c 'import json,sys; print("%.4f" % json.load(open(sys.argv[1]))["results"][0]["median"])' "$json"
    rm -f "$json"
}

# alternating_medians A B RUNS: the median seconds of A and of B, run in turn (A, B, A, B...),
# so that a drift of the machine (the page cache, a neighbour on the host) falls on both alike.
alternating_medians() {
    local round start end a_times="" b_times=""
    for round in $(seq "$3"); do
        for which in a b; do
            start=$(date +%s%N)
            if [ "$which" = a ]; then bash -c "$1" >/dev/null 2>&1; else bash -c "$2" >/dev/null 2>&1; fi
            end=$(date +%s%N)
            if [ "$which" = a ]; then a_times+="$((end - start)) "; else b_times+="$((end - start)) "; fi
        done
    done
    for times in "$a_times" "$b_times"; do
        printf '%s\n' $times | sort -n | awk '{ t[NR] = $1 } END { printf "%.4f ", t[int((NR + 1) / 2)] / 1e9 }'
    done
    echo
}

# peak_rss_mb COMMAND: the largest resident set of one run, in MB.
peak_rss_mb() {
    local report kb
    report=$(mktemp)
    /usr/bin/time -o "$report" -f '%M' bash -c "$1" >/dev/null 2>&1
    kb=$(tail -n 1 "$report")
    rm -f "$report"
    awk -v kb="$kb" 'BEGIN { printf "%.0f", kb / 1024 }'
}

table_header() {
    printf '%-34s %-16s %9s %9s %9s  %s\n' job tool median MB/s "RSS MB" "ratios"
}

# table_row JOB TOOL SECONDS INPUT_MB RSS_MB RATIOS
table_row() {
    awk -v job="$1" -v tool="$2" -v t="$3" -v mb="$4" -v rss="$5" -v ratios="$6" \
        'BEGIN { printf "%-34s %-16s %8.3fs %9.0f %9s  %s\n", job, tool, t, mb / t, rss, ratios }'
}

ratio() {  # A B: A / B with two decimals
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}
