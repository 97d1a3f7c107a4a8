#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk, the Shell Link format) starts:

  shortcut.py FILE

one line each: target=PATH, folder=WORKING_DIRECTORY, icon=PATH,INDEX.
"""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH = 0x1, 0x2, 0x4, 0x8
HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION, IS_UNICODE = 0x10, 0x20, 0x40, 0x80


def read_shortcut(data):
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError("not a shortcut")
    flags, = struct.unpack_from("<I", data, 20)
    icon_index, = struct.unpack_from("<i", data, 56)
    at = 76
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & HAS_LINK_INFO:
        size, _, info_flags, _, base_offset = struct.unpack_from("<5I", data, at)
        if info_flags & 1:  # a local path, in the system's code page
            end = data.index(b"\0", at + base_offset)
            target = data[at + base_offset:end].decode("latin-1")
        at += size
    strings = {}
    for flag in (HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION):
        if flags & flag:
            count, = struct.unpack_from("<H", data, at)
            width = 2 if flags & IS_UNICODE else 1
            raw = data[at + 2:at + 2 + count * width]
            strings[flag] = raw.decode("utf-16-le" if width == 2 else "latin-1").rstrip("\0")
            at += 2 + count * width
    return target, strings.get(HAS_WORKING_DIR, ""), f"{strings.get(HAS_ICON_LOCATION, '')},{icon_index}"


def main():
    with open(sys.argv[1], "rb") as link:
        target, folder, icon = read_shortcut(link.read())
    print(f"target={target}\nfolder={folder}\nicon={icon}")


if __name__ == "__main__":
    main()
