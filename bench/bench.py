#!/usr/bin/env python3
"""The benchmark table: extraction against its limit and the NSIS peer, packing against makensis,
sizes, start-up and peak working set, all measured in one run. Started by `bash bench/run`, which
builds the programs and installs the tools first.

usage: bench.py [--runs N] [--no-best]
   and bench.py check SRC OUT  (used between timed runs: OUT must equal SRC byte for byte and time
   for time; OUT is then emptied for the next run)
"""
import argparse
import filecmp
import hashlib
import json
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))
WORK = os.path.join(ROOT, "build", "bench")
WINE_DIR = os.path.join(WORK, "wine")
VNPACK = os.path.join(ROOT, "build", "host-release", "tools", "vnpack")
LIMIT = os.path.join(ROOT, "build", "host-release", "bench", "limit")
# bench/run names the Windows build whose programs its prefix runs.
WIN_BUILD = os.environ.get("VN_BENCH_WIN_BUILD", os.path.join(ROOT, "build", "win"))
# The NSIS installer the extraction row runs is built for the programs' architecture: a Wine that
# runs x86_64 programs only cannot start the usual 32-bit one, and NSIS has a 64-bit zlib stub.
NSIS_TARGET = "amd64-unicode" if os.environ.get("VN_BENCH_WIN_ARCH", "i686") == "x86_64" else "x86-unicode"
LIMIT_EXE = os.path.join(WIN_BUILD, "bench", "limit.exe")
PROBE_EXE = os.path.join(WIN_BUILD, "tests", "win", "extract_probe.exe")
PROGRAM_EXE = os.path.join(WIN_BUILD, "src", "vnupdate.exe")
DRIVE_EXE = os.path.join(WIN_BUILD, "bench", "drive_bench.exe")
# What the trees' install.env says: the menu's title and the installation's key.
TITLE = "更新プログラム アップデータ"
INSTALL_KEY = "Software\\Studio\\Game"
WINE_RUN = os.path.join(ROOT, "tests", "support", "wine-run")
NSIS_STUB = "/usr/share/nsis/Stubs/zlib-x86-unicode"
MIB = 1 << 20


def winpath(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def sh_quote(s):
    return "'" + s.replace("'", "'\\''") + "'"


def wine_cmd(*args):
    return " ".join(sh_quote(a) for a in [WINE_RUN, WINE_DIR, *args])


# ---- checking what a run left behind ---------------------------------------------------------

def snapshot(root):
    """Relative path -> (is_dir, mtime_ns) for everything below root."""
    seen = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for d in dirnames:
            p = os.path.join(dirpath, d)
            seen[os.path.relpath(p, root)] = (True, None)
        for f in filenames:
            p = os.path.join(dirpath, f)
            seen[os.path.relpath(p, root)] = (False, os.stat(p).st_mtime_ns)
    return seen


def compare_trees(src, out, whole_seconds=False):
    """None when out holds exactly src's folders and files, same bytes, same last-write times (within
    2 seconds for the NSIS peer: makensis on Linux keeps times as DOS times do)."""
    a, b = snapshot(src), snapshot(out)
    if a.keys() != b.keys():
        missing = sorted(a.keys() - b.keys())[:3]
        extra = sorted(b.keys() - a.keys())[:3]
        return f"different names: missing {missing}, extra {extra}"
    for rel, (is_dir, mtime) in a.items():
        if is_dir:
            continue
        if whole_seconds and abs(b[rel][1] - mtime) < 2_000_000_000:
            mtime = b[rel][1]
        if b[rel][1] != mtime:
            return f"{rel}: time {b[rel][1]} instead of {mtime}"
        if not filecmp.cmp(os.path.join(src, rel), os.path.join(out, rel), shallow=False):
            return f"{rel}: different bytes"
    return None


def check_and_clear(src, out, whole_seconds=False):
    if os.path.isdir(out) and os.listdir(out):
        problem = compare_trees(src, out, whole_seconds)
        if problem:
            print(f"bench: {out}: {problem}", file=sys.stderr)
            sys.exit(1)
        with open(out + ".checked", "a") as f:
            f.write("ok\n")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)


