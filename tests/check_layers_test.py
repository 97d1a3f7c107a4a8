#!/usr/bin/env python3
"""The layer check on a copy of the source tree: it passes as the tree is, and
fails, naming file and line, once a common header includes a ui header.

    check_layers_test.py SOURCE_TREE
"""

import pathlib
import shutil
import subprocess
import sys
import tempfile


def check(tree):
    script = pathlib.Path(__file__).parent.parent / "scripts" / "check-layers.py"
    run = subprocess.run([sys.executable, script, tree], capture_output=True, text=True)
    print(run.stdout, end="")
    return run.returncode, run.stdout


def main(source):
    with tempfile.TemporaryDirectory() as temp:
        tree = pathlib.Path(temp) / "tree"
        shutil.copytree(source, tree, ignore=shutil.ignore_patterns("build", ".git"))
        status, _ = check(tree)
        if status != 0:
            print("FAIL: the check fails on the unchanged copy")
            return 1
        header = tree / "common" / "win_handle.h"
        lines = header.read_text().splitlines(keepends=True)
        header.write_text("".join(lines[:2] + ['#include "ui/button.h"\n'] + lines[2:]))
        status, output = check(tree)
        if status != 1 or 'common/win_handle.h:3: includes "ui/button.h"' not in output:
            print("FAIL: the check missed the include of ui/button.h at common/win_handle.h:3")
            return 1
    print("layer check test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
