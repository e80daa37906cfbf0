#!/usr/bin/python3
"""Packs a folder into a zip archive whose bytes depend only on the files'
names and contents: every file under one top folder, in sorted order, each
stamped with the same time (SOURCE_DATE_EPOCH, or 1980-01-01 without it, in
UTC), mode 0644, made on Unix and deflated at level 9; no folder entries,
no extra fields, and the archive's comment COMMENT (none without it), which
unzip -l shows before the list. The file times, the umask and the locale of
the machine do not reach the archive.

Usage: zip_tree.py FOLDER ARCHIVE.zip TOP [COMMENT]
"""

import os
import stat
import sys
import time
import zipfile

EARLIEST = 315532800  # 1980-01-01, the first time a zip entry can carry


def entry_time():
    text = os.environ.get("SOURCE_DATE_EPOCH", "")
    if text and not text.isdigit():
        sys.exit(f"SOURCE_DATE_EPOCH must be a count of seconds, not {text!r}")
    seconds = max(int(text or EARLIEST), EARLIEST)
    return time.gmtime(seconds)[:6]


def files_under(folder):
    """Paths of every file under folder, relative and '/'-separated, sorted
    by their bytes; anything but plain files and folders is refused."""
    found = []
    for parent, folders, names in os.walk(folder):
        for name in folders + names:
            path = os.path.join(parent, name)
            mode = os.lstat(path).st_mode
            if stat.S_ISREG(mode):
                found.append(os.path.relpath(path, folder).replace(os.sep, "/"))
            elif not stat.S_ISDIR(mode):
                sys.exit(f"{path}: neither a file nor a folder; an archive holds only those")
    return sorted(found, key=lambda name: name.encode("utf-8"))


def pack(folder, archive, top, comment=""):
    names = files_under(folder)
    if not names:
        sys.exit(f"{folder}: no files to pack")
    stamp = entry_time()
    partial = archive + ".partial"
    with zipfile.ZipFile(partial, "w") as out:
        out.comment = comment.encode("ascii")
        for name in names:
            info = zipfile.ZipInfo(f"{top}/{name}", date_time=stamp)
            info.create_system = 3  # Unix, so that the mode below is read
            info.external_attr = (stat.S_IFREG | 0o644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, name), "rb") as data:
                out.writestr(info, data.read(), compresslevel=9)
    os.replace(partial, archive)


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5) or "/" in sys.argv[3] or not sys.argv[3]:
        sys.exit(__doc__.strip().splitlines()[-1])
    pack(*sys.argv[1:])
