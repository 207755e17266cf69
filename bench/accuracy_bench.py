#!/usr/bin/env python3
"""The accuracy half of the benchmark (bench/run.sh).

Converts a simulated receiver log RUNS times each in the plain form and
against its reference log (--reference-log, the truth the simulator wrote
beside it), the two forms taking turns, each run a process of its own; also
with --summary alone, which holds the waypoint folder back until the log is
read as the accuracy does, to show where the time goes. Prints the medians and
the target met or missed:

  the accuracy against a reference log of the same length adds at most 25 %
  to the plain conversion's time (medians).

  accuracy_bench.py --converter PROGRAM --work DIR [--runs N] LABEL:LOG:REFERENCE
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

TARGET = 1.25


def convert(argv):
    start = time.perf_counter()
    result = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if result.returncode != 0:
        sys.exit(f"{' '.join(argv)}: exit status {result.returncode}")
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--converter", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("case")
    args = parser.parse_args()
    label, log, reference = args.case.split(":")
    output = os.path.join(args.work, f"{label}-accuracy.kmz")
    forms = {
        "plain": [],
        "--summary": ["--summary"],
        "--reference-log": ["--reference-log", reference],
    }
    times = {name: [] for name in forms}
    for _ in range(args.runs):
        for name, options in forms.items():
            times[name].append(convert([args.converter, *options, log, output]))
    medians = {name: statistics.median(values) for name, values in times.items()}
    size = os.path.getsize(log) / 1e6
    print(f"\nAccuracy of {label} ({size:.1f} MB) against a reference of the same length, "
          f"{args.runs} runs, medians")
    print(f"{'form':<16}  {'wall s':>7}  {'x plain':>7}")
    for name, median in medians.items():
        print(f"{name:<16}  {median:7.2f}  {median / medians['plain']:7.2f}")
    ratio = medians["--reference-log"] / medians["plain"]
    verdict = "met" if ratio <= TARGET else "MISSED"
    print(f"target: the accuracy adds at most {TARGET - 1:.0%}: {ratio - 1:+.1%}  {verdict}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
