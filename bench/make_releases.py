#!/usr/bin/env python3
"""Writes a series of game releases, each in a folder of its own below OUTPUT
(named 100, 110, 120, ...): the first shaped like a game (FILES files of mixed
sizes in nested folders, part compressible, part not, and one large data
file "data/world.pak" of DATA_MIB), each next one made from the one before as
a game patch changes it: 5 % of the small files edited in a few places, 1 % of
the data file's bytes changed in scattered runs, a few files added and a few
grown. TOTAL_MIB is the first release's size.

usage: make_releases.py OUTPUT [--files N] [--total-mib N] [--data-mib N]
                        [--releases N] [--seed N]
"""
import argparse
import os
import random
import shutil


def noise(rng, size):
    piece = 1 << 24  # randbytes takes at most 2^31 bits at once
    return b"".join(rng.randbytes(min(piece, size - at)) for at in range(0, size, piece))


def content(rng, index, size):
    kind = index % 4
    if kind < 2:
        return noise(rng, size)  # already compressed content (textures, sound)
    if kind == 2:
        table = bytes(i & 0x0F for i in range(256))
        return noise(rng, size).translate(table)  # meshes, maps: about half
    words = b"vantora online patch data map texture mesh sound effect skill "
    return (words * (size // len(words) + 1))[:size]  # scripts and tables


def edit_in_places(rng, data, places, run):
    data = bytearray(data)
    for _ in range(places):
        if len(data) <= run:
            break
        at = rng.randrange(0, len(data) - run)
        data[at:at + run] = noise(rng, run)
    return bytes(data)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def first_release(folder, rng, files, total, data_size):
    write(os.path.join(folder, "data", "world.pak"), noise(rng, data_size))
    small = total - data_size
    weights = [rng.choice([1] * 70 + [20] * 25 + [400] * 5) * rng.uniform(0.5, 1.5)
               for _ in range(files - 1)]
    scale = small / sum(weights)
    for index, weight in enumerate(weights):
        size = max(1, int(weight * scale))
        name = f"data/set{index % 17:02d}/group{index % 5}/file{index:05d}.dat"
        write(os.path.join(folder, name), content(rng, index, size))


def next_release(before, folder, rng, number):
    shutil.copytree(before, folder)
    names = sorted(os.path.relpath(os.path.join(d, f), folder)
                   for d, _, fs in os.walk(folder) for f in fs)
    small = [n for n in names if not n.endswith("world.pak")]
    for name in rng.sample(small, max(1, len(small) // 20)):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            data = f.read()
        write(path, edit_in_places(rng, data, rng.randint(1, 4), rng.randint(8, 200)))
    pak = os.path.join(folder, "data", "world.pak")
    with open(pak, "rb") as f:
        data = bytearray(f.read())
    run = 64
    for _ in range(len(data) // 100 // run):
        at = rng.randrange(0, len(data) - run)
        data[at:at + run] = noise(rng, run)
    write(pak, bytes(data))
    for i in range(3):
        write(os.path.join(folder, "data", f"added{number}", f"new{i}.dat"),
              content(rng, i, rng.randint(1000, 200000)))
    for name in rng.sample(small, 3):
        with open(os.path.join(folder, name), "ab") as f:
            f.write(content(rng, 3, rng.randint(1000, 100000)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--total-mib", type=int, default=450)
    parser.add_argument("--data-mib", type=int, default=256)
    parser.add_argument("--releases", type=int, default=2)
    parser.add_argument("--seed", type=int, default=20261208)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    mib = 1024 * 1024
    stamps = [100 + 10 * i for i in range(args.releases)]
    first_release(os.path.join(args.output, str(stamps[0])), rng, args.files,
                  args.total_mib * mib, args.data_mib * mib)
    for before, stamp in zip(stamps, stamps[1:]):
        next_release(os.path.join(args.output, str(before)),
                     os.path.join(args.output, str(stamp)), rng, stamp)


if __name__ == "__main__":
    main()
