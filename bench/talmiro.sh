#!/usr/bin/env bash
# Times talmiro on a FASTA file of RECORDS records (default 500,000, about 0.5 GB) with
# LIST_SIZE listed names (default 10,000), against `wc -l` on the same file and, where they are
# installed, `seqtk subseq` and `seqkit grep -f` doing the same extraction.
#   bench/talmiro.sh [RECORDS] [LIST_SIZE] [RUNS]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
records=${1:-500000}
list_size=${2:-10000}
runs=${3:-3}
cache="$cache_root/talmiro-$records-$list_size"

build_release talmiro bench_generate
if [ ! -f "$cache/sequences.fa" ]; then
    mkdir -p "$cache"
    echo "generating $records FASTA records in $cache ..."
    "$root/build/release/bench/bench_generate" fasta "$records" "$list_size" "$cache"
fi
cd "$cache"
size_mb=$(( $(stat -c %s sequences.fa) / 1000000 ))
cat sequences.fa > /dev/null  # into the page cache

run_talmiro() { printf 'names.txt\nsequences.fa\nout.fa\n' | "$root/build/release/talmiro/talmiro"; }

wc_time=$(best_seconds "$runs" wc -l sequences.fa)
printf 'FASTA %s records (%s MB), %s listed names, best of %s runs\n' "$records" "$size_mb" "$list_size" "$runs"
report "wc -l" "$wc_time" "$size_mb" "$wc_time"
report talmiro "$(best_seconds "$runs" run_talmiro)" "$size_mb" "$wc_time"
if command -v seqtk >/dev/null; then
    report "seqtk subseq" "$(best_seconds "$runs" seqtk subseq sequences.fa names.txt)" "$size_mb" "$wc_time"
fi
if command -v seqkit >/dev/null; then
    report "seqkit grep -f" "$(best_seconds "$runs" seqkit grep -f names.txt sequences.fa)" "$size_mb" "$wc_time"
fi
