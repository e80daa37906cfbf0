#!/usr/bin/python3
"""Checks what slantWarper.aip shows the loader: exactly one export, the entry
point PluginMain under its plain undecorated name, and imports only from
KERNEL32, USER32 and msvcrt (the C++ runtime is linked in statically).

Usage: check_exports.py PATH/TO/slantWarper.aip
"""

import re
import shutil
import subprocess
import sys
import unittest

from pe_file import load_pe

AIP_PATH = None
ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "msvcrt.dll"}


class ExportImportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = load_pe(AIP_PATH)

    def test_is_a_32_bit_dll(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, 0x014C)  # i386
        self.assertTrue(self.pe.is_dll())

    def test_exports_only_plugin_main(self):
        self.assertTrue(hasattr(self.pe, "DIRECTORY_ENTRY_EXPORT"), "the library exports nothing")
        symbols = self.pe.DIRECTORY_ENTRY_EXPORT.symbols
        self.assertEqual([symbol.name for symbol in symbols], [b"PluginMain"])
        self.assertIsNone(symbols[0].forwarder)
        self.assertEqual(self.pe.DIRECTORY_ENTRY_EXPORT.struct.NumberOfFunctions, 1)

    def test_imports_only_from_the_system(self):
        imported = {entry.dll.decode().lower() for entry in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])}
        self.assertLessEqual(imported, ALLOWED_IMPORTS)
        self.assertIn("kernel32.dll", imported)
        delayed = getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
        self.assertEqual([entry.dll for entry in delayed], [], "no delay-loaded imports")

    def test_objdump_sees_the_same(self):
        # The toolchain's own reading of the headers, independent of pefile.
        objdump = shutil.which("i686-w64-mingw32-objdump")
        self.assertIsNotNone(objdump, "i686-w64-mingw32-objdump is missing (package binutils-mingw-w64-i686)")
        text = subprocess.run([objdump, "-p", AIP_PATH], check=True, capture_output=True, text=True).stdout
        dlls = {name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)", text, re.MULTILINE)}
        self.assertLessEqual(dlls, ALLOWED_IMPORTS)
        table = text.split("[Ordinal/Name Pointer] Table", 1)
        self.assertEqual(len(table), 2, "objdump shows no export name table")
        names = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1].split("\n\n", 1)[0], re.MULTILINE)
        self.assertEqual(names, ["PluginMain"])


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    AIP_PATH = sys.argv.pop(1)
    unittest.main(verbosity=2)
