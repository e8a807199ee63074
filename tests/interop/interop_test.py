#!/usr/bin/python3
"""Our files against the real programs that write and read them.

  clustalo        orvane cuts a listed subset out of the full distance matrix clustalo writes;
                  every value equals clustalo's to six decimals, in list order.
  neighbor        PHYLIP's neighbor builds a tree from orvane's output; the tree holds exactly
                  the found IDs. neighbor_wide does the same with distances of 100 and more.
  biopython       talmiro's output parses with Bio.SeqIO and holds exactly the listed records,
                  sequences equal to the input's, in list order.
  mash            orvane cuts mash triangle's lower triangle to a square matrix; every value
                  equals mash's, and PHYLIP's neighbor builds a tree of exactly the listed IDs;
                  the pairs mash dist writes, cut to a table, hold mash's values as mash wrote them.
  bootstrap       seqboot's replicates through dnadist (M), cut by orvane, give neighbor (M) one
                  tree per data set, each of exactly the listed IDs.
  short_names     IDs too long (and with blanks) for PHYLIP, cut with --short-names: neighbor
                  accepts the matrix, every short name is unique, and the tree maps back to the IDs.
  r               a matrix R writes (write.table of as.matrix(dist(...)), tab-separated, CSV, and
                  by default: blank-separated), cut by orvane, read back by R equals m[ids, ids].
  pandas          the same with a DataFrame's to_csv and df.loc[ids, ids].
  compressors     files made by the real gzip (one member and two), bgzip and zstd (one frame and
                  two) read as the plain file in both programs; the .gz and .zst outputs of batch
                  mode pass `gzip -t` and `zstd -t` and decompress to the plain output.

Each case exits 77 (skipped) when the program it needs is not installed.
"""
import argparse
import gzip
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
AMINO_ACIDS = "ACDEFGHIKLMNPQRSTVWY"


def phylip(program):
    """One of PHYLIP's programs as a command: on PATH by its own name (as conda and some
    distributions install them), or through the `phylip` wrapper Debian puts on PATH."""
    own = shutil.which(program)
    if own is not None:
        return [own]
    wrapper = shutil.which("phylip")
    return [wrapper, program] if wrapper is not None else None


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def run_session(binary, answers, folder):
    result = subprocess.run([binary], input=answers.encode(), cwd=folder, capture_output=True, timeout=120)
    check(result.returncode == 0, "%s exits with 0" % binary)
    return result.stdout.decode(errors="replace")


