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


def section_name(pe, section):
    """A section's name, long names ("/4") read from the COFF string table
    that follows the symbol table."""
    name = section.Name.rstrip(b"\0").decode("ascii")
    if not name.startswith("/"):
        return name
    header = pe.FILE_HEADER
    strings = header.PointerToSymbolTable + 18 * header.NumberOfSymbols
    start = strings + int(name[1:])
    return pe.__data__[start:pe.__data__.find(b"\0", start)].decode("ascii")
