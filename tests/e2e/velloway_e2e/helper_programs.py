"""The tests' helper programs in tests/e2e: preview_host, a host window for "/p" and the tests'
eyes on other programs' windows (HostProgram), and other_program, which acts as other programs
do (ask_other_program)."""

from __future__ import annotations

import contextlib
import re
from pathlib import Path

from .processes import HarnessError, wait_until
from .program import PREVIEW_CAPTION
from .wine import WinePrefix


# bare_window.exe (a benchmark's yardstick): a full-screen window of one colour.
BARE_WINDOW_CAPTION_RE = r"^Bare window$"


def parse_rect(text: str) -> tuple:
    """(left, top, width, height) from "l,t,w,h"."""
    return tuple(int(v) for v in text.split(","))


class Record:
    """One answer line of the host program: its kind (CHILD, WINDOW, ITEM ...) and fields."""

    def __init__(self, line: str):
        self.line = line
        kind, _, rest = line.partition(" ")
        self.kind = kind
        self.fields: dict[str, str] = {}
        # "title=" and "text=" run to the end of the line.
        tail = re.search(r"(?:^| )(title|text)=", rest)
        if tail:
            self.fields[tail.group(1)] = rest[tail.end():]
            rest = rest[:tail.start()]
        for item in rest.split():
            key, _, value = item.partition("=")
            self.fields[key] = value

    def __getitem__(self, key: str) -> str:
        return self.fields[key]

    def get(self, key: str, default=None):
        return self.fields.get(key, default)

    def number(self, key: str) -> int:
        return int(self.fields[key])

    def rect(self, key: str = "rect") -> tuple:
        return parse_rect(self.fields[key])

    def __repr__(self) -> str:
        return f"Record({self.line!r})"


def list_entries(records: list[Record]) -> tuple:
    """(the entries, the selected entries) of the list in a window's records, as texts."""
    items = [r for r in records if r.kind == "ITEM"]
    return [r["text"] for r in items], [r["text"] for r in items if r["selected"] == "1"]


class HostProgram:
    """preview_host.exe running in a prefix: a host window for "/p", and the tests' eyes on other
    programs' windows. Commands go to its stdin; answers are read from its output file."""

    def __init__(self, prefix: WinePrefix, program: Path, lifetime: int = 120,
                 timeout: float = 20):
        self.process = prefix.start_program(program, str(lifetime), cwd=prefix.drive_c,
                                            stdin_pipe=True)
        self._read = 0
        first = self._lines_until(lambda line: line.startswith(("HOST", "ERROR")), timeout)[-1]
        if not first.startswith("HOST"):
            raise HarnessError(f"preview_host failed: {first}")
        host = Record(first)
        self.hwnd = host.number("hwnd")
        self.pid = host.number("pid")
        self.client = host.rect("client")
        self.desktop = host.number("desktop")

    def _lines_until(self, last, timeout: float) -> list[str]:
        """Output lines from where the last read stopped up to the first for which last(line)
        holds."""
        lines: list[str] = []

        def more():
            data = self.process.stdout_path.read_bytes()
            while True:
                end = data.find(b"\n", self._read)
                if end < 0:
                    break
                line = data[self._read:end].decode("utf-8", errors="replace").rstrip("\r")
                self._read = end + 1
                lines.append(line)
                if last(line):
                    return True
            if not self.process.is_running():
                raise HarnessError(f"preview_host ended (status {self.process.returncode}); "
                                   f"output so far {lines}")
            return False
        wait_until(more, timeout, what="preview_host's answer")
        return lines

    def ask(self, command: str, timeout: float = 10) -> list[Record]:
        """Sends one command and returns its answer's records (without the closing END)."""
        self.process.popen.stdin.write((command + "\n").encode("utf-8"))
        self.process.popen.stdin.flush()
        lines = self._lines_until(lambda line: line == "END", timeout)
        records = [Record(line) for line in lines[:-1]]
        errors = [r.line for r in records if r.kind == "ERROR"]
        if errors:
            raise HarnessError(f"preview_host: {errors}")
        return records

    def children(self) -> list[Record]:
        return [r for r in self.ask("children") if r.kind == "CHILD"]

    def preview_child(self) -> Record | None:
        for child in self.children():
            if child.get("title") == PREVIEW_CAPTION:
                return child
        return None

    def window(self, caption: str) -> list[Record]:
        """The WINDOW record of a top-level window and the records of what it holds; [] when no
        such window exists."""
        records = self.ask("window " + caption)
        return [] if records and records[0].number("hwnd") == 0 else records

    def is_window(self, handle: int) -> bool:
        return self.ask(f"iswindow {handle}")[0]["result"] == "1"

    def destroy_window(self) -> None:
        self.ask("destroy")

    def is_running(self) -> bool:
        return self.process.is_running()

    def kill(self) -> None:
        self.process.kill()

    def close(self) -> None:
        if self.process.is_running():
            try:
                self.process.popen.stdin.write(b"quit\n")
                self.process.popen.stdin.flush()
                self.process.wait_exit(5)
            except (OSError, HarnessError):
                pass
        self.process.kill()
        with contextlib.suppress(OSError):  # the pipe of a killed host is broken
            self.process.popen.stdin.close()


def ask_other_program(prefix: WinePrefix, program: Path, *request: str) -> list[str]:
    """Runs other_program.exe with one request; its answer lines."""
    done = prefix.wine(str(program), *request, check=False)
    lines = done.stdout.decode(errors="replace").splitlines()
    if done.returncode != 0 or not lines:
        raise HarnessError(f"other_program {list(request)} exited {done.returncode}: {lines}")
    return lines
