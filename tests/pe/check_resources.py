#!/usr/bin/python3
"""Reads the resources of slantWarper.aip straight from the PE file and checks
every one against what the host and Windows expect, byte for byte where the
bytes are fixed.

Usage: check_resources.py PATH/TO/slantWarper.aip
"""

import struct
import sys
import unittest
import xml.etree.ElementTree as ElementTree

from pe_file import load_pe

AIP_PATH = None

PIPL, CURSOR, ICON, STRINGS, CURSOR_GROUP, ICON_GROUP, VERSION, MANIFEST = "PIPL", 1, 3, 6, 12, 14, 16, 24
NEUTRAL, US_ENGLISH = 0, 1033
PLUGIN_NAME = "slantWarper"

# (type, id, language) of every resource the library must carry, and no other.
# String tables are stored in blocks of 16: block 1001 holds 16000..16015,
# block 1007 holds 16096..16111.
EXPECTED_INVENTORY = {
    (PIPL, 16000, NEUTRAL),
    (CURSOR, 2, NEUTRAL),
    (CURSOR_GROUP, 16001, NEUTRAL),
    (ICON, 1, NEUTRAL),
    (ICON_GROUP, 16051, NEUTRAL),
    (STRINGS, 1001, NEUTRAL),
    (STRINGS, 1007, NEUTRAL),
    (VERSION, 1, US_ENGLISH),
    (MANIFEST, 2, US_ENGLISH),
}


