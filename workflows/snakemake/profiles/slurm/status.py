#!/usr/bin/env python3
"""Snakemake's cluster-status for SLURM: prints running, success or failed for the job number
sbatch --parsable gave, so that a job SLURM cancels, kills or times out fails the workflow
rather than leaving it waiting for outputs that never come. Asks scontrol (which knows a job
until MinJobAge after it ends), then sacct where the cluster keeps accounts."""
import subprocess
import sys

RUNNING = {"PENDING", "CONFIGURING", "RUNNING", "COMPLETING", "SUSPENDED", "REQUEUED", "REQUEUE_HOLD",
           "REQUEUE_FED", "RESIZING", "SIGNALING", "STAGE_OUT", "STOPPED"}


def state_of(job):
    """The job's state, or None where neither scontrol nor sacct knows it."""
    shown = subprocess.run(["scontrol", "show", "job", "-o", job], capture_output=True, text=True)
    for field in shown.stdout.split():
        if field.startswith("JobState="):
            return field.split("=", 1)[1]
    try:
        accounted = subprocess.run(["sacct", "-n", "-X", "-P", "-o", "State", "-j", job], capture_output=True,
                                   text=True)
    except FileNotFoundError:
        return None
    states = accounted.stdout.split()
    return states[0].split()[0] if accounted.returncode == 0 and states else None


def main():
    job = sys.argv[1].split(";")[0]  # --parsable gives "job" or "job;cluster"
    state = state_of(job)
    if state is None:
        # Forgotten by both: a job gone without a trace has not succeeded.
        print("failed")
    elif state == "COMPLETED":
        print("success")
    elif state in RUNNING:
        print("running")
    else:
        print("failed")


if __name__ == "__main__":
    main()
