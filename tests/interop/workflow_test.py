#!/usr/bin/python3
"""Both programs where users run them: workflow engines, Galaxy and the shells.

  snakemake   each wrapper's test Snakefile, laid out as the public wrapper collection lays its
              own, and the example workflow (a job per read pair and per matrix, gathered), run
              by Debian's snakemake --cores 2; every output is checked against the expected files
              or computed afresh.
  cwltool     both CommandLineTools validate, name every batch option but -q, -v and --index,
              and run their example jobs (the read pair again with its index staged beside it).
  galaxy      each tool XML has a parameter for every batch option; its <command> is rendered
              with Cheetah for each <test> as Galaxy binds the values (inputs staged as
              dataset_N.dat, so no program may rely on a name's extension), run, and its outputs
              (or its failure) compared with what the test names.
  completion  the bash completions the build wrote, sourced into a plain bash, and the zsh ones
              through compinit in a pseudo-terminal, offer the options, the layout and mode names
              and files.
  drift       every option a workflow file names is one the program takes, the CWL tools and
              Galaxy XML name every batch option, and every version they carry is the programs'.
  slurm       a one-node SLURM cluster of its own (tests/cluster/slurm-cluster): the example
              through the Snakemake profile with the real sbatch (the local run's bytes, each
              rule's resources on its job, failing and cancelled jobs failing the workflow), fanned
              out over 64 pairs and 16 matrices, and the CWL example by cwltool and by Toil on
              SLURM, with staged indexes read on the node.

Each case exits 77 (skipped) when the program it needs is not installed.
"""
import argparse
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

from interop_test import SKIP, check, read_square_matrix  # beside this file

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))
WORKFLOWS = os.path.join(ROOT, "workflows")
EXAMPLES = os.path.join(ROOT, "examples")
EXPECTED = os.path.join(WORKFLOWS, "galaxy", "test-data")
COMPLETIONS = [os.path.join(ROOT, "build", "dev", "completion")]  # the build's, from --completions


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, timeout=600, **kwargs)
    check(result.returncode == 0, "%s exits with 0, not %d:\n%s%s" % (" ".join(command), result.returncode,
                                                                        result.stdout, result.stderr))
    return result


def read_bytes(path):
    """A file's bytes, decompressed where its name ends in .gz."""
    with (gzip.open if path.endswith(".gz") else open)(path, "rb") as handle:
        return handle.read()


def same_file(produced, expected):
    check(read_bytes(produced) == read_bytes(expected), "%s is %s" % (produced, os.path.basename(expected)))


def batch_options(program):
    """Every long option the program's --help names."""
    help_text = run([program, "--help"]).stdout
    return sorted(set(re.findall(r"^\s+(?:-\w,)?(--[a-z][a-z-]+)", help_text, re.M)))


# What no workflow engine offers: the help, the version, the meter of a terminal, and --index,
# a different job (indexes are made once, outside the workflow). --compress is for standard
# output, and every workflow names its outputs. The CWL tools offer --verbose for a job's log.
NOT_IN_WORKFLOWS = {"--help", "--version", "--quiet", "--verbose", "--index", "--compress"}
# Galaxy stages each dataset alone, so an index is never beside it; --exact is offered as its
# equal, --match word; Galaxy's datasets are stored under names of its own (.dat), which ask for
# no compression, so there is no level to give; regions come as a dataset (--regions, --bed),
# as Galaxy keeps what a job reads.
NOT_IN_GALAXY = NOT_IN_WORKFLOWS | {"--no-index", "--exact", "--level", "--region"}


def fastq_records(path):
    lines = read_bytes(path).decode().splitlines(keepends=True)
    return [lines[i:i + 4] for i in range(0, len(lines), 4)]


def snakemake_case(args, folder):
    if not shutil.which("snakemake"):
        return SKIP
    wrappers = os.path.join(WORKFLOWS, "snakemake", "wrappers")
    # The public collection's test Snakefiles name "master/bio/TOOL": a prefix holding master/.
    os.symlink(wrappers, os.path.join(folder, "master"))
    expected = {
        "talmiro": {"subset.fa": "talmiro_subset.fa", "subset_R1.fq": "talmiro_subset_R1.fq",
                    "subset_R2.fq": "talmiro_subset_R2.fq", "regions.fa": "talmiro_regions.fa"},
        "orvane": {"subset.txt": "orvane_subset.txt", "sample.txt": "orvane_sample.txt",
                   "subset.tsv": "orvane_subset.tsv", "names.tsv": "orvane_names.tsv"},
    }
    for tool, outputs in expected.items():
        wrapper = os.path.join(wrappers, "bio", tool)
        for name in ("wrapper.py", "environment.yaml", "meta.yaml", "test/Snakefile"):
            check(os.path.isfile(os.path.join(wrapper, name)), "the %s wrapper has %s" % (tool, name))
        with open(os.path.join(wrapper, "environment.yaml")) as handle:
            check("orvane-talmiro" in handle.read(), "the %s environment names the package" % tool)
        work = os.path.join(folder, tool)
        run(["snakemake", "--cores", "2", "-s", os.path.join(wrapper, "test", "Snakefile"), "--directory", work,
             "--wrapper-prefix", "file://%s/" % folder])
        for produced, name in outputs.items():
            same_file(os.path.join(work, produced), os.path.join(EXPECTED, name))
        if tool == "orvane":
            check(os.path.isfile(os.path.join(work, "logs", "orvane lower $(touch PWNED).log")),
                  "the wrapper logs to the log's own name, blanks and all")
            check(not os.path.exists(os.path.join(work, "PWNED")), "a log's name is never run as a command")

    example = os.path.join(WORKFLOWS, "snakemake", "example", "Snakefile")
    local = os.path.join(folder, "example")
    run(["snakemake", "--cores", "2", "-s", example, "--directory", local])
    check_example_outputs(local)

    return 0


