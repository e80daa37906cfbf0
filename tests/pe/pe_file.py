"""Opens a build artifact for the PE checks. A missing or unreadable file is
a failure with a clear message: these checks never pass or skip for want of
the Windows build."""

import os
import sys

import pefile


def load_pe(path):
    if path is None or not os.path.isfile(path):
        sys.exit(f"{path}: no such file; build the Windows preset first (cmake --build --preset windows)")
    try:
        return pefile.PE(path)
    except pefile.PEFormatError as error:
        sys.exit(f"{path}: not a PE file: {error}")