def check_build_and_clear(out):
    """Every build of the same tree gives the same bytes: the first run's digest is the reference."""
    if os.path.exists(out):
        with open(out, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        ref = out + ".sha256"
        if os.path.exists(ref):
            with open(ref) as f:
                if f.read() != digest:
                    print(f"bench: {out}: a rebuild gave other bytes", file=sys.stderr)
                    sys.exit(1)
        else:
            with open(ref, "w") as f:
                f.write(digest)
        os.remove(out)


# ---- timing ----------------------------------------------------------------------------------

def hyperfine(name, command, runs, prepare=None, warmup=1):
    """Median wall time in seconds of `runs` runs, and the mean CPU time (user + system) of the
    processes hyperfine waits for: a Wine program runs as a process of its own and is not in it."""
    out = os.path.join(WORK, "times", name + ".json")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    cmd = ["hyperfine", "--runs", str(runs), "--warmup", str(warmup), "--style", "none",
           "--export-json", out, command]
    if prepare:
        cmd[1:1] = ["--prepare", prepare]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    with open(out) as f:
        result = json.load(f)["results"][0]
    return statistics.median(result["times"]), result["user"] + result["system"]


def timed_extraction(name, command, src, out, runs, whole_seconds=False):
    here = sh_quote(os.path.realpath(__file__))
    verb = "check-seconds" if whole_seconds else "check"
    prepare = f"python3 {here} {verb} {sh_quote(src)} {sh_quote(out)}"
    marker = out + ".checked"
    if os.path.exists(marker):
        os.remove(marker)
    shutil.rmtree(out, ignore_errors=True)  # what an earlier bench left is no run of this one
    os.makedirs(out)
    wall, cpu = hyperfine(name, command, runs, prepare=prepare)
    check_and_clear(src, out, whole_seconds)  # the last run
    with open(marker) as f:
        checked = len(f.readlines())
    if checked != runs + 1:  # every timed run and the warm-up
        sys.exit(f"bench: {name}: {checked} of {runs + 1} runs were checked")
    return wall, cpu


def driven(name, verb, updater, runs, *args, src=None, out=None):
    """Median seconds the driver measured on the real program (one warm-up run first). With src, every
    run extracts into out, which is checked against src like the other extraction rows."""
    report = os.path.join(WORK, "times", name + ".txt")
    os.makedirs(os.path.dirname(report), exist_ok=True)
    seconds = []
    if out:
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
    for _ in range(runs + 1):
        if os.path.exists(report):
            os.remove(report)
        subprocess.run(wine_cmd(DRIVE_EXE, verb, winpath(updater), TITLE, *args, winpath(report)),
                       shell=True, check=True, stdout=subprocess.DEVNULL)
        with open(report) as f:
            seconds.append([float(v) for v in f.read().split()])
        if src:
            problem = compare_trees(src, out)
            if problem:
                sys.exit(f"bench: {name}: {out}: {problem}")
            shutil.rmtree(out)
            os.makedirs(out)
    # One figure per line of the report: the median of each.
    medians = [statistics.median(column) for column in zip(*seconds[1:])]
    return medians[0] if len(medians) == 1 else medians


def peak_working_set(command):
    """The probe's own peak working set in bytes, as Windows reports it (GetProcessMemoryInfo)."""
    report = os.path.join(WORK, "out", "peak.txt")
    if os.path.exists(report):
        os.remove(report)
    env = dict(os.environ, VN_PROBE_MEMORY=winpath(report))
    subprocess.run(command, shell=True, check=True, env=env, stdout=subprocess.DEVNULL)
    with open(report) as f:
        return int(f.read())


# ---- inputs ----------------------------------------------------------------------------------

def make_tree(profile):
    tree = os.path.join(WORK, "trees", profile)
    stamp = tree + ".stamp"
    gen = os.path.join(ROOT, "bench", "make_tree.py")
    with open(gen, "rb") as f:
        want = hashlib.sha256(f.read()).hexdigest()
    if os.path.exists(stamp) and open(stamp).read() == want:
        return tree
    shutil.rmtree(tree, ignore_errors=True)
    subprocess.run([sys.executable, gen, tree, "--profile", profile], check=True, stdout=subprocess.DEVNULL)
    with open(stamp, "w") as f:
        f.write(want)
    return tree


def write_nsi(tree, out_exe, target=None):
    nsi = out_exe[:-4] + ".nsi"
    with open(nsi, "w", encoding="utf-8") as f:
        if target:
            f.write(f"Target {target}\n")
        f.write("Unicode true\nSetCompressor zlib\nName \"bench\"\nRequestExecutionLevel user\n"
                f"OutFile \"{out_exe}\"\nInstallDir \"$TEMP\\bench\"\n"
                f"Section\nSetOutPath \"$INSTDIR\"\nFile /r \"{tree}/*\"\nSectionEnd\n")
    return nsi


def vnpack_build(tree, out, stub, *extra):
    return " ".join(sh_quote(a) for a in [VNPACK, "build", tree, "-o", out, "--stub", stub, *extra]) + " >/dev/null"


# ---- the table -------------------------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--no-best", action="store_true", help="leave out vnpack build --best (minutes)")
    ap.add_argument("--extraction-only", action="store_true",
                    help="only the extraction rows (packing once, no start-up or working-set rows)")
    args = ap.parse_args()
    only = args.extraction_only
    runs = args.runs
    os.makedirs(WORK, exist_ok=True)
    full, small = make_tree("full"), make_tree("small")
    ws14, ws500 = (None, None) if only else (make_tree("ws14"), make_tree("ws500"))
    out = os.path.join(WORK, "out")
    os.makedirs(out, exist_ok=True)
    # Packing: makensis against vnpack build on the same tree.
    nsis_exe = os.path.join(out, "nsis.exe")
    nsi = write_nsi(full, nsis_exe)
    if not only:
        makensis, makensis_cpu = hyperfine("makensis", f"makensis -V1 {sh_quote(nsi)} >/dev/null", runs)
    ours_exe = os.path.join(out, "ours.exe")
    build_cmd = vnpack_build(full, ours_exe, PROBE_EXE)
    for stale in (ours_exe, ours_exe + ".sha256"):
        if os.path.exists(stale):
            os.remove(stale)
    if not only:
        build, build_cpu = hyperfine("vnpack_build", build_cmd, runs,
                                     prepare=f"python3 {sh_quote(os.path.realpath(__file__))} check-build {sh_quote(ours_exe)}")
    subprocess.run(build_cmd, shell=True, check=True)
    best_exe = os.path.join(out, "best.exe")
    best = None
    if not args.no_best and not only:
        t0 = time.monotonic()
        subprocess.run(vnpack_build(full, best_exe, PROBE_EXE, "--best"), shell=True, check=True)
        best = time.monotonic() - t0
    subprocess.run(f"makensis -V1 {sh_quote(nsi)} >/dev/null", shell=True, check=True)
    nsis_run_exe = nsis_exe
    if NSIS_TARGET != "x86-unicode":
        nsis_run_exe = os.path.join(out, "nsis64.exe")
        nsi64 = write_nsi(full, nsis_run_exe, NSIS_TARGET)
        subprocess.run(f"makensis -V1 {sh_quote(nsi64)} >/dev/null", shell=True, check=True)

    # Extraction under Wine: the limit, the NSIS installer, our extraction; the limit natively.
    dest = os.path.join(out, "tree")
    limit_native, _ = timed_extraction("limit_native", f"{sh_quote(LIMIT)} {sh_quote(ours_exe)} {sh_quote(dest)}",
                                       full, dest, runs)
    limit_wine, _ = timed_extraction(
        "limit_wine", wine_cmd(LIMIT_EXE, winpath(ours_exe), winpath(dest)), full, dest, runs)
    nsis_wine, _ = timed_extraction(
        "nsis_wine", wine_cmd(nsis_run_exe, "/S", "/D=" + winpath(dest)), full, dest, runs, whole_seconds=True)
    probe_wine, _ = timed_extraction("probe_wine", wine_cmd(ours_exe, winpath(dest)), full, dest, runs)

    # The real program, driven as a player would: start-up until the menu shows, with the full and the
    # small payload, and the update of a registered installation from Yes to the completion dialog.
    program = {}
    for name, tree in (("full", full), ("small", small)):
        program[name] = os.path.join(out, f"program_{name}.exe")
        subprocess.run(vnpack_build(tree, program[name], PROGRAM_EXE), shell=True, check=True)
    if not only:
        startup = {name: driven(f"startup_{name}", "startup", exe, runs) for name, exe in program.items()}
    ours_wine = driven("ours_wine", "update", program["full"], runs, INSTALL_KEY, winpath(dest), src=full, out=dest)
    # Cancel a quarter into the same update: the driver checks the folder is as it was.
    cancel_stop, cancel_done = driven("cancel_wine", "cancel", program["full"], runs, INSTALL_KEY, winpath(dest))

    # Peak working set of our extraction: a 14 MiB and a 500 MiB largest file.
    peak = {}
    for name, tree in () if only else (("ws14", ws14), ("ws500", ws500)):
        exe = os.path.join(out, f"{name}.exe")
        subprocess.run(vnpack_build(tree, exe, PROBE_EXE, "--level", "1"), shell=True, check=True)
        check_and_clear(tree, dest)
        peak[name] = peak_working_set(wine_cmd(exe, winpath(dest)))
        check_and_clear(tree, dest)

    size = {p: os.path.getsize(p) for p in (nsis_exe, ours_exe, PROGRAM_EXE, NSIS_STUB)}
    probe = os.path.getsize(PROBE_EXE)
    # Our updater as shipped: the program in front of the payload the bench packed behind the probe.
    ours_shipped = size[ours_exe] - probe + size[PROGRAM_EXE]
    best_shipped = os.path.getsize(best_exe) - probe + size[PROGRAM_EXE] if best is not None else None

    print(f"\nbench: {runs} runs each, medians; tree {dir_bytes(full) / 1e6:.1f} MB in "
          f"{sum(len(f) for _, _, f in os.walk(full))} files; load average {os.getloadavg()[0]:.1f}\n")
    table = [
        ("extraction, limit (native)", f"{limit_native:.2f} s", "", ""),
        ("extraction, limit (Wine)", f"{limit_wine:.2f} s", "1.00", ""),
        ("extraction, NSIS zlib /S (Wine)", f"{nsis_wine:.2f} s", f"{nsis_wine / limit_wine:.2f}",
         "" if NSIS_TARGET == "x86-unicode" else "NSIS's 64-bit stub, as the programs here"),
        ("extraction, probe (Wine)", f"{probe_wine:.2f} s", f"{probe_wine / limit_wine:.2f}", "the copy, no program around it"),
        ("extraction, ours: Yes to dialog (Wine)", f"{ours_wine:.2f} s", f"{ours_wine / limit_wine:.2f}",
         f"goal <= 1.20 x limit: {verdict(ours_wine / limit_wine <= 1.2)}; "
         + f"{ours_wine / nsis_wine:.2f} x NSIS, goal <= 0.60: {verdict(ours_wine / nsis_wine <= 0.6)}"),
        ("cancel, click to copy stopped (Wine)", f"{cancel_stop * 1000:.0f} ms", "",
         f"goal <= 100 ms: {verdict(cancel_stop <= 0.1)}; the bar's 40 ms redraw is the resolution"),
        ("cancel, click to rollback done (Wine)", f"{cancel_done:.2f} s", "",
         "the rollback's own work on top: a quarter of the copy undone"),
    ]
    if not only:
        table += [
            ("makensis (zlib)", f"{makensis:.2f} s", "1.00", ""),
            ("vnpack build", f"{build:.2f} s", f"{build / makensis:.2f}",
             f"goal <= 1.20: {verdict(build / makensis <= 1.2)}; cpu {build_cpu:.2f} s against {makensis_cpu:.2f} s"),
        ]
    if best is not None:
        table.append(("vnpack build --best (1 run)", f"{best:.1f} s", f"{best / makensis:.1f}", ""))
    table += [] if only else [
        ("size, NSIS installer", f"{size[nsis_exe]:,} B", "1.0000", ""),
        ("size, ours (vnpack build)", f"{ours_shipped:,} B", f"{ours_shipped / size[nsis_exe]:.4f}",
         f"goal <= 0.99: {verdict(ours_shipped / size[nsis_exe] <= 0.99)}"),
    ]
    if best_shipped is not None:
        table.append(("size, ours (--best)", f"{best_shipped:,} B", f"{best_shipped / size[nsis_exe]:.4f}",
                      f"goal <= 0.97: {verdict(best_shipped / size[nsis_exe] <= 0.97)}"))
    table += [
        ("size, the program", f"{size[PROGRAM_EXE]:,} B", "", f"goal <= 92,160: {verdict(size[PROGRAM_EXE] <= 92160)}; "
         f"NSIS zlib stub {size[NSIS_STUB]:,} B"),
    ]
    table += [] if only else [
        ("start-up to the menu, 5 MB payload", f"{startup['small']:.3f} s", "1.00", ""),
        ("start-up to the menu, 120 MB payload", f"{startup['full']:.3f} s", f"{startup['full'] / startup['small']:.2f}",
         f"goal <= 1.10: {verdict(startup['full'] / startup['small'] <= 1.1)}"),
        ("peak working set, largest file 14 MiB", f"{peak['ws14'] / MIB:.2f} MiB", "", ""),
        ("peak working set, largest file 500 MiB", f"{peak['ws500'] / MIB:.2f} MiB",
         f"{(peak['ws500'] - peak['ws14']) / MIB:+.2f} MiB",
         f"goal within 1 MiB: {verdict(abs(peak['ws500'] - peak['ws14']) <= MIB)}"),
    ]
    widths = [max(len(r[i]) for r in table) for i in range(3)]
    print(f"{'what':<{widths[0]}}  {'median':>{widths[1]}}  {'ratio':>{max(widths[2], 5)}}  notes")
    for r in table:
        print(f"{r[0]:<{widths[0]}}  {r[1]:>{widths[1]}}  {r[2]:>{max(widths[2], 5)}}  {r[3]}")
    print("\nevery extraction run was checked byte for byte and time for time against the tree")


def verdict(ok):
    return "met" if ok else "MISSED"


def dir_bytes(root):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(root) for f in fs)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] in ("check", "check-seconds"):
        check_and_clear(sys.argv[2], sys.argv[3], sys.argv[1] == "check-seconds")
    elif len(sys.argv) == 3 and sys.argv[1] == "check-build":
        check_build_and_clear(sys.argv[2])
    else:
        main()