def check_example_outputs(work):
    """The reads of the host list are gone from each pair, and nothing else; every matrix,
    whatever its layout, gives the same table of the listed genomes it holds."""
    with open(os.path.join(EXAMPLES, "reads", "host_reads.txt")) as handle:
        host = set(handle.read().split())
    kept = {}
    for sample in ("sample_a", "sample_b"):
        for mate in ("R1", "R2"):
            source = os.path.join(EXAMPLES, "reads", "%s_%s.fq%s" % (sample, mate, ".gz" if sample == "sample_b" else ""))
            wanted = [record for record in fastq_records(source) if record[0][1:].split()[0] not in host]
            produced = fastq_records(os.path.join(work, "clean", "%s_%s.fq.gz" % (sample, mate)))
            check(produced == wanted, "clean/%s_%s.fq.gz holds the pair without the host reads" % (sample, mate))
            kept[sample] = len(produced)
    matrix = read_square_matrix(os.path.join(EXAMPLES, "orvane", "distances.txt"))
    with open(os.path.join(EXAMPLES, "orvane", "ids.txt")) as handle:
        ids = [name for name in handle.read().split() if name in matrix]
    for layout in ("square", "lower", "pairs"):
        with open(os.path.join(work, "genomes", layout + ".tsv")) as handle:
            rows = [line.split("\t") for line in handle.read().splitlines()]
        check(rows[0][1:] == ids and [row[0] for row in rows[1:]] == ids, "genomes/%s.tsv names the IDs" % layout)
        for row in rows[1:]:
            check([float(value) for value in row[1:]] == [float(matrix[row[0]][name]) for name in ids],
                  "genomes/%s.tsv row %s holds the matrix's values" % (layout, row[0]))
    with open(os.path.join(work, "summary.tsv")) as handle:
        summary = handle.read()
    check(summary == "output\tentries\nclean/sample_a_R1.fq.gz\t%d read pairs\nclean/sample_b_R1.fq.gz\t%d read pairs\n"
          "genomes/square.tsv\t4 genomes\ngenomes/lower.tsv\t4 genomes\ngenomes/pairs.tsv\t4 genomes\n"
          % (kept["sample_a"], kept["sample_b"]), "the summary gathers every job:\n" + summary)


def indexed_pair_job(args, folder, name, option):
    """The bundled read pair copied into folder/NAME with its indexes made there, and a job of
    talmiro's CWL tool taking the listed reads from it, with one more input line `option`."""
    indexed = os.path.join(folder, name)
    os.mkdir(indexed)
    for mate in ("R1", "R2"):
        shutil.copy2(os.path.join(EXAMPLES, "reads", "sample_a_%s.fq" % mate), indexed)
    run([args.talmiro, "--index", os.path.join(indexed, "sample_a_R1.fq"), os.path.join(indexed, "sample_a_R2.fq")])
    job = os.path.join(folder, name + "-job.yml")
    with open(job, "w") as handle:
        handle.write("names: {class: File, path: %s}\nsequences:\n  - {class: File, path: %s/sample_a_R1.fq}\n"
                     "  - {class: File, path: %s/sample_a_R2.fq}\noutput_names: [subset_R1.fq, subset_R2.fq]\n%s\n"
                     % (os.path.join(EXAMPLES, "reads", "reads.txt"), indexed, indexed, option))
    return indexed, job


