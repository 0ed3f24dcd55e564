#!/usr/bin/env python3
"""Delta updates against the peers: generated pairs of old and new files, each diffed and applied by
`vnpack build --base` / `vnpack extract --base` (the program's own walk and applier, built natively)
and by xdelta3 -9, bsdiff and zstd --patch-from --long, all in one run. Prints patch size, diff time,
apply time and apply peak memory (maximum resident set of the applying process), and marks the goals.

usage: delta.py [--only a|b|c] [--keep]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))
WORK = os.path.join(ROOT, "build", "bench", "delta")
VNPACK = os.environ.get("VN_VNPACK", os.path.join(ROOT, "build", "host-release", "tools", "vnpack"))
MIB = 1 << 20
ENV = "TITLEBAR\tDelta bench\r\nREG_GLOBAL\tStudio\r\nREG_LOCAL\tGame\r\n"


def run(cmd, out=None):
    """Runs cmd; returns (seconds, peak resident bytes). Measured by /usr/bin/time: a child of this
    process would inherit the high-water mark of its pairs held in memory."""
    figures = os.path.join(WORK, "time.txt")
    with open(out or os.devnull, "wb") as sink:
        done = subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", figures, *cmd], stdout=sink, stderr=subprocess.PIPE)
    if done.returncode != 0:
        sys.exit(f"delta bench: {' '.join(cmd)} failed: {done.stderr.decode(errors='replace')}")
    with open(figures) as f:
        seconds, kib = f.read().split()[-2:]
    return float(seconds), int(kib) * 1024


# ---- the pairs ---------------------------------------------------------------------------------

def text(r, n):
    words = ["「", "」", "の", "は", "を", "mes", "wait", "voice", "bg", "select", "、", "。", "\r\n", "chara"]
    parts, size = [], 0
    while size < n:
        w = r.choice(words) + str(r.randrange(1000)) + " "
        parts.append(w)
        size += len(w.encode())
    return "".join(parts).encode()[:n]


def archive(entries):
    """An engine archive: an index of (name, offset, size), then the entries."""
    index = bytearray(b"ARC1" + len(entries).to_bytes(4, "little"))
    offset = 8 + 48 * len(entries)
    for name, data in entries:
        index += name.ljust(40, b"\0") + offset.to_bytes(4, "little") + len(data).to_bytes(4, "little")
        offset += len(data)
    return bytes(index) + b"".join(d for _, d in entries)


def pair_a(r, scale):
    """About 300 MB in a few thousand entries, half compressed-like, half plain; 2 % change, a few
    are inserted, the index is rewritten."""
    pool = text(r, 4 * MIB)
    entries = []
    for i in range(int(3000 * scale)):
        size = r.randrange(20000, 180000)
        if i % 2:
            data = r.randbytes(size)
        else:
            at = r.randrange(len(pool) - size)
            data = pool[at:at + size]
        entries.append((b"data/%05d.bin" % i, data))
    old = archive(entries)
    new_entries = list(entries)
    for i in r.sample(range(len(entries)), len(entries) // 50):
        name, data = new_entries[i]
        if r.random() < 0.5:
            cut = r.randrange(len(data))
            data = data[:cut] + text(r, r.randrange(10, 2000)) + data[cut + r.randrange(0, 500):]
        else:
            data = r.randbytes(len(data) + r.randrange(-1000, 1000))
        new_entries[i] = (name, data)
    for k in range(5):
        at = r.randrange(len(new_entries))
        new_entries.insert(at, (b"data/new%02d.bin" % k, r.randbytes(r.randrange(20000, 100000))))
    return old, archive(new_entries)


def pair_b(r, scale):
    """An executable-like file: code with scattered small changes (addresses, constants) and one
    function grown."""
    n = int(8 * MIB * scale)
    ops = [bytes([r.randrange(256) for _ in range(r.randrange(1, 8))]) for _ in range(400)]
    code = bytearray()
    while len(code) < n:
        code += r.choice(ops)
    old = bytes(code[:n])
    new = bytearray(old)
    for _ in range(int(3000 * scale)):
        at = r.randrange(len(new) - 4)
        new[at:at + 4] = r.randbytes(4)
    mid = len(new) // 2
    new[mid:mid] = r.randbytes(3000)
    return old, bytes(new)


def pair_c(r, scale):
    """Script texts with edits, one file of them each (the peers diff one file)."""
    scripts = [text(r, r.randrange(5000, 60000)) for _ in range(int(300 * scale))]
    old = b"".join(scripts)
    for i in r.sample(range(len(scripts)), len(scripts) // 5):
        s = scripts[i]
        for _ in range(3):
            at = r.randrange(len(s))
            s = s[:at] + text(r, r.randrange(20, 300)) + s[at + r.randrange(0, 200):]
        scripts[i] = s
    return old, b"".join(scripts)


# ---- one pair ----------------------------------------------------------------------------------

def tree(root, name, data):
    os.makedirs(os.path.join(root, "data"), exist_ok=True)
    with open(os.path.join(root, "install.env"), "w") as f:
        f.write(ENV)
    with open(os.path.join(root, "data", name), "wb") as f:
        f.write(data)


def packed_of(updater, delta):
    """The data size of the pair's record (the delta, or the whole file), from vnpack list."""
    out = subprocess.run([VNPACK, "list", updater], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        if "data\\f.dat" in line and ("(delta)" in line) == delta:
            return int(line.split()[1])
    sys.exit(f"delta bench: no record in {updater}")


def bench_pair(label, old, new, stub, only_ours=False):
    work = os.path.join(WORK, label)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    o, n = os.path.join(work, "old"), os.path.join(work, "new")
    tree(o, "f.dat", old)
    tree(n, "f.dat", new)
    of, nf = os.path.join(o, "data", "f.dat"), os.path.join(n, "data", "f.dat")
    rows = []
    whole = os.path.join(work, "whole.exe")
    ours = os.path.join(work, "delta.exe")
    # The whole file as shipped, and extracting it: the apply's baseline.
    run([VNPACK, "build", n, "-o", whole, "--stub", stub, "--threads", "2"])
    whole_bytes = packed_of(whole, False)
    t_whole, m_whole = run([VNPACK, "extract", whole, os.path.join(work, "x0")])
    t_diff, _ = run([VNPACK, "build", n, "-o", ours, "--stub", stub, "--threads", "2", "--base", o])
    t_apply, m_apply = run([VNPACK, "extract", ours, os.path.join(work, "x1"), "--base", o])
    check(os.path.join(work, "x1", "data", "f.dat"), nf, "vnpack")
    rows.append(("vnpack --base", packed_of(ours, True), t_diff, t_apply, m_apply))
    peers = [
        ("xdelta3 -9", ["xdelta3", "-9", "-e", "-f", "-s", of, nf, "{p}"], ["xdelta3", "-d", "-f", "-s", of, "{p}", "{o}"]),
        ("bsdiff", ["bsdiff", of, nf, "{p}"], ["bspatch", of, "{o}", "{p}"]),
        ("zstd --patch-from --long", ["zstd", "-q", "-f", "-19", "--long=31", "-T2", "--patch-from=" + of, nf, "-o", "{p}"],
         ["zstd", "-q", "-f", "-d", "--long=31", "--patch-from=" + of, "{p}", "-o", "{o}"]),
    ]
    for name, diff, apply in peers:
        if only_ours or not shutil.which(diff[0]):
            rows.append((name, None, None, None, None))
            continue
        if name == "bsdiff" and len(new) > 64 * MIB:
            rows.append((name + " (not run: 17x memory)", None, None, None, None))
            continue
        p, out = os.path.join(work, "patch"), os.path.join(work, "out")
        fill = lambda args: [a.replace("{p}", p).replace("{o}", out) for a in args]
        t_d, _ = run(fill(diff))
        t_a, m_a = run(fill(apply))
        check(out, nf, name)
        rows.append((name, os.path.getsize(p), t_d, t_a, m_a))
    return rows, whole_bytes, t_whole, m_whole


def check(got, want, who):
    if subprocess.run(["cmp", "-s", got, want]).returncode != 0:
        sys.exit(f"delta bench: {who} did not make the new file")


def show(label, size, rows, whole_bytes, t_whole, m_whole, goals):
    print(f"\n({label}) {size / MIB:.0f} MiB; the whole file's record {whole_bytes:,} bytes, extracted in "
          f"{t_whole:.2f} s, peak {m_whole / MIB:.1f} MiB")
    print(f"{'':28}{'patch bytes':>14}{'% of whole':>11}{'diff s':>9}{'apply s':>9}{'peak MiB':>10}")
    for name, size_, td, ta, m in rows:
        if size_ is None:
            print(f"{name:28}{'-':>14}")
            continue
        print(f"{name:28}{size_:>14,}{100.0 * size_ / whole_bytes:>10.2f}%{td:>9.2f}{ta:>9.2f}{m / MIB:>10.1f}")
    for text_, ok in goals(rows, whole_bytes, t_whole):
        print(f"  goal: {text_}: {'met' if ok else 'MISSED'}")


def goals_a(rows, whole_bytes, t_whole):
    ours = rows[0]
    peers = [r[1] for r in rows[1:] if r[1] is not None]
    return [
        ("delta <= smallest peer patch", not peers or ours[1] <= min(peers)),
        ("delta <= 3 % of the whole-file record", ours[1] <= 0.03 * whole_bytes),
        ("apply peak <= 16 MiB", ours[4] <= 16 * MIB),
        ("apply <= 1.2 x extracting the whole file", ours[3] <= 1.2 * t_whole),
        ("diff <= 60 s on two cores", ours[2] <= 60),
    ]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--only", choices="abc")
    ap.add_argument("--scale", type=float, default=1.0, help="shrinks the pairs (tests of this script)")
    ap.add_argument("--keep", action="store_true", help="keep build/bench/delta")
    args = ap.parse_args()
    os.makedirs(WORK, exist_ok=True)
    stub = os.path.join(WORK, "stub.exe")
    with open(stub, "wb") as f:
        f.write(b"MZ" + bytes(62))
    print(f"delta bench on {os.cpu_count()} processors (vnpack --threads 2); times are wall seconds of one run")
    pairs = [("a", "archive, 2 % of entries changed, 5 inserted, index rewritten", pair_a, goals_a),
             ("b", "executable-like, scattered small changes", pair_b, lambda *a: []),
             ("c", "script texts with edits", pair_c, lambda *a: [])]
    for key, label, make, goals in pairs:
        if args.only and args.only != key:
            continue
        old, new = make(random.Random(key), args.scale)
        rows, whole_bytes, t_whole, m_whole = bench_pair(key, old, new, stub)
        show(f"{key}: {label}", len(new), rows, whole_bytes, t_whole, m_whole, goals)
    if not args.keep:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
