"""The Linux package as `cpack --preset package` makes it from the release build: it names the
libraries it needs (a package without Depends installs anywhere and then fails to start), holds
the programs stripped, their manual pages, the daemon's settings page, the scripts' type and the
desktop entry that opens them, the samples, Debian's copyright file and the changelog of its
version, and lintian finds nothing in it to warn of.

Run: VELLOWAY_CPACK=cpack VELLOWAY_CPACK_CONFIG=.../CPackConfig.cmake VELLOWAY_DEB_DIR=<folder>
     python3 -m unittest -v test_deb
(ctest sets them; the package is made anew into VELLOWAY_DEB_DIR)."""

from __future__ import annotations

import gzip
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
CPACK_TIMEOUT = 600

# The packages of the libraries the programs link (Debian 12's names).
DEPENDED_ON = ("libc6", "libstdc++6", "libx11-6", "libxft2", "libxrender1", "libxrandr2",
               "libfontconfig1", "libpango-1.0-0", "libpangocairo-1.0-0", "libcairo2",
               "libsdl2-mixer-2.0-0", "libavformat59", "libavcodec59",
               "libswresample4", "libavutil57", "libxss1", "libwayland-client0", "libglib2.0-0")
HACK = "usr/libexec/xscreensaver/velloway"
CHECKER = "usr/bin/velloway-check"
RENDERER = "usr/bin/velloway-render"
CHANGELOG = "usr/share/doc/velloway/changelog.gz"
DESKTOP_ENTRY = "usr/share/applications/velloway.desktop"
SCRIPT_TYPE = "usr/share/mime/packages/velloway.xml"
SHIPPED = {HACK, CHECKER, RENDERER, "usr/bin/velloway",
           "usr/share/man/man6/velloway.6.gz", "usr/share/man/man1/velloway-check.1.gz",
           "usr/share/man/man1/velloway-render.1.gz", "usr/share/man/man5/velloway-script.5.gz",
           "usr/share/xscreensaver/config/velloway.xml", "usr/share/doc/velloway/copyright",
           CHANGELOG, DESKTOP_ENTRY, SCRIPT_TYPE, "usr/share/velloway/chime.wav",
           *(f"usr/share/velloway/{p.name}" for p in (REPO / "samples").glob("*.vws"))}
COPYRIGHT_FORMAT = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
MIME_NAMESPACE = "{http://www.freedesktop.org/standards/shared-mime-info}"
LINTIAN_TIMEOUT = 300


def run(*command: str, timeout: float = 60) -> str:
    done = subprocess.run(command, capture_output=True, text=True, timeout=timeout, check=False)
    if done.returncode != 0:
        raise AssertionError(f"{' '.join(command)}: exit status {done.returncode}\n"
                             f"{done.stdout}{done.stderr}")
    return done.stdout


def depends_names(field: str) -> set[str]:
    """The package names in a Depends field ("a (>= 1), b | c" gives a, b and c)."""
    return {choice.split("(")[0].strip() for entry in field.split(",")
            for choice in entry.split("|") if choice.strip()}


def listed_files(deb: Path) -> set[str]:
    """The package's files and links, as paths without the leading "./"."""
    names = set()
    for line in run("dpkg-deb", "-c", str(deb)).splitlines():
        mode, *_, name = line.split(maxsplit=5)
        if not mode.startswith("d"):
            names.add(name.split(" -> ")[0].removeprefix("./"))
    return names


class DebianPackageTest(unittest.TestCase):
    deb: Path
    tree: Path

    @classmethod
    def setUpClass(cls) -> None:
        cpack, config, folder = (os.environ.get(name) for name in (
            "VELLOWAY_CPACK", "VELLOWAY_CPACK_CONFIG", "VELLOWAY_DEB_DIR"))
        if not cpack or not config or not folder:
            raise unittest.SkipTest("VELLOWAY_CPACK, VELLOWAY_CPACK_CONFIG or VELLOWAY_DEB_DIR "
                                    "is not set (ctest sets them)")
        out = Path(folder)
        shutil.rmtree(out, ignore_errors=True)
        run(cpack, "--config", config, "-B", str(out), timeout=CPACK_TIMEOUT)
        debs = list(out.glob("velloway_*.deb"))
        if len(debs) != 1:
            raise AssertionError(f"one package expected in {out}, found {debs}")
        cls.deb = debs[0]
        unpacked = tempfile.TemporaryDirectory(prefix="velloway-deb-")
        cls.addClassCleanup(unpacked.cleanup)
        cls.tree = Path(unpacked.name)
        run("dpkg-deb", "-x", str(cls.deb), str(cls.tree))

    def field(self, name: str) -> str:
        return run("dpkg-deb", "-f", str(self.deb), name).strip()

    def test_depends_names_each_library(self):
        names = depends_names(self.field("Depends"))
        self.assertEqual(set(DEPENDED_ON) - names, set(), f"missing from Depends: {names}")

    def test_holds_the_programs_their_pages_and_files_and_the_documents(self):
        self.assertEqual(SHIPPED - listed_files(self.deb), set(), "missing from the package")
        self.assertEqual((self.tree / "usr/bin/velloway").resolve(), self.tree / HACK)

    def test_copyright_is_machine_readable(self):
        text = (self.tree / "usr/share/doc/velloway/copyright").read_text()
        self.assertEqual(text.splitlines()[0], COPYRIGHT_FORMAT)
        self.assertRegex(text, r"(?m)^Files: \*\nCopyright: .+\nLicense: .+")

    def test_lintian_finds_no_error_and_no_warning(self):
        done = subprocess.run(["lintian", str(self.deb)], capture_output=True, text=True,
                              timeout=LINTIAN_TIMEOUT, check=False)
        found = [line for line in done.stdout.splitlines() if re.match(r"[EW]: ", line)]
        self.assertEqual(found, [], "lintian's errors and warnings")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_changelog_names_the_packages_version(self):
        with gzip.open(self.tree / CHANGELOG, "rt", encoding="utf-8") as changelog:
            first = changelog.readline()
        self.assertEqual(first.split(" ")[:2], ["velloway", f"({self.field('Version')})"])

    def test_a_script_opens_from_the_file_manager_in_a_watching_window(self):
        run("desktop-file-validate", str(self.tree / DESKTOP_ENTRY))
        entry = dict(line.split("=", 1) for line in
                     (self.tree / DESKTOP_ENTRY).read_text(encoding="utf-8").splitlines()
                     if "=" in line)
        self.assertEqual(entry["Exec"], "velloway --window --watch --script %f")
        kinds = ElementTree.parse(self.tree / SCRIPT_TYPE).getroot().findall(
            f"{MIME_NAMESPACE}mime-type")
        self.assertEqual([[glob.get("pattern") for glob in kind.findall(f"{MIME_NAMESPACE}glob")]
                          for kind in kinds], [["*.vws"]])
        self.assertEqual(entry["MimeType"], kinds[0].get("type") + ";")

    def test_programs_are_stripped(self):
        for program in (HACK, CHECKER, RENDERER):
            with self.subTest(program=program):
                description = run("file", "-b", str(self.tree / program))
                self.assertIn("ELF", description)
                self.assertRegex(description, r"(?<!not) stripped")


if __name__ == "__main__":
    unittest.main()
