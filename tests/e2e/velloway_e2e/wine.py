"""Wine: WinePrefix, a private copy of the project's ready prefix with its own wineserver and
registry; WineProcess, a program started in it; ProgramDir, a folder in its drive C:."""

from __future__ import annotations

import contextlib
import ctypes
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Union

from .display import Desktop
from .processes import (HarnessError, StartedProcess, die_with_parent, memory_kib, owner_alive,
                        owner_tag, register, run, unregister)
from .program import DESKTOP_KEY, DPI_VALUE, REPO
from .registry import read_reg_export, reg_file


_PREFIX_DIR_PREFIX = "velloway-e2e-prefix-"

# Programs run with Wine's errors and the warnings of its seh channel on, which carry what a
# program writes to the debugger (OutputDebugString): on standard error, Wine 8 prints
#   0024:warn:seh:OutputDebugStringA "the text\n"
# and the same text again as a dispatch_exception warning, with the other exceptions raised.
PROGRAM_WINEDEBUG = "-all,err+all,warn+seh"
_DEBUG_OUTPUT = re.compile(r'^\w+:warn:seh:OutputDebugStringA "(.*)"$')
_OTHER_SEH_WARNING = re.compile(r"^\w+:warn:seh:")

# Wine's programs start with the address-space randomisation off (personality ADDR_NO_RANDOMIZE,
# what `setarch -R` sets), as scripts/wine-env explains: randomised, the loader's heap now and then
# lies over the fixed address of Wine's shared user data, and the program dies at start saying so.
_ADDR_NO_RANDOMIZE = 0x0040000
_SHARED_DATA_TAKEN = "failed to map the shared user data"
_SHARED_DATA_TAKEN_WHY = ("(something lay at the fixed address of Wine's shared user data, "
                          "0x7ffe0000: the loader's heap does, now and then, in a program started "
                          "with the address-space randomisation on)")


def _start_wine_program() -> None:
    """preexec_fn of Wine's programs: unrandomised, and ended with the harness."""
    die_with_parent()
    libc = ctypes.CDLL(None, use_errno=True)
    libc.personality(libc.personality(0xFFFFFFFF) | _ADDR_NO_RANDOMIZE)


def randomised(pid: int) -> bool:
    """Whether a process runs with the address-space randomisation on (False once it is gone)."""
    try:
        personality = Path(f"/proc/{pid}/personality").read_text()
    except OSError:
        return False
    return not int(personality, 16) & _ADDR_NO_RANDOMIZE


def _explained(said: str) -> str:
    """What Wine said, with the cause of a start that found the shared user data's place taken."""
    return f"{said} {_SHARED_DATA_TAKEN_WHY}" if _SHARED_DATA_TAKEN in said else said


def _remove_stale_prefixes() -> None:
    """Removes prefix copies left by a harness that was killed (kill -9, a hard timeout): each
    copy is ~700 MB. Only copies whose owner process is gone are touched."""
    for tmp in Path(tempfile.gettempdir()).glob(_PREFIX_DIR_PREFIX + "*"):
        try:
            tag = (tmp / "owner").read_text()
        except OSError:
            # Owner not written yet (being made right now) or unreadable: leave young ones.
            if time.time() - tmp.stat().st_mtime < 600:
                continue
            tag = ""
        if owner_alive(tag):
            continue
        prefix = tmp / "prefix"
        if prefix.is_dir():
            env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all")
            run(["wineserver", "-k"], env=env, timeout=20, check=False)
            server_dir = _server_tmp_dir(prefix)
            if server_dir is not None:
                shutil.rmtree(server_dir, ignore_errors=True)
        shutil.rmtree(tmp, ignore_errors=True)


def _server_tmp_dir(prefix: Path) -> Path | None:
    """The /tmp directory Debian's Wine made for this prefix's server (named in the prefix)."""
    with contextlib.suppress(OSError):
        name = (prefix / "wineserver").read_text().strip()
        if re.fullmatch(r"wine-[A-Za-z0-9]+", name):
            return Path(tempfile.gettempdir()) / name
    return None


