#!/usr/bin/env python3
"""Two commands run in turn, one run of each at a time, N times over, the order swapped every
other time, so that a machine whose speed drifts slows both alike: prints the median and the
mean of the differences (the first command's time less the second's) with the mean's standard
error, and each command's median. For long runs whose times scatter more than the difference
sought, where the medians of separate batches of runs can't tell it.
Each run's processor time (user and system) is taken too, of the whole tree of processes the
command starts, including any that outlive it: this script adopts them (as a child subreaper)
and waits for each. Printed like the times, with the ratio of the medians and whether it keeps
within --cpu-bound MS or RATIO (either will do), when given.
Usage: bench/pairs.py [-n N] [--clean GLOB] [--cpu-bound MS:RATIO] -- FIRST COMMAND… -- SECOND COMMAND…
--clean removes the files GLOB matches before each run (a result that would be renamed)."""
import ctypes
import glob
import os
import statistics
import sys
import time

PR_SET_CHILD_SUBREAPER = 36
WALL = 0x40000000  # __WALL: also the tasks cloned without an exit signal


def reaped_cpu(pid):
    """Waits for pid, then for whatever it left behind; the processor seconds of them all."""
    _, _, usage = os.wait4(pid, 0)
    total = usage.ru_utime + usage.ru_stime
    while True:
        try:
            _, _, usage = os.wait4(-1, WALL)
        except ChildProcessError:
            return total
        total += usage.ru_utime + usage.ru_stime


def main():
    args = sys.argv[1:]
    runs, clean, cpu_bound = 100, None, None
    while args and args[0] != "--":
        if args[0] == "-n":
            runs, args = int(args[1]), args[2:]
        elif args[0] == "--clean":
            clean, args = args[1], args[2:]
        elif args[0] == "--cpu-bound":
            ms, ratio = args[1].split(":")
            cpu_bound, args = (float(ms) / 1000, float(ratio)), args[2:]
        else:
            sys.exit(__doc__)
    if args.count("--") != 2:
        sys.exit(__doc__)
    split = args.index("--", 1)
    first, second = args[1:split], args[split + 1:]

    if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        sys.exit("can't adopt what the commands leave behind: " + os.strerror(ctypes.get_errno()))

    quiet = [(os.POSIX_SPAWN_OPEN, fd, os.devnull, os.O_RDWR, 0) for fd in (0, 1, 2)]

    def timed(command):
        """The run's wall time, until the command itself has ended, and its processor time."""
        for path in glob.glob(clean) if clean else []:
            os.remove(path)
        start = time.perf_counter()
        pid = os.posix_spawnp(command[0], command, os.environ, file_actions=quiet)
        ended = os.waitid(os.P_PID, pid, os.WEXITED | os.WNOWAIT)  # left to reap below
        wall = time.perf_counter() - start
        cpu = reaped_cpu(pid)
        if ended.si_code != os.CLD_EXITED or ended.si_status != 0:
            sys.exit(f"{command[0]} failed ({ended.si_status})")
        return wall, cpu

    def run(command, into):
        wall, cpu = timed(command)
        into[0].append(wall)
        into[1].append(cpu)

    timed(first), timed(second)  # caches filled
    a, b = ([], []), ([], [])
    for i in range(runs):
        if i % 2:
            run(second, b)
            run(first, a)
        else:
            run(first, a)
            run(second, b)

    def report(what, x, y):
        diffs = [p - q for p, q in zip(x, y)]
        error = statistics.stdev(diffs) / len(diffs) ** 0.5
        return (f"{what}: difference median {statistics.median(diffs) * 1000:+.1f} ms, "
                f"mean {statistics.mean(diffs) * 1000:+.1f} ms ± {error * 1000:.1f} ms (standard error); "
                f"medians {statistics.median(x) * 1000:.1f} ms and {statistics.median(y) * 1000:.1f} ms, "
                f"ratio {statistics.median(x) / statistics.median(y):.2f}")

    print(f"{runs} pairs, wall {report('time', a[0], b[0])}")
    line = report("processor time", a[1], b[1])
    if cpu_bound:
        over = statistics.median([p - q for p, q in zip(a[1], b[1])])
        ratio = statistics.median(a[1]) / statistics.median(b[1])
        ok = over <= cpu_bound[0] or ratio <= cpu_bound[1]
        line += f"  {'within' if ok else 'OVER'} +{cpu_bound[0] * 1000:g} ms or {cpu_bound[1]:g}×"
    print(" " * len(f"{runs} pairs, ") + line)


main()
