#!/usr/bin/python3
"""Marks every resource in a resource object file with a code page.

GNU windres writes 0 into the code page field of each resource data entry
and offers no way to choose another value. The linker keeps that field as it
finds it in its input, so setting it in the compiled object, before linking,
gives the library the right value without touching the linked file (whose
checksum the linker computes last).

Usage: mark_code_page.py IN.obj OUT.obj [--code-page N]
"""

import argparse
import os
import struct
import sys

COFF_HEADER = struct.Struct("<HHIIIHH")
SECTION_HEADER = struct.Struct("<8sIIIIIIHHI")
DIRECTORY = struct.Struct("<IIHHHH")
DIRECTORY_ENTRY = struct.Struct("<II")
DATA_ENTRY = struct.Struct("<IIII")
SUBDIRECTORY_FLAG = 0x80000000
# Type, name, language: a resource's data sits three directories down.
LEAF_DEPTH = 3


class ObjectError(Exception):
    pass


def unpack(layout, data, offset, what):
    if offset < 0 or offset + layout.size > len(data):
        raise ObjectError(f"{what} at {offset} lies outside its data")
    return layout.unpack_from(data, offset)


def resource_section(obj):
    """Returns (file offset, size) of the one .rsrc section."""
    _, section_count, _, _, _, optional_size, _ = unpack(COFF_HEADER, obj, 0, "object header")
    found = []
    for index in range(section_count):
        offset = COFF_HEADER.size + optional_size + index * SECTION_HEADER.size
        fields = unpack(SECTION_HEADER, obj, offset, "section header")
        name, raw_size, raw_offset = fields[0].rstrip(b"\0"), fields[3], fields[4]
        if name == b".rsrc":
            if raw_offset + raw_size > len(obj):
                raise ObjectError(".rsrc section runs past the end of the file")
            found.append((raw_offset, raw_size))
    if len(found) != 1:
        raise ObjectError(f"expected one .rsrc section, found {len(found)}")
    return found[0]


def data_entry_offsets(section, directory=0, depth=0, seen=None):
    """Offsets, within the section, of every resource data entry."""
    seen = set() if seen is None else seen
    if directory in seen:
        raise ObjectError(f"resource directory at {directory} is reached twice")
    seen.add(directory)
    _, _, _, _, named, numbered = unpack(DIRECTORY, section, directory, "resource directory")
    offsets = []
    for index in range(named + numbered):
        entry = directory + DIRECTORY.size + index * DIRECTORY_ENTRY.size
        _, target = unpack(DIRECTORY_ENTRY, section, entry, "directory entry")
        is_directory = bool(target & SUBDIRECTORY_FLAG)
        if is_directory != (depth + 1 < LEAF_DEPTH):
            raise ObjectError(f"directory entry at {entry} is not {LEAF_DEPTH} levels deep")
        if is_directory:
            offsets += data_entry_offsets(section, target & ~SUBDIRECTORY_FLAG, depth + 1, seen)
        else:
            unpack(DATA_ENTRY, section, target, "data entry")
            offsets.append(target)
    return offsets


def mark(obj, code_page):
    """Returns a copy of the object with every data entry's code page set."""
    start, size = resource_section(obj)
    marked = bytearray(obj)
    section = bytes(obj[start:start + size])
    offsets = data_entry_offsets(section)
    if not offsets:
        raise ObjectError("the object holds no resources")
    for offset in offsets:
        rva, data_size, _, reserved = DATA_ENTRY.unpack_from(section, offset)
        DATA_ENTRY.pack_into(marked, start + offset, rva, data_size, code_page, reserved)
    return bytes(marked), len(offsets)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--code-page", type=int, default=1252)
    args = parser.parse_args(argv)
    with open(args.input, "rb") as source:
        obj = source.read()
    try:
        marked, _ = mark(obj, args.code_page)
    except ObjectError as error:
        print(f"{args.input}: {error}", file=sys.stderr)
        return 1
    temporary = args.output + ".tmp"
    with open(temporary, "wb") as out:
        out.write(marked)
    os.replace(temporary, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
