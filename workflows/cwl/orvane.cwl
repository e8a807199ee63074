#!/usr/bin/env cwl-runner
# orvane's cut in batch mode: every option but -q, -v and --index (an index is made once,
# outside the workflow; staged beside the matrix as a secondary file, it is used).
cwlVersion: v1.2
class: CommandLineTool
label: orvane
doc: |
  Cuts the rows and columns of the listed IDs, in list order, out of a distance matrix (square
  PHYLIP, lower triangle, tsv, csv, R's blank-separated tables or mash dist's pairs; every data
  set of a bootstrap file in turn), and writes the sub-matrix and optionally its bare numbers.
  A listed ID the matrix lacks fails the run (exit 1) unless allow_missing is set; a failed run
  writes nothing.

# The outputs are collected by their names exactly: glob's own characters in a name ([, ], *
# and ?) stand for themselves.
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

baseCommand: [orvane]

inputs:
  ids:
    type: File
    doc: the list of IDs, separated by blanks (one per line with list_lines)
    inputBinding: {prefix: --list, position: 1}
  matrix:
    type: File
    doc: the distance matrix, plain, gzip or zstd
    secondaryFiles:
      - {pattern: .oix, required: false}
    inputBinding: {prefix: --input, position: 2}
  output_name:
    type: string
    doc: the sub-matrix's file name; a .gz or .zst name is compressed
    inputBinding: {prefix: --output, position: 3}
  sample_name:
    type: string?
    doc: also write the bare distances, without header and names, to this file
    inputBinding: {prefix: --sample, position: 3}
  short_names_name:
    type: string?
    doc: write names PHYLIP accepts into every output, and the map back to the IDs to this file
    inputBinding: {prefix: --short-names, position: 3}
  allow_missing:
    type: boolean?
    doc: warn about listed IDs the matrix lacks and write the rest
    inputBinding: {prefix: --allow-missing, position: 4}
  input_format:
    type:
      - "null"
      - type: enum
        symbols: [auto, square, lower, tsv, csv, pairs, ssv]
    doc: the input's layout (default auto, told from the first lines)
    inputBinding: {prefix: --input-format, position: 4}
  output_format:
    type:
      - "null"
      - type: enum
        symbols: [square, lower, tsv, csv, pairs, ssv]
    doc: the output's layout (default the input's)
    inputBinding: {prefix: --output-format, position: 4}
  list_lines:
    type: boolean?
    doc: the list holds one ID per line, blanks inside kept
    inputBinding: {prefix: --list-lines, position: 4}
  check:
    type: boolean?
    doc: fail unless the cut is symmetric with zeros on its diagonal
    inputBinding: {prefix: --check, position: 4}
  exclude:
    type: boolean?
    doc: keep every ID but the listed ones, in the matrix's order
    inputBinding: {prefix: --exclude, position: 4}
  dataset:
    type: int?
    doc: cut only the N-th data set (from 1) of a file of several
    inputBinding: {prefix: --dataset, position: 4}
  allow_na:
    type: boolean?
    doc: let missing values (NA, NaN, an empty cell) of a table through into a table output, as they stand
    inputBinding: {prefix: --allow-na, position: 4}
  decimals:
    type: int?
    doc: write every value in fixed point with N decimals (0 to 17; default each as the input wrote it)
    inputBinding: {prefix: --decimals, position: 4}
  no_index:
    type: boolean?
    doc: read the whole matrix even where an index is staged beside it
    inputBinding: {prefix: --no-index, position: 4}
  level:
    type: int?
    doc: the compression level of outputs named .gz, .bgz, .zst, .bz2 or .xz, within the codec's range
    inputBinding: {prefix: --level, position: 4}
  list_column:
    type: int?
    doc: take the N-th blank- or tab-separated field of each list line as the name
    inputBinding: {prefix: --list-column, position: 4}
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
  submatrix:
    type: File
    outputBinding:
      glob: '${ var name = inputs.output_name; return name === null ? [] : [name.replace(/[\[\]*?]/g, "[$&]")]; }'
  sample:
    type: File?
    outputBinding:
      glob: '${ var name = inputs.sample_name; return name === null ? [] : [name.replace(/[\[\]*?]/g, "[$&]")]; }'
  short_names:
    type: File?
    outputBinding:
      glob: '${ var name = inputs.short_names_name; return name === null ? [] : [name.replace(/[\[\]*?]/g, "[$&]")]; }'
