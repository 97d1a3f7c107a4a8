#!/usr/bin/env python3
"""check_layers_test.py SOURCE_TREE: the layer check passes on a copy of the
tree, and fails, naming file and line, once a common header includes ui."""

import pathlib
import shutil
import subprocess
import sys
import tempfile

CHECK = pathlib.Path(__file__).parent.parent / "scripts" / "check-layers.py"


def check(tree):
    run = subprocess.run([sys.executable, CHECK, tree], capture_output=True, text=True)
    print(run.stdout, end="")
    return run.returncode, run.stdout


with tempfile.TemporaryDirectory() as temp:
    tree = pathlib.Path(temp) / "tree"
    shutil.copytree(sys.argv[1], tree, ignore=shutil.ignore_patterns("build", ".git"))
    clean = check(tree)[0] == 0
    header = tree / "common" / "win_handle.h"
    lines = header.read_text().splitlines(keepends=True)
    header.write_text("".join(lines[:2] + ['#include "ui/button.h"\n'] + lines[2:]))
    status, output = check(tree)
    found = status == 1 and 'common/win_handle.h:3: includes "ui/button.h"' in output
if clean and found:
    print("layer check test passed")
else:
    print(f"FAILED: the check {'passes' if clean else 'fails'} on the unchanged copy "
          f"and {'finds' if found else 'misses'} the include planted at common/win_handle.h:3")
