#!/usr/bin/python3
"""Checks what scripts/release.sh left in dist/: the four files and nothing
else, archives a user can unpack and check (SHA256SUMS naming exactly the
other files, verified by sha256sum -c), entries in a fixed order with one
time and one mode, install notes that say where the tool and its about item
appear, the version and commit named in the notes and in both archives'
comments, and archives whose bytes do not depend on the files' times, the
umask or the locale: packing the release's own folders again, after those
have changed, gives the same bytes; and no folder of the machine that made
them (FOLDER...) in any file they hold.

Usage: check_dist.py DIST WORK VERSION [FOLDER...]   (WORK: the release's build/release)
"""

import calendar
import os
import re
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile

DIST, WORK, VERSION, FOLDERS = None, None, None, []
HERE = os.path.dirname(os.path.abspath(__file__))
ZIP_TREE = os.path.join(HERE, "..", "..", "scripts", "release", "zip_tree.py")


def names():
    plugin, page = f"slantWarper-{VERSION}-win32", f"slantWarper-page-{VERSION}"
    return plugin, page


def sums(text):
    """{file name: digest} of a SHA256SUMS text."""
    listed = {}
    for line in text.splitlines():
        digest, name = line.split("  ", 1)
        listed[name] = digest
    return listed


class DistTest(unittest.TestCase):
    def archive(self, name):
        path = os.path.join(DIST, f"{name}.zip")
        self.assertTrue(os.path.isfile(path), f"{path} is missing: run scripts/release.sh")
        return zipfile.ZipFile(path)

    def test_dist_holds_the_release_and_nothing_else(self):
        plugin, page = names()
        self.assertEqual(sorted(os.listdir(DIST)),
                         sorted([f"{plugin}.zip", f"{page}.zip", "slantWarper.aip.debug", "SHA256SUMS"]))
        with open(os.path.join(DIST, "SHA256SUMS")) as listing:
            self.assertEqual(set(sums(listing.read())), {f"{plugin}.zip", f"{page}.zip", "slantWarper.aip.debug"})
        check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=DIST, capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

    def test_entries_in_a_fixed_order_with_one_time_and_mode(self):
        for name in names():
            with self.archive(name) as archive:
                entries = archive.infolist()
                self.assertTrue(entries)
                paths = [entry.filename for entry in entries]
                self.assertEqual(paths, sorted(paths, key=lambda path: path.encode()), name)
                self.assertTrue(all(path.startswith(f"{name}/") and not path.endswith("/") for path in paths))
                self.assertEqual(len({entry.date_time for entry in entries}), 1, f"{name}: one time")
                self.assertEqual({(entry.create_system, entry.external_attr >> 16) for entry in entries},
                                 {(3, stat.S_IFREG | 0o644)}, name)
                self.assertEqual({entry.extra for entry in entries}, {b""}, name)
                self.assertIsNone(archive.testzip(), name)

    def test_plugin_archive_checks_itself(self):
        plugin, _ = names()
        with self.archive(plugin) as archive, tempfile.TemporaryDirectory() as folder:
            self.assertEqual(sorted(archive.namelist()),
                             [f"{plugin}/{file}" for file in ("INSTALL.txt", "SHA256SUMS", "slantWarper.aip")])
            archive.extractall(folder)
            unpacked = os.path.join(folder, plugin)
            with open(os.path.join(unpacked, "SHA256SUMS")) as listing:
                self.assertEqual(set(sums(listing.read())), {"INSTALL.txt", "slantWarper.aip"})
            check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=unpacked,
                                   capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
            # A changed byte is caught.
            with open(os.path.join(unpacked, "slantWarper.aip"), "r+b") as library:
                library.seek(1000)
                byte = library.read(1)
                library.seek(1000)
                library.write(bytes([byte[0] ^ 1]))
            self.assertNotEqual(subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=unpacked,
                                               capture_output=True).returncode, 0)

    def test_install_notes(self):
        plugin, _ = names()
        with self.archive(plugin) as archive:
            notes = archive.read(f"{plugin}/INSTALL.txt").decode("ascii")
        self.assertNotIn("\n", notes.replace("\r\n", ""), "Windows line ends")
        for needed in (f"slantWarper {VERSION}", "Plug-ins", '"pkTool2"', '"About p.k plug-ins"', '"slantWarper..."',
                       "sha256sum -c SHA256SUMS", "slantWarper.aip.debug"):
            self.assertIn(needed, notes)
        self.assertNotIn("@", notes, "every placeholder filled in")

    def test_notes_and_archives_name_the_version_and_a_commit_of_this_repository(self):
        plugin, page = names()
        with self.archive(plugin) as archive:
            notes = archive.read(f"{plugin}/INSTALL.txt").decode("ascii")
        line = r"^Built from (commit ([0-9a-f]{40})( with changes not committed)?)\.\r$"
        built_from = re.search(line, notes, re.M)
        self.assertTrue(built_from, "INSTALL.txt names the commit")
        known = subprocess.run(["git", "cat-file", "-e", f"{built_from[2]}^{{commit}}"], cwd=HERE, capture_output=True)
        self.assertEqual(known.returncode, 0, f"{built_from[2]} is no commit of this repository")
        for name in (plugin, page):
            with self.archive(name) as archive:
                self.assertEqual(archive.comment.decode("ascii"), f"slantWarper {VERSION}, {built_from[1]}", name)

    def test_no_folder_of_the_build_machine(self):
        for name in names():
            with self.archive(name) as archive:
                for entry in archive.infolist():
                    data = archive.read(entry)
                    for folder in FOLDERS:
                        self.assertNotIn(os.path.abspath(folder).encode(), data, f"{folder} in {entry.filename}")

    def test_archives_do_not_depend_on_times_umask_or_locale(self):
        plugin, page = names()
        for name, folder in ((plugin, os.path.join(WORK, plugin)), (page, os.path.join(WORK, "site"))):
            for parent, _, files in os.walk(folder):
                for file in files:
                    os.utime(os.path.join(parent, file), (1_000_000_000, 1_000_000_000))
            with self.archive(name) as archive:
                epoch = calendar.timegm(archive.infolist()[0].date_time + (0, 0, 0))
                comment = archive.comment.decode("ascii")
            with tempfile.TemporaryDirectory() as out:
                again = os.path.join(out, f"{name}.zip")
                environment = dict(os.environ, LC_ALL="C.UTF-8", TZ="Pacific/Kiritimati", SOURCE_DATE_EPOCH=str(epoch))
                subprocess.run(["/bin/sh", "-c", 'umask 077 && exec "$@"', "sh", sys.executable, ZIP_TREE, folder,
                                again, name, comment], env=environment, check=True)
                with open(again, "rb") as packed, open(os.path.join(DIST, f"{name}.zip"), "rb") as released:
                    self.assertTrue(packed.read() == released.read(), f"{name}.zip packed again differs")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    DIST, WORK, VERSION, *FOLDERS = sys.argv[1:]
    del sys.argv[1:]
    unittest.main(verbosity=2)
