# The baseline orvane is compared with: the same sub-matrix cut with an awk script.
#   mawk -f bench/submatrix.awk ids.txt matrix.txt > out.txt
# Reads one row per line (the common layout; orvane also takes rows that wrap).
NR == FNR {
    for (i = 1; i <= NF; i++) { listed++; id[listed] = $i; wanted[$i] = 1 }
    next
}
FNR == 1 { next }
($1 in wanted) { row[$1] = $0; column[$1] = FNR }
END {
    for (i = 1; i <= listed; i++) if (id[i] in row) found[++count] = id[i]
    printf "%5d\n", count
    for (i = 1; i <= count; i++) {
        split(row[found[i]], value)
        printf "%-10s", found[i]
        for (j = 1; j <= count; j++) printf "%10.6f", value[column[found[j]]]
        printf "\n"
    }
}
