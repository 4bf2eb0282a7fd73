"""Processes the harness starts: stopped by PID, by an exit-time hook when a cleanup was skipped,
and by the kernel when the harness itself is killed; what /proc tells of them; waits with a
timeout."""

from __future__ import annotations

import atexit
import contextlib
import ctypes
import os
import signal
import subprocess
import time
from pathlib import Path
from typing import Callable, Sequence


class HarnessError(RuntimeError):
    """Something the harness needed did not happen in time (or at all)."""


# ---------------------------------------------------------------------------------------------
# Cleanup of whatever is still alive when the interpreter exits.

_live: dict[int, Callable[[], None]] = {}


def register(obj, stop: Callable[[], None]) -> None:
    """stop() runs at exit unless obj is unregistered first."""
    _live[id(obj)] = stop


def unregister(obj) -> None:
    _live.pop(id(obj), None)


@atexit.register
def _stop_all_live() -> None:
    # Newest first: programs before their prefix, prefixes before their display.
    for key in reversed(list(_live)):
        stop = _live.pop(key, None)
        if stop is None:
            continue
        with contextlib.suppress(Exception):
            stop()


def _interrupt_on_sigterm(signum, frame):
    # KeyboardInterrupt, unlike SystemExit, is not swallowed by unittest: the run stops and the
    # atexit hook stops what is still alive.
    raise KeyboardInterrupt(f"signal {signum}")


if signal.getsignal(signal.SIGTERM) in (signal.SIG_DFL, None):
    signal.signal(signal.SIGTERM, _interrupt_on_sigterm)


def die_with_parent() -> None:
    """preexec_fn: the child gets SIGKILL if the harness dies without cleaning up (kill -9)."""
    with contextlib.suppress(Exception):
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, int(signal.SIGKILL))  # PR_SET_PDEATHSIG


def stop_process(proc: subprocess.Popen, sig: int = signal.SIGKILL, timeout: float = 5) -> None:
    """Stops one process we started, by its PID (and its own process group when it has one);
    SIGKILL when sig has not ended it within timeout."""
    if proc.poll() is not None:
        return
    group = False
    with contextlib.suppress(ProcessLookupError, PermissionError):
        group = os.getpgid(proc.pid) == proc.pid
        if group:
            os.killpg(proc.pid, sig)
        else:
            os.kill(proc.pid, sig)
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        with contextlib.suppress(ProcessLookupError):
            os.kill(proc.pid, signal.SIGKILL)
        proc.wait(timeout)
    if group:
        _wait_group_gone(proc.pid, timeout)


def _wait_group_gone(pgid: int, timeout: float) -> None:
    """Waits until no process of the group is left running (a zombie waiting to be reaped has
    ended). Under Wine the group holds the desktop process a program started: the next program
    must not start while that one is still going, or Wine may hand it no desktop and refuse its
    windows."""
    try:
        wait_until(lambda: not _running_in_group(pgid), timeout, interval=0.01)
    except HarnessError:
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(pgid, signal.SIGKILL)


def _running_in_group(pgid: int) -> bool:
    for stat in Path("/proc").glob("[0-9]*/stat"):
        with contextlib.suppress(OSError, ValueError, IndexError):
            # The command may hold blanks and parentheses: the fields follow its last ')'.
            fields = stat.read_text().rsplit(")", 1)[1].split()
            if int(fields[2]) == pgid and fields[0] != "Z":
                return True
    return False


# ---------------------------------------------------------------------------------------------
# /proc