def related_sequences(count, length, rng):
    """Sequences that descend from one ancestor, so a tree and its distances mean something."""
    ancestor = [rng.choice(AMINO_ACIDS) for _ in range(length)]
    sequences = []
    for _ in range(count):
        sequence = list(ancestor)
        for _ in range(rng.randint(5, length // 3)):
            sequence[rng.randrange(length)] = rng.choice(AMINO_ACIDS)
        sequences.append("".join(sequence))
    return sequences


def read_square_matrix(path):
    """Name -> {name -> text} of a full distance matrix, its rows free to wrap over lines."""
    with open(path) as handle:
        tokens = handle.read().split()
    order = int(tokens[0])
    rows = [tokens[1 + i * (order + 1):1 + (i + 1) * (order + 1)] for i in range(order)]
    names = [row[0] for row in rows]
    return {row[0]: dict(zip(names, row[1:])) for row in rows}


def read_orvane_output(folder):
    with open(os.path.join(folder, "out.txt")) as handle:
        lines = handle.read().split("\n")
    count = int(lines[0])
    rows = [(line[:10].strip() if len(line.split()[0]) <= 10 else line.split()[0], line.split()[1:])
            for line in lines[1:1 + count]]
    with open(os.path.join(folder, "sample.txt")) as handle:
        samples = [line.split() for line in handle.read().split("\n") if line]
    check(lines[1 + count:] == [""], "the output matrix ends after its rows")
    check([values for _, values in rows] == samples, "the sample file holds the same distances")
    return rows


def extract_with_orvane(orvane, folder, matrix_name, listed, missing_answers):
    with open(os.path.join(folder, "ids.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    transcript = run_session(orvane, "ids.txt\n%s\n%sout.txt\nsample.txt\n" % (matrix_name, missing_answers), folder)
    check(transcript.endswith("Successfully written OUTPUT Sample file...Exiting now...\n"), "orvane succeeds")
    return read_orvane_output(folder)


def clustalo_case(args, folder, rng):
    if shutil.which("clustalo") is None:
        return SKIP
    names = ["P%05d_ORG" % (index * 37) for index in range(36)]
    with open(os.path.join(folder, "seqs.fa"), "w") as handle:
        for name, sequence in zip(names, related_sequences(len(names), 150, rng)):
            handle.write(">%s\n%s\n" % (name, sequence))
    subprocess.run(["clustalo", "-i", "seqs.fa", "--full", "--distmat-out=dist.mat", "-o", "aln.fa", "--force"],
                   cwd=folder, check=True, capture_output=True, timeout=300)
    produced = read_square_matrix(os.path.join(folder, "dist.mat"))
    listed = rng.sample(names, 14)
    rows = extract_with_orvane(args.orvane, folder, "dist.mat", listed[:7] + ["Q99999_ORG"] + listed[7:], "y\n")
    check([name for name, _ in rows] == listed, "the found IDs in list order")
    for name, values in rows:
        expected = ["%.6f" % float(produced[name][column]) for column in listed]
        check(values == expected, "row %s equals clustalo's distances: %s vs %s" % (name, values, expected))
    return 0


def tree_leaves(newick):
    return set(re.findall(r"[(,]\s*([^(),:;\s]+)\s*:", newick))


def neighbor_case(args, folder, rng, scale):
    if phylip("neighbor") is None:
        return SKIP
    # A matrix from points on a line, so neighbor-joining has a clear tree to find.
    names = ["S%03d_taxon" % index for index in range(30)]
    position = {name: rng.uniform(0.0, 1.0) for name in names}
    noise = {}
    for row in names:
        for column in names:
            noise[(row, column)] = noise.get((column, row), rng.uniform(0.001, 0.01))
    with open(os.path.join(folder, "matrix.txt"), "w") as handle:
        handle.write("%5d\n" % len(names))
        for row in names:
            distances = [0.0 if row == column else scale * (abs(position[row] - position[column]) + noise[(row, column)])
                         for column in names]
            handle.write("%-10s %s\n" % (row, " ".join("%.6f" % value for value in distances)))
    listed = rng.sample(names, 12)
    rows = extract_with_orvane(args.orvane, folder, "matrix.txt", listed, "")
    check([name for name, _ in rows] == listed, "the found IDs in list order")
    if scale >= 100:
        check(any(float(value) >= 100 for _, values in rows for value in values), "distances of 100 and more")
    tree_folder = os.path.join(folder, "tree")
    os.mkdir(tree_folder)
    shutil.copy(os.path.join(folder, "out.txt"), os.path.join(tree_folder, "infile"))
    result = subprocess.run(phylip("neighbor"), input=b"Y\n", cwd=tree_folder, capture_output=True, timeout=120)
    check(result.returncode == 0, "neighbor accepts the matrix: " + result.stdout.decode(errors="replace")[-500:])
    with open(os.path.join(tree_folder, "outtree")) as handle:
        leaves = tree_leaves(handle.read())
    check(leaves == set(listed), "the tree holds exactly the found IDs: %s" % sorted(leaves ^ set(listed)))
    return 0


def biopython_case(args, folder, rng):
    try:
        from Bio import SeqIO
    except ImportError:
        return SKIP
    records = []
    with open(os.path.join(folder, "in.fa"), "w") as handle:
        for index in range(60):
            identifier = "XM_%06d.%d" % (index * 101, 1 + index % 3)
            sequence = "".join(rng.choice("ACGT") for _ in range(rng.randint(50, 400)))
            records.append(identifier)
            wrapped = "\n".join(sequence[at:at + 60] for at in range(0, len(sequence), 60))
            handle.write(">%s predicted mRNA, transcript variant %d\n%s\n" % (identifier, index, wrapped))
    listed = rng.sample(records, 20)
    with open(os.path.join(folder, "names.txt"), "w") as handle:
        handle.write("\n".join(listed[:10] + ["XM_999999.1"] + listed[10:]) + "\n")
    transcript = run_session(args.talmiro, "names.txt\nin.fa\ny\nout.fa\n", folder)
    check(transcript.endswith("Successfully written output file...Exiting now..."), "talmiro succeeds")
    source = {record.id: record for record in SeqIO.parse(os.path.join(folder, "in.fa"), "fasta")}
    written = list(SeqIO.parse(os.path.join(folder, "out.fa"), "fasta"))
    check([record.id for record in written] == listed, "exactly the listed records, in list order")
    for record in written:
        check(str(record.seq) == str(source[record.id].seq), "the sequence of %s as in the input" % record.id)
        check(record.description == source[record.id].description, "the header of %s as in the input" % record.id)
    # FASTQ with each class of fault Biopython's parser refuses: talmiro refuses each too (the
    # check is one way: what Biopython refuses, talmiro refuses), and takes what it reads.
    good = "@a x\nACGT\n+\nIIII\n"
    faults = {"a blank in a quality": "@b\nACGT\n+\nII I\n", "a tab in a quality": "@b\nACGT\n+\nII\tI\n",
              "a NUL in a quality": "@b\nACGT\n+\nII\0I\n", "a vertical tab": "@b\nACGT\n+\nII\x0bI\n",
              "DEL": "@b\nACGT\n+\nIII\x7f\n", "ESC": "@b\nACGT\n+\nI\x1bII\n",
              "a unit separator": "@b\nACGT\n+\nII\x1fI\n", "a blank in a sequence": "@b\nAC T\n+\nIIII\n",
              "another title on the + line": "@b x\nACGT\n+c\nIIII\n", "a short quality": "@b\nACGT\n+\nIII\n",
              "no + line": "@b\nACGT\n@c\nAC\n+\nII\n", "no @": "b\nACGT\n+\nIIII\n"}
    with open(os.path.join(folder, "one.txt"), "w") as handle:
        handle.write("a\n")
    for fault, record in faults.items():
        path = os.path.join(folder, "faulty.fq")
        with open(path, "w", newline="") as handle:
            handle.write(good + record)
        try:
            list(SeqIO.parse(path, "fastq"))
            refused = False
        except ValueError:
            refused = True
        ours = subprocess.run([args.talmiro, "-l", "one.txt", "-i", path, "-o", "-", "--match", "word"],
                              cwd=folder, capture_output=True)
        check(not refused or ours.returncode == 1, "talmiro refuses a FASTQ with %s, as Biopython does: %s" %
              (fault, ours.stderr.decode(errors="replace")))
    return 0


def reads_case(args, folder, rng):
    """Paired FASTQ, gzip-compressed, four-line and wrapped: Biopython reads every output back
    with the listed records, the pairs in step, and seqkit grep takes the same records by ID."""
    try:
        from Bio import SeqIO
    except ImportError:
        return SKIP
    if shutil.which("seqkit") is None:
        return SKIP
    names = []
    for mate in (1, 2):
        with gzip.open(os.path.join(folder, "R%d.fq.gz" % mate), "wt") as handle:
            local = random.Random(7)
            for index in range(400):
                name = "M01:%d:%d" % (index // 50, index)
                if mate == 1:
                    names.append(name)
                sequence = "".join(local.choice("ACGT") for _ in range(local.randint(30, 150)))
                quality = "".join(local.choice("@ABCDI#+") for _ in sequence)
                width = len(sequence) if index % 3 else 40
                wrap = lambda text: "\n".join(text[at:at + width] for at in range(0, len(text), width))
                handle.write("@%s/%d lane %d\n%s\n+\n%s\n" % (name, mate, index, wrap(sequence), wrap(quality)))
    listed = rng.sample(names, 60)
    with open(os.path.join(folder, "names.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    batch(args.talmiro, ["-l", "names.txt", "-i", "R1.fq.gz", "-i", "R2.fq.gz", "-o", "O1.fq", "-o", "O2.fq",
                         "--match", "word"], folder)
    batch(args.talmiro, ["-l", "names.txt", "-i", "R1.fq.gz", "-i", "R2.fq.gz", "-o", "X1.fq", "-o", "X2.fq",
                         "--match", "word", "--exclude"], folder)
    for mate in (1, 2):
        source = {record.id: record for record in SeqIO.parse(gzip.open(os.path.join(folder, "R%d.fq.gz" % mate), "rt"), "fastq")}
        written = list(SeqIO.parse(os.path.join(folder, "O%d.fq" % mate), "fastq"))
        check([record.id for record in written] == ["%s/%d" % (name, mate) for name in listed],
              "mate %d: exactly the listed reads, in list order" % mate)
        for record in written:
            original = source[record.id]
            check(str(record.seq) == str(original.seq) and
                  record.letter_annotations == original.letter_annotations, "read %s as in the input" % record.id)
        excluded = [record.id for record in SeqIO.parse(os.path.join(folder, "X%d.fq" % mate), "fastq")]
        check(excluded == [key for key in source if key.split("/")[0] not in set(listed)],
              "mate %d: every other read, in file order" % mate)
        # seqkit takes the same records (its IDs are the first word, so list them with the mate).
        with open(os.path.join(folder, "ids%d.txt" % mate), "w") as handle:
            handle.write("\n".join("%s/%d" % (name, mate) for name in listed) + "\n")
        result = subprocess.run(["seqkit", "grep", "-f", "ids%d.txt" % mate, "R%d.fq.gz" % mate, "-o",
                                 "S%d.fq" % mate], cwd=folder, capture_output=True, timeout=120)
        check(result.returncode == 0, "seqkit grep: %s" % result.stderr.decode(errors="replace"))
        theirs = {(r.id, str(r.seq)) for r in SeqIO.parse(os.path.join(folder, "S%d.fq" % mate), "fastq")}
        ours = {(r.id, str(r.seq)) for r in written}
        check(theirs == ours, "mate %d: the same records as seqkit grep" % mate)
    return 0


def batch(binary, arguments, folder):
    result = subprocess.run([binary] + arguments, cwd=folder, capture_output=True, timeout=120)
    check(result.returncode == 0, "%s %s: %s" % (binary, " ".join(arguments), result.stderr.decode(errors="replace")))


def mash_case(args, folder, rng):
    if shutil.which("mash") is None or phylip("neighbor") is None:
        return SKIP
    ancestor = [rng.choice("ACGT") for _ in range(30000)]
    names = []
    for index in range(10):
        genome = list(ancestor)
        for _ in range(300 * (index + 1)):
            genome[rng.randrange(len(genome))] = rng.choice("ACGT")
        name = "g%02d.fa" % index
        with open(os.path.join(folder, name), "w") as handle:
            handle.write(">genome%d\n%s\n" % (index, "".join(genome)))
        names.append(name)
    triangle = subprocess.run(["mash", "triangle"] + names, cwd=folder, capture_output=True, timeout=120)
    check(triangle.returncode == 0, "mash triangle: " + triangle.stderr.decode(errors="replace"))
    with open(os.path.join(folder, "triangle.txt"), "wb") as handle:
        handle.write(triangle.stdout)
    lines = triangle.stdout.decode().strip("\n").split("\n")
    rows = [line.split("\t") for line in lines[1:]]
    distance = {}
    for row_index, row in enumerate(rows):
        for column_index, value in enumerate(row[1:]):
            distance[(row[0], rows[column_index][0])] = distance[(rows[column_index][0], row[0])] = value
    listed = rng.sample(names, 6)
    with open(os.path.join(folder, "ids.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    batch(args.orvane, ["-l", "ids.txt", "-i", "triangle.txt", "-o", "out.txt", "-s", "sample.txt",
                        "--output-format", "square"], folder)
    for name, values in read_orvane_output(folder):
        # Each value as mash wrote it; the diagonal, which the triangle does not hold, as 0.
        expected = ["0" if name == other else distance[(name, other)] for other in listed]
        check(values == expected, "row %s equals mash's distances: %s vs %s" % (name, values, expected))
    tree_folder = os.path.join(folder, "tree")
    os.mkdir(tree_folder)
    shutil.copy(os.path.join(folder, "out.txt"), os.path.join(tree_folder, "infile"))
    result = subprocess.run(phylip("neighbor"), input=b"Y\n", cwd=tree_folder, capture_output=True, timeout=120)
    check(result.returncode == 0, "neighbor accepts the matrix")
    with open(os.path.join(tree_folder, "outtree")) as handle:
        leaves = tree_leaves(handle.read())
    check(leaves == set(listed), "the tree holds exactly the listed IDs: %s" % sorted(leaves ^ set(listed)))
    # mash dist's pairs: every ordered pair, as mash wrote it.
    sketch = subprocess.run(["mash", "sketch", "-o", "all"] + names, cwd=folder, capture_output=True, timeout=120)
    check(sketch.returncode == 0, "mash sketch: " + sketch.stderr.decode(errors="replace"))
    pairs = subprocess.run(["mash", "dist", "all.msh", "all.msh"], cwd=folder, capture_output=True, timeout=120)
    check(pairs.returncode == 0, "mash dist: " + pairs.stderr.decode(errors="replace"))
    with open(os.path.join(folder, "pairs.tsv"), "wb") as handle:
        handle.write(pairs.stdout)
    written = {}
    for line in pairs.stdout.decode().splitlines():
        fields = line.split("\t")
        written[(fields[0], fields[1])] = fields[2]
    batch(args.orvane, ["-l", "ids.txt", "-i", "pairs.tsv", "-o", "pairs_cut.tsv", "--output-format", "tsv"], folder)
    with open(os.path.join(folder, "pairs_cut.tsv")) as handle:
        table = [line.rstrip("\n").split("\t") for line in handle]
    check(table[0][1:] == listed, "the table's columns are the listed IDs")
    for row in table[1:]:
        for column, value in zip(listed, row[1:]):
            check(value == written[(row[0], column)], "%s to %s as mash wrote it" % (row[0], column))
    # mash triangle of files whose names hold blanks: its rows are tab-separated, each name
    # running to its tab.
    spaced = []
    for index, name in enumerate(names[:4]):
        spaced.append("g %d.fa" % index)
        shutil.copy(os.path.join(folder, name), os.path.join(folder, spaced[-1]))
    triangle = subprocess.run(["mash", "triangle"] + spaced, cwd=folder, capture_output=True, timeout=120)
    check(triangle.returncode == 0, "mash triangle: " + triangle.stderr.decode(errors="replace"))
    with open(os.path.join(folder, "spaced.txt"), "wb") as handle:
        handle.write(triangle.stdout)
    rows = [line.split("\t") for line in triangle.stdout.decode().strip("\n").split("\n")[1:]]
    with open(os.path.join(folder, "spaced_ids.txt"), "w") as handle:
        handle.write("%s\n%s\n" % (spaced[3], spaced[1]))
    batch(args.orvane, ["-l", "spaced_ids.txt", "--list-lines", "-i", "spaced.txt", "-o", "spaced_cut.tsv",
                        "--output-format", "tsv"], folder)
    with open(os.path.join(folder, "spaced_cut.tsv")) as handle:
        table = [line.rstrip("\n").split("\t") for line in handle]
    check(table[0][1:] == [spaced[3], spaced[1]] and float(table[1][2]) == float(rows[3][2]),
          "the triangle's names with blanks, and their distance: %s" % table)
    return 0


def neighbor_trees(folder, matrix, answers):
    tree_folder = os.path.join(folder, "tree")
    os.mkdir(tree_folder)
    shutil.copy(matrix, os.path.join(tree_folder, "infile"))
    result = subprocess.run(phylip("neighbor"), input=answers, cwd=tree_folder, capture_output=True, timeout=120)
    check(result.returncode == 0, "neighbor accepts the matrix: " + result.stdout.decode(errors="replace")[-500:])
    with open(os.path.join(tree_folder, "outtree")) as handle:
        return [tree for tree in handle.read().split(";") if tree.strip()]


def write_alignment(path, names, ancestor, rng):
    """A PHYLIP alignment: each name in the 10-character field, its sequence the ancestor's with
    more changes the later it stands."""
    with open(path, "w") as handle:
        handle.write("%d %d\n" % (len(names), len(ancestor)))
        for index, name in enumerate(names):
            sequence = list(ancestor)
            for _ in range(8 * (index + 1)):
                sequence[rng.randrange(len(sequence))] = rng.choice("ACGT")
            handle.write("%-10s%s\n" % (name, "".join(sequence)))


def bootstrap_case(args, folder, rng):
    if any(phylip(program) is None for program in ("seqboot", "dnadist", "neighbor")):
        return SKIP
    names = ["Taxon%02d" % index for index in range(12)]
    ancestor = [rng.choice("ACGT") for _ in range(300)]
    write_alignment(os.path.join(folder, "infile"), names, ancestor, rng)
    replicates = 5
    steps = [("seqboot", "R\n%d\nY\n13\n" % replicates), ("dnadist", "M\nD\n%d\nY\n" % replicates)]
    for program, answers in steps:
        result = subprocess.run(phylip(program), input=answers.encode(), cwd=folder, capture_output=True,
                                timeout=120)
        check(result.returncode == 0, program + ": " + result.stdout.decode(errors="replace")[-500:])
        os.replace(os.path.join(folder, "outfile"), os.path.join(folder, "infile"))
    listed = rng.sample(names, 6)
    with open(os.path.join(folder, "ids.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    batch(args.orvane, ["-l", "ids.txt", "-i", "infile", "-o", "cut.dist"], folder)
    trees = neighbor_trees(folder, os.path.join(folder, "cut.dist"), b"M\n%d\n7\nY\n" % replicates)
    check(len(trees) == replicates, "one tree per data set: %d of %d" % (len(trees), replicates))
    for tree in trees:
        leaves = tree_leaves(tree + ";")
        check(leaves == set(listed), "each tree holds exactly the listed IDs: %s" % sorted(leaves ^ set(listed)))
    # dnadist writes each name in PHYLIP's 10-character field, blanks and all, and a name of ten
    # characters touching its first value: orvane reads the names as neighbor does.
    spaced = os.path.join(folder, "spaced")
    os.mkdir(spaced)
    names = ["B. virgini", "M. secundu", "catcatcatc", "dogdogdogd", "E. coli", "F. nucleat", "G", "H. pylori"]
    write_alignment(os.path.join(spaced, "infile"), names, ancestor, rng)
    result = subprocess.run(phylip("dnadist"), input=b"Y\n", cwd=spaced, capture_output=True, timeout=120)
    check(result.returncode == 0, "dnadist: " + result.stdout.decode(errors="replace")[-500:])
    listed = ["catcatcatc", "B. virgini", "H. pylori", "M. secundu"]
    with open(os.path.join(spaced, "ids.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    batch(args.orvane, ["-l", "ids.txt", "--list-lines", "-i", "outfile", "-o", "cut.dist"], spaced)
    trees = neighbor_trees(spaced, os.path.join(spaced, "cut.dist"), b"Y\n")
    leaves = tree_leaves(trees[0] + ";")
    check(leaves == {name.replace(" ", "_") for name in listed}, "the tree holds the names dnadist wrote: %s" % leaves)
    return 0


def short_names_case(args, folder, rng):
    if phylip("neighbor") is None:
        return SKIP
    names = ["Homo sapiens", "Homo sapiens neanderthalensis", "Pan troglodytes", "Pan troglodytes verus",
             "Gorilla gorilla", "Pongo abelii", "Macaca mulatta", "Mus"]
    position = {name: rng.uniform(0.0, 1.0) for name in names}
    with open(os.path.join(folder, "m.tsv"), "w") as handle:
        handle.write("\t" + "\t".join(names) + "\n")
        for row in names:
            handle.write(row + "\t" + "\t".join("%.6f" % (0.0 if row == column else
                                                          abs(position[row] - position[column]) + 0.01)
                                                 for column in names) + "\n")
    listed = rng.sample(names, 6)
    with open(os.path.join(folder, "ids.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    batch(args.orvane, ["-l", "ids.txt", "--list-lines", "-i", "m.tsv", "-o", "cut.dist", "--output-format",
                        "square", "--short-names", "map.tsv"], folder)
    with open(os.path.join(folder, "map.tsv")) as handle:
        entries = [line.rstrip("\n").split("\t") for line in handle]
    shorts = [short for short, _ in entries]
    check(len(set(shorts)) == len(shorts) == len(listed), "one unique short name per ID: %s" % shorts)
    check(all(re.fullmatch(r"[A-Za-z0-9_.-]{1,10}", short) for short in shorts), "short names fit PHYLIP")
    back = {short: name for short, name in entries}
    trees = neighbor_trees(folder, os.path.join(folder, "cut.dist"), b"Y\n")
    leaves = {back[leaf] for leaf in tree_leaves(trees[0] + ";")}
    check(leaves == set(listed), "the tree maps back to the listed IDs: %s" % sorted(leaves ^ set(listed)))
    return 0


def r_case(args, folder, rng):
    if shutil.which("Rscript") is None:
        return SKIP
    # Two names R quotes its own way: a backslash it keeps as it is, a quote it escapes.
    listed = ["s%d" % index for index in rng.sample(range(1, 14), 5)] + ["back\\slash", 'dq"uote']
    with open(os.path.join(folder, "ids.txt"), "w") as handle:
        handle.write("\n".join(listed) + "\n")
    script = """
set.seed(4); x <- matrix(rnorm(75), 15); rownames(x) <- c(paste0("s", 1:13), "back\\\\slash", "dq\\"uote")
m <- as.matrix(dist(x))
write.table(m, "m.tsv", sep = "\\t", quote = TRUE)
write.csv(m, "m.csv")
status <- system2("%s", c("-l", "ids.txt", "-i", "m.tsv", "-o", "sub.tsv"))
status <- status + system2("%s", c("-l", "ids.txt", "-i", "m.csv", "-o", "sub.csv"))
write.table(m, "m.txt")
status <- status + system2("%s", c("-l", "ids.txt", "-i", "m.txt", "-o", "sub.txt"))
ids <- readLines("ids.txt")
from_tsv <- as.matrix(read.table("sub.tsv", sep = "\\t", header = TRUE, row.names = 1, check.names = FALSE))
from_csv <- as.matrix(read.csv("sub.csv", row.names = 1, check.names = FALSE))
from_default <- as.matrix(read.table("sub.txt", check.names = FALSE))
same <- function(a, b) isTRUE(all.equal(a, b, tolerance = 1e-14, check.attributes = FALSE)) &&
    identical(rownames(a), rownames(b)) && identical(colnames(a), colnames(b))
if (status != 0 || !same(from_tsv, m[ids, ids]) || !same(from_csv, m[ids, ids]) ||
    !same(from_default, m[ids, ids])) quit(status = 1)
# NA in listed cells: let through as R wrote it, read back as NA in the same cells.
m[ids[1], ids[2]] <- NA; m[ids[2], ids[1]] <- NA
write.table(m, "na.txt")
status <- system2("%s", c("-l", "ids.txt", "-i", "na.txt", "-o", "sub_na.txt", "--allow-na"))
from_na <- as.matrix(read.table("sub_na.txt", check.names = FALSE))
if (status != 0 || !same(from_na, m[ids, ids])) quit(status = 1)
""" % (args.orvane, args.orvane, args.orvane, args.orvane)
    result = subprocess.run(["Rscript", "-e", script], cwd=folder, capture_output=True, timeout=300)
    check(result.returncode == 0, "R reads back m[ids, ids]: " + result.stderr.decode(errors="replace")[-800:])
    return 0


def pandas_case(args, folder, rng):
    try:
        import numpy
        import pandas
    except ImportError:
        return SKIP
    # A name with a comma, which the csv quotes (orvane's list is whitespace-separated, so no blanks).
    names = ["taxon_%d" % index for index in range(20)] + ["a,b"]
    points = numpy.array([[rng.random() for _ in range(4)] for _ in names])
    values = numpy.sqrt(((points[:, None, :] - points[None, :, :]) ** 2).sum(axis=2))
    frame = pandas.DataFrame(values, index=names, columns=names)
    frame.to_csv(os.path.join(folder, "m.csv"))
    frame.to_csv(os.path.join(folder, "m.tsv"), sep="\t")
    ids = rng.sample(names, 7) + ["a,b"]
    with open(os.path.join(folder, "ids.txt"), "w") as handle:
        handle.write("\n".join(ids) + "\n")
    for source, output, separator in (("m.csv", "sub.csv", ","), ("m.tsv", "sub.tsv", "\t")):
        batch(args.orvane, ["-l", "ids.txt", "-i", source, "-o", output], folder)
        back = pandas.read_csv(os.path.join(folder, output), sep=separator, index_col=0, float_precision="round_trip")
        expected = frame.loc[ids, ids]
        check(list(back.index) == ids and list(back.columns) == ids, "the listed names, in list order")
        check(numpy.array_equal(back.to_numpy(), expected.to_numpy()), "the values exactly as pandas wrote them")
    # pandas writes NaN as an empty cell: let through as it stands, read back as NaN in the same cells.
    frame.loc[ids[0], ids[1]] = frame.loc[ids[1], ids[0]] = numpy.nan
    frame.to_csv(os.path.join(folder, "na.csv"))
    batch(args.orvane, ["-l", "ids.txt", "-i", "na.csv", "-o", "sub_na.csv", "--allow-na"], folder)
    back = pandas.read_csv(os.path.join(folder, "sub_na.csv"), index_col=0, float_precision="round_trip")
    check(numpy.array_equal(back.to_numpy(), frame.loc[ids, ids].to_numpy(), equal_nan=True),
          "a NaN cell goes through as pandas wrote it")
    return 0


def compressors_case(args, folder, rng):
    tools = {name: shutil.which(name) for name in ("gzip", "bgzip", "zstd", "bzip2", "xz", "samtools")}
    if None in tools.values():
        return SKIP
    records = "".join(">r%d x\n%s\n" % (index, "".join(rng.choice("ACGT") for _ in range(150))) for index in range(400))
    names = "r399\nr0\nr17\nr250\n"
    ids = " ".join("s%d" % index for index in range(30, 0, -3))
    order = 40
    matrix = "%d\n" % order + "".join(
        "s%d %s\n" % (row, " ".join("%.6f" % (abs(row - column) / 7.0) for column in range(order))) for row in range(order))
    for name, text in (("in.fa", records), ("names.txt", names), ("matrix.txt", matrix), ("ids.txt", ids)):
        with open(os.path.join(folder, name), "w") as file:
            file.write(text)
    batch(args.talmiro, ["-l", "names.txt", "-i", "in.fa", "-o", "expected.fa"], folder)
    batch(args.orvane, ["-l", "ids.txt", "-i", "matrix.txt", "-o", "expected.txt"], folder)
    forms = {
        "gzip": "gzip -c {0}",
        "gzip_two_members": "{{ head -c 3000 {0} | gzip -c; tail -c +3001 {0} | gzip -c; }}",
        "bgzip": "bgzip -c {0}",
        "zstd": "zstd -q -c {0}",
        "zstd_two_frames": "{{ head -c 3000 {0} | zstd -q -c; tail -c +3001 {0} | zstd -q -c; }}",
        "bzip2": "bzip2 -c {0}",
        "bzip2_two_streams": "{{ head -c 3000 {0} | bzip2 -c; tail -c +3001 {0} | bzip2 -c; }}",
        "xz": "xz -c {0}",
        "xz_two_streams": "{{ head -c 3000 {0} | xz -c; tail -c +3001 {0} | xz -c; }}",
    }
    for form, command in forms.items():
        for plain in ("in.fa", "names.txt", "matrix.txt", "ids.txt"):
            subprocess.run(["/bin/sh", "-c", (command + " > {0}.z").format(plain)], cwd=folder, check=True)
        batch(args.talmiro, ["-l", "names.txt.z", "-i", "in.fa.z", "-o", "got.fa"], folder)
        batch(args.orvane, ["-l", "ids.txt.z", "-i", "matrix.txt.z", "-o", "got.txt"], folder)
        for got, expected in (("got.fa", "expected.fa"), ("got.txt", "expected.txt")):
            with open(os.path.join(folder, got), "rb") as a, open(os.path.join(folder, expected), "rb") as b:
                check(a.read() == b.read(), "%s read from %s equals the plain run's output" % (got, form))
    # Every output each tool's own program reads back; .gz is BGZF, which bgzip checks and
    # samtools indexes, and it is the same on one thread and two.
    readers = {"out.fa.gz": "gzip -t out.fa.gz && bgzip -t out.fa.gz && gzip -dc out.fa.gz",
               "out.fa.bgz": "bgzip -t out.fa.bgz && bgzip -dc out.fa.bgz",
               "out.fa.zst": "zstd -q -t out.fa.zst && zstd -q -dc out.fa.zst",
               "out.fa.bz2": "bzip2 -t out.fa.bz2 && bzip2 -dc out.fa.bz2",
               "out.fa.xz": "xz -t out.fa.xz && xz -dc out.fa.xz"}
    for output, reader in readers.items():
        for threads in ("1", "2"):
            batch(args.talmiro, ["-l", "names.txt", "in.fa", "-o", output, "--threads", threads], folder)
            checked = subprocess.run(["/bin/sh", "-c", reader + " | cmp - expected.fa"], cwd=folder,
                                     capture_output=True)
            check(checked.returncode == 0, "%s reads %s back: %s" % (reader.split()[0], output,
                                                                      checked.stderr.decode()))
    indexed = subprocess.run(["samtools", "faidx", "out.fa.gz", "r17"], cwd=folder, capture_output=True, text=True)
    check(indexed.returncode == 0 and indexed.stdout.startswith(">r17"),
          "samtools faidx indexes and reads the BGZF output: %s" % indexed.stderr)
    return 0


def sequence_of(record):
    """The bases of one FASTA or FASTQ record as written, whatever its line breaks."""
    lines = record.replace(b"\r", b"").split(b"\n")[1:]
    plus = next((at for at, line in enumerate(lines) if line.startswith(b"+")), len(lines))
    return b"".join(lines[:plus] if record.startswith(b"@") else lines)


def folder_tools(folder):
    """Three helpers on files of `folder`: write a text as it is, read a file's bytes, and run a
    shell command there that must succeed (its result)."""
    def write(name, text):
        with open(os.path.join(folder, name), "w", newline="") as handle:
            handle.write(text)
    def read(name):
        with open(os.path.join(folder, name), "rb") as handle:
            return handle.read()
    def run(command):
        result = subprocess.run(["/bin/sh", "-c", command], cwd=folder, capture_output=True, timeout=120)
        check(result.returncode == 0, "%s: %s" % (command, result.stderr.decode(errors="replace")))
        return result
    return write, read, run


def samtools_case(args, folder, rng):
    """Indexes both ways: the .fai and .gzi talmiro --index writes are byte for byte those
    samtools faidx writes, samtools fetches through ours, and talmiro takes records through a
    .fai samtools made (with no table of its own) exactly as reading the whole file does."""
    if shutil.which("samtools") is None or shutil.which("bgzip") is None:
        return SKIP
    write, read, run = folder_tools(folder)
    fasta, fastq, names = [], [], []
    for index in range(300):
        name = "contig_%d" % index
        names.append(name)
        sequence = "".join(rng.choice("ACGT") for _ in range(rng.randint(1, 400)))
        width = rng.choice([60, 70, 80, len(sequence)])
        lines = "".join(sequence[at:at + width] + "\n" for at in range(0, len(sequence), width))
        fasta.append(">%s sample %d\n%s" % (name, index, lines))
        quality = "".join(rng.choice("@ABCI#") for _ in sequence)
        fastq.append("@%s\n%s\n+\n%s\n" % (name, sequence, quality))
    listed = rng.sample(names, 40)
    write("names.txt", "\n".join(listed) + "\n")
    for stem, text in (("seqs.fa", "".join(fasta)), ("reads.fq", "".join(fastq))):
        write("ours." + stem, text)
        write("theirs." + stem, text)
    run("bgzip -c ours.seqs.fa > ours.seqs.fa.gz && cp ours.seqs.fa.gz theirs.seqs.fa.gz")
    run("samtools faidx theirs.seqs.fa && samtools faidx --fastq theirs.reads.fq && samtools faidx theirs.seqs.fa.gz")
    run("%s --index ours.seqs.fa ours.reads.fq ours.seqs.fa.gz" % args.talmiro)
    for ours, theirs in (("ours.seqs.fa.fai", "theirs.seqs.fa.fai"), ("ours.reads.fq.fai", "theirs.reads.fq.fai"),
                         ("ours.seqs.fa.gz.fai", "theirs.seqs.fa.gz.fai"), ("ours.seqs.fa.gz.gzi", "theirs.seqs.fa.gz.gzi")):
        check(read(ours) == read(theirs), "%s is byte for byte samtools' %s" % (ours, theirs))
    # samtools fetches through our indexes what it fetches through its own.
    for stem in ("seqs.fa", "seqs.fa.gz"):
        check(run("samtools faidx ours.%s -r names.txt" % stem).stdout ==
              run("samtools faidx theirs.%s -r names.txt" % stem).stdout, "samtools reads our index of %s" % stem)
    check(run("samtools faidx --fastq ours.reads.fq -r names.txt").stdout ==
          run("samtools faidx --fastq theirs.reads.fq -r names.txt").stdout, "samtools reads our FASTQ index")
    # samtools' own .fai and .gzi cannot be proved without reading the file: talmiro reads it
    # whole, with one hint, and takes what the scan takes.
    for stem in ("seqs.fa", "reads.fq", "seqs.fa.gz"):
        indexed = run("%s -l names.txt -i theirs.%s -o indexed --match word -v" % (args.talmiro, stem))
        check(b"records scanned: " in indexed.stderr and b"has no .tix to vouch for it" in indexed.stderr,
              "talmiro reads whole beside samtools' .fai of %s: %s" % (stem, indexed.stderr.decode()))
        run("%s -l names.txt -i theirs.%s -o scanned --match word --no-index" % (args.talmiro, stem))
        check(read("indexed") == read("scanned"), "through samtools' .fai of %s, the records the scan takes" % stem)
    # Every .fai talmiro writes is samtools' own; where samtools refuses the file (an empty
    # record), samtools fetches through talmiro's .fai the bases talmiro takes. Where samtools
    # would count bases otherwise (blanks, stray carriage returns) no .fai is written at all.
    tricky = {"crlf.fa": ">a\r\nACGT\r\nAC\r\n>b\r\nGG\r\n", "uneven.fa": ">a\nACG\nACGT\n>b\nGG\n",
              "blanks.fa": ">a\nAC GT\nAC GT\nAC\n>b\nAA\n", "empty.fa": ">a\nACGT\nAC\n>e\n>b\nGG\n",
              "last_cr.fa": ">a\nACGT\r", "wrapped.fq": "@r1 x\nACGT\nAC\n+\nIIII\nII\n@r2\nAC\n+r2\nII\n",
              "blank_lines.fa": ">a\nACGT\nAC\n\n\n>b\nGG\n"}
    for name, text in tricky.items():
        fastq = name.endswith(".fq")
        write("ours." + name, text)
        write("theirs." + name, text)
        run("%s --index ours.%s" % (args.talmiro, name))
        theirs = subprocess.run(["samtools", "faidx"] + (["--fastq"] if fastq else []) + ["theirs." + name],
                                cwd=folder, capture_output=True)
        if not os.path.exists(os.path.join(folder, "ours.%s.fai" % name)):
            check(name in ("uneven.fa", "blanks.fa", "last_cr.fa"), "talmiro writes a .fai for %s" % name)
            continue
        if theirs.returncode == 0:
            check(read("ours.%s.fai" % name) == read("theirs.%s.fai" % name), "the .fai of %s is samtools'" % name)
        for line in read("ours.%s.fai" % name).decode().splitlines():
            record = line.split("\t")[0]
            fetched = run("samtools faidx %s ours.%s %s" % ("--fastq" if fastq else "", name, record)).stdout
            write("one.txt", record + "\n")
            taken = run("%s -l one.txt -i ours.%s -o - --match word --no-index" % (args.talmiro, name)).stdout
            check(sequence_of(fetched) == sequence_of(taken),
                  "samtools fetches %s of %s through talmiro's .fai as talmiro takes it: %r, %r" %
                  (record, name, fetched, taken))
    return 0


def regions_case(args, folder, rng):
    """Regions as samtools cuts them: random FASTA (plain and BGZF, lines of several widths,
    mixed case and IUPAC codes, records long enough to be read in part through the index) and
    FASTQ, random regions (single bases, whole records, past the end) on both strands and at
    several line widths, talmiro through its index and reading whole, byte for byte samtools
    faidx and fqidx; a BED file's sequences are bedtools getfasta's."""
    if shutil.which("samtools") is None or shutil.which("bgzip") is None:
        return SKIP
    write, _, shell = folder_tools(folder)
    def run(command):
        return shell(command).stdout
    lengths = {}
    fasta, fastq = [], []
    for index in range(24):
        name = "chr%d" % index
        length = rng.choice([1, 7, 300, 5000, 70000, 140000])
        lengths[name] = length
        sequence = "".join(rng.choice("ACGTACGTacgtNRYKMSWBDHV") for _ in range(length))
        width = rng.choice([50, 60, 61, 80, length])
        fasta.append(">%s chromosome %d\n%s" % (name, index,
                                                 "".join(sequence[at:at + width] + "\n" for at in range(0, length, width))))
        quality = "".join(rng.choice("!#5?@ABCI~") for _ in range(min(length, 400)))
        fastq.append("@%s\n%s\n+\n%s\n" % (name, sequence[:400], quality))
    write("seqs.fa", "".join(fasta))
    write("reads.fq", "".join(fastq))
    run("bgzip -c seqs.fa > seqs.fa.gz && %s --index seqs.fa seqs.fa.gz reads.fq" % args.talmiro)
    regions = []
    for _ in range(400):
        name = rng.choice(sorted(lengths))
        length = lengths[name]
        kind = rng.random()
        if kind < 0.1:
            regions.append(name)
        elif kind < 0.2:
            regions.append("%s:%d" % (name, rng.randint(1, length + 3)))
        else:
            start = rng.randint(1, length + 2)
            regions.append("%s:%d-%d" % (name, start, start + rng.choice([0, 1, 99, 2500, 20000])))
    write("regions.txt", "\n".join(regions) + "\n")
    reads = [region for region in regions if lengths[region.split(":")[0]] <= 400]
    write("reads.txt", "\n".join(reads) + "\n")
    for width in (60, 7, 1000):
        for strand in ("", "-i"):
            ours = "--line-width %d %s" % (width, "--reverse-complement" if strand else "")
            theirs = run("samtools faidx -n %d %s seqs.fa -r regions.txt 2>/dev/null" % (width, strand))
            for stem in ("seqs.fa", "seqs.fa.gz"):
                for index in ("", "--no-index"):
                    check(run("%s -i %s --regions regions.txt -o - %s %s 2>/dev/null" % (args.talmiro, stem, ours, index))
                          == theirs, "talmiro cuts %s as samtools faidx -n %d %s (%s)" % (stem, width, strand, index))
            theirs = run("samtools fqidx -n %d %s reads.fq -r reads.txt 2>/dev/null" % (width, strand))
            check(run("%s -i reads.fq --regions reads.txt -o - %s 2>/dev/null" % (args.talmiro, ours)) == theirs,
                  "talmiro cuts FASTQ as samtools fqidx -n %d %s" % (width, strand))
    if shutil.which("bedtools") is None:
        return 0
    bed = []
    for _ in range(200):
        name = rng.choice(sorted(lengths))
        start = rng.randint(0, lengths[name] - 1)
        bed.append("%s\t%d\t%d\tf%d\t0\t%s" % (name, start, min(lengths[name], start + rng.randint(1, 3000)),
                                                  len(bed), rng.choice("+-")))
    write("cuts.bed", "\n".join(bed) + "\n")
    def sequences(text):
        return [line for line in text.decode().splitlines() if not line.startswith(">")]
    theirs = sequences(run("bedtools getfasta -s -fi seqs.fa -bed cuts.bed"))
    for stem in ("seqs.fa", "seqs.fa.gz"):
        ours = run("%s -i %s --bed cuts.bed --strand --line-width 0 -o -" % (args.talmiro, stem))
        check(sequences(ours) == theirs, "talmiro cuts the BED intervals of %s as bedtools getfasta -s" % stem)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=["clustalo", "neighbor", "neighbor_wide", "biopython", "mash", "r", "pandas",
                                         "compressors", "reads", "bootstrap", "short_names", "samtools",
                                         "regions"])
    parser.add_argument("--orvane")
    parser.add_argument("--talmiro")
    args = parser.parse_args()
    rng = random.Random(20261208)
    with tempfile.TemporaryDirectory() as folder:
        if args.case == "clustalo":
            outcome = clustalo_case(args, folder, rng)
        elif args.case == "neighbor":
            outcome = neighbor_case(args, folder, rng, 1.0)
        elif args.case == "neighbor_wide":
            outcome = neighbor_case(args, folder, rng, 250.0)
        elif args.case == "mash":
            outcome = mash_case(args, folder, rng)
        elif args.case == "r":
            outcome = r_case(args, folder, rng)
        elif args.case == "pandas":
            outcome = pandas_case(args, folder, rng)
        elif args.case == "compressors":
            outcome = compressors_case(args, folder, rng)
        elif args.case == "reads":
            outcome = reads_case(args, folder, rng)
        elif args.case == "bootstrap":
            outcome = bootstrap_case(args, folder, rng)
        elif args.case == "short_names":
            outcome = short_names_case(args, folder, rng)
        elif args.case == "samtools":
            outcome = samtools_case(args, folder, rng)
        elif args.case == "regions":
            outcome = regions_case(args, folder, rng)
        else:
            outcome = biopython_case(args, folder, rng)
    print("skipped: the program is not installed" if outcome == SKIP else "passed")
    sys.exit(outcome)


if __name__ == "__main__":
    main()
