#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed programs on the examples.
#   tests/installed_tree.sh BUILD_DIR EXAMPLES_DIR VERSION
set -euo pipefail
build=$1
examples=$2
version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in orvane talmiro; do
    [ -x "$prefix/bin/$program" ] || { echo "missing bin/$program"; exit 1; }
    [ "$("$prefix/bin/$program" --version)" = "$program $version" ] || { echo "$program --version"; exit 1; }
    if command -v help2man >/dev/null; then
        page="$prefix/share/man/man1/$program.1.gz"
        [ -f "$page" ] || { echo "missing $page"; exit 1; }
        # The page as a reader sees it: every section a user looks for, each option, and each
        # example a paragraph of its own (the first example's command alone on its line).
        if command -v man >/dev/null; then
            text=$(MANWIDTH=200 man -l "$page" 2>&1)
        else
            text=$(zcat "$page" | sed -n 's/^\.SH "\{0,1\}\([^"]*\)"\{0,1\}$/\1/p')
        fi
        sections=(NAME SYNOPSIS DESCRIPTION OPTIONS DIALOGUE "COMPRESSED FILES" INDEXES "EXIT STATUS" EXAMPLES)
        if [ "$program" = orvane ]; then
            sections+=("INPUT AND OUTPUT LAYOUTS" "DATA SETS")
            first_example="orvane -l ids.txt -i distances.txt -o subset.txt -s sample.txt"
        else
            sections+=(FASTQ PAIRS "MATCH MODES")
            first_example="talmiro -l names.txt -i sequences.fa -o subset.fa"
        fi
        for section in "${sections[@]}"; do
            grep -qx "$section" <<<"$text" || { echo "$page lacks the section $section"; exit 1; }
        done
        if command -v man >/dev/null; then
            grep -q -- '--allow-missing' <<<"$text" || { echo "$page lacks the options"; exit 1; }
            grep -qx " *$first_example" <<<"$text" || { echo "$page runs its examples together"; exit 1; }
        fi
    fi
    [ -f "$prefix/share/bash-completion/completions/$program" ] || { echo "missing the bash completion of $program"; exit 1; }
    [ -f "$prefix/share/zsh/vendor-completions/_$program" ] || { echo "missing the zsh completion of $program"; exit 1; }
done
[ -f "$prefix/share/doc/orvane-talmiro/copyright" ] || { echo "missing the copyright file"; exit 1; }
cd "$prefix"
"$prefix/bin/orvane" -l "$examples/orvane/ids.txt" -i "$examples/orvane/distances.txt" -o subset.txt --allow-missing -q 2>/dev/null
[ "$(head -n 1 subset.txt)" = "    4" ] || { echo "orvane wrote no sub-matrix"; exit 1; }
"$prefix/bin/talmiro" -l "$examples/talmiro/names.txt" -i "$examples/talmiro/sequences.fa" -o - --allow-missing 2>/dev/null |
    grep -c '^>' | grep -qx 3 || { echo "talmiro wrote no records"; exit 1; }
echo "installed tree ok"