def cwltool_case(args, folder):
    if not shutil.which("cwltool"):
        return SKIP
    cwl = os.path.join(WORKFLOWS, "cwl")
    for tool, binary in (("orvane", args.orvane), ("talmiro", args.talmiro)):
        description = os.path.join(cwl, tool + ".cwl")
        run(["cwltool", "--validate", description])
        with open(description) as handle:
            prefixes = set(re.findall(r"prefix: (--[a-z-]+)", handle.read()))
        absent = [option for option in batch_options(binary) if option not in NOT_IN_WORKFLOWS | prefixes]
        check(not absent, "%s.cwl binds every batch option; not %s" % (tool, absent))
    # The example workflow: talmiro scattered over the pairs, then orvane's cut.
    run(["cwltool", "--validate", os.path.join(cwl, "example.cwl")])
    example = os.path.join(folder, "example")
    run(["cwltool", "--quiet", "--outdir", example, os.path.join(cwl, "example.cwl"),
         os.path.join(cwl, "example-job.yml")])
    for mate in ("R1", "R2"):
        same_file(os.path.join(example, "clean_sample_b_%s.fq.gz" % mate),
                  os.path.join(EXPECTED, "talmiro_clean_%s.fq" % mate))
    with open(os.path.join(example, "genomes.tsv")) as handle:
        check(handle.readline().split() == ["OQ291490.1", "MZ021680.1", "ON249995.1", "PP346411.1"],
              "the example's cut holds the listed genomes the matrix has")
    jobs = {"orvane": {"subset.txt": "orvane_subset.txt", "sample.txt": "orvane_sample.txt"},
            "talmiro": {"subset_R1.fq": "talmiro_subset_R1.fq", "subset_R2.fq": "talmiro_subset_R2.fq"},
            "talmiro-regions": {"regions.fa": "talmiro_regions.fa"}}
    for job_name, outputs in jobs.items():
        tool = job_name.split("-")[0]
        out = os.path.join(folder, job_name)
        run(["cwltool", "--quiet", "--outdir", out, os.path.join(cwl, tool + ".cwl"),
             os.path.join(cwl, job_name + "-job.yml")])
        check(sorted(os.listdir(out)) == sorted(outputs), "%s's job collects %s" % (job_name, sorted(outputs)))
        for produced, name in outputs.items():
            same_file(os.path.join(out, produced), os.path.join(EXPECTED, name))
    # An output name holding glob's own characters is collected as the very file it names.
    with open(os.path.join(cwl, "talmiro-job.yml")) as handle:
        job = handle.read().replace("subset_R1.fq", "'sub[1]*?.fq'")
    job = re.sub(r"path: (?!/)", "path: %s/" % cwl, job)
    globbed = os.path.join(folder, "globbed-job.yml")
    with open(globbed, "w") as handle:
        handle.write(job)
    out = os.path.join(folder, "globbed")
    result = run(["cwltool", "--outdir", out, os.path.join(cwl, "talmiro.cwl"), globbed])
    check(sorted(os.listdir(out)) == ["sub[1]*?.fq", "subset_R2.fq"], "a globbed name collects its file:\n%s" %
          result.stderr)
    same_file(os.path.join(out, "sub[1]*?.fq"), os.path.join(EXPECTED, "talmiro_subset_R1.fq"))

    # The read pair with its indexes, staged beside the inputs as secondary files: a fresh index
    # is taken without a word; one whose file was staged with new times too, once its content is
    # proved the same; one whose file changed (a base of an unlisted read, the size kept) is told.
    indexed, job = indexed_pair_job(args, folder, "indexed", "match: word")
    mate_two = os.path.join(indexed, "sample_a_R2.fq")
    for case in ("fresh", "new times", "changed"):
        if case == "new times":
            os.utime(mate_two, (0, 0))
        if case == "changed":
            with open(os.path.join(EXAMPLES, "reads", "reads.txt")) as handle:
                listed = set(handle.read().split())
            with open(mate_two) as handle:
                lines = handle.read().split("\n")
            unlisted = next(at for at in range(0, len(lines) - 3, 4)
                            if lines[at][1:].split()[0].rsplit("/", 1)[0] not in listed)
            lines[unlisted + 1] = ("C" if lines[unlisted + 1][0] != "C" else "A") + lines[unlisted + 1][1:]
            with open(mate_two, "w") as handle:
                handle.write("\n".join(lines))
        out = os.path.join(folder, "through-index-%s" % case.replace(" ", "-"))
        result = run(["cwltool", "--outdir", out, os.path.join(cwl, "talmiro.cwl"), job])
        told = "sample_a_R2.fq.tix' was made for another version" in result.stderr
        check(told == (case == "changed"), "talmiro on a %s staged index:\n%s" % (case, result.stderr))
        for mate in ("R1", "R2"):
            same_file(os.path.join(out, "subset_%s.fq" % mate), os.path.join(EXPECTED, "talmiro_subset_%s.fq" % mate))
    return 0


class Dataset(str):
    """A data parameter as Galaxy binds it: its path, and its datatype as .ext."""

    def __new__(cls, path, ext):
        value = super().__new__(cls, path)
        value.ext = ext
        return value


class Boolean(str):
    """A boolean parameter as Galaxy binds it: its truevalue or falsevalue, true or false."""

    def __new__(cls, checked, element):
        value = super().__new__(cls, element.get("truevalue", "true") if checked else element.get("falsevalue", "false"))
        value.checked = checked
        return value

    def __bool__(self):
        return self.checked


DATATYPES = [(".bed", "bed"), (".fq.gz", "fastqsanger.gz"), (".fq", "fastqsanger"), (".fa", "fasta"), (".tsv", "tabular"),
             (".txt", "txt")]


def test_values(element):
    """name -> (value, ftype) of a <test>, conditionals as nested dicts."""
    values = {}
    for child in element:
        if child.tag == "param":
            values[child.get("name")] = (child.get("value"), child.get("ftype"))
        elif child.tag == "conditional":
            values[child.get("name")] = test_values(child)
    return values


