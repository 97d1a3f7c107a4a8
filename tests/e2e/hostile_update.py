#!/usr/bin/env python3
"""Changes an update folder as an attacker or a broken site would:
  hostile_update.py UPDATE_DIR edit-latest TEXT   "latest" rewritten after signing
  hostile_update.py UPDATE_DIR drop-sha256        no package keeps its "sha256"
  hostile_update.py UPDATE_DIR nul-name STAMP NAME     a patch whose entry is NAME + NUL
  hostile_update.py UPDATE_DIR count-bomb STAMP        a patch whose ZIP64 end record
                                                        claims 0x7FFFFFFF entries
The patches are listed with their true size, CRC-32 and SHA-256."""
import hashlib
import json
import os
import struct
import sys
import zipfile
import zlib


def hostile_zip(path, command, name):
    marker = name + "#"  # zipfile cuts names at a NUL: the NUL goes in afterwards
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr(marker, "planted")
    with open(path, "rb") as f:
        data = f.read()
    if command == "nul-name":
        data = data.replace(marker.encode(), name.encode() + b"\0")
    else:
        end = data.rfind(b"PK\x05\x06")
        size, offset = struct.unpack("<II", data[end + 12:end + 20])
        data = (data[:end] +
                struct.pack("<4sQHHIIQQQQ", b"PK\x06\x06", 44, 45, 45, 0, 0, 0x7FFFFFFF,
                            0x7FFFFFFF, size, offset) +
                struct.pack("<4sIQI", b"PK\x06\x07", 0, end, 1) +
                struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                            0xFFFFFFFF, 0))
    with open(path, "wb") as f:
        f.write(data)
    return data


def main():
    folder, command = sys.argv[1], sys.argv[2]
    path = os.path.join(folder, "manifest.json")
    with open(path, encoding="utf-8") as f:
        manifest = json.load(f)
    if command == "edit-latest":
        manifest["latest"] = sys.argv[3]
    elif command == "drop-sha256":
        for package in (manifest.get("fulls") or []) + (manifest.get("patches") or []):
            package.pop("sha256", None)
    else:
        stamp = int(sys.argv[3])
        name = "patch_%d.zip" % stamp
        data = hostile_zip(os.path.join(folder, name), command,
                           sys.argv[4] if command == "nul-name" else "data/bomb.dat")
        manifest.setdefault("patches", []).append({
            "version": stamp, "zip": name, "size": len(data), "created": stamp,
            "crc": "%08x" % (zlib.crc32(data) & 0xFFFFFFFF),
            "sha256": hashlib.sha256(data).hexdigest()})
        manifest["latest"] = str(stamp)
    with open(path, "w", encoding="utf-8") as f:
        json.dump(manifest, f, indent=2)


if __name__ == "__main__":
    main()
