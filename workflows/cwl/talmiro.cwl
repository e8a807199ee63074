#!/usr/bin/env cwl-runner
# talmiro's extraction in batch mode: every option but -q, -v and --index (an index is made
# once, outside the workflow; staged beside an input as a secondary file, it is used).
cwlVersion: v1.2
class: CommandLineTool
label: talmiro
doc: |
  Copies the FASTA or FASTQ records of the listed names, in list order. Several inputs (R1 and
  R2 of a read pair) each get their output, in the same order, kept in step. A listed name no
  record takes fails the run (exit 1) unless allow_missing is set; a failed run writes nothing.
  Given regions (regions, region_file or bed) instead of names, it cuts those stretches of one
  input's records, as samtools faidx writes them.

# The outputs are collected by their names exactly: glob's own characters in a name ([, ], *
# and ?) stand for themselves, and a name that collects no file, or several, fails the run.
requirements:
  InlineJavascriptRequirement: {}

hints:
  # What one job uses: a batch system (Toil on SLURM) asks a node for no more.
  ResourceRequirement:
    coresMin: 1
    ramMin: 512
  SoftwareRequirement:
    packages:
      orvane-talmiro:
        version: ["2.0"]

baseCommand: [talmiro]

inputs:
  names:
    type: File?
    doc: the list, one name per line (or regions below)
    inputBinding: {prefix: --list, position: 1}
  sequences:
    type:
      type: array
      items: File
      inputBinding: {prefix: --input}
    doc: the FASTA or FASTQ files (plain, gzip, BGZF or zstd); R1 and R2 of a read pair
    # talmiro reads its .tix alone (it holds a BGZF file's block offsets too); a .fai or .gzi
    # without it would only be told and passed over.
    secondaryFiles:
      - {pattern: .tix, required: false}
    inputBinding: {position: 2}
  output_names:
    type:
      type: array
      items: string
      inputBinding: {prefix: --output}
    doc: one file name per input, in the same order; a .gz or .zst name is compressed
    inputBinding: {position: 3}
  allow_missing:
    type: boolean?
    doc: warn about listed names no record takes and write the rest
    inputBinding: {prefix: --allow-missing, position: 4}
  match:
    type:
      - "null"
      - type: enum
        symbols: [prefix, word, full]
    doc: which headers a name takes (default word, the header's first word with a trailing /1 or /2 aside)
    inputBinding: {prefix: --match, position: 4}
  exact:
    type: boolean?
    doc: the same as match word
    inputBinding: {prefix: --exact, position: 4}
  ignore_case:
    type: boolean?
    doc: names match headers whatever the case of their letters
    inputBinding: {prefix: --ignore-case, position: 4}
  exclude:
    type: boolean?
    doc: write every record no listed name takes, in file order
    inputBinding: {prefix: --exclude, position: 4}
  order:
    type:
      - "null"
      - type: enum
        symbols: [list, file]
    doc: list (default; records in list order) or file (as read)
    inputBinding: {prefix: --order, position: 4}
  no_index:
    type: boolean?
    doc: read the whole input even where an index is staged beside it
    inputBinding: {prefix: --no-index, position: 4}
  no_mate_check:
    type: boolean?
    doc: in file order, take several inputs as they are rather than hold each record to be its mate's
    inputBinding: {prefix: --no-mate-check, position: 4}
  level:
    type: int?
    doc: the compression level of outputs named .gz, .bgz, .zst, .bz2 or .xz, within the codec's range
    inputBinding: {prefix: --level, position: 4}
  list_column:
    type: int?
    doc: take the N-th blank- or tab-separated field of each list line as the name
    inputBinding: {prefix: --list-column, position: 4}
  regions:
    type:
      - "null"
      - type: array
        items: string
        inputBinding: {prefix: --region}
    doc: regions to cut, NAME:START-END from 1 as samtools writes them, in place of names
    inputBinding: {position: 4}
  region_file:
    type: File?
    doc: a file of regions, one a line as regions takes them
    inputBinding: {prefix: --regions, position: 4}
  bed:
    type: File?
    doc: a BED file whose intervals are cut (headed NAME:START-END from 1)
    inputBinding: {prefix: --bed, position: 4}
  reverse_complement:
    type: boolean?
    doc: write each region's reverse complement, its header marked /rc
    inputBinding: {prefix: --reverse-complement, position: 4}
  strand:
    type: boolean?
    doc: a BED interval on strand - is written reverse complemented
    inputBinding: {prefix: --strand, position: 4}
  name_from_bed:
    type: boolean?
    doc: head each BED interval with its own name (4th field)
    inputBinding: {prefix: --name-from-bed, position: 4}
  strict_regions:
    type: boolean?
    doc: a region reaching past its record's end fails the run rather than being cut to it
    inputBinding: {prefix: --strict-regions, position: 4}
  line_width:
    type: int?
    doc: regions' sequences in lines of N (default 60; 0 for one line)
    inputBinding: {prefix: --line-width, position: 4}
  verbose:
    type: boolean?
    doc: the counts, and how each input was read (through its index or not), on standard error (the job's log)
    inputBinding: {prefix: --verbose, position: 4}
  threads:
    type: int?
    doc: threads to compress and read on (default, the cores the runner gives the job)
    default: 0
    inputBinding:
      prefix: --threads
      position: 4
      valueFrom: "$(self > 0 ? self : runtime.cores)"

outputs:
  extracted:
    type: File[]
    doc: the outputs, in the order of the inputs
    outputBinding:
      glob: '${ return inputs.output_names.map(function (name) { return name.replace(/[\[\]*?]/g, "[$&]"); }); }'
      outputEval: |
        ${
          if (self.length != inputs.output_names.length) {
            throw "the outputs " + inputs.output_names.join(", ") + " were not each collected as one file";
          }
          return self;
        }