class WinePrefix:
    """A private copy of the project's ready Wine prefix, with its own persistent wineserver.
    Use as a context manager; on exit every program in it is stopped and the copy removed."""

    def __init__(self, desktop: Desktop | None = None, source: Union[str, Path, None] = None):
        self.desktop = desktop
        self.source = Path(source or os.environ.get("VELLOWAY_WINEPREFIX")
                           or REPO / "build" / "wine-prefix")
        # Read at each program start: a SoundCapture's configuration records what is played.
        self.alsa_config = REPO / "scripts" / "alsa-null.conf"
        self.tmp: Path | None = None
        self.path: Path | None = None
        self.processes: list[WineProcess] = []

    def __enter__(self) -> "WinePrefix":
        self.start()
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def start(self) -> None:
        if self.path is not None:
            return
        # Makes the project prefix once (it takes a lock, so parallel callers are safe).
        env = dict(os.environ, VELLOWAY_WINEPREFIX=str(self.source))
        env.pop("DISPLAY", None)
        run([str(REPO / "scripts" / "wine-prefix")], env=env, timeout=600)
        _remove_stale_prefixes()
        self.tmp = Path(tempfile.mkdtemp(prefix=_PREFIX_DIR_PREFIX))
        (self.tmp / "owner").write_text(owner_tag())
        register(self, self.close)
        self.path = self.tmp / "prefix"
        run(["cp", "-a", str(self.source), str(self.path)], timeout=120)
        # The copied file names the source's server directory in /tmp; without it this prefix
        # gets a directory of its own, which close() can remove.
        (self.path / "wineserver").unlink(missing_ok=True)
        self.logs = self.tmp / "logs"
        self.logs.mkdir()
        self._start_server()

    @property
    def env(self) -> dict:
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.path), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=",
                   ALSA_CONFIG_PATH=str(self.alsa_config))
        env.pop("WINESERVER", None)
        if self.desktop is not None and self.desktop.display:
            env["DISPLAY"] = self.desktop.display
            env.pop("XAUTHORITY", None)
        else:
            env.pop("DISPLAY", None)
        return env

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def windows_path(self, unix: Union[str, Path]) -> str:
        """C:\\... for a path inside drive_c, else Z:\\... (Wine maps / to Z:)."""
        unix = Path(unix).resolve()
        try:
            rest = unix.relative_to(self.drive_c.resolve())
            return "C:\\" + "\\".join(rest.parts)
        except ValueError:
            return "Z:" + str(unix).replace("/", "\\")

    def unix_path(self, windows: str) -> Path:
        drive, _, rest = windows.partition(":")
        parts = [p for p in re.split(r"[\\/]", rest) if p]
        if drive.upper() == "C":
            return self.drive_c.joinpath(*parts)
        if drive.upper() == "Z":
            return Path("/").joinpath(*parts)
        raise ValueError(f"no mapping for drive {drive}:")

    # -- running things

    def wine(self, *args: str, timeout: float = 30, check: bool = True,
             cwd: Union[str, Path, None] = None,
             winedebug: str = "-all,err+virtual") -> subprocess.CompletedProcess:
        """Runs `wine args...` to completion, with Wine's debug channels as winedebug names (by
        default only the errors of a start that failed to map its memory)."""
        # Files, not pipes: Wine's helper processes (services, explorer) inherit them and
        # outlive the command.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                proc = subprocess.run(["wine", *map(str, args)],
                                      env=dict(self.env, WINEDEBUG=winedebug), cwd=cwd,
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                      timeout=timeout, preexec_fn=_start_wine_program)
            except subprocess.TimeoutExpired as e:
                raise HarnessError(f"wine {args} did not finish within {timeout:g} s") from e
            out.seek(0)
            err.seek(0)
            done = subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())
        if check and done.returncode != 0:
            # Wine's console programs (reg among them) print their errors on stdout.
            said = _explained((done.stdout + done.stderr).decode(errors="replace").strip())
            raise HarnessError(f"wine {list(args)} exited {done.returncode}: {said}")
        return done

    def _reg_write(self, *args: str) -> None:
        """`wine reg args...`, once more when it fails: on rare runs Wine's reg cannot reach
        the registry while the prefix's helper processes shut down, and a second try does."""
        try:
            self.wine("reg", *args)
        except HarnessError as first:
            print(f"\n  retrying after: {first}", file=sys.stderr)
            self.wine("reg", *args)

    def start_program(self, program: Union[str, Path], *args: str,
                      cwd: Union[str, Path, None] = None,
                      stdin_pipe: bool = False) -> "WineProcess":
        """Starts `wine program args...` without waiting; its output goes to files in logs.
        The working directory defaults to system32, where Windows starts screen savers. With
        stdin_pipe the program reads what is written to process.popen.stdin."""
        cwd = Path(cwd) if cwd else self.drive_c / "windows" / "system32"
        n = len(self.processes)
        argv = [str(program), *map(str, args)]
        stdout_path, stderr_path = (self.logs / f"process{n}.{stream}"
                                    for stream in ("stdout", "stderr"))
        env = dict(self.env, WINEDEBUG=PROGRAM_WINEDEBUG)
        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            proc = subprocess.Popen(["wine", *argv], env=env, cwd=cwd,
                                    stdin=subprocess.PIPE if stdin_pipe else subprocess.DEVNULL,
                                    stdout=out, stderr=err, start_new_session=True,
                                    preexec_fn=_start_wine_program)
        process = WineProcess(self, proc, argv, stdout_path, stderr_path)
        self.processes.append(process)
        return process

    def kill_all(self, timeout: float = 20) -> None:
        """Every program in this prefix stopped, and its wineserver too."""
        for process in self.processes:
            process.kill()
        if self.path is not None and self.path.exists():
            run(["wineserver", "-k"], env=self.env, timeout=timeout, check=False)
            run(["wineserver", "-w"], env=self.env, timeout=timeout, check=False)

    def restart_server(self) -> None:
        """After kill_all: a persistent server again, so later starts stay fast."""
        self._start_server()

    def clear_windows(self, caption_re: str, timeout: float = 5) -> None:
        """Waits until no window of the caption is left on the desktop; when one stays, takes the
        whole prefix down (and starts its server again)."""
        try:
            self.desktop.wait_no_window(caption_re, timeout=timeout)
        except HarnessError:
            self.kill_all()
            self.restart_server()
            self.desktop.wait_no_window(caption_re, timeout=timeout)

    def _start_server(self) -> None:
        # Persistent for speed; the 60 s limit ends it by itself should cleanup never run.
        # No pipes: the server forks into the background and would keep them open.
        try:
            subprocess.run(["wineserver", "-p60"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30,
                           check=True)
        except (subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
            raise HarnessError(f"wineserver -p60 failed: {e}") from e

    def close(self) -> None:
        unregister(self)
        if self.path is None:
            return
        try:
            self.kill_all()
        finally:
            server_dir = _server_tmp_dir(self.path)
            shutil.rmtree(self.tmp, ignore_errors=True)
            if server_dir is not None:
                shutil.rmtree(server_dir, ignore_errors=True)
            self.path = None

    # -- the registry

    def reg_import(self, keys: dict) -> None:
        """Writes {key: {name: value}} exactly (any text) through a UTF-16 .reg file.
        Values: str (REG_SZ), int (REG_DWORD), bytes (REG_BINARY), list of str (REG_MULTI_SZ);
        None deletes the value."""
        path = self.logs / f"import-{time.monotonic_ns()}.reg"
        path.write_bytes(reg_file(keys))
        try:
            self._reg_write("import", self.windows_path(path))
        finally:
            path.unlink(missing_ok=True)

    def reg_set(self, key: str, name: str, value) -> None:
        """Sets one value (see reg_import for the types)."""
        self.reg_import({key: {name: value}})

    def reg_add(self, key: str, name: str, data: str, kind: str = "REG_SZ") -> None:
        """`wine reg add` (ASCII text only: Wine's command line does not carry other text
        exactly; use reg_set for that)."""
        self._reg_write("add", key, "/v", name, "/t", kind, "/d", data, "/f")

    def set_dpi(self, dpi: int) -> None:
        """The DPI that programs started from now on see (96, 120, 144, 192 ...; 96 is the
        default)."""
        self.reg_add(DESKTOP_KEY, DPI_VALUE, str(dpi), "REG_DWORD")

    def reg_values(self, key: str) -> dict | None:
        """{name: value} of one key exactly as stored (via `wine reg export`), or None when the
        key does not exist."""
        path = self.logs / f"export-{time.monotonic_ns()}.reg"
        try:
            done = self.wine("reg", "export", key, self.windows_path(path), "/y", check=False)
            if done.returncode != 0 or not path.exists():
                return None
            raw = path.read_bytes()
        finally:
            path.unlink(missing_ok=True)
        return read_reg_export(raw, key)

    def reg_get(self, key: str, name: str, default=None):
        values = self.reg_values(key)
        return default if values is None else values.get(name, default)

    def reg_delete(self, key: str, name: str | None = None) -> None:
        """Deletes one value, or the whole key with its subkeys; missing ones are fine."""
        args = ["reg", "delete", key] + (["/v", name] if name is not None else []) + ["/f"]
        self.wine(*args, check=False)


class WineProcess(StartedProcess):
    """One program started in a WinePrefix. Its PID is the Wine process running the program."""

    def __init__(self, prefix: WinePrefix, popen: subprocess.Popen, argv: list,
                 stdout_path: Path, stderr_path: Path):
        self.prefix = prefix
        super().__init__(popen, argv, stdout_path, stderr_path)

    def memory_kib(self, field: str) -> int:
        """A memory figure of the program from /proc/<pid>/status ("VmRSS", "VmHWM", "RssAnon"),
        in KiB: `wine` execs into the program, so the PID is the program's."""
        return memory_kib(self.pid, field)

    def reported(self) -> str:
        """What the program wrote to the debugger, and Wine's own errors and messages. (The
        prefix's helper processes that this program started write to the same file.)"""
        lines = []
        for line in self.output()[1].splitlines():
            if match := _DEBUG_OUTPUT.match(line):
                # Wine quotes the text as C does, every byte above 127 as \xNN.
                lines.append(match[1].encode("latin-1", "backslashreplace")
                             .decode("unicode_escape").rstrip("\n"))
            elif not _OTHER_SEH_WARNING.match(line):
                lines.append(line)
        return _explained("\n".join(lines).strip())


class ProgramDir:
    """A folder inside the prefix's drive C: (default C:\\Velloway) holding the program and its
    files. Methods return (Windows path, Unix path)."""

    def __init__(self, prefix: WinePrefix, name: str = "Velloway"):
        self.prefix = prefix
        self.unix = prefix.drive_c / name
        # Empty, whatever an earlier use of the prefix left there.
        shutil.rmtree(self.unix, ignore_errors=True)
        self.unix.mkdir(parents=True)
        self.windows = prefix.windows_path(self.unix)

    def windows_path(self, name: str) -> str:
        return self.windows + "\\" + name

    def unix_path(self, name: str) -> Path:
        return self.unix / name

    def install(self, program: Union[str, Path], name: str | None = None) -> tuple:
        program = Path(program)
        target = self.unix / (name or program.name)
        shutil.copy2(program, target)
        return self.windows_path(target.name), target

    def write(self, name: str, content: Union[bytes, str], encoding: str = "utf-8") -> tuple:
        """Writes a file; text is encoded as given ("utf-8-sig", "utf-16" with BOM, "cp932"...)."""
        data = content if isinstance(content, bytes) else content.encode(encoding)
        target = self.unix / name
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        return self.windows_path(name), target

    def remove(self, name: str) -> None:
        (self.unix / name).unlink(missing_ok=True)