def output_datatype(data, namespace):
    """The datatype Galaxy gives an output: its format, or its source dataset's, or the first change
    whose input has the value named."""
    def find(name, scope):
        if name in scope:
            return scope[name]
        inner = [find(name, value) for value in scope.values() if isinstance(value, dict)]
        return next((value for value in inner if value is not None), None)
    source = data.get("format_source")
    datatype = find(source, namespace).ext if source else data.get("format")
    for when in data.iter("when"):
        if str(namespace.get(when.get("input"))) == when.get("value"):
            return when.get("format")
    return datatype


def bind(inputs, given, job, datasets):
    """The namespace Galaxy's template sees, from the inputs' defaults and a test's values."""
    namespace = {}
    for element in inputs:
        name = element.get("name")
        if element.tag == "conditional":
            selector = element.find("param")
            inner = bind([selector], given.get(name, {}), job, datasets)
            chosen = inner[selector.get("name")]
            when = next(w for w in element.findall("when") if w.get("value") == chosen)
            inner.update(bind(list(when), given.get(name, {}), job, datasets))
            namespace[name] = inner
            continue
        check(element.tag == "param", "only params and conditionals: %s" % element.tag)
        value, ftype = given.get(name, (None, None))
        kind = element.get("type")
        if kind == "data":
            check(value is not None, "the test gives the data parameter %s" % name)
            path = os.path.join(job, "dataset_%d.dat" % (len(datasets) + 1))
            shutil.copyfile(os.path.join(EXPECTED, value), path)
            datasets.append(path)
            ext = ftype or next(ext for suffix, ext in DATATYPES if value.endswith(suffix))
            namespace[name] = Dataset(path, ext)
        elif kind == "boolean":
            checked = element.get("checked", "false") if value is None else value
            namespace[name] = Boolean(checked == "true", element)
        elif kind == "select":
            options = element.findall("option")
            default = next((o.get("value") for o in options if o.get("selected") == "true"), options[0].get("value"))
            check(value is None or value in [o.get("value") for o in options], "%s offers %s" % (name, value))
            namespace[name] = default if value is None else value
        else:
            namespace[name] = element.get("value", "") if value is None else value
    return namespace


def galaxy_case(args, folder):
    try:
        from Cheetah.Template import Template
    except ImportError:
        return SKIP
    environment = dict(os.environ, PATH=os.pathsep.join([os.path.dirname(args.orvane), os.path.dirname(args.talmiro),
                                                         os.environ["PATH"]]))
    ran = 0
    for tool, binary in (("orvane", args.orvane), ("talmiro", args.talmiro)):
        root = ET.parse(os.path.join(WORKFLOWS, "galaxy", tool + ".xml")).getroot()
        command = root.find("command").text
        check(root.find("command").get("detect_errors") == "exit_code", "%s fails by its exit status" % tool)
        offered = command + " ".join(param.get("truevalue", "") for param in root.find("inputs").iter("param"))
        absent = [option for option in batch_options(binary) if option not in NOT_IN_GALAXY and option not in offered]
        check(not absent, "%s.xml has a parameter for every batch option; not %s" % (tool, absent))
        inputs = list(root.find("inputs"))
        selectors = {conditional.find("param").get("name") for conditional in root.find("inputs").iter("conditional")}
        for param in root.find("inputs").iter("param"):
            check(re.search(r"\$(\w+\.)?%s\b" % param.get("name"), command) or param.get("name") in selectors,
                  "%s.xml's command uses %s" % (tool, param.get("name")))
        for number, test in enumerate(root.find("tests").findall("test"), 1):
            job = os.path.join(folder, "%s-%d" % (tool, number))
            os.mkdir(job)
            namespace = bind(inputs, test_values(test), job, [])
            produced = {}
            for data in root.find("outputs").findall("data"):
                condition = data.find("filter")
                if condition is None or eval(condition.text, {}, dict(namespace)):
                    produced[data.get("name")] = os.path.join(job, "dataset_%s.dat" % data.get("name"))
            namespace.update(produced)
            expected_count = test.get("expect_num_outputs")
            check(expected_count is None or int(expected_count) == len(produced),
                  "%s test %d makes %s outputs, not %d" % (tool, number, expected_count, len(produced)))
            # Galaxy trims each line of the rendered command and joins them into one.
            script = " ".join(line.strip() for line in str(Template(command, searchList=[namespace])).splitlines())
            working = os.path.join(job, "working")
            os.mkdir(working)
            result = subprocess.run(["bash", "-c", script], cwd=working, env=environment, capture_output=True,
                                    text=True, timeout=120)
            if test.get("expect_failure") == "true":
                check(result.returncode == int(test.get("expect_exit_code", result.returncode or 1)),
                      "%s test %d fails with %s:\n%s" % (tool, number, test.get("expect_exit_code"), script))
                check(not any(os.path.exists(path) for path in produced.values()),
                      "%s test %d writes no output when it fails" % (tool, number))
            else:
                check(result.returncode == 0, "%s test %d exits with 0:\n%s\n%s" % (tool, number, script, result.stderr))
                for output in test.findall("output"):
                    data = next(d for d in root.find("outputs").findall("data") if d.get("name") == output.get("name"))
                    check(output.get("ftype") in (None, output_datatype(data, namespace)),
                          "%s test %d's %s is of datatype %s" % (tool, number, output.get("name"), output.get("ftype")))
                    path = produced[output.get("name")]
                    text = read_bytes(path)  # Galaxy's names end in .dat: never decompressed here
                    if output.get("decompress") == "true":
                        text = gzip.decompress(text)
                    check(text == read_bytes(os.path.join(EXPECTED, output.get("file"))),
                          "%s test %d writes %s" % (tool, number, output.get("file")))
            ran += 1
    check(ran >= 9, "every tool's tests ran")
    return 0


