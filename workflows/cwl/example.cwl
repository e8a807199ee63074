#!/usr/bin/env cwl-runner
# The example workflow in CWL: the host reads removed from every read pair (one talmiro job per
# pair, scattered), and the listed genomes cut out of one matrix (one orvane job). Runs as it is
# with cwltool, or on a cluster with Toil (README: "On a cluster"):
#   cwltool workflows/cwl/example.cwl workflows/cwl/example-job.yml
#   toil-cwl-runner --batchSystem slurm workflows/cwl/example.cwl workflows/cwl/example-job.yml
cwlVersion: v1.2
class: Workflow
label: host reads removed from read pairs, genomes cut from a matrix
requirements:
  ScatterFeatureRequirement: {}
  StepInputExpressionRequirement: {}
  InlineJavascriptRequirement: {}

inputs:
  host_reads:
    type: File
    doc: the reads to remove, one name per line
  forward:
    type: File[]
    doc: each pair's R1, in the order of reverse; its index (FILE.tix) staged beside it is used
    secondaryFiles:
      - {pattern: .tix, required: false}
  reverse:
    type: File[]
    doc: each pair's R2
    secondaryFiles:
      - {pattern: .tix, required: false}
  genomes:
    type: File
    doc: the genomes to cut out of the matrix
  matrix:
    type: File
    doc: a distance matrix in any layout orvane reads; its index (MATRIX.oix) beside it is used
    secondaryFiles:
      - {pattern: .oix, required: false}

outputs:
  clean:
    type:
      type: array
      items:
        type: array
        items: File
    doc: each pair without the host reads, R1 and R2
    outputSource: remove_host_reads/extracted
  table:
    type: File
    doc: the listed genomes the matrix holds, as a tsv table
    outputSource: cut_genomes/submatrix

steps:
  remove_host_reads:
    run: talmiro.cwl
    scatter: [r1, r2]
    scatterMethod: dotproduct
    in:
      names: host_reads
      r1: forward
      r2: reverse
      sequences:
        valueFrom: $([inputs.r1, inputs.r2])
      output_names:
        valueFrom: $(["clean_" + inputs.r1.basename, "clean_" + inputs.r2.basename])
      exclude: {default: true}
      match: {default: word}
    out: [extracted]
  cut_genomes:
    run: orvane.cwl
    in:
      ids: genomes
      matrix: matrix
      output_name: {default: genomes.tsv}
      output_format: {default: tsv}
      allow_missing: {default: true}
    out: [submatrix]
