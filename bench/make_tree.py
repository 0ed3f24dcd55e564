#!/usr/bin/env python3
"""Writes a deterministic update tree for the benchmarks, shaped like a visual-novel patch.

Profiles:
  full   about 120 MB: one 14 MiB file, several 3-8 MiB already-compressed archives, a few hundred
         small CP932 script texts, medium binaries with some redundancy; folders 1-3 deep with
         Japanese names (some with 0x5C trail bytes), an install.env and a two-level folder
  small  about 5 MB of the same kinds, for start-up against the full payload
  ws14   the setup files and one 14 MiB file (peak working set)
  ws500  the setup files and one 500 MiB file (peak working set)
Every file gets a fixed last-write time with a 100 ns fraction, so time checks see the fraction.

usage: make_tree.py DIR [--profile NAME] [--seed S]
"""
import argparse
import os
import random

TOP = ["背景", "音声", "ソース", "表示データ", "scenario"]
MID = ["第一章", "第二章", "夜", "キャラ", "ソ連"]
LOW = ["立ち絵", "効果音", "予備", "表"]
WORDS = ["今日は", "いい天気", "ですね。", "[wait time=200]", "@bgm storage=", "「はい」", "\r\n",
         "*choice", "表示", "ソ", "[cm]", "彼女は", "そう言って笑った。", "[l][r]"]
MIB = 1 << 20


def script_text(rng, size):
    """Script-like CP932 text: words drawn from a small vocabulary, as scenario files are."""
    out = bytearray()
    while len(out) < size:
        out += "".join(rng.choice(WORDS) for _ in range(64)).encode("cp932")
    return bytes(out[:size])


def redundant_binary(rng, size, pool):
    """Runs of random bytes between pieces repeated from a shared pool: compresses to about 70 %."""
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.25:
            out += rng.randbytes(rng.randint(256, 8192))
        else:
            piece = rng.choice(pool)
            start = rng.randint(0, len(piece) - 1)
            out += piece[start:start + rng.randint(512, 16384)]
    return bytes(out[:size])


def setup_files(rng):
    env = ("TITLEBAR\t更新プログラム\r\nREG_GLOBAL\tStudio\r\nREG_LOCAL\tGame\r\nKEYFILE\t\tgame.exe\r\n"
           "EXENAME\t\tgame.exe\r\n[EOF]\r\n").encode("cp932")
    return [("install.env", env),
            ("insttscr.rct", rng.randbytes(60_000)),
            ("readme.txt", ("お読みください。\r\n" * 200).encode("cp932"))]


def folder(rng):
    return "/".join([rng.choice(TOP), rng.choice(MID), rng.choice(LOW)][: rng.randint(1, 3)])


def tree_files(rng, profile):
    files = setup_files(rng)
    if profile in ("ws14", "ws500"):
        size = 14 * MIB if profile == "ws14" else 500 * MIB
        block = rng.randbytes(MIB)
        data = bytearray()
        while len(data) < size:  # fast to make and to pack: extraction memory is what is measured
            data += block[: rng.randint(MIB // 2, MIB)]
        files.append(("動画/オープニング.dat", bytes(data[:size])))
        files.append(("動画/予備/空.dat", b""))
        return files
    full = profile == "full"
    pool = [rng.randbytes(65536) + script_text(rng, 65536) for _ in range(24)]
    # The one large file: a movie-like blob, part of it compressible.
    files.append(("動画/オープニング.dat", redundant_binary(rng, 14 * MIB if full else MIB, pool)))
    for i in range(5 if full else 1):
        size = rng.randint(3 * MIB, 8 * MIB) // (1 if full else 4)
        files.append((f"音声/voice{i:02d}.arc", rng.randbytes(size)))  # already compressed
    for i in range(300 if full else 40):
        files.append((f"scenario/{rng.choice(MID)}/シーン{i:03d}.ks", script_text(rng, rng.randint(2_000, 30_000))))
    for i in range(88 if full else 8):
        size = rng.randint(100_000, 1_500_000) // (1 if full else 3)
        files.append((f"{folder(rng)}/ファイル{i:04d}.dat", redundant_binary(rng, size, pool)))
    files.append(("system/予備/空.dat", b""))  # an empty file inside a two-level folder
    return [(n, d) for n, d in files if d or n.endswith("空.dat")]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("--profile", default="full", choices=["full", "small", "ws14", "ws500"])
    ap.add_argument("--seed", type=int, default=932)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    base_time = 1_600_000_000
    total = 0
    files = tree_files(rng, args.profile)
    for n, (name, data) in enumerate(files):
        path = os.path.join(args.dir, name)
        os.makedirs(os.path.dirname(path) or args.dir, exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        t = (base_time + n * 3601) * 1_000_000_000 + (n * 7919 % 10_000_000) * 100
        os.utime(path, ns=(t, t))
        total += len(data)
    print(f"{args.dir}: {len(files)} files, {total} bytes")


if __name__ == "__main__":
    main()
