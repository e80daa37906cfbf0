#!/usr/bin/python3
"""Checks the released slantWarper.aip against the library it was made from:
only the debug information and the symbols are gone, into the debug file
that the released library's debug link names; every other section, header
field and directory is what the build made, byte for byte, and no folder of
the machines that built it appears in either file.

Usage: check_release.py BUILT.aip RELEASED.aip RELEASED.aip.debug [FOLDER...]
"""

import os
import struct
import sys
import unittest
import zlib

from pe_file import load_pe, section_name

BUILT, RELEASED, DEBUG, FOLDERS = None, None, None, []
MOST_BYTES = 350_000
DEBUG_LINK = ".gnu_debuglink"


def sections(pe):
    return {section_name(pe, section): section for section in pe.sections}


def contents(section):
    return section.get_data()[:section.Misc_VirtualSize] if section.SizeOfRawData else b""


class ReleasedLibraryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.built, cls.released, cls.debug = load_pe(BUILT), load_pe(RELEASED), load_pe(DEBUG)
        cls.built_sections, cls.released_sections = sections(cls.built), sections(cls.released)

    def test_no_debug_information_or_symbols_left(self):
        self.assertEqual([name for name in self.released_sections if name.startswith(".debug")], [])
        self.assertEqual(self.released.FILE_HEADER.NumberOfSymbols, 0)
        self.assertLessEqual(os.path.getsize(RELEASED), MOST_BYTES)
        # The built library did carry them: the split is not vacuous.
        self.assertIn(".debug_info", self.built_sections)
        self.assertGreater(self.built.FILE_HEADER.NumberOfSymbols, 0)

    def test_everything_else_is_the_built_library(self):
        kept = {name: section for name, section in self.built_sections.items() if not name.startswith(".debug")}
        self.assertEqual(set(self.released_sections), set(kept) | {DEBUG_LINK})
        for name, built in kept.items():
            released = self.released_sections[name]
            self.assertEqual((released.VirtualAddress, released.Misc_VirtualSize, released.Characteristics),
                             (built.VirtualAddress, built.Misc_VirtualSize, built.Characteristics), name)
            self.assertEqual(contents(released), contents(built), f"the bytes of {name}")
        for field in ("ImageBase", "AddressOfEntryPoint", "Subsystem", "DllCharacteristics", "MajorLinkerVersion"):
            self.assertEqual(getattr(self.released.OPTIONAL_HEADER, field), getattr(self.built.OPTIONAL_HEADER, field))
        directories = [(entry.VirtualAddress, entry.Size) for entry in self.built.OPTIONAL_HEADER.DATA_DIRECTORY]
        self.assertEqual([(entry.VirtualAddress, entry.Size) for entry in self.released.OPTIONAL_HEADER.DATA_DIRECTORY],
                         directories)

    def test_time_stamps_and_checksum(self):
        stamp = self.built.FILE_HEADER.TimeDateStamp
        self.assertEqual(self.released.FILE_HEADER.TimeDateStamp, stamp)
        self.assertEqual(self.released.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp, stamp)
        self.assertEqual(self.debug.FILE_HEADER.TimeDateStamp, stamp)
        self.assertTrue(self.released.verify_checksum(), "the released PE checksum is the file's")
        self.assertTrue(self.built.verify_checksum(), "the built PE checksum is the file's")

    def test_debug_link_names_the_debug_file(self):
        link = contents(self.released_sections[DEBUG_LINK])
        name, _, rest = link.partition(b"\0")
        self.assertEqual(name, b"slantWarper.aip.debug")
        # The name, its NUL and padding to 4 bytes, then the CRC-32 of the file.
        crc_at = (len(name) + 1 + 3) // 4 * 4
        self.assertEqual(len(link), crc_at + 4)
        with open(DEBUG, "rb") as debug_file:
            self.assertEqual(struct.unpack_from("<I", link, crc_at)[0], zlib.crc32(debug_file.read()))

    def test_debug_file_holds_the_plugins_symbols_and_lines(self):
        debug_sections = sections(self.debug)
        for name in (".debug_info", ".debug_line", ".debug_abbrev"):
            self.assertGreater(debug_sections[name].SizeOfRawData, 0, name)
        self.assertGreaterEqual(self.debug.FILE_HEADER.NumberOfSymbols, self.built.FILE_HEADER.NumberOfSymbols)
        with open(DEBUG, "rb") as debug_file:
            data = debug_file.read()
        # The entry point's symbol, and the plug-in's own sources named from
        # the checkout's root.
        self.assertIn(b"_PluginMain\0", data)
        self.assertIn(b"plugin_main.cpp\0", data)

    def test_no_folder_of_the_build_machine(self):
        for path in (RELEASED, DEBUG):
            with open(path, "rb") as released_file:
                data = released_file.read()
            for folder in FOLDERS:
                self.assertNotIn(os.path.abspath(folder).encode(), data, f"{folder} appears in {path}")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    BUILT, RELEASED, DEBUG, *FOLDERS = sys.argv[1:]
    del sys.argv[1:]
    unittest.main(verbosity=2)
