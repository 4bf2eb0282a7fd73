"""Wayland compositors the Linux program plays on, each run as an ordinary user (sway refuses
root: as root, a system user of the tests' own) with an XDG_RUNTIME_DIR of its own: Sway
(headless sway with its outputs, read back with grim, keys typed with wtype, and a pointer of the
test's own) and Mutter (GNOME's compositor, headless, in a D-Bus session of its
own); and the trace libwayland writes of a client's requests and events (WAYLAND_DEBUG)."""

from __future__ import annotations

import contextlib
import os
import unittest
import pwd
import re
import shutil
import socket
import struct
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Sequence

from .images import ColourLike, Image, colour_close
from .native import NativeProcess
from .processes import (HarnessError, StartedProcess, register, run, stop_process, unregister,
                        wait_until)
from .program import NATIVE_ENV, SCRIPT_OPTION, script_text
from .testcase import FILL_TOLERANCE, artifacts_dir, program_from_env

SESSION_USER = "velloway-e2e"


def session_user() -> pwd.struct_passwd:
    """The user the compositors and the program run as: this one, or as root a system user of
    the tests' own, made once."""
    if os.geteuid() != 0:
        return pwd.getpwuid(os.geteuid())
    try:
        return pwd.getpwnam(SESSION_USER)
    except KeyError:
        run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
             SESSION_USER])
        return pwd.getpwnam(SESSION_USER)


class Compositor:
    """A compositor as the session user, in a runtime folder of its own (mode 700, the user's);
    clients started with client() run as that user with its WAYLAND_DISPLAY. Use as a context
    manager."""

    START_TIMEOUT = 20

    def __init__(self):
        self.user = session_user()
        self.runtime: Path | None = None
        self.process: StartedProcess | None = None
        self.socket: str | None = None

    def __enter__(self) -> "Compositor":
        self.start()
        return self

    def __exit__(self, *exc) -> None:
        self.stop()

    def _argv(self) -> list[str]:
        raise NotImplementedError

    def _own_env(self) -> dict:
        """What the compositor needs in its environment beyond the session's."""
        return {}

    def start(self) -> None:
        self.runtime = Path(tempfile.mkdtemp(prefix="velloway-wayland-"))
        os.chown(self.runtime, self.user.pw_uid, self.user.pw_gid)
        self.runtime.chmod(0o700)
        register(self, self.stop)
        logs = artifacts_dir() / f"{type(self).__name__.lower()}-{self.runtime.name}"
        self.process = NativeProcess(self._argv(), self.session_env() | self._own_env(), logs,
                                     user=self.user)
        try:
            self.socket = wait_until(self._socket, self.START_TIMEOUT, interval=0.1,
                                     what=f"{type(self).__name__}'s Wayland socket")
        except HarnessError:
            self.stop()
            raise

    def _socket(self) -> str | None:
        if not self.process.is_running():
            raise HarnessError(f"{self.process.argv[0]} ended: {self.process.ending()}")
        sockets = sorted(p.name for p in self.runtime.glob("*") if p.is_socket()
                         and not p.name.endswith(".sock"))
        return sockets[0] if sockets else None

    def stop(self) -> None:
        unregister(self)
        if self.process is not None:
            self.process.kill()
            self.process = None
        if self.runtime is not None:
            shutil.rmtree(self.runtime, ignore_errors=True)
            self.runtime = None

    def session_env(self) -> dict:
        """The environment of a program of the session: no X display, the runtime folder."""
        env = {key: value for key, value in os.environ.items()
               if key not in ("DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW")}
        env |= {"XDG_RUNTIME_DIR": str(self.runtime), "HOME": str(self.runtime),
                "USER": self.user.pw_name, "LOGNAME": self.user.pw_name}
        if self.socket:
            env["WAYLAND_DISPLAY"] = self.socket
        return env

    def client(self, argv: Sequence[str], logs: Path, env: dict | None = None) -> NativeProcess:
        """A program of the session, started as its user."""
        return NativeProcess(argv, self.session_env() | (env or {}), logs, user=self.user)

    def run(self, *argv: str, timeout: float = 10, check: bool = True):
        """A command of the session run to its end, as its user."""
        command = [*self._as_user(), *argv] if os.geteuid() == 0 else list(argv)
        return run(command, env=self.session_env(), timeout=timeout, check=check)

    def _as_user(self) -> list[str]:
        return ["setpriv", f"--reuid={self.user.pw_uid}", f"--regid={self.user.pw_gid}",
                "--clear-groups", "--"]

    def crash(self) -> None:
        """Ends the compositor at once, as a crash would."""
        stop_process(self.process.popen)


