"""VellowaySetup.exe under Wine, as a user without administrator rights meets it:

- a silent installation (/S) puts the saver, the script checker (which runs there), the sample
  scripts, their sound and the documentation into the user's local programs folder, a "Velloway
  settings" Start-menu entry that opens the settings dialog, a "Use Velloway as screen saver"
  entry that makes Velloway the current screen saver again after another was chosen, an
  uninstall entry, and makes Velloway the current screen saver;
- the saver named there plays the installed default script;
- a silent uninstallation removes exactly what was installed: scripts the user added stay (and
  with them the folder), the screen saver choice goes only when it names the installed saver.

Run: VELLOWAY_SETUP=.../VellowaySetup.exe [VELLOWAY_SCR=.../velloway.scr]
     python3 -m unittest -v test_installer
(skipped without VELLOWAY_SETUP; ctest sets both)."""

from __future__ import annotations

import os
import re
import shutil
import struct
import unittest
from pathlib import Path

from velloway_e2e.images import colour
from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import (CONFIG_CAPTION_RE, CONFIG_SWITCH, DESKTOP_KEY,
                                  DISPLAY_NAME_VALUE, DISPLAY_VERSION_VALUE,
                                  INSTALL_LOCATION_VALUE, MAIN_CAPTION_RE,
                                  QUIET_UNINSTALL_STRING_VALUE, REPO, SAVER_SWITCH, SCR_ENV,
                                  SCREEN_SAVE_ACTIVE_VALUE, SCREEN_SAVER_VALUE, SETUP_ENV,
                                  UNINSTALL_KEY, UNINSTALL_STRING_VALUE, VELLOWAY_KEY,
                                  choose_script, script_text)
from velloway_e2e.testcase import ProgramTestCase, program_from_env
from velloway_e2e.wine import PROGRAM_WINEDEBUG, WinePrefix

SHORTCUT_NAME = "Velloway settings.lnk"
USE_SHORTCUT_NAME = "Use Velloway as screen saver.lnk"
# The background colour in the header of samples/Default.vws.
DEFAULT_BACKGROUND = colour("05102A")

SAMPLES = sorted(p.name for p in (REPO / "samples").glob("*.vws"))
# Installed files (relative paths) that are plain copies of the repository's.
COPIES = {**{name: REPO / "samples" / name for name in SAMPLES},
          "README.md": REPO / "README.md",
          "docs/script-format.md": REPO / "docs" / "script-format.md"}
INSTALLED = set(COPIES) | {"velloway.scr", "velloway-check.exe", "UseVelloway.exe", "chime.wav",
                           "Uninstall.exe"}

INSTALL_TIMEOUT = 120
UNINSTALL_TIMEOUT = 60


def project_version() -> str:
    text = (REPO / "CMakeLists.txt").read_text()
    match = re.search(r"project\(\s*Velloway\s+VERSION\s+([0-9.]+)", text)
    if not match:
        raise HarnessError("no project version in CMakeLists.txt")
    return match.group(1)


