#!/usr/bin/env python3
"""Runs each command of a case in turn, RUNS rounds, so a busy machine slows them alike; the
outputs named by CLEAN (space-separated globs, a trailing "/" for folders) are removed and an
empty "pages" folder made before every run. Prints the medians and the first command's time over
each other's.
Usage: bench/compare.py RUNS CLEAN TITLE COMMAND… (each command's words joined by \\x1f)"""
import glob, os, shutil, statistics, subprocess, sys, time

runs, clean_globs, title = int(sys.argv[1]), sys.argv[2].split(), sys.argv[3]
commands = [c.split("\x1f") for c in sys.argv[4:]]
times = [[] for _ in commands]


def clean():
    for pattern in clean_globs + ["pages/"]:
        for path in glob.glob(pattern):
            shutil.rmtree(path) if pattern.endswith("/") else os.remove(path)
    os.makedirs("pages")


for _ in range(runs):
    for i, cmd in enumerate(commands):
        clean()
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        times[i].append(time.perf_counter() - start)
medians = [statistics.median(t) for t in times]
names = [os.path.basename(c[0]) for c in commands]
parts = [f"{n} {m:.2f}s" for n, m in zip(names, medians)]
ratios = [f"×{medians[0] / m:.2f} of {n}" for n, m in zip(names[1:], medians[1:])]
print(f"{title}: " + ", ".join(parts) + " — tolvane takes " + ", ".join(ratios))