def bash_completions(line, folder):
    # Split as bash splits the line for completion: at blanks, and around '=' (COMP_WORDBREAKS).
    words = re.findall(r"=|[^ =]+", line) + ([""] if line.endswith(" ") else [])
    script = ('source %s/bash/orvane; source %s/bash/talmiro; '
              'COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; '
              '_$1 "$1" "${@: -1}" "${@: -2:1}"; printf "%%s\\n" "${COMPREPLY[@]}"' % (COMPLETIONS[0], COMPLETIONS[0]))
    result = run(["bash", "--norc", "--noprofile", "-c", script, "bash"] + words, cwd=folder)
    return [word for word in result.stdout.split("\n") if word]


# Types the line and a TAB into an interactive zsh in a pseudo-terminal, where compinit has
# loaded our functions, and prints each match completion offers (compadd, wrapped).
ZSH_CAPTURE = r'''
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "PS1='' RPROMPT=''; fpath=($1 \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w z 'bindkey "^I" complete-word; null-line() { print -n -- "\x00" }; compprefuncs=(null-line); comppostfuncs=(null-line exit)'
zpty -w z 'compadd() { if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return $?; fi; typeset -a __hits; builtin compadd -A __hits "$@"; (( $#__hits )) || return 1; builtin compadd "$@"; print -l -- "<match>"${^__hits} }'
zpty -n -w z "$2"$'\t'
integer chunks=0
while zpty -r z; do :; done | while IFS= read -r -d $'\0' chunk; do
  (( ++chunks == 2 )) && { print -r -- "$chunk"; break }
done
zpty -d z
'''


def zsh_completions(line, folder):
    result = run(["zsh", "-f", "-c", ZSH_CAPTURE, "zsh", os.path.join(COMPLETIONS[0], "zsh"), line], cwd=folder)
    return [entry[len("<match>"):].strip() for entry in result.stdout.replace("\r", "").split("\n")
            if entry.startswith("<match>")]


def completion_case(args, folder):
    for name in ("distances.txt", "distances.tsv", "reads_R1.fq"):
        open(os.path.join(folder, name), "w").close()
    layouts = ["square", "lower", "tsv", "csv", "pairs", "ssv"]
    cases = [
        ("orvane --input-f", ["--input-format"]),
        ("talmiro --ma", ["--match"]),
        ("orvane --input-format ", ["auto"] + layouts),
        ("orvane --output-format ", layouts),
        ("talmiro --match w", ["word"]),
        ("talmiro --order ", ["list", "file"]),
        ("orvane -i distances.t", ["distances.tsv", "distances.txt"]),
        ("talmiro -i reads_", ["reads_R1.fq"]),
        ("orvane --index dist", ["distances.tsv", "distances.txt"]),
    ]
    bash_only = [("orvane --output-format=l", ["lower"]), ("talmiro --match=", ["prefix", "word", "full"])]
    zsh_only = [("orvane --output-format=l", ["lower"]), ("talmiro --match=", ["prefix", "word", "full"])]
    shells = [("bash", bash_completions, cases + bash_only)]
    if shutil.which("zsh"):
        shells.append(("zsh", zsh_completions, cases + zsh_only))
    for shell, complete, table in shells:
        for line, wanted in table:
            offered = complete(line, folder)
            check(sorted(offered) == sorted(wanted), "%s completes %r with %s, not %s" % (shell, line, wanted, offered))
        # Every option the help names is offered, so the completions cannot fall behind.
        for program, binary in (("orvane", args.orvane), ("talmiro", args.talmiro)):
            offered = complete(program + " -", folder)
            absent = [option for option in batch_options(binary) if option not in offered]
            check(not absent, "%s offers every option of %s --help; not %s" % (shell, program, absent))
    return 0 if shutil.which("zsh") else SKIP


def workflow_files(tool):
    """The files of the workflows that name one tool's options."""
    wrapper = os.path.join(WORKFLOWS, "snakemake", "wrappers", "bio", tool)
    return [os.path.join(WORKFLOWS, "cwl", tool + ".cwl"), os.path.join(WORKFLOWS, "cwl", tool + "-job.yml"),
            os.path.join(WORKFLOWS, "galaxy", tool + ".xml"), os.path.join(wrapper, "wrapper.py"),
            os.path.join(wrapper, "meta.yaml"), os.path.join(wrapper, "environment.yaml"),
            os.path.join(wrapper, "test", "Snakefile")]


def options_named(text):
    return set(re.findall(r"(?<![\w-])--[a-z][a-z-]*[a-z]", text))