def resources(pe):
    """{(type, id, language): data entry} of the whole resource tree."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        kind_key = str(kind.name) if kind.name is not None else kind.id
        for name in kind.directory.entries:
            name_key = str(name.name) if name.name is not None else name.id
            for language in name.directory.entries:
                found[(kind_key, name_key, language.id)] = language
    return found


def four_cc(text):
    return struct.unpack(">I", text.encode("ascii"))[0]


def decode_bitmap(bitmap, width, height):
    """Header fields, palette and a top-down grid of (palette index, mask bit)
    from a 4-bit device-independent bitmap with its 1-bit mask."""
    header = struct.unpack_from("<IiiHHIIiiII", bitmap, 0)
    palette = [struct.unpack_from("<BBBB", bitmap, 40 + 4 * i) for i in range(16)]
    colour_row, mask_row = (width * 4 + 31) // 32 * 4, (width + 31) // 32 * 4
    colours_at, mask_at = 40 + 64, 40 + 64 + colour_row * height
    grid = []
    for y in range(height):
        stored = height - 1 - y  # rows are stored bottom-up
        row = []
        for x in range(width):
            byte = bitmap[colours_at + stored * colour_row + x // 2]
            index = byte >> 4 if x % 2 == 0 else byte & 0x0F
            mask = (bitmap[mask_at + stored * mask_row + x // 8] >> (7 - x % 8)) & 1
            row.append((index, mask))
        grid.append(row)
    return header, palette, grid


def property_texts(pipl):
    """{key: text} of the property list's text properties, read by its count
    (the first text up to its NUL)."""
    count, offset, texts = struct.unpack_from("<I", pipl, 6)[0], 10, {}
    for _ in range(count):
        key, length = struct.unpack_from("<I4xI", pipl, offset + 4)
        text = pipl[offset + 16:offset + 16 + length].split(b"\0")[0]
        texts[struct.pack(">I", key).decode("ascii")] = text.decode("ascii", "replace")
        offset += 16 + length
    return texts


def as_stored_palette(rgb_list):
    return [(blue, green, red, 0) for red, green, blue in rgb_list]


class ResourceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = load_pe(AIP_PATH)
        cls.resources = resources(cls.pe)

    def data(self, key):
        entry = self.resources[key].data.struct
        return self.pe.get_data(entry.OffsetToData, entry.Size)

    def test_inventory_languages_and_code_pages(self):
        self.assertEqual(set(self.resources), EXPECTED_INVENTORY)
        self.assertFalse([key for key in self.resources if key[1] == 16050], "no resource may be numbered 16050")
        for key, entry in self.resources.items():
            self.assertEqual(entry.data.struct.CodePage, 1252, f"code page of {key}")

    def test_property_list_read_by_its_count(self):
        data = self.data((PIPL, 16000, NEUTRAL))
        self.assertEqual(len(data), 106)
        lead, version, count = struct.unpack_from("<HII", data, 0)
        self.assertEqual((lead, version, count), (1, 0, 4))
        offset, properties = 10, []
        for _ in range(count):
            vendor, key, prop_id, length = struct.unpack_from("<IIII", data, offset)
            properties.append((vendor, key, prop_id, length, data[offset + 16:offset + 16 + length]))
            offset += 16 + length
        self.assertEqual(offset, len(data), "the four properties must consume the whole list")
        adbe = four_cc("ADBE")
        self.assertEqual(properties, [
            (adbe, four_cc("kind"), 0, 4, struct.pack("<I", four_cc("SPEA"))),
            (adbe, four_cc("ivrs"), 0, 4, struct.pack("<I", 2)),
            (adbe, four_cc("wx86"), 0, 12, b"PluginMain\0\0"),
            (adbe, four_cc("pinm"), 0, 12, PLUGIN_NAME.encode() + b"\0"),
        ])
        # Four-character codes are stored little-endian: 'ADBE' reads "EBDA".
        self.assertEqual(data[10:18], b"EBDAdnik")

    def test_entry_point_named_by_the_property_list_is_exported(self):
        name = property_texts(self.data((PIPL, 16000, NEUTRAL)))["wx86"]
        exported = [symbol.name for symbol in self.pe.DIRECTORY_ENTRY_EXPORT.symbols]
        self.assertIn(name.encode(), exported)

    def test_plugin_name_agrees_everywhere(self):
        pinm = property_texts(self.data((PIPL, 16000, NEUTRAL)))["pinm"]
        version_strings = self.version_strings()
        names = [pinm, version_strings["InternalName"], version_strings["ProductName"], self.string_table(1001)[16002]]
        self.assertEqual(names, [PLUGIN_NAME] * 4)
        self.assertEqual(len(PLUGIN_NAME), 11)

    def test_cursor(self):
        group = self.data((CURSOR_GROUP, 16001, NEUTRAL))
        # Reserved, type 2 (cursor), one entry: width 32, height 64 (picture
        # and mask), 1 plane, 4 bits per pixel, 748 bytes, cursor id 2.
        self.assertEqual(group, struct.pack("<HHHHHHHIH", 0, 2, 1, 32, 64, 1, 4, 748, 2))
        cursor = self.data((CURSOR, 2, NEUTRAL))
        self.assertEqual(len(cursor), 748)
        self.assertEqual(struct.unpack_from("<HH", cursor, 0), (6, 6), "hot spot")
        header, palette, grid = decode_bitmap(cursor[4:], 32, 32)
        self.assertEqual(header, (40, 32, 64, 1, 4, 0, 640, 0, 0, 0, 0))
        self.assertEqual(palette, as_stored_palette([
            (0, 0, 0), (128, 128, 128), (128, 0, 0), (128, 128, 0), (0, 128, 0), (0, 128, 128), (0, 0, 128),
            (128, 0, 128), (255, 255, 255), (192, 192, 192), (255, 0, 0), (255, 255, 0), (0, 255, 0),
            (0, 255, 255), (0, 0, 255), (255, 0, 255)]))
        cross = {(i, i) for i in [0, 1, 2, 3, 7, 8, 9, 10]} | {(10 - i, i) for i in [0, 1, 2, 3, 7, 8, 9, 10]}
        cross.add((5, 5))
        self.assertEqual(len(cross), 17)
        opaque = {(x, y) for y, row in enumerate(grid) for x, (_, mask) in enumerate(row) if mask == 0}
        self.assertEqual(opaque, cross)
        # Opaque pixels are black; transparent ones carry colour 0, so none
        # is drawn inverted.
        self.assertEqual({index for row in grid for index, _ in row}, {0})

    def test_icon(self):
        group = self.data((ICON_GROUP, 16051, NEUTRAL))
        # Reserved, type 1 (icon), one entry: 16 by 16, 16 colours, reserved,
        # 1 plane, 4 bits per pixel, 296 bytes, icon id 1.
        self.assertEqual(group, struct.pack("<HHHBBBBHHIH", 0, 1, 1, 16, 16, 16, 0, 1, 4, 296, 1))
        icon = self.data((ICON, 1, NEUTRAL))
        self.assertEqual(len(icon), 296)
        header, palette, grid = decode_bitmap(icon, 16, 16)
        self.assertEqual(header, (40, 16, 32, 1, 4, 0, 0, 0, 0, 0, 0))
        self.assertEqual(palette, as_stored_palette([
            (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
            (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
            (255, 0, 255), (0, 255, 255), (255, 255, 255)]))
        letters = {(0, 0): "B", (7, 0): "G", (8, 0): "S", (0, 1): "."}
        picture = ["".join(letters.get(pixel, "?") for pixel in row) for row in grid]
        self.assertEqual(picture, [
            "................",
            "..........BBBB..",
            ".....BBBBBSSSB..",
            ".....BSSSS...B..",
            ".....BS.....BS..",
            "....BS...G..BS..",
            "....GS..GS..BS..",
            ".BBBBBBGS...BS..",
            ".B.S.GBS...BS...",
            ".BS.G.B....BS...",
            ".BSG..BGGBBBS...",
            ".BG.SSBSSSSS....",
            ".BBBBBB.........",
            "..SSSSS.........",
            "................",
            "................",
        ])

    def string_table(self, block):
        """{string id: text} of one block; pefile hangs the decoded strings on
        the block's directory."""
        kind = next(entry for entry in self.pe.DIRECTORY_ENTRY_RESOURCE.entries if entry.id == STRINGS)
        return next(entry for entry in kind.directory.entries if entry.id == block).directory.strings

    def test_string_tables(self):
        self.assertEqual(self.string_table(1001), {
            16000: "<First Mac index is 1>",
            16001: "p.k Filters",
            16002: PLUGIN_NAME,
        })
        second = self.string_table(1007)
        self.assertEqual(sorted(second), [16100, 16101, 16102])
        self.assertEqual(second[16100], "<First Mac index is 1>")
        self.assertEqual(second[16101], "Dummy error alert string")
        # One English sentence: a capital, words, one full stop at the end.
        sentence = second[16102]
        self.assertRegex(sentence, r"^[A-Z][A-Za-z ,'-]+\.$")

    def version_info(self):
        self.assertEqual(len(self.pe.VS_FIXEDFILEINFO), 1)
        self.assertEqual(len(self.pe.FileInfo), 1)
        return self.pe.VS_FIXEDFILEINFO[0], self.pe.FileInfo[0]

    def version_strings(self):
        _, blocks = self.version_info()
        tables = [table for block in blocks if block.Key == b"StringFileInfo" for table in block.StringTable]
        self.assertEqual(len(tables), 1)
        return {key.decode(): value.decode() for key, value in tables[0].entries.items()}

    def test_version_record(self):
        fixed, blocks = self.version_info()
        self.assertEqual(
            (fixed.Signature, fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS,
             fixed.ProductVersionLS, fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS, fixed.FileType,
             fixed.FileSubtype, fixed.FileDateMS, fixed.FileDateLS),
            (0xFEEF04BD, 0x00000001, 0, 0x00000001, 0, 0x3F, 0, 4, 2, 0, 0, 0))
        self.assertEqual([block.Key for block in blocks], [b"VarFileInfo", b"StringFileInfo"])
        translation = blocks[0].Var
        self.assertEqual(len(translation), 1)
        self.assertEqual(translation[0].entry, {b"Translation": "0x0409 0x04e4"})
        table = blocks[1].StringTable
        self.assertEqual([t.LangID for t in table], [b"040904E4"])
        entries = list(table[0].entries.items())
        self.assertEqual([key for key, _ in entries], [
            b"CompanyName", b"FileDescription", b"FileVersion", b"InternalName", b"LegalCopyright",
            b"OriginalFilename", b"ProductName", b"ProductVersion"])
        values = dict(entries)
        self.assertEqual(values[b"FileDescription"], b"Adobe Illustrator CS5 plug-in Tool")
        self.assertEqual(values[b"FileVersion"], b"0.1b")
        self.assertEqual(values[b"ProductVersion"], b"0.1b")
        self.assertEqual(values[b"OriginalFilename"], b"slantWarper.aip")
        # Maker, comma and space, web address.
        self.assertRegex(values[b"CompanyName"].decode(), r"^[^,]+, https?://\S+$")
        self.assertTrue(values[b"LegalCopyright"].startswith(b"Copyright "))

    def test_manifest(self):
        text = self.data((MANIFEST, 2, US_ENGLISH)).decode("utf-8")
        self.assertFalse(text.lstrip().startswith("<?xml"), "no XML declaration")
        self.assertTrue(text.endswith("\r\n"))
        self.assertNotIn("\n", text.replace("\r\n", ""), "every line ends with CR LF")
        asm_v1, asm_v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
        root = ElementTree.fromstring(text)
        self.assertEqual(root.tag, asm_v1 + "assembly")
        self.assertEqual(root.attrib, {"manifestVersion": "1.0"})
        self.assertEqual([child.tag for child in root], [asm_v3 + "trustInfo"])
        path = [asm_v3 + "security", asm_v3 + "requestedPrivileges", asm_v3 + "requestedExecutionLevel"]
        element, tags = root[0], []
        while len(element):
            self.assertEqual(len(element), 1, f"{element.tag} has one child")
            element = element[0]
            tags.append(element.tag)
        self.assertEqual(tags, path)
        self.assertEqual(element.attrib, {"level": "asInvoker", "uiAccess": "false"})


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    AIP_PATH = sys.argv.pop(1)
    unittest.main(verbosity=2)
