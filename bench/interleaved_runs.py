#!/usr/bin/env python3
"""Whole-process wall time of several commands, run in turn (A B C A B C ...) so that a drift of
the machine's speed falls on all of them alike; prints each command's median. Standard output
goes to a file, as in cli_bench; the commands bring their own servers (see fake_whois_ns.sh).
  bench/interleaved_runs.py RUNS 'command one' 'command two' ...
"""
import os
import statistics
import sys
import tempfile
import time


def run(command, out_path):
    out = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    null = os.open(os.devnull, os.O_RDWR)
    start = time.perf_counter()
    pid = os.posix_spawnp(command[0], command, os.environ,
                          file_actions=[(os.POSIX_SPAWN_DUP2, null, 0),
                                        (os.POSIX_SPAWN_DUP2, out, 1),
                                        (os.POSIX_SPAWN_DUP2, null, 2)])
    os.waitpid(pid, 0)
    elapsed = time.perf_counter() - start
    os.close(out)
    os.close(null)
    return elapsed


def main():
    runs = int(sys.argv[1])
    commands = [c.split() for c in sys.argv[2:]]
    times = [[] for _ in commands]
    with tempfile.TemporaryDirectory() as scratch:
        out_path = os.path.join(scratch, "out")
        for k in range(runs + 20):  # the first 20 rounds warm the caches and are not counted
            for i, command in enumerate(commands):
                elapsed = run(command, out_path)
                if k >= 20:
                    times[i].append(elapsed)
    for command, t in zip(commands, times):
        print("%8.3f ms  %s" % (statistics.median(t) * 1e3, " ".join(command)))


if __name__ == "__main__":
    main()