def versions_carried(text):
    """CWL's SoftwareRequirement, Galaxy's tool and requirement, conda's pin."""
    found = re.findall(r'version: \["([^"]+)"\]|version="([0-9][^"+]*)(?:\+galaxy\d+)?"|orvane-talmiro =([0-9][\w.]*)',
                       text)
    return [next(part for part in parts if part) for parts in found]


def drift_case(args, folder):
    version = run([args.orvane, "--version"]).stdout.split()[-1]
    check(run([args.talmiro, "--version"]).stdout.split()[-1] == version, "both programs carry one version")
    taken = {tool: set(run([binary, "--generate", "options"]).stdout.split())
             for tool, binary in (("orvane", args.orvane), ("talmiro", args.talmiro))}
    example = os.path.join(WORKFLOWS, "snakemake", "example", "Snakefile")
    checked = [(path, tool) for tool in taken for path in workflow_files(tool)] + [(example, None)]
    for path, tool in checked:
        with open(path) as handle:
            text = handle.read()
        name = os.path.relpath(path, ROOT)
        # A Snakefile's comments show how to run Snakemake, with Snakemake's own options.
        named = options_named(re.sub(r"(?m)^#.*$", "", text) if path.endswith("Snakefile") else text)
        takes = taken[tool] if tool else taken["orvane"] | taken["talmiro"]
        unknown = sorted(named - takes)
        check(not unknown, "%s names options %s does not take: %s" % (name, tool or "neither program", unknown))
        if path.endswith((".cwl", ".xml")):
            left_out = NOT_IN_GALAXY if path.endswith(".xml") else NOT_IN_WORKFLOWS
            absent = sorted({option for option in takes if option.startswith("--")} - left_out - named)
            check(not absent, "%s lacks %s's options %s" % (name, tool, absent))
        for carried in versions_carried(text):
            check(carried == version, "%s carries version %s, the programs %s" % (name, carried, version))
    return 0


CLUSTER = os.path.join(ROOT, "tests", "cluster", "slurm-cluster")
PROFILE = os.path.join(WORKFLOWS, "snakemake", "profiles", "slurm")
EXAMPLE = os.path.join(WORKFLOWS, "snakemake", "example", "Snakefile")


def slurm_jobs():
    """Every job the cluster still knows (it keeps them MinJobAge after they end): number ->
    its fields (JobName, JobState, NumCPUs, MinMemoryNode...)."""
    jobs = {}
    for line in run(["scontrol", "show", "job", "-o"]).stdout.splitlines():
        fields = dict(field.split("=", 1) for field in line.split() if "=" in field)
        if "JobId" in fields:
            jobs[fields["JobId"]] = fields
    return jobs


def new_jobs(before):
    """The jobs submitted since `before`, told in the log by name and state."""
    jobs = {number: fields for number, fields in slurm_jobs().items() if number not in before}
    for number, fields in sorted(jobs.items(), key=lambda item: int(item[0])):
        print("slurm job %s %s: %s, %s CPUs, %s" % (number, fields.get("JobName"), fields.get("JobState"),
                                                   fields.get("NumCPUs"), fields.get("MinMemoryNode")))
    return jobs


