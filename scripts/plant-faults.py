#!/usr/bin/env python3
"""Plants one-line faults in a copy of the tree, one at a time, and tells which the tests catch.

Each fault is a section of an .ini file (default: every scripts/faults/*.ini):

    [ssolog-size-limit-kept]
    file = ssolog/src/log_config.cpp
    old = maxFileSize = kDefaultMaxFileSize;
    new = (void)0;

`old` must occur exactly once in `file`. The tree as it stands (uncommitted changes
included) is copied to DIR/src and built in DIR/build (linux, no benchmarks); the tests
must pass there first. Then, per fault: replace, build, run ctest until the first failure,
restore. A fault is caught when some test fails, missed when all pass; one that does not
build is reported apart. The working tree itself is never touched, so this can run beside
other builds.

  scripts/plant-faults.py                       every fault, every test
  scripts/plant-faults.py -R 'Ssolog' --only a,b --dir build/plant-ssolog scripts/faults/ssolog.ini
  scripts/plant-faults.py --targets ssolog_tests -R 'Log' scripts/faults/ssolog.ini
  scripts/plant-faults.py --toolchain cmake/toolchain-msvc-abi32.cmake scripts/faults/windows/msvc-abi.ini

Faults only a Windows build shows (its Wine and artifact tests) are under scripts/faults/windows/,
each file naming the toolchain to plant them with (a Release build with that toolchain file).
"""
import argparse, configparser, glob, os, re, shutil, subprocess, sys, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def tracked_files():
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                         capture_output=True, check=True).stdout.decode()
    return [f for f in out.split("\0") if f and os.path.isfile(os.path.join(ROOT, f))]


def mirror(src):
    """Copies changed files only, stamped now, so that ninja rebuilds exactly what changed."""
    wanted = set(tracked_files())
    for name in wanted:
        origin, copy = os.path.join(ROOT, name), os.path.join(src, name)
        if os.path.isfile(copy) and open(origin, "rb").read() == open(copy, "rb").read():
            continue
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copy(origin, copy)
    for folder, _, names in os.walk(src):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.relpath(path, src) not in wanted:
                os.remove(path)


def load_faults(files, only):
    faults = []
    for path in files:
        parser = configparser.ConfigParser(interpolation=None, delimiters=("=",),
                                           comment_prefixes=("#",), inline_comment_prefixes=None)
        parser.optionxform = str
        parser.read(path, encoding="utf-8")
        for name in parser.sections():
            if only and name not in only:
                continue
            section = parser[name]
            faults.append((name, section["file"], section["old"], section.get("new", "")))
    return faults


def run(command, cwd, log):
    with open(log, "w") as out:
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT).returncode


def first_failure(log):
    text = open(log, errors="replace").read()
    found = re.findall(r"^\s*\d+/\d+ Test\s+#\d+: (\S+).*\*\*\*(?:Failed|Exception|Timeout)", text, re.M)
    found = found or re.findall(r"^\s*\d+ - (\S+) \(", text, re.M)
    return found[0] if found else "(see log)"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("faults", nargs="*", help="fault files (default scripts/faults/*.ini)")
    parser.add_argument("--only", default="", help="comma-separated fault names")
    parser.add_argument("-R", dest="tests", default="", help="ctest -R regex: run only these tests")
    parser.add_argument("--targets", default="",
                        help="comma-separated build targets (default all): leaves out groups others are changing")
    parser.add_argument("--dir", default=os.path.join(ROOT, "build", "plant"))
    parser.add_argument("--jobs", default=os.environ.get("JOBS", "2"))
    parser.add_argument("--toolchain", default="", help="a Windows build with this toolchain file of the tree")
    args = parser.parse_args()

    files = args.faults or sorted(glob.glob(os.path.join(ROOT, "scripts", "faults", "*.ini")))
    faults = load_faults(files, set(filter(None, args.only.split(","))))
    src, build = os.path.join(args.dir, "src"), os.path.join(args.dir, "build")
    os.makedirs(src, exist_ok=True)
    mirror(src)

    configure = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                 "-DHALCYON_BENCH=OFF", "-DHALCYON_WERROR=OFF", "-DCMAKE_CXX_FLAGS_DEBUG=-O0",
                 "-DCMAKE_C_FLAGS_DEBUG=-O0"]
    if args.toolchain:
        configure = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                     "-DHALCYON_WERROR=OFF", "-DCMAKE_TOOLCHAIN_FILE=" + os.path.abspath(os.path.join(src, args.toolchain))]
    if shutil.which("ccache"):
        configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    ctest = ["ctest", "--test-dir", build, "-j", args.jobs, "--timeout", "120"]
    if args.tests:
        ctest += ["-R", args.tests]
    build_all = ["cmake", "--build", build, "-j", args.jobs]
    if args.targets:
        build_all += ["--target"] + args.targets.split(",")
    log = os.path.join(args.dir, "last.log")

    if run(configure, ROOT, log) or run(build_all, ROOT, log):
        sys.exit("plant-faults: the unchanged tree does not build (%s)" % log)
    if run(ctest, ROOT, log):
        sys.exit("plant-faults: tests fail on the unchanged tree (%s)" % log)

    caught = missed = unbuilt = 0
    for name, file, old, new in faults:
        path = os.path.join(src, file)
        original = open(path, encoding="utf-8").read() if os.path.isfile(path) else ""
        count = original.count(old)
        if count != 1:
            print("%-40s NOT PLANTED (%d matches in %s)" % (name, count, file))
            unbuilt += 1
            continue
        start = time.time()
        try:
            with open(path, "w", encoding="utf-8") as out:
                out.write(original.replace(old, new))
            if run(build_all, ROOT, log):
                verdict = "DOES NOT BUILD"
                unbuilt += 1
            elif run(ctest + ["--stop-on-failure"], ROOT, log):
                verdict = "caught by " + first_failure(log)
                caught += 1
            else:
                verdict = "MISSED"
                missed += 1
        finally:
            with open(path, "w", encoding="utf-8") as out:
                out.write(original)
        print("%-40s %s (%.0f s)" % (name, verdict, time.time() - start), flush=True)
    print("%d faults: %d caught, %d missed, %d not built" % (len(faults), caught, missed, unbuilt))
    sys.exit(1 if missed or unbuilt else 0)


if __name__ == "__main__":
    main()
