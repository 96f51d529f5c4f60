#!/usr/bin/env python3
"""Two commands run in turn, one run of each at a time, N times over, the order swapped every
other time, so that a machine whose speed drifts slows both alike: prints the median and the
mean of the differences (the first command's time less the second's) with the mean's standard
error, and each command's median. For long runs whose times scatter more than the difference
sought, where the medians of separate batches of runs can't tell it.
Usage: bench/pairs.py [-n N] [--clean GLOB] -- FIRST COMMAND… -- SECOND COMMAND…
--clean removes the files GLOB matches before each run (a result that would be renamed)."""
import glob
import os
import statistics
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    runs, clean = 100, None
    while args and args[0] != "--":
        if args[0] == "-n":
            runs, args = int(args[1]), args[2:]
        elif args[0] == "--clean":
            clean, args = args[1], args[2:]
        else:
            sys.exit(__doc__)
    if args.count("--") != 2:
        sys.exit(__doc__)
    split = args.index("--", 1)
    first, second = args[1:split], args[split + 1:]

    def timed(command):
        for path in glob.glob(clean) if clean else []:
            os.remove(path)
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        return time.perf_counter() - start

    timed(first), timed(second)  # caches filled
    a, b = [], []
    for i in range(runs):
        if i % 2:
            b.append(timed(second))
            a.append(timed(first))
        else:
            a.append(timed(first))
            b.append(timed(second))
    diffs = [x - y for x, y in zip(a, b)]
    error = statistics.stdev(diffs) / len(diffs) ** 0.5
    print(f"{runs} pairs: difference median {statistics.median(diffs) * 1000:+.1f} ms, "
          f"mean {statistics.mean(diffs) * 1000:+.1f} ms ± {error * 1000:.1f} ms (standard error); "
          f"medians {statistics.median(a) * 1000:.1f} ms and {statistics.median(b) * 1000:.1f} ms")


main()
