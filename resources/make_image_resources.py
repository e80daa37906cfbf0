#!/usr/bin/python3
"""Turns a text pixel map (cursor.txt, icon.txt) into the two raw resources
the resource script links in: the image itself and its one-entry group
directory naming it by id.

The resource compiler's own CURSOR and ICON statements number the images
themselves and copy the group entry from a .cur/.ico file header, so the
image ids and group entries would not be ours to choose. Writing both as raw
typed resources keeps every byte under our control.

Usage: make_image_resources.py MAP --image-id N --image OUT --group OUT
"""

import argparse
import os
import struct
import sys

PALETTE_SIZE = 16  # 4 bits per pixel
TRANSPARENT = "."


class MapError(Exception):
    pass


class PixelMap:
    def __init__(self):
        self.kind = None  # "cursor" or "icon"
        self.width = self.height = 0
        self.hotspot = None
        self.palette = {}  # index -> (red, green, blue)
        self.keys = {}  # character -> palette index
        self.rows = []


def parse_int(word, low, high, what):
    try:
        value = int(word)
    except ValueError:
        raise MapError(f"{what} must be a whole number, not {word!r}")
    if not low <= value <= high:
        raise MapError(f"{what} {value} is outside {low}..{high}")
    return value


def parse_map(lines):
    """Reads a pixel map; every malformed line is an error naming its number,
    so a picture is never silently cropped, padded or recoloured."""
    pixel_map = PixelMap()
    in_picture = False
    for number, raw in enumerate(lines, start=1):
        try:
            if in_picture:
                row = raw.rstrip("\r\n")
                if len(pixel_map.rows) == pixel_map.height:
                    if row.strip() and not row.lstrip().startswith("#"):
                        raise MapError(f"picture has more than {pixel_map.height} rows")
                    continue
                if len(row) != pixel_map.width:
                    raise MapError(f"picture row is {len(row)} characters wide, not {pixel_map.width}")
                for char in row:
                    if char != TRANSPARENT and char not in pixel_map.keys:
                        raise MapError(f"picture uses {char!r}, which no key line defines")
                pixel_map.rows.append(row)
                continue
            words = raw.split("#", 1)[0].split()
            if not words:
                continue
            directive, args = words[0], words[1:]
            if directive in ("cursor", "icon") and len(args) == 2:
                if pixel_map.kind is not None:
                    raise MapError("the picture kind and size are given twice")
                pixel_map.kind = directive
                pixel_map.width = parse_int(args[0], 1, 255, "width")
                pixel_map.height = parse_int(args[1], 1, 255, "height")
            elif pixel_map.kind is None:
                raise MapError('the map must start with "cursor W H" or "icon W H"')
            elif directive == "hotspot" and len(args) == 2 and pixel_map.kind == "cursor":
                pixel_map.hotspot = (parse_int(args[0], 0, pixel_map.width - 1, "hot spot x"),
                                     parse_int(args[1], 0, pixel_map.height - 1, "hot spot y"))
            elif directive == "colour" and len(args) == 4:
                index = parse_int(args[0], 0, PALETTE_SIZE - 1, "palette index")
                if index != len(pixel_map.palette):
                    raise MapError(f"palette entry {index} is out of order; {len(pixel_map.palette)} comes next")
                pixel_map.palette[index] = tuple(parse_int(value, 0, 255, "colour component") for value in args[1:])
            elif directive == "key" and len(args) == 2 and len(args[0]) == 1:
                if args[0] == TRANSPARENT or args[0] in pixel_map.keys:
                    raise MapError(f"key {args[0]!r} is reserved or defined twice")
                pixel_map.keys[args[0]] = parse_int(args[1], 0, PALETTE_SIZE - 1, "key colour")
            elif directive == "picture" and not args:
                in_picture = True
            else:
                raise MapError(f"cannot read {raw.strip()!r}")
        except MapError as error:
            raise MapError(f"line {number}: {error}")
    if pixel_map.kind is None or not in_picture:
        raise MapError("the map needs a kind line and a picture")
    if len(pixel_map.rows) != pixel_map.height:
        raise MapError(f"picture has {len(pixel_map.rows)} rows, not {pixel_map.height}")
    if len(pixel_map.palette) != PALETTE_SIZE:
        raise MapError(f"palette has {len(pixel_map.palette)} colours, not {PALETTE_SIZE}")
    if pixel_map.kind == "cursor" and pixel_map.hotspot is None:
        raise MapError("a cursor needs a hot spot")
    return pixel_map


def padded_row_bytes(bits):
    return (bits + 31) // 32 * 4


def device_independent_bitmap(pixel_map):
    """Header, palette, 4-bit picture and 1-bit mask, rows bottom-up. A
    transparent pixel is colour 0 under a set mask bit, an opaque one its
    colour under a clear bit; nothing is drawn inverted."""
    width, height = pixel_map.width, pixel_map.height
    colour_row, mask_row = padded_row_bytes(width * 4), padded_row_bytes(width)
    colours, mask = bytearray(), bytearray()
    for row in reversed(pixel_map.rows):
        colour_bits, mask_bits = bytearray(colour_row), bytearray(mask_row)
        for x, char in enumerate(row):
            if char == TRANSPARENT:
                mask_bits[x // 8] |= 0x80 >> (x % 8)
            else:
                colour_bits[x // 2] |= pixel_map.keys[char] << (4 if x % 2 == 0 else 0)
        colours += colour_bits
        mask += mask_bits
    # The size field may be 0 for an uncompressed bitmap. Cursors state it
    # and icons leave it 0, as the released resources always have.
    image_size = len(colours) + len(mask) if pixel_map.kind == "cursor" else 0
    # Size, width, height of picture and mask together, planes, bits per
    # pixel, no compression, image size, resolutions and colour counts 0.
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 4, 0, image_size, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", blue, green, red, 0)
                       for red, green, blue in (pixel_map.palette[i] for i in range(PALETTE_SIZE)))
    return header + palette + bytes(colours) + bytes(mask)


def image_resources(pixel_map, image_id):
    """Returns (image, group) bytes. A cursor image starts with its hot spot;
    a cursor group entry counts the mask in its height, an icon's does not."""
    bitmap = device_independent_bitmap(pixel_map)
    if pixel_map.kind == "cursor":
        image = struct.pack("<HH", *pixel_map.hotspot) + bitmap
        entry = struct.pack("<HHHHIH", pixel_map.width, 2 * pixel_map.height, 1, 4, len(image), image_id)
        group_type = 2
    else:
        image = bitmap
        entry = struct.pack("<BBBBHHIH", pixel_map.width, pixel_map.height, PALETTE_SIZE, 0, 1, 4,
                            len(image), image_id)
        group_type = 1
    return image, struct.pack("<HHH", 0, group_type, 1) + entry


def write_atomically(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("map")
    parser.add_argument("--image-id", type=int, required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--group", required=True)
    args = parser.parse_args(argv)
    if not 1 <= args.image_id <= 0xFFFF:
        parser.error("--image-id must be 1..65535")
    try:
        with open(args.map, encoding="ascii") as source:
            pixel_map = parse_map(source)
    except (MapError, UnicodeDecodeError) as error:
        print(f"{args.map}: {error}", file=sys.stderr)
        return 1
    image, group = image_resources(pixel_map, args.image_id)
    write_atomically(args.image, image)
    write_atomically(args.group, group)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