class StartedProcess:
    """A program this harness started: popen, its argv, and its output in two files. Registered
    for the exit-time cleanup until it is stopped or has ended."""

    def __init__(self, popen: subprocess.Popen, argv: list, stdout_path: Path,
                 stderr_path: Path):
        self.popen, self.argv = popen, argv
        self.stdout_path, self.stderr_path = stdout_path, stderr_path
        register(self, self.kill)

    @property
    def pid(self) -> int:
        return self.popen.pid

    @property
    def returncode(self) -> int | None:
        return self.popen.poll()

    def is_running(self) -> bool:
        return self.popen.poll() is None

    def wait_exit(self, timeout: float = 10) -> int:
        """The exit status; HarnessError when the program is still running after timeout."""
        try:
            code = self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{self.argv[0]} still running after {timeout:g} s") from None
        unregister(self)
        return code

    def kill(self) -> None:
        """Stops the program by its PID (and its process group)."""
        stop_process(self.popen)
        unregister(self)

    def output(self) -> tuple:
        """(stdout, stderr) so far, as text."""
        return (self.stdout_path.read_text(errors="replace"),
                self.stderr_path.read_text(errors="replace"))

    def reported(self) -> str:
        """What the program said of its failures: its standard error."""
        return self.output()[1].strip()

    def ending(self) -> str:
        """How an ended program ended, for a failure message: its status and what it said."""
        return f"exit status {self.returncode}, it said: {self.reported() or '(nothing)'}"


def proc_stat(pid: int) -> list[str] | None:
    """The fields of /proc/<pid>/stat after the command name ([0] is field 3, the state), or
    None when the process is gone."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    return stat.rsplit(")", 1)[1].split()


def process_start_time(pid: int) -> str | None:
    """The start time of a live process (tells a reused PID apart), or None."""
    fields = proc_stat(pid)
    return None if fields is None else fields[19]  # field 22: starttime


def owner_tag() -> str:
    """This process, told apart from a later one with the same PID."""
    return f"{os.getpid()} {process_start_time(os.getpid())}"


def owner_alive(tag: str) -> bool:
    pid, _, start = tag.partition(" ")
    return pid.isdigit() and process_start_time(int(pid)) == start


def _processes_whose(name: str, holds: Callable[[bytes], bool]) -> list[int]:
    """PIDs of our processes whose /proc/<pid>/<name> holds what holds() looks for."""
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            with contextlib.suppress(OSError):
                if holds((entry / name).read_bytes()):
                    found.append(int(entry.name))
    return found


def processes_with_env(name: str, value: str) -> list[int]:
    """PIDs of our processes whose environment holds name=value."""
    needle = f"{name}={value}".encode()
    return _processes_whose("environ", lambda environ: needle in environ.split(b"\0"))


def processes_with_command(needle: str) -> list[int]:
    """PIDs of processes whose command line holds needle."""
    return _processes_whose("cmdline", lambda cmdline: needle.encode() in cmdline)


def memory_kib(pid: int, field: str) -> int:
    """A memory figure from /proc/<pid>/status ("VmRSS", "VmHWM", "RssAnon"), in KiB."""
    with open(f"/proc/{pid}/status") as status:
        for entry in status:
            if entry.startswith(field + ":"):
                return int(entry.split()[1])
    raise HarnessError(f"no {field} in /proc/{pid}/status")


def bytes_read(pid: int) -> int:
    """What the process has read so far, from files and pipes alike; 0 once it is gone."""
    with contextlib.suppress(OSError), open(f"/proc/{pid}/io") as io:
        for entry in io:
            if entry.startswith("rchar:"):
                return int(entry.split()[1])
    return 0


def holds_open(pid: int, path: Path) -> bool:
    """Whether the process has the file at path open."""
    target = str(path.resolve())
    with contextlib.suppress(OSError):
        for fd in Path(f"/proc/{pid}/fd").iterdir():
            with contextlib.suppress(OSError):
                if os.readlink(fd) == target:
                    return True
    return False


# ---------------------------------------------------------------------------------------------
# Waiting and running

def wait_until(predicate: Callable[[], object], timeout: float, interval: float = 0.05,
               what: str = "condition"):
    """Polls predicate until it returns a true value, which is returned; HarnessError on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def run(argv: Sequence[str], env=None, timeout: float = 30,
        check: bool = True) -> subprocess.CompletedProcess:
    """Runs a command to completion, its output captured; HarnessError on a timeout, and on a
    failure when check is set."""
    try:
        done = subprocess.run(list(argv), env=env, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired as e:
        raise HarnessError(f"{argv[0]} did not finish within {timeout:g} s: {argv}") from e
    if check and done.returncode != 0:
        raise HarnessError(f"{list(argv)} exited {done.returncode}: "
                           f"{done.stderr.decode(errors='replace').strip()}")
    return done
