#!/usr/bin/env python3
"""Writes a deterministic update tree for timing `vnpack build`: a few hundred files, tens of MB,
Japanese folder names (CP932-nameable, some with 0x5C trail bytes) three levels deep, content part
random and part compressible, and fixed last-write times.

usage: make_tree.py DIR [--files N] [--seed S]
"""
import argparse
import os
import random

TOP = ["背景", "音声", "ソース", "表示データ"]
MID = ["第一章", "第二章", "夜", "キャラ", "ソ連"]
LOW = ["立ち絵", "効果音", "予備", "表"]
WORDS = ["今日は", "いい天気", "ですね。", "scene", "bgm", "「はい」", "\r\n", "choice", "表示", "ソ"]


def content(rng, size):
    """About half random bytes, half script-like text, in runs."""
    out = bytearray()
    while len(out) < size:
        run = rng.randint(512, 65536)
        if rng.random() < 0.5:
            out += rng.randbytes(run)
        else:
            text = "".join(rng.choice(WORDS) for _ in range(run // 6))
            out += text.encode("cp932")[:run]
    return bytes(out[:size])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("--files", type=int, default=400)
    ap.add_argument("--seed", type=int, default=932)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    base_time = 1_600_000_000
    files = [("install.env", "TITLEBAR=更新プログラム\r\nREG_GLOBAL=Studio\r\n".encode("cp932")),
             ("insttscr.rct", rng.randbytes(60_000)),
             ("readme.txt", ("お読みください。\r\n" * 200).encode("cp932"))]
    for i in range(args.files):
        folder = "/".join([rng.choice(TOP), rng.choice(MID), rng.choice(LOW)][: rng.randint(1, 3)])
        size = int(rng.paretovariate(1.3) * 20_000)
        if i % 97 == 0:
            size = 3_000_000 + rng.randint(0, 2_000_000)  # a few large voice or movie files
        size = min(size, 4_000_000)
        files.append((f"{folder}/ファイル{i:04d}.dat", content(rng, size)))
    total = 0
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
