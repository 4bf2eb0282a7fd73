"""Wayland compositors without a GPU or a seat, each run as an ordinary user (sway refuses root:
as root, the test user) with an XDG_RUNTIME_DIR of its own: Sway (headless sway with its
outputs, read back with grim, keys typed with wtype; org_kde_kwin_idle and idle inhibitors) and
Mutter (GNOME's compositor, headless, on a session bus of its own for its D-Bus idle monitor).
`env` is what a client of the session needs; use them as context managers."""

from __future__ import annotations

import os
import shutil
import subprocess
import tempfile
from pathlib import Path
from typing import Sequence

from .images import ColourLike, Image, colour_close, read_ppm
from .native import NativeProcess, test_user
from .processes import HarnessError, register, run, stop_process, unregister, wait_until
from .testcase import FILL_TOLERANCE, artifacts_dir


class Compositor:
    """A compositor as the session user, in a runtime folder of its own (mode 700, the user's);
    clients started with client() run as that user with its WAYLAND_DISPLAY."""

    START_TIMEOUT = 20

    def __init__(self):
        self.as_user, self.user = test_user()
        self.runtime: Path | None = None
        self.processes: list[NativeProcess] = []
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
        try:
            self._start_session()
            self.process = self._start_process(self._argv(), self.session_env() | self._own_env())
            self.socket = wait_until(self._socket, self.START_TIMEOUT, interval=0.1,
                                     what=f"{type(self).__name__}'s Wayland socket")
        except BaseException:
            self.stop()
            raise

    def _start_session(self) -> None:
        """What the session has before its compositor."""

    def _start_process(self, argv: Sequence[str], env: dict) -> NativeProcess:
        logs = artifacts_dir() / f"{type(self).__name__.lower()}-{self.runtime.name}"
        process = NativeProcess(argv, env, logs / str(len(self.processes)), user=self.user)
        self.processes.append(process)
        return process

    def _socket(self) -> str | None:
        if not self.process.is_running():
            raise HarnessError(f"{self.process.argv[0]} ended: {self.process.ending()}")
        sockets = sorted(p.name for p in self.runtime.glob("*") if p.is_socket()
                         and not p.name.endswith(".sock"))
        return sockets[0] if sockets else None

    def stop(self) -> None:
        """Stops its processes, newest first, and removes its runtime folder."""
        unregister(self)
        for process in reversed(self.processes):
            process.kill()
        self.processes.clear()
        if self.runtime is not None:
            shutil.rmtree(self.runtime, ignore_errors=True)
            self.runtime = None

    @property
    def env(self) -> dict:
        """What a client needs to reach the session."""
        env = {"XDG_RUNTIME_DIR": str(self.runtime)}
        if self.socket:
            env["WAYLAND_DISPLAY"] = self.socket
        return env

    def session_env(self) -> dict:
        """The environment of a program of the session: no X display, the runtime folder."""
        env = {key: value for key, value in os.environ.items()
               if key not in ("DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW",
                              "DBUS_SESSION_BUS_ADDRESS")}
        return env | {"HOME": str(self.runtime), "USER": self.user.pw_name,
                      "LOGNAME": self.user.pw_name} | self.env

    def client(self, argv: Sequence[str], logs: Path, env: dict | None = None) -> NativeProcess:
        """A program of the session, started as its user."""
        return NativeProcess(argv, self.session_env() | (env or {}), logs, user=self.user)

    def run(self, *argv: str, timeout: float = 10, check: bool = True):
        """A command of the session run to its end, as its user."""
        return run([*self.as_user, *argv], env=self.session_env(), timeout=timeout, check=check)

    def crash(self) -> None:
        """Ends the compositor at once, as a crash or the session's end would."""
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

    @property
    def env(self) -> dict:
        env = super().env
        found = sorted(self.runtime.glob("sway-ipc.*.sock")) if self.runtime else []
        if found:
            env["SWAYSOCK"] = str(found[0])
        return env

    def start(self) -> None:
        super().start()
        # Its IPC socket follows the Wayland one.
        wait_until(lambda: "SWAYSOCK" in self.env, self.START_TIMEOUT, what="sway's IPC socket")

    def swaymsg(self, *args: str) -> str:
        return self.run("swaymsg", *args).stdout.decode(errors="replace")

    def activity(self) -> None:
        """What a user's hand does: a pointer move."""
        self.swaymsg("seat", "seat0", "cursor", "move", "1", "1")

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
    """GNOME's compositor, headless, with one virtual monitor of SIZE, on a session bus of its
    own: no idle protocol, but its idle monitor answers over D-Bus."""

    SIZE = (1280, 720)
    DISPLAY_NAME = "velloway-mutter"

    def __init__(self):
        super().__init__()
        self.bus_address: str | None = None

    def _start_session(self) -> None:
        bus = self._start_process(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                  self.session_env())
        self.bus_address = wait_until(lambda: bus.output()[0].strip(), self.START_TIMEOUT,
                                      what="the session bus's address")

    def _argv(self) -> list[str]:
        width, height = self.SIZE
        return ["mutter", "--wayland", "--headless", "--no-x11", "--virtual-monitor",
                f"{width}x{height}", f"--wayland-display={self.DISPLAY_NAME}"]

    def _own_env(self) -> dict:
        # ResetIdletime, the tests' user activity, only answers with this set.
        return {"MUTTER_DEBUG_RESET_IDLETIME": "1"}

    def _socket(self) -> str | None:
        if not self.process.is_running():
            raise HarnessError(f"mutter ended: {self.process.ending()}")
        return self.DISPLAY_NAME if (self.runtime / self.DISPLAY_NAME).is_socket() else None

    @property
    def env(self) -> dict:
        env = super().env
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        return env

    def idle_monitor(self, method: str) -> subprocess.CompletedProcess:
        return self.run("gdbus", "call", "--session", "--dest", "org.gnome.Mutter.IdleMonitor",
                        "--object-path", "/org/gnome/Mutter/IdleMonitor/Core",
                        "--method", f"org.gnome.Mutter.IdleMonitor.{method}", check=False)

    def activity(self) -> None:
        """What a user's hand does, as Mutter counts it."""
        done = self.idle_monitor("ResetIdletime")
        if done.returncode != 0:
            raise HarnessError(f"ResetIdletime: {done.stderr.decode(errors='replace')}")
