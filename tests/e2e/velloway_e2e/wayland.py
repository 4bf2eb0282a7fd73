"""The Linux program in a Wayland session: WaylandTestCase (a compositor shared by a class's
tests, the program started as the session's user) and VirtualPointer, a pointer of the test's
own in a wlroots compositor."""

from __future__ import annotations

import contextlib
import socket
import struct
import tempfile
import time
import unittest
from pathlib import Path

from .compositors import Compositor, Sway
from .native import NativeProcess
from .processes import HarnessError
from .program import NATIVE_ENV, SCRIPT_OPTION, script_text
from .testcase import artifacts_dir, program_from_env
from .wayland_trace import TRACE_ENV, Message, read_trace


class VirtualPointer:
    """A pointer device of the test's own in a wlroots compositor (zwlr_virtual_pointer_v1,
    spoken on the socket directly): while it is open the seat has a pointer, which moves and
    presses its buttons as told. Headless sway has no pointer of its own to tell clients of."""

    _MANAGER = "zwlr_virtual_pointer_manager_v1"
    # Object ids: the display, then those this client makes, in turn.
    _DISPLAY, _REGISTRY, _SYNC, _MANAGER_ID, _POINTER = 1, 2, 3, 4, 5
    # Button codes (linux/input-event-codes.h) by their number in X11 and swaymsg.
    BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}

    def __init__(self, compositor: Compositor):
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.settimeout(10)
        self._socket.connect(str(compositor.runtime / compositor.socket))
        self._buffer = b""
        self._send(self._DISPLAY, 1, self._uint(self._REGISTRY))  # get_registry
        self._send(self._DISPLAY, 0, self._uint(self._SYNC))  # sync
        manager = None
        for object_id, opcode, body in self._events_until_sync():
            if object_id == self._REGISTRY and opcode == 0:  # global
                name = struct.unpack_from("<I", body)[0]
                interface, rest = self._string(body[4:])
                if interface == self._MANAGER:
                    manager = (name, struct.unpack_from("<I", rest)[0])
        if manager is None:
            raise HarnessError(f"the compositor offers no {self._MANAGER}")
        name, version = manager
        self._send(self._REGISTRY, 0, self._uint(name) + self._text(self._MANAGER) +
                   self._uint(min(version, 1)) + self._uint(self._MANAGER_ID))  # bind
        # create_virtual_pointer(seat: the default, id)
        self._send(self._MANAGER_ID, 0, self._uint(0) + self._uint(self._POINTER))

    def close(self) -> None:
        with contextlib.suppress(OSError):
            self._send(self._POINTER, 8, b"")  # destroy
        self._socket.close()

    def __enter__(self) -> "VirtualPointer":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def move(self, dx: float, dy: float) -> None:
        self._send(self._POINTER, 0, self._uint(self._now()) + self._fixed(dx) + self._fixed(dy))
        self._frame()

    def move_to(self, x: int, y: int, extent: tuple[int, int]) -> None:
        """To (x, y) of the compositor's layout of outputs, extent its size."""
        self._send(self._POINTER, 1, self._uint(self._now()) + self._uint(x) + self._uint(y) +
                   self._uint(extent[0]) + self._uint(extent[1]))
        self._frame()

    def press(self, button: int = 1) -> None:
        self._button(button, 1)

    def release(self, button: int = 1) -> None:
        self._button(button, 0)

    def click(self, button: int = 1) -> None:
        self.press(button)
        self.release(button)

    def _button(self, button: int, state: int) -> None:
        self._send(self._POINTER, 2, self._uint(self._now()) + self._uint(self.BUTTONS[button]) +
                   self._uint(state))
        self._frame()

    def _frame(self) -> None:
        self._send(self._POINTER, 4, b"")

    @staticmethod
    def _now() -> int:
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    @staticmethod
    def _uint(value: int) -> bytes:
        return struct.pack("<I", value)

    @staticmethod
    def _fixed(value: float) -> bytes:
        return struct.pack("<i", round(value * 256))

    @staticmethod
    def _text(value: str) -> bytes:
        data = value.encode() + b"\0"
        return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)

    @staticmethod
    def _string(body: bytes) -> tuple[str, bytes]:
        length = struct.unpack_from("<I", body)[0]
        padded = length + (-length % 4)
        return body[4:4 + length - 1].decode(), body[4 + padded:]

    def _send(self, object_id: int, opcode: int, body: bytes) -> None:
        self._socket.sendall(struct.pack("<II", object_id, (8 + len(body)) << 16 | opcode) + body)

    def _events_until_sync(self):
        while True:
            while len(self._buffer) < 8:
                self._receive()
            object_id, size_opcode = struct.unpack_from("<II", self._buffer)
            size = size_opcode >> 16
            while len(self._buffer) < size:
                self._receive()
            body, self._buffer = self._buffer[8:size], self._buffer[size:]
            if object_id == self._SYNC:  # done: every global was told
                return
            yield object_id, size_opcode & 0xFFFF, body

    def _receive(self) -> None:
        chunk = self._socket.recv(65536)
        if not chunk:
            raise HarnessError("the compositor closed the virtual pointer's connection")
        self._buffer += chunk


class WaylandTestCase(unittest.TestCase):
    """The Linux program in a session of COMPOSITOR, shared by a class's tests: the program
    started by start() as the session's user, on scripts in a folder it reads, and stopped after
    the test. Skips when VELLOWAY_NATIVE is not set."""

    COMPOSITOR = Sway
    compositor: Compositor
    program: Path
    folder: Path

    @classmethod
    def setUpClass(cls) -> None:
        cls.program = program_from_env(NATIVE_ENV)
        cls.class_resources = contextlib.ExitStack()
        cls.addClassCleanup(cls.class_resources.close)
        cls.folder = Path(cls.class_resources.enter_context(
            tempfile.TemporaryDirectory(prefix="velloway-wayland-scripts-")))
        cls.folder.chmod(0o755)
        cls.compositor = cls.class_resources.enter_context(cls.COMPOSITOR())

    def setUp(self) -> None:
        self._started = 0

    def start(self, *args: str, trace: bool = False) -> NativeProcess:
        self._started += 1
        process = self.compositor.client(
            [self.program, *args], artifacts_dir() / f"{self.id()}-{self._started}-logs",
            TRACE_ENV if trace else None)
        self.addCleanup(process.kill)
        return process

    def start_playing(self, records, *options: str, trace: bool = False) -> NativeProcess:
        """The program full screen on a script of records."""
        script = self.folder / f"{self.id()}-{self._started}.vws"
        script.write_text(script_text(*records), encoding="utf-8")
        script.chmod(0o644)
        return self.start(SCRIPT_OPTION, str(script), *options, trace=trace)

    def trace(self, process: NativeProcess) -> list[Message]:
        return read_trace(process.output()[1])

    def wait_exit(self, process: NativeProcess, timeout: float, what: str) -> int:
        try:
            return process.wait_exit(timeout)
        except HarnessError:
            self.fail(f"still running {timeout:g} s after {what}")

    def assert_ends(self, process: NativeProcess, what: str, within: float = 3) -> None:
        """Ends in order, status 0, within seconds after what happened."""
        self.assertEqual(self.wait_exit(process, within, what), 0,
                         f"exit status after {what}: {process.reported()}")
