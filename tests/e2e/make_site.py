#!/usr/bin/env python3
"""Builds a game web site folder for the launcher: a patch-notes page with
pictures and an update folder with a manifest and zip archives.

  make_site.py OUT [--notes N] [--no-page] [--no-manifest]
               [--full STAMP]... [--patch STAMP]... [--carry NAME@STAMP]...
               [--big-full MIB]

Every archive holds files named after its stamp (see ARCHIVE_FILES); --carry
puts a copy of the file NAME (a path on this machine) into the archive of
STAMP under its base name, e.g. a launcher program. Every listed archive has
its "sha256"; the manifest is left unsigned (e2e_lib.sh start_site signs it).
"""
import argparse
import hashlib
import math
import json
import os
import struct
import zipfile
import zlib

# Colours of the pictures, newest note first; the end-to-end checks look for
# the first one.
PICTURE_COLOURS = [(255, 0, 255), (0, 200, 80), (240, 160, 0)]


def write_png(path, width, height, rgb, scenic=False):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    if scenic:
        # An evening sky fading into the picture's colour over a line of hills.
        rows = []
        for y in range(height):
            t = y / max(1, height - 1)
            sky = bytes(int(a + (b - a) * t) for a, b in zip((18, 32, 72), rgb))
            pixels = bytearray()
            for x in range(width):
                ridge = height * (0.72 + 0.12 * math.sin(x / width * 7.0 + 1.3))
                pixels += bytes((20, 28, 44)) if y > ridge else sky
            rows.append(b"\x00" + bytes(pixels))
        raw = b"".join(rows)
    else:
        raw = (b"\x00" + bytes(rgb) * width) * height
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


def patch_page(notes):
    parts = ["<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Patch notes</title>"
             "</head><body><h1>Vantora Online</h1>"]
    for n in range(notes, 0, -1):
        picture = ""
        if n >= notes - 2:
            picture = '<p><img src="images/note%d.png" alt="Update %d"></p>' % (
                (notes - n) % len(PICTURE_COLOURS), n)
        parts.append(
            '<div class="patch-note"><div class="date">Update %d - 2026-11-%02d</div>'
            '<div class="content"><h2>Patch %d.0 - Tides of Selvane</h2>%s'
            "<p>The harbour district of Corvath opens its gates; merchants sell new "
            "mounts and the lighthouse quest line continues.</p>"
            "<ul><li>New dungeon: the Sunken Archive (levels 40 to 45)</li>"
            "<li>Warriors: <b>Shield Wall</b> lasts 6 seconds instead of 4</li>"
            "<li>Fixed: fishing rods no longer vanish when the bag is full</li></ul>"
            "<p>Thank you for playing &amp; see you in Tessaly!</p></div></div>"
            % (n, 1 + n % 28, n, picture))
    parts.append("</body></html>")
    return "".join(parts)


def archive_files(stamp, kind):
    files = {
        "version_notes/%s_%d.txt" % (kind, stamp): "%s archive %d\n" % (kind, stamp),
        "data/patch_%d.dat" % stamp: ("payload %d " % stamp) * 4000,
    }
    if kind == "full":
        files.update({
            "data/interface/vantoraInterface/layout.xml": "<layout set=\"vantora\"/>\n",
            "data/interface/oldInterface/layout.xml": "<layout set=\"classic\"/>\n",
            "data/chr/skill_highQ.dat": "skill effects: high\n",
            "data/chr/skill_lowQ.dat": "skill effects: low\n",
            "eula.txt": "Vantora Online end user licence agreement (demo)\n",
        })
    return files


def write_zip(path, files, carried, big_mib=0):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in sorted(files.items()):
            archive.writestr(name, text)
        for local in carried:
            archive.write(local, os.path.basename(local))
        if big_mib:
            # Incompressible content, stored, so the download is as large as the file.
            block = os.urandom(1024 * 1024)
            info = zipfile.ZipInfo("data/large_pack.bin", date_time=(2026, 12, 1, 12, 0, 0))
            info.compress_type = zipfile.ZIP_STORED
            with archive.open(info, "w", force_zip64=True) as entry:
                for i in range(big_mib):
                    entry.write(block[i % 7:] + block[:i % 7])


def package(updates_dir, name, version, stamp):
    """The manifest's entry for one archive, with its size and SHA-256."""
    path = os.path.join(updates_dir, name)
    digest = hashlib.sha256()
    with open(path, "rb") as archive:
        for block in iter(lambda: archive.read(1 << 20), b""):
            digest.update(block)
    return {"version": version, "zip": name, "crc": "", "size": os.path.getsize(path),
            "created": stamp, "sha256": digest.hexdigest()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--notes", type=int, default=10)
    parser.add_argument("--no-page", action="store_true")
    parser.add_argument("--no-manifest", action="store_true")
    parser.add_argument("--full", type=int, action="append", default=[])
    parser.add_argument("--patch", type=int, action="append", default=[])
    parser.add_argument("--carry", action="append", default=[])
    parser.add_argument("--big-full", type=int, default=0)
    parser.add_argument("--scenic", action="store_true",
                        help="shaded pictures for the demo instead of flat test colours")
    args = parser.parse_args()

    notes_dir = os.path.join(args.out, "patchnotes")
    images_dir = os.path.join(notes_dir, "images")
    updates_dir = os.path.join(args.out, "ClientUpdates")
    os.makedirs(images_dir, exist_ok=True)
    os.makedirs(updates_dir, exist_ok=True)
    if not args.no_page:
        for i, colour in enumerate(PICTURE_COLOURS):
            write_png(os.path.join(images_dir, "note%d.png" % i), 320, 120, colour, args.scenic)
        with open(os.path.join(notes_dir, "patchnotes.php"), "w", encoding="utf-8") as page:
            page.write(patch_page(args.notes))

    carried = {}
    for item in args.carry:
        local, stamp = item.rsplit("@", 1)
        carried.setdefault(int(stamp), []).append(local)

    manifest = {"latest": "", "patches": [], "fulls": []}
    for stamp in args.full:
        name = "full_%d.zip" % stamp
        write_zip(os.path.join(updates_dir, name), archive_files(stamp, "full"),
                  carried.get(stamp, []), args.big_full)
        manifest["fulls"].append(package(updates_dir, name, "1.%d" % stamp, stamp))
    for stamp in args.patch:
        name = "patch_%d.zip" % stamp
        write_zip(os.path.join(updates_dir, name), archive_files(stamp, "patch"),
                  carried.get(stamp, []))
        manifest["patches"].append(package(updates_dir, name, stamp, stamp))
    stamps = args.full + args.patch
    manifest["latest"] = str(max(stamps)) if stamps else ""
    if not args.no_manifest:
        with open(os.path.join(updates_dir, "manifest.json"), "w", encoding="utf-8") as out:
            json.dump(manifest, out, indent=2)


if __name__ == "__main__":
    main()