def read_shortcut(data: bytes) -> dict:
    """The target, arguments and working folder of a shell link (.lnk) file."""
    if data[:4] != b"L\0\0\0":
        raise ValueError("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    unicode = bool(flags & 0x80)
    at = 0x4C  # after the header
    if flags & 0x01:  # an item ID list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    link = {}

    def text_at(offset: int, wide: bool) -> str:
        if wide:
            end = offset
            while data[end:end + 2] != b"\0\0":
                end += 2
            return data[offset:end].decode("utf-16-le")
        return data[offset:data.index(b"\0", offset)].decode("cp1252")

    if flags & 0x02:  # link info: where the target lies
        size, header, info_flags, _, base, _, suffix = struct.unpack_from("<7I", data, at)
        if info_flags & 0x01:  # on a local volume
            if header >= 0x24:
                base_w, suffix_w = struct.unpack_from("<2I", data, at + 28)
                link["target"] = text_at(at + base_w, True) + text_at(at + suffix_w, True)
            else:
                link["target"] = text_at(at + base, False) + text_at(at + suffix, False)
        at += size
    for bit, name in ((0x04, "description"), (0x08, "relative_path"), (0x10, "working_dir"),
                      (0x20, "arguments"), (0x40, "icon_location")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            at += 2
            length = count * (2 if unicode else 1)
            text = data[at:at + length].decode("utf-16-le" if unicode else "cp1252")
            # Wine counts the terminating NUL as well; Windows does not.
            link[name] = text.rstrip("\0")
            at += length
    return link


def tree(folder: Path) -> set[str]:
    """Every file below folder, as relative paths with forward slashes."""
    return {p.relative_to(folder).as_posix() for p in folder.rglob("*") if p.is_file()}


class SetupFileTest(unittest.TestCase):
    def test_version_resource_names_the_project_version(self):
        data = program_from_env(SETUP_ENV).read_bytes()
        for text in (project_version(), "Velloway setup"):
            self.assertIn(text.encode("utf-16-le"), data, f"{text!r} in the version resource")


class InstallerPrefix(WinePrefix):
    @property
    def env(self) -> dict:
        env = super().env
        # Wine would mirror the Start-menu entry into the host user's desktop menus.
        env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
        return env


class InstallerTest(ProgramTestCase):
    """Each test installs into a fresh prefix copy; the display is shared."""

    SCREEN = (1280, 720)
    setup_exe: Path

    @classmethod
    def setUpClass(cls) -> None:
        cls.setup_exe = program_from_env(SETUP_ENV)
        super().setUpClass()

    def setUp(self) -> None:
        self.prefix = InstallerPrefix(self.desktop)
        self.addCleanup(self.prefix.close)
        self.prefix.start()
        # Batch files and the uninstaller's copy; C:\ so their paths have no blanks.
        self.work = self.prefix.drive_c / "velloway-test"
        self.work.mkdir()
        self.local_appdata = self.prefix_variable("LOCALAPPDATA")
        self.start_menu = self.prefix.unix_path(
            self.prefix_variable("APPDATA") + r"\Microsoft\Windows\Start Menu\Programs")

    # -- helpers

    def batch(self, *lines: str, timeout: float = 30):
        """Runs command lines through a batch file: Wine re-quotes the arguments of
        `wine program args`, which breaks /D= and _?= paths with blanks. Returns the
        CompletedProcess; its exit status is the last command's. Wine's errors stay on: a program
        that dies says why."""
        path = self.work / "run.bat"
        path.write_bytes(("@echo off\r\n" + "\r\n".join(lines)
                          + "\r\nexit /b %errorlevel%\r\n").encode("ascii"))
        return self.prefix.wine("cmd", "/c", self.prefix.windows_path(path), timeout=timeout,
                                check=False, winedebug=PROGRAM_WINEDEBUG)

    def assert_ran(self, done, what: str) -> None:
        self.assertEqual(done.returncode, 0, f"{what} exit status; stdout {done.stdout!r}, "
                                             f"stderr {done.stderr!r}")

    def prefix_variable(self, name: str) -> str:
        out = self.batch(f"echo %{name}%").stdout.decode(errors="replace").strip()
        if not re.fullmatch(r"[A-Za-z]:\\.+", out):
            raise HarnessError(f"%{name}% is {out!r}")
        return out

    def short_path(self, windows_path: str) -> str:
        out = self.batch(f'for %%I in ("{windows_path}") do echo %%~sI')
        return out.stdout.decode(errors="replace").strip()

    def install(self, folder: str | None = None) -> tuple:
        """Runs the installer silently (into folder, else its default); returns the folder as
        (Windows path, Unix path)."""
        setup = self.work / "VellowaySetup.exe"
        shutil.copy2(self.setup_exe, setup)
        # /D= must come last and unquoted, blanks and all.
        done = self.batch(f'"{self.prefix.windows_path(setup)}" /S'
                          + (f" /D={folder}" if folder else ""), timeout=INSTALL_TIMEOUT)
        setup.unlink()
        self.assert_ran(done, "installer")
        windows = folder or self.local_appdata + r"\Programs\Velloway"
        return windows, self.prefix.unix_path(windows)

    def uninstall(self, folder: str) -> None:
        """Runs the installed uninstaller silently and waits for it: from a copy, with _?= naming
        the folder, as the uninstaller itself does when started normally (then it returns at
        once). The copy lets Uninstall.exe itself be deleted."""
        copy = self.work / "Au_.exe"
        shutil.copy2(self.prefix.unix_path(folder + r"\Uninstall.exe"), copy)
        done = self.batch(f'"{self.prefix.windows_path(copy)}" /S _?={folder}',
                          timeout=UNINSTALL_TIMEOUT)
        copy.unlink()
        self.assert_ran(done, "uninstaller")

    # -- checks

    def assert_installed(self, windows: str, unix: Path) -> None:
        self.assertEqual(tree(unix), INSTALLED, f"files in {windows}")
        for name, source in COPIES.items():
            self.assertEqual((unix / name).read_bytes(), source.read_bytes(), name)
        scr = os.environ.get(SCR_ENV)
        if scr:
            self.assertEqual((unix / "velloway.scr").read_bytes(), Path(scr).read_bytes(),
                             "velloway.scr")
        wav = (unix / "chime.wav").read_bytes()
        self.assertEqual((wav[:4], wav[8:12]), (b"RIFF", b"WAVE"), "chime.wav is a WAV file")

        entry = self.prefix.reg_values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "uninstall entry")
        self.assertEqual(entry.get(DISPLAY_NAME_VALUE), "Velloway")
        self.assertEqual(entry.get(DISPLAY_VERSION_VALUE), project_version())
        self.assertEqual(entry.get(INSTALL_LOCATION_VALUE), windows)
        self.assertEqual(entry.get(UNINSTALL_STRING_VALUE), f'"{windows}\\Uninstall.exe"')
        self.assertEqual(entry.get(QUIET_UNINSTALL_STRING_VALUE), f'"{windows}\\Uninstall.exe" /S')

    def assert_checker_runs(self, windows: str) -> None:
        """The checker the README offers runs from the installed folder."""
        done = self.batch(f'"{windows}\\velloway-check.exe" --help')
        self.assert_ran(done, "velloway-check --help")
        self.assertIn(b"Usage: velloway-check", done.stdout)

    def assert_current_saver(self, windows: str) -> str:
        """SCRNSAVE.EXE names the installed saver (long or short form); returns the value."""
        value = self.prefix.reg_get(DESKTOP_KEY, SCREEN_SAVER_VALUE)
        scr = windows + r"\velloway.scr"
        self.assertIn(str(value).lower(), {scr.lower(), self.short_path(scr).lower()},
                      SCREEN_SAVER_VALUE)
        self.assertEqual(self.prefix.reg_get(DESKTOP_KEY, SCREEN_SAVE_ACTIVE_VALUE), "1")
        return value

    def assert_saver_plays_default_script(self, program: str) -> None:
        """Starts the program as Windows starts a screen saver (from system32, with /s) and
        waits for its window in the default script's background colour."""
        width, height = self.SCREEN
        self.desktop.mousemove(width // 2, height // 2)  # no move once it runs
        process = self.prefix.start_program(program, SAVER_SWITCH)
        try:
            self.wait_shown(process)
            self.assert_background(DEFAULT_BACKGROUND, "saver.png", 0.8)
        finally:
            process.kill()
            self.prefix.clear_windows(MAIN_CAPTION_RE)

    def assert_settings_shortcut(self, windows: str) -> None:
        """The Start-menu entry runs velloway.scr /c: the settings dialog opens."""
        path = self.start_menu / SHORTCUT_NAME
        self.assertTrue(path.is_file(), f"{path} exists")
        link = read_shortcut(path.read_bytes())
        self.assertEqual(link.get("target", "").lower(), (windows + r"\velloway.scr").lower())
        self.assertEqual(link.get("arguments"), CONFIG_SWITCH)
        # As the Start menu opens it; `start` returns at once, the dialog stays.
        self.prefix.wine("start", "/unix", str(path))
        try:
            self.desktop.wait_window(CONFIG_CAPTION_RE, timeout=20)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("settings.png"))
            self.fail(f"the shortcut opened no settings dialog: {e}")
        self.desktop.key("Escape")  # closes it without storing anything
        self.prefix.clear_windows(CONFIG_CAPTION_RE)

    def assert_use_shortcut_makes_velloway_current(self, windows: str) -> None:
        """After the user chose another screen saver (and turned saving off), the Start-menu
        entry "Use Velloway as screen saver" makes Velloway the current one again."""
        path = self.start_menu / USE_SHORTCUT_NAME
        self.assertTrue(path.is_file(), f"{path} exists")
        link = read_shortcut(path.read_bytes())
        self.assertEqual(link.get("target", "").lower(),
                         (windows + r"\UseVelloway.exe").lower())
        self.prefix.reg_set(DESKTOP_KEY, SCREEN_SAVER_VALUE, r"C:\windows\system32\other.scr")
        self.prefix.reg_set(DESKTOP_KEY, SCREEN_SAVE_ACTIVE_VALUE, "0")
        self.prefix.wine("start", "/unix", str(path))  # as the Start menu opens it
        try:
            wait_until(lambda: "other" not in str(self.prefix.reg_get(DESKTOP_KEY,
                                                                      SCREEN_SAVER_VALUE)),
                       20, interval=0.2, what="the screen saver choice to change")
        except HarnessError:
            self.fail("the entry left the other screen saver chosen")
        self.assert_current_saver(windows)

    def assert_no_traces(self, windows: str) -> None:
        for name in (SHORTCUT_NAME, USE_SHORTCUT_NAME):
            self.assertFalse((self.start_menu / name).exists(), f"Start-menu entry {name} removed")
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY), "uninstall entry removed")
        self.assertIsNone(self.prefix.reg_values(VELLOWAY_KEY), "settings key removed")

    # -- tests

    def test_install_run_and_uninstall_keeping_user_scripts(self):
        windows, unix = self.install()
        self.assertEqual(windows.lower(), (self.local_appdata + r"\Programs\Velloway").lower())
        self.assert_installed(windows, unix)
        self.assert_checker_runs(windows)
        saver = self.assert_current_saver(windows)
        self.assert_saver_plays_default_script(saver)
        self.assert_settings_shortcut(windows)
        self.assert_use_shortcut_makes_velloway_current(windows)

        # The user adds a script and chooses it.
        (unix / "Mine.vws").write_text(script_text(("HEADER", "12", "2", "MID", "FFFFFF"),
                                                   ("WAIT", "30")))
        choose_script(self.prefix, "Mine.vws")
        self.assertIsNotNone(self.prefix.reg_values(VELLOWAY_KEY))

        self.uninstall(windows)
        self.assertEqual(tree(unix), {"Mine.vws"}, f"files left in {windows}")
        self.assert_no_traces(windows)
        self.assertIsNone(self.prefix.reg_get(DESKTOP_KEY, SCREEN_SAVER_VALUE),
                          "SCRNSAVE.EXE named the removed saver")

    def test_folder_with_blanks_short_name_and_empty_folder_removed(self):
        windows, unix = self.install(r"C:\My Screen Savers\Velloway")
        self.assert_installed(windows, unix)
        self.assertFalse(self.prefix.unix_path(self.local_appdata + r"\Programs\Velloway")
                         .exists(), "nothing in the default folder")
        saver = self.assert_current_saver(windows)
        # The classic short form, as the Display control panel writes it.
        self.assertNotIn(" ", saver)
        self.assert_saver_plays_default_script(saver)

        self.uninstall(windows)
        self.assertFalse(unix.exists(), f"{windows} removed")
        self.assertTrue(unix.parent.is_dir(), "the parent folder is not ours")
        self.assert_no_traces(windows)
        self.assertIsNone(self.prefix.reg_get(DESKTOP_KEY, SCREEN_SAVER_VALUE),
                          "SCRNSAVE.EXE named the removed saver by its short name")

    def test_uninstall_keeps_another_chosen_screen_saver(self):
        windows, unix = self.install()
        self.assert_current_saver(windows)
        other = r"C:\windows\system32\other.scr"
        self.prefix.reg_set(DESKTOP_KEY, SCREEN_SAVER_VALUE, other)

        self.uninstall(windows)
        self.assertFalse(unix.exists(), f"{windows} removed")
        self.assert_no_traces(windows)
        self.assertEqual(self.prefix.reg_get(DESKTOP_KEY, SCREEN_SAVER_VALUE), other)
        self.assertEqual(self.prefix.reg_get(DESKTOP_KEY, SCREEN_SAVE_ACTIVE_VALUE), "1")


if __name__ == "__main__":
    unittest.main()
