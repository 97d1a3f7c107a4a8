#!/usr/bin/env python3
"""Writes a deflated zip archive shaped like a full game update: about 3,000
files of mixed sizes in nested folders, part compressible, part not.

usage: make_bench_zip.py OUTPUT [TOTAL_MIB] [FILES]
"""
import os
import random
import sys
import zipfile


def main():
    output = sys.argv[1]
    total = int(sys.argv[2]) * 1024 * 1024 if len(sys.argv) > 2 else 300 * 1024 * 1024
    files = int(sys.argv[3]) if len(sys.argv) > 3 else 3000
    rng = random.Random(20261207)
    # Mostly small files, some medium, a few large ones, scaled to the total.
    weights = [rng.choice([1] * 70 + [20] * 25 + [400] * 5) * rng.uniform(0.5, 1.5)
               for _ in range(files)]
    scale = total / sum(weights)
    words = b"vantora online patch data map texture mesh sound effect skill " * 64
    with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        for index, weight in enumerate(weights):
            size = max(1, int(weight * scale))
            folder = f"data/set{index % 17:02d}/group{index % 5}"
            if index % 3 == 0:
                data = os.urandom(size)  # already compressed content
            else:
                data = (words * (size // len(words) + 1))[:size]
                data = bytes(b ^ (i & 7) for i, b in enumerate(data[:4096])) + data[4096:]
            archive.writestr(f"{folder}/file{index:05d}.dat", data)


if __name__ == "__main__":
    main()
