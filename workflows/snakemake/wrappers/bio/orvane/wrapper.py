"""Snakemake wrapper for orvane: the rows and columns of the listed IDs, in list order, cut out
of a distance matrix (square, lower triangle, tsv, csv, ssv or pairs; bootstrap data sets too).

input.ids            the list of IDs
input.matrix         the distance matrix
output.matrix        the sub-matrix (or the only output, unnamed)
output.sample        optional: the bare distances, without header and names
output.short_names   optional: PHYLIP-safe names in every output, and this map back to the IDs
params.extra         any further options (--output-format tsv, --dataset 2, --exclude, --check...)
"""

__author__ = "the orvane and talmiro authors"
__copyright__ = "Copyright 2026, the orvane and talmiro authors"
__license__ = "MIT"

import shlex

from snakemake.shell import shell

matrix = snakemake.output.get("matrix", None) or snakemake.output[0]
files = "-o %s" % shlex.quote(matrix)
for option, name in (("-s", "sample"), ("--short-names", "short_names")):
    path = snakemake.output.get(name, None)
    if path:
        files += " %s %s" % (option, shlex.quote(path))
extra = snakemake.params.get("extra", "")
# The log's name quoted: a blank or a shell's $(...) in it is part of the name, never a command.
log = "> %s 2>&1" % shlex.quote(str(snakemake.log[0])) if snakemake.log else ""

# -q: a job's standard error is a log, never a terminal worth a meter.
# The rule's threads: compressing outputs and reading take that many, and no more.
shell("orvane -q --threads {snakemake.threads} -l {snakemake.input.ids:q} -i {snakemake.input.matrix:q} {files} {extra} {log}")