class Sway(Compositor):
    """Headless sway (wlroots' headless backend, software rendering, no input devices) with
    OUTPUTS outputs HEADLESS-1, HEADLESS-2, ... of 1280x720, side by side."""

    OUTPUT_SIZE = (1280, 720)

    def __init__(self, outputs: int = 2):
        super().__init__()
        self.outputs = outputs

    def _argv(self) -> list[str]:
        return ["sway", "-c", "/dev/null"]

    def _own_env(self) -> dict:
        return {"WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman",
                "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_HEADLESS_OUTPUTS": str(self.outputs)}

    def session_env(self) -> dict:
        env = super().session_env()
        if self.runtime is not None:
            found = sorted(self.runtime.glob("sway-ipc.*.sock"))
            if found:
                env["SWAYSOCK"] = str(found[0])
        return env

    def start(self) -> None:
        super().start()
        # Its IPC socket follows the Wayland one.
        wait_until(lambda: "SWAYSOCK" in self.session_env(), self.START_TIMEOUT,
                   what="sway's IPC socket")

    def swaymsg(self, *args: str) -> str:
        return self.run("swaymsg", *args).stdout.decode(errors="replace")

    def capture(self, output: str | None = None) -> Image:
        """What an output shows, in its own pixels; without one, all of them side by side."""
        done = self.run("grim", "-t", "ppm", *(("-o", output) if output else ()), "-", timeout=20)
        return read_ppm(done.stdout)

    def key(self, *key: str) -> None:
        """A key as wtype takes it ("a", or "-k", "Shift_L"), through a keyboard of wtype's own,
        which clients are given a second to take up before the key comes: headless sway has no
        keyboard of its own."""
        self.run("wtype", "-s", "1000", *key)

    def set_scale(self, output: str, scale: float) -> None:
        self.swaymsg("output", output, "scale", f"{scale:g}")

    def wait_output(self, output: str | None, accept, timeout: float = 10,
                    what: str = "the output"):
        """The output's picture (all of them without one) once accept(picture) holds."""
        last = []

        def probe():
            last[:] = [self.capture(output)]
            return last[0] if accept(last[0]) else None
        try:
            return wait_until(probe, timeout, interval=0.1, what=what)
        except HarnessError:
            if last:
                name = f"{output or 'outputs'}-{what.replace(' ', '-')}.png"
                last[0].save_png(artifacts_dir() / name)
            raise

    def wait_covered(self, output: str, background: ColourLike, timeout: float = 10) -> Image:
        """The output's picture once its corners show background."""
        def covered(image: Image) -> bool:
            corners = [(4, 4), (image.width - 5, 4), (4, image.height - 5),
                       (image.width - 5, image.height - 5)]
            return all(colour_close(image.pixel(x, y), background, FILL_TOLERANCE)
                       for x, y in corners)
        return self.wait_output(output, covered, timeout, f"{output} in {background}")


class Mutter(Compositor):
    """GNOME's compositor, headless, with one virtual monitor of SIZE, in a D-Bus session of its
    own."""

    SIZE = (1280, 720)
    DISPLAY_NAME = "velloway-mutter"

    def _argv(self) -> list[str]:
        width, height = self.SIZE
        return ["dbus-run-session", "--", "mutter", "--wayland", "--headless", "--no-x11",
                "--virtual-monitor", f"{width}x{height}",
                f"--wayland-display={self.DISPLAY_NAME}"]

    def _socket(self) -> str | None:
        if not self.process.is_running():
            raise HarnessError(f"mutter ended: {self.process.ending()}")
        return self.DISPLAY_NAME if (self.runtime / self.DISPLAY_NAME).is_socket() else None


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


def read_ppm(data: bytes) -> Image:
    """A binary PPM (P6, 8 bits) as an Image."""
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise HarnessError(f"not an 8-bit binary PPM: {fields}")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + width * height * 3]
    return Image(width, height, pixels)


