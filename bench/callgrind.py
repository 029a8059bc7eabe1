#!/usr/bin/env python3
"""Instruction counts of ours and its floor, per call, from callgrind.

Wall-clock ratios on a shared machine wander; instruction counts do not. Each benchmark
instance runs alone under valgrind --tool=callgrind; the two sides of a pair are the
two instances of bench::TimeBatchNs (the first lambda is ours, the second the floor).
Both sides make the same number of calls: those of ours' costliest callee. Instructions in the kernel (the
file system under a written line) are not counted, so use this for where the time goes,
not for I/O-bound ratios.

  bench/callgrind.py [--split] BUILD_DIR EXECUTABLE BENCHMARK [BENCHMARK...]
  e.g. bench/callgrind.py build/linux bench_exports BM_ExportIsConnected/real_time

--split also shows where ours' instructions go: the library's own code, the simulated
Windows (winsim), the C and C++ runtimes.
"""
import os
import re
import subprocess
import sys
import tempfile

SIDE = re.compile(r"bench::TimeBatchNs<.*\{lambda\(\)#([12])\}")
COST = re.compile(r"^\s*([\d,]+)\s+\([^)]*\)\s+([*>])\s+(.*)$")
CALLS = re.compile(r"\((\d[\d,]*)x\)")


def number(text):
    return int(text.replace(",", ""))


def annotate(profile):
    out = subprocess.run(["callgrind_annotate", "--tree=calling", "--inclusive=yes", profile],
                         capture_output=True, text=True, check=True).stdout
    sides = {}
    current = None
    for line in out.splitlines():
        match = COST.match(line)
        if not match:
            current = None
            continue
        cost, kind, what = number(match.group(1)), match.group(2), match.group(3)
        side = SIDE.search(what)
        if side and kind == ">":
            # A side with no callee of its own has no block: its cost is on the call.
            entry = sides.setdefault(side.group(1), {"total": 0, "calls": 0, "top": 0})
            entry["total"] = max(entry["total"], cost)
        if kind == "*":
            current = side.group(1) if side else None
            if current:
                entry = sides.setdefault(current, {"total": 0, "calls": 0, "top": 0})
                entry["total"] = max(entry["total"], cost)
        elif current:
            calls = CALLS.search(what)
            entry = sides[current]
            if calls and cost > entry["top"]:
                entry["top"] = cost
                entry["calls"] = number(calls.group(1))
    return sides


def part_of(obj):
    if "libwinsim" in obj:
        return "winsim"
    if "libstdc++" in obj:
        return "libstdc++"
    if "libc.so" in obj or "libm.so" in obj or "ld-linux" in obj:
        return "libc"
    return "library"


def split(profile_file):
    """Self instructions by object file, read from the raw profile."""
    names = {}
    parts = {}
    obj = ""
    skip_call_cost = False
    with open(profile_file) as raw:
        for line in raw:
            named = re.match(r"c?ob=\((\d+)\)(?: (.*))?", line.strip())
            if named and named.group(2):
                names[named.group(1)] = named.group(2)  # compressed names: defined once
            if line.startswith("ob="):
                obj = names.get(named.group(1), "") if named else line[3:].strip()
            elif line.startswith("calls="):
                skip_call_cost = True  # the next cost line is the call's inclusive cost
            elif line[:1].isdigit() or line[:1] in "+-*":
                fields = line.split()
                if skip_call_cost:
                    skip_call_cost = False
                elif len(fields) > 1:
                    part = part_of(obj)
                    parts[part] = parts.get(part, 0) + int(fields[1])
    return parts


def run_callgrind(exe, benchmark, out, extra=()):
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out, *extra, exe,
                    "--benchmark_filter=^" + re.escape(benchmark) + "$",
                    "--benchmark_min_time=0.05"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def profile(build, executable, benchmark, with_split):
    exe = os.path.join(build, "bin", executable)
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "callgrind.out")
        run_callgrind(exe, benchmark, out)
        sides = annotate(out)
        parts = {}
        if with_split:
            inside = os.path.join(work, "ours.out")
            run_callgrind(exe, benchmark, inside,
                          ["--toggle-collect=*TimeBatchNs*lambda()#1*"])
            calls = annotate(inside).get("1", {}).get("calls", 0)
            if calls:
                parts = {part: count / calls for part, count in split(inside).items()}
        return sides, parts


def main(argv):
    with_split = "--split" in argv
    argv = [a for a in argv if a != "--split"]
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    build, executable = argv[1], argv[2]
    print("%-46s %14s %14s %8s" % ("benchmark (instructions per call)", "ours", "floor", "ratio"))
    for benchmark in argv[3:]:
        sides, parts = profile(build, executable, benchmark, with_split)
        if "1" not in sides or "2" not in sides or not sides["1"]["calls"]:
            print("%-46s %s" % (benchmark, "no paired measurement found"))
            continue
        calls = sides["1"]["calls"]
        ours = sides["1"]["total"] / calls
        floor = sides["2"]["total"] / calls
        print("%-46s %14.0f %14.0f %8.3f" % (benchmark, ours, floor, ours / floor))
        if parts:
            print("    ours per call: " + ", ".join(
                "%s %.0f" % (part, count)
                for part, count in sorted(parts.items(), key=lambda item: -item[1])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
