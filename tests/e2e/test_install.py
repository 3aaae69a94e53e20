"""`cmake --install` into a temporary prefix: the layout a desktop needs, and the installed
program saving beside its real executable when started from the menu entry's command.

    python3 -B test_install.py --cmake path/to/cmake --build path/to/build [TestClass ...]"""

import argparse
import os
import stat
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree

import segnodriver as d

CMAKE = None
BUILD = None

EXPECTED_FILES = {
    "bin/segno",
    "lib/segno/segno",
    "share/applications/segno.desktop",
    "share/icons/hicolor/scalable/apps/segno.svg",
}


def desktop_entry(path):
    """The keys of the [Desktop Entry] group."""
    entry, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                entry[key] = value
    return entry


class Install(unittest.TestCase):
    def setUp(self):
        self.prefix = d.scratch_dir("segno-prefix-")
        self.addCleanup(d.remove_dir, self.prefix)
        self.keep_manifest()

    def keep_manifest(self):
        """cmake --install records what it installed in the build's install_manifest.txt;
        a real install's record must not end up naming this test's temporary prefix."""
        manifest = os.path.join(BUILD, "install_manifest.txt")
        try:
            with open(manifest, "rb") as f:
                kept = f.read()
        except FileNotFoundError:
            kept = None

        def restore():
            if kept is None:
                if os.path.exists(manifest):
                    os.remove(manifest)
            else:
                with open(manifest, "wb") as f:
                    f.write(kept)

        self.addCleanup(restore)

    def install(self):
        done = subprocess.run([CMAKE, "--install", BUILD, "--prefix", self.prefix],
                              capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def installed(self):
        found = set()
        for folder, _, files in os.walk(self.prefix):
            for name in files:
                found.add(os.path.relpath(os.path.join(folder, name), self.prefix))
        return found

    def test_layout_menu_entry_and_icon(self):
        self.install()
        self.install()  # again over itself, as an update does
        self.assertEqual(self.installed(), EXPECTED_FILES)

        program = os.path.join(self.prefix, "lib/segno/segno")
        self.assertTrue(os.stat(program).st_mode & stat.S_IXUSR)
        link = os.path.join(self.prefix, "bin/segno")
        self.assertTrue(os.path.islink(link))
        self.assertEqual(os.readlink(link), "../lib/segno/segno")  # relative: the tree moves

        entry_path = os.path.join(self.prefix, "share/applications/segno.desktop")
        validate = subprocess.run(["desktop-file-validate", entry_path], capture_output=True,
                                  text=True)
        self.assertEqual(validate.returncode, 0, validate.stdout + validate.stderr)
        # Hints are advice; Education and Science are both main categories, which it hints
        # may list Segno twice, and that is meant: it belongs in both.
        complaints = [line for line in (validate.stdout + validate.stderr).splitlines()
                      if ": hint: " not in line]
        self.assertEqual(complaints, [])
        entry = desktop_entry(entry_path)
        self.assertEqual(entry["Type"], "Application")
        self.assertEqual(entry["Name"], "Segno")
        self.assertTrue(entry["Comment"].strip())
        self.assertEqual(entry["Icon"], "segno")
        self.assertEqual(entry["Exec"], link)
        self.assertEqual(entry["Categories"].split(";")[:2], ["Education", "Science"])

        svg = ElementTree.parse(
            os.path.join(self.prefix, "share/icons/hicolor/scalable/apps/segno.svg"))
        self.assertEqual(svg.getroot().tag, "{http://www.w3.org/2000/svg}svg")

    def test_menu_command_saves_beside_the_installed_program(self):
        self.install()
        command = desktop_entry(
            os.path.join(self.prefix, "share/applications/segno.desktop"))["Exec"]
        elsewhere = d.scratch_dir("segno-cwd-")
        self.addCleanup(d.remove_dir, elsewhere)
        with d.Xvfb() as x, d.Segno(x, command, cwd=elsewhere) as app:
            app.press_cell(12)
            app.wait_painted({12})
            app.type_label("A")
            app.click(d.MEMO)
            app.wait_painted(set())
            app.click(d.SAVE)
            app.message_box()
            app.answer("Return")
            saved = os.path.join(self.prefix, "lib/segno/supply.txt")
            d.wait_until(lambda: os.path.exists(saved), "supply.txt in lib/segno")
        with open(saved, "rb") as f:
            lines = f.read().split(b"\r\n")
        self.assertEqual(lines[0], b"-1," * 12 + b"1," + b"-1," * 17 + b'"A"')
        self.assertEqual(lines[21:], [b'"A"', b""])
        self.assertEqual(self.installed(), EXPECTED_FILES | {"lib/segno/supply.txt"})
        self.assertEqual(os.listdir(elsewhere), [])


def main():
    global CMAKE, BUILD
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True, help="the configured and built tree")
    args, rest = parser.parse_known_args()
    CMAKE, BUILD = args.cmake, os.path.abspath(args.build)
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