# ---------------------------------------------------------------------------------------------
# libwayland's trace of a client (WAYLAND_DEBUG=client): each request it sent ("->") and event it
# read, with the client's time in milliseconds.

_TRACE_LINE = re.compile(r"^\[\s*(\d+\.\d+)\]\s+(-> )?\s*(\w+)@(\d+)\.(\w+)\((.*)\)\s*$")


@dataclass(frozen=True)
class Message:
    time_ms: float
    sent: bool  # a request; else an event
    interface: str
    object_id: int
    name: str
    args: str

    @property
    def target(self) -> str:
        return f"{self.interface}@{self.object_id}"

    def numbers(self) -> list[int]:
        return [int(value) for value in re.findall(r"-?\d+", self.args)]


# libwayland prints the time in microseconds of 32 bits, which start again every 71 minutes.
_TRACE_WRAP_MS = 2 ** 32 / 1000


def read_trace(text: str) -> list[Message]:
    messages, wrapped, last = [], 0.0, None
    for line in text.splitlines():
        match = _TRACE_LINE.match(line)
        if match:
            time_ms, sent, interface, object_id, name, args = match.groups()
            at = float(time_ms)
            if last is not None and at < last - _TRACE_WRAP_MS / 2:
                wrapped += _TRACE_WRAP_MS
            last = at
            messages.append(Message(at + wrapped, sent is not None, interface, int(object_id),
                                    name, args))
    return messages


TRACE_ENV = {"WAYLAND_DEBUG": "client"}


def surface_on(messages: list[Message], output: str) -> str:
    """The surface the client gave a role on the output of that name (a layer surface, or a
    fullscreen toplevel), as "wl_surface@N"."""
    outputs = {m.target for m in messages if m.interface == "wl_output" and m.name == "name"
               and m.args == f'"{output}"'}
    surfaces = {}  # xdg_toplevel -> wl_surface, through their xdg_surface
    for m in messages:
        if m.sent and m.name == "get_layer_surface":
            surface, on = re.findall(r"(wl_surface@\d+|wl_output@\d+)", m.args)[:2]
            if on in outputs:
                return surface
        elif m.sent and m.name == "get_xdg_surface":
            surfaces[re.search(r"xdg_surface@\d+", m.args).group()] = re.search(
                r"wl_surface@\d+", m.args).group()
        elif m.sent and m.name == "get_toplevel":
            surfaces[re.search(r"xdg_toplevel@\d+", m.args).group()] = surfaces[m.target]
        elif m.sent and m.name == "set_fullscreen" and m.args in outputs:
            return surfaces[m.target]
    raise HarnessError(f"no surface of the client's on {output}")


def damage(messages: list[Message], surface: str) -> list[tuple[float, tuple]]:
    """[(time in ms, (x, y, width, height))] of each area of the surface's buffer the client
    told the compositor it changed."""
    return [(m.time_ms, tuple(m.numbers())) for m in messages
            if m.sent and m.target == surface and m.name == "damage_buffer"]


def buffer_sizes(messages: list[Message], surface: str) -> set[tuple[int, int]]:
    """The sizes in pixels of the shared-memory buffers the client attached to the surface."""
    sizes = {}
    for m in messages:
        if m.sent and m.name == "create_buffer":
            buffer, _, width, height, *_ = m.args.split(", ")
            sizes[buffer.removeprefix("new id ")] = (int(width), int(height))
    return {sizes[m.args.split(",")[0]] for m in messages
            if m.sent and m.target == surface and m.name == "attach" and m.args.split(",")[0]
            in sizes}


def frames(messages: list[Message], surface: str) -> list[tuple[float, list[tuple]]]:
    """For each frame the compositor told the client of (wl_surface.frame's callback done, on
    surface): when, and the areas the client's next commit of the surface damaged (none: it
    showed the same frame again)."""
    callbacks = {re.search(r"wl_callback@\d+", m.args).group() for m in messages
                 if m.sent and m.target == surface and m.name == "frame"}
    shown, pending = [], None
    for m in messages:
        if not m.sent and m.target in callbacks and m.name == "done":
            if pending is not None:
                shown.append(pending)
            pending = (m.time_ms, [])
        elif pending is not None and m.sent and m.target == surface:
            if m.name == "damage_buffer":
                pending[1].append(tuple(m.numbers()))
            elif m.name == "commit":
                shown.append(pending)
                pending = None
    return shown


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
