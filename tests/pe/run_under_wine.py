#!/usr/bin/python3
"""Runs a program of the Windows build under wine with the given files as its
arguments, and exits with the program's status. The program, every file and
wine itself must exist: a missing artifact fails the test, it never skips it.

Usage: run_under_wine.py PROGRAM.exe FILE...
"""

import os
import shutil
import subprocess
import sys


def main(argv):
    if not argv:
        sys.exit(__doc__.strip().splitlines()[-1])
    missing = [path for path in argv if not os.path.isfile(path)]
    if missing:
        sys.exit(f"missing: {', '.join(missing)}; build the Windows preset first (cmake --build --preset windows)")
    wine = shutil.which("wine")
    if wine is None:
        sys.exit("wine is not installed")
    environment = dict(os.environ, WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
    return subprocess.run([wine, *argv], env=environment).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
