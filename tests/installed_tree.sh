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
        page="$prefix/share/man/man1/$program.1"
        grep -q '^\.SH DIALOGUE' "$page" || { echo "$page lacks the dialogue"; exit 1; }
        grep -q -- '--allow-missing' "$page" || { echo "$page lacks the options"; exit 1; }
    fi
done
[ -f "$prefix/share/doc/orvane-talmiro/copyright" ] || { echo "missing the copyright file"; exit 1; }
cd "$prefix"
"$prefix/bin/orvane" -l "$examples/orvane/ids.txt" -i "$examples/orvane/distances.txt" -o subset.txt --allow-missing -q 2>/dev/null
[ "$(head -n 1 subset.txt)" = "    4" ] || { echo "orvane wrote no sub-matrix"; exit 1; }
"$prefix/bin/talmiro" -l "$examples/talmiro/names.txt" -i "$examples/talmiro/sequences.fa" -o - --allow-missing 2>/dev/null |
    grep -c '^>' | grep -qx 3 || { echo "talmiro wrote no records"; exit 1; }
echo "installed tree ok"
