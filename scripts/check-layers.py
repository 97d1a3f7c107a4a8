#!/usr/bin/env python3
"""Checks that each folder of the launcher includes only the layers below it.

    check-layers.py [TREE]    (TREE: the source tree, by default this one)

Every `#include "folder/..."` in a source or header file of the folders below
must name the file's own folder or one it may use; an include without a
folder (a generated header) is always allowed, and so are system headers in
angle brackets. Prints file:line and the rule for each include that breaks
it, and exits 1 then. Tests may include anything and are not checked.
"""

import pathlib
import re
import sys

# The launcher's libraries, which a tool may use.
PRODUCT = ["common", "updater", "patchnotes", "settings", "ui", "app"]
# A key is a folder, or a file that has a rule of its own; the longest key
# that holds a file decides. A value lists what that file may include besides
# its own folder: folders, or single files.
RULES = {
    "common": [],
    "updater": ["common"],
    "patchnotes": ["common"],
    "settings": ["common"],
    "ui": ["patchnotes", "common", "resources/resource.h"],
    "app": ["common", "updater", "patchnotes", "settings", "ui", "resources/resource.h"],
    "selfupdate": ["common"],
    "publisher": ["updater", "common"],
    # The ids of the embedded resources, shared by the resource compiler and
    # the pictures' loader.
    "resources/resource.h": [],
    # The artwork tool and the benchmarks run the launcher's own code, never
    # the tests' helpers.
    "resources": PRODUCT,
    "bench": PRODUCT,
}
SOURCES = {".c", ".cpp", ".h", ".in", ".rc"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]*)"')


def rule_for(path):
    keys = [key for key in RULES if path == key or path.startswith(key + "/")]
    return max(keys, key=len)


def allows(allowed, included):
    return any(included == entry or included.startswith(entry + "/") for entry in allowed)


def main(argv):
    root = pathlib.Path(argv[1] if len(argv) > 1 else pathlib.Path(__file__).parent.parent)
    missing = [key for key in RULES if not (root / key).exists()]
    if missing:
        print(f"{root}: no {', '.join(missing)}: not a launcher source tree")
        return 2
    broken = 0
    scanned = 0
    folders = [key for key in RULES if "/" not in key]
    for path in sorted(p for f in folders for p in (root / f).rglob("*") if p.suffix in SOURCES):
        name = path.relative_to(root).as_posix()
        rule = rule_for(name)
        allowed = [rule.split("/")[0]] + RULES[rule]
        scanned += 1
        with open(path, encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                match = INCLUDE.match(line)
                if not match or "/" not in match.group(1) or allows(allowed, match.group(1)):
                    continue
                may = ", ".join(RULES[rule]) + " and" if RULES[rule] else "nothing but"
                print(f'{name}:{number}: includes "{match.group(1)}", but {rule} may include '
                      f"{may} its own folder")
                broken += 1
    if broken:
        print(f"layer rule broken by {broken} include(s) in {scanned} files")
        return 1
    print(f"layer rule holds in {scanned} files")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
