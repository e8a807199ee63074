"""Snakemake wrapper for talmiro: the FASTA or FASTQ records of the listed names, in list order.

input.names      the list, one name per line; or, in its place, regions:
input.regions    a file of regions, one a line (NAME:START-END from 1, as samtools writes them)
input.bed        a BED file whose intervals are cut
params.regions   regions on the command line, a text or a list of them
input.sequences  one FASTA or FASTQ file, or several (R1 and R2 of a read pair): one output each
output           as many files as inputs, in the same order; a .gz or .zst name is compressed
params.extra     any further options (--match prefix, --exclude, --order file, --allow-missing, and for
                 regions --reverse-complement, --strand, --line-width N...); names match a header's first
                 word unless --match says otherwise
"""

__author__ = "the orvane and talmiro authors"
__copyright__ = "Copyright 2026, the orvane and talmiro authors"
__license__ = "MIT"

import shlex

from snakemake.shell import shell


def as_list(files):
    return [files] if isinstance(files, str) else list(files)


inputs = as_list(snakemake.input.sequences)
outputs = as_list(snakemake.output)
if len(inputs) != len(outputs):
    raise ValueError("talmiro writes one output per input: %d inputs, %d outputs" % (len(inputs), len(outputs)))

# What to take: the list's records, or regions of them.
take = []
for key, option in (("names", "-l"), ("regions", "--regions"), ("bed", "--bed")):
    if snakemake.input.get(key):
        take.append("%s %s" % (option, shlex.quote(str(snakemake.input.get(key)))))
take += ["--region %s" % shlex.quote(region) for region in as_list(snakemake.params.get("regions", []))]
if not take:
    raise ValueError("talmiro takes input.names, or regions: input.regions, input.bed or params.regions")
take = " ".join(take)

files = " ".join("-i %s" % shlex.quote(path) for path in inputs)
files += " " + " ".join("-o %s" % shlex.quote(path) for path in outputs)
extra = snakemake.params.get("extra", "")
# The log's name quoted: a blank or a shell's $(...) in it is part of the name, never a command.
log = "> %s 2>&1" % shlex.quote(str(snakemake.log[0])) if snakemake.log else ""

# -q: a job's standard error is a log, never a terminal worth a meter.
# The rule's threads: compressing outputs and reading BGZF take that many, and no more.
shell("talmiro -q --threads {snakemake.threads} {take} {files} {extra} {log}")