def snakemake_on_slurm(folder, environment):
    """The example through the profile with the real sbatch: the local run's bytes, each rule's
    threads and memory on its job; a failing tool fails the workflow, leaving its message in the
    job's log and no output; a job SLURM cancels fails the workflow rather than leaving it
    waiting."""
    local = os.path.join(folder, "local")
    run(["snakemake", "--cores", "2", "-s", EXAMPLE, "--directory", local])
    before = slurm_jobs()
    cluster = os.path.join(folder, "on-slurm")
    os.mkdir(cluster)
    run(["snakemake", "-s", EXAMPLE, "--profile", PROFILE, "--latency-wait", "5"], cwd=cluster, env=environment)
    check_example_outputs(cluster)
    for output in ["summary.tsv"] + ["clean/%s_%s.fq.gz" % (sample, mate) for sample in ("sample_a", "sample_b")
                                     for mate in ("R1", "R2")] + ["genomes/%s.tsv" % layout
                                                                  for layout in ("square", "lower", "pairs")]:
        with open(os.path.join(local, output), "rb") as ours, open(os.path.join(cluster, output), "rb") as theirs:
            check(ours.read() == theirs.read(), "%s on SLURM is the local run's, byte for byte" % output)
    wanted = {"smk-remove_host_reads": ("2", "400M"), "smk-cut_genomes": ("1", "300M")}
    jobs = new_jobs(before)
    check(sorted(fields["JobName"] for fields in jobs.values()) == ["smk-cut_genomes"] * 3 +
          ["smk-remove_host_reads"] * 2, "a job per matrix and per pair: %s" % jobs)
    for fields in jobs.values():
        check(fields["JobState"] == "COMPLETED" and
              (fields["NumCPUs"], fields["MinMemoryNode"]) == wanted[fields["JobName"]],
              "the rule's threads and memory reach its job: %s" % fields)

    failing = os.path.join(folder, "failing")
    os.mkdir(failing)
    result = subprocess.run(["snakemake", "-s", EXAMPLE, "--profile", PROFILE, "--latency-wait", "5",
                             "--restart-times", "0", "--config", "allow_missing_genomes=false"],
                            cwd=failing, env=environment, capture_output=True, text=True, timeout=600)
    check(result.returncode != 0, "a tool that fails fails the workflow:\n" + result.stdout + result.stderr)
    with open(os.path.join(failing, "logs", "cut_genomes", "square.log")) as handle:
        check("'OU999999.1' not found" in handle.read(), "the job's log holds the tool's message")
    check(not os.path.exists(os.path.join(failing, "genomes", "square.tsv")), "a failed job leaves no output")
    new_jobs(before)

    # Jobs that cannot start (the partition down) are cancelled as they come: the status script
    # tells Snakemake, which gives up rather than waiting for outputs forever.
    cancelled = os.path.join(folder, "cancelled")
    os.mkdir(cancelled)
    run(["scontrol", "update", "PartitionName=main", "State=DOWN"], env=environment)
    try:
        engine = subprocess.Popen(["snakemake", "-s", EXAMPLE, "--profile", PROFILE, "--restart-times", "0"],
                                  cwd=cancelled, env=environment, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        while engine.poll() is None:
            subprocess.run(["scancel", "--state=PENDING", "--partition=main"], env=environment)
            subprocess.run(["sleep", "1"])
        check(engine.returncode != 0, "a workflow whose jobs SLURM cancelled fails")
    finally:
        run(["scontrol", "update", "PartitionName=main", "State=UP"], env=environment)
    check(not os.path.exists(os.path.join(cancelled, "summary.tsv")), "nothing is gathered from cancelled jobs")


def write_fastq(path, names, rng):
    with gzip.open(path, "wt") if path.endswith(".gz") else open(path, "w") as handle:
        for name in names:
            sequence = "".join(rng.choice("ACGT") for _ in range(40))
            handle.write("@%s\n%s\n+\n%s\n" % (name, sequence, "I" * 40))


def scatter_on_slurm(folder, environment):
    """The example fanned out over 64 read pairs and 16 matrices made here, each job asking for
    one core, within the node: every pair without its host reads, every matrix cut."""
    import random
    rng = random.Random(20261210)
    data = os.path.join(folder, "scale-data")
    os.mkdir(data)
    host = ["host%03d" % number for number in range(50)]
    with open(os.path.join(data, "host.txt"), "w") as handle:
        handle.write("\n".join(host) + "\n")
    pairs = {}
    for sample in range(64):
        names = rng.sample(host, 10) + ["read%03d_%d" % (sample, number) for number in range(30)]
        rng.shuffle(names)
        suffix = ".fq.gz" if sample % 2 else ".fq"
        files = []
        for mate in ("1", "2"):
            path = "s%02d_R%s%s" % (sample, mate, suffix)
            write_fastq(os.path.join(data, path), ["%s/%s" % (name, mate) for name in names], rng)
            files.append(path)
        pairs["s%02d" % sample] = files
    matrices = {}
    for number in range(16):
        layout = ("distances.txt", "distances_lower.txt", "distances_pairs.tsv")[number % 3]
        name = "m%02d_%s" % (number, layout)
        shutil.copy(os.path.join(EXAMPLES, "orvane", layout), os.path.join(data, name))
        matrices["m%02d" % number] = name
    shutil.copy(os.path.join(EXAMPLES, "orvane", "ids.txt"), os.path.join(data, "ids.txt"))
    config = os.path.join(folder, "scale.yaml")
    with open(config, "w") as handle:
        handle.write("data: %s\nhost_reads: host.txt\ngenomes: ids.txt\npair_threads: 1\npair_mem_mb: 200\n"
                     "matrix_mem_mb: 200\npairs:\n" % data)
        for sample, files in pairs.items():
            handle.write("  %s: [%s, %s]\n" % (sample, files[0], files[1]))
        handle.write("matrices:\n")
        for matrix, path in matrices.items():
            handle.write("  %s: %s\n" % (matrix, path))
    work = os.path.join(folder, "scale")
    os.mkdir(work)
    before = slurm_jobs()
    run(["snakemake", "-s", EXAMPLE, "--profile", PROFILE, "--latency-wait", "5", "--configfile", config],
        cwd=work, env=environment)
    jobs = new_jobs(before)
    check(len(jobs) == 80 and all(fields["JobState"] == "COMPLETED" and fields["NumCPUs"] == "1"
                                  for fields in jobs.values()), "80 jobs of one core each completed")
    for sample, files in pairs.items():
        for path in files:
            mate = "R1" if "_R1" in path else "R2"
            kept = [record for record in fastq_records(os.path.join(data, path))
                    if record[0][1:].split("/")[0] not in host]
            check(fastq_records(os.path.join(work, "clean", "%s_%s.fq.gz" % (sample, mate))) == kept,
                  "%s's %s keeps every read but the host's" % (sample, mate))
    for matrix in matrices:
        with open(os.path.join(work, "genomes", matrix + ".tsv")) as handle:
            check(len(handle.read().splitlines()) == 5, "%s is cut to the 4 listed genomes it holds" % matrix)


def cwl_on_slurm(args, folder, environment):
    """The CWL example (a scatter over read pairs, then a cut of one matrix) by cwltool and by
    Toil on SLURM, alike byte for byte; talmiro's tool through Toil with the pair's indexes staged
    beside it: read through them when fresh, told and passed over when one is stale."""
    cwl = os.path.join(WORKFLOWS, "cwl")
    outputs = {}
    for engine in ("cwltool", "toil"):
        out = os.path.join(folder, "cwl-" + engine)
        if engine == "cwltool":
            run(["cwltool", "--quiet", "--outdir", out, os.path.join(cwl, "example.cwl"),
                 os.path.join(cwl, "example-job.yml")], env=environment)
        else:
            run(toil_command(folder, "example") + ["--outdir", out, os.path.join(cwl, "example.cwl"),
                                                   os.path.join(cwl, "example-job.yml")], cwd=folder, env=environment)
        outputs[engine] = {name: read_bytes(os.path.join(out, name)) for name in sorted(os.listdir(out))}
    check(sorted(outputs["cwltool"]) == ["clean_sample_a_R1.fq", "clean_sample_a_R2.fq", "clean_sample_b_R1.fq.gz",
                                         "clean_sample_b_R2.fq.gz", "genomes.tsv"], "the workflow's outputs")
    check(outputs["cwltool"] == outputs["toil"], "Toil on SLURM writes what cwltool writes")

    indexed, job = indexed_pair_job(args, folder, "toil-indexed", "verbose: true")
    for case in ("fresh", "stale"):
        if case == "stale":
            with open(os.path.join(indexed, "sample_a_R2.fq"), "a") as handle:
                handle.write("@late/2\nACGT\n+\nIIII\n")
        out = os.path.join(folder, "toil-%s" % case)
        logs = os.path.join(folder, "toil-%s-logs" % case)
        os.mkdir(logs)
        run(toil_command(folder, case) + ["--writeLogs", logs, "--writeLogsFromAllJobs", "--outdir", out,
                                          os.path.join(cwl, "talmiro.cwl"), job], cwd=folder, env=environment)
        told = ""
        for root, _, names in os.walk(logs):
            for name in names:
                with open(os.path.join(root, name), errors="replace") as handle:
                    told += handle.read()
        check("records read through an index: " in told and ("index not used for" in told) == (case == "stale"),
              "the staged indexes are read through on the node, a stale one not (%s):\n%s" % (case, told))
        check(("made for another version" in told) == (case == "stale"), "a stale index is told (%s)" % case)
        for mate in ("R1", "R2"):
            same_file(os.path.join(out, "subset_%s.fq" % mate), os.path.join(EXPECTED, "talmiro_subset_%s.fq" % mate))


def toil_command(folder, name):
    return ["toil-cwl-runner", "--batchSystem", "slurm", "--jobStore", os.path.join(folder, "toil-store-" + name),
            "--workDir", folder, "--disableCaching", "--logLevel", "WARNING"]


def slurm_case(args, folder):
    """A one-node SLURM cluster of the test's own, and every engine on it."""
    for program in ("snakemake", "toil-cwl-runner", "cwltool"):
        if not shutil.which(program):
            print("skipped: %s is not installed" % program)
            return SKIP
    cluster = os.path.join(folder, "cluster")
    started = subprocess.run([CLUSTER, "start", cluster], capture_output=True, text=True, timeout=120)
    if started.returncode == SKIP:
        print("skipped: " + started.stderr.strip())
        return SKIP
    check(started.returncode == 0, "the cluster starts:\n" + started.stderr)
    # Every SLURM command of the case (the engines', scontrol's) talks to this cluster alone.
    os.environ["SLURM_CONF"] = os.path.join(cluster, "slurm.conf")
    environment = dict(os.environ)
    try:
        snakemake_on_slurm(folder, environment)
        scatter_on_slurm(folder, environment)
        cwl_on_slurm(args, folder, environment)
    finally:
        subprocess.run([CLUSTER, "stop", cluster], timeout=120)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=["snakemake", "cwltool", "galaxy", "completion", "drift", "slurm"])
    parser.add_argument("--completions", help="the folder of the completions the build wrote")
    parser.add_argument("--orvane", required=True)
    parser.add_argument("--talmiro", required=True)
    args = parser.parse_args()
    args.orvane, args.talmiro = os.path.abspath(args.orvane), os.path.abspath(args.talmiro)
    if args.completions:
        COMPLETIONS[0] = os.path.abspath(args.completions)
    # The engines find the programs on PATH, as an installed package puts them.
    os.environ["PATH"] = os.pathsep.join([os.path.dirname(args.orvane), os.path.dirname(args.talmiro),
                                          os.environ["PATH"]])
    cases = {"snakemake": snakemake_case, "cwltool": cwltool_case, "galaxy": galaxy_case,
             "completion": completion_case, "drift": drift_case, "slurm": slurm_case}
    with tempfile.TemporaryDirectory() as folder:
        outcome = cases[args.case](args, folder)
    print("skipped: the program is not installed" if outcome == SKIP else "passed")
    sys.exit(outcome)


if __name__ == "__main__":
    main()
