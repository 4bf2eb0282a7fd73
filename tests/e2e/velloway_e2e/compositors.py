"""Wayland compositors for the native tests, without a GPU or a seat: headless sway (run as the
test user: sway refuses root) and headless Mutter, GNOME's compositor, with a session bus of its
own for its D-Bus idle monitor. Each has a private XDG_RUNTIME_DIR; `env` is what a client of it
needs. Use as context managers."""

from __future__ import annotations

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

from .native import NativeProcess, test_user
from .processes import HarnessError, register, run, unregister, wait_until
from .testcase import artifacts_dir


class Compositor:
    START_TIMEOUT = 15

    def __init__(self, name: str):
        self.name = name
        self.runtime = Path(tempfile.mkdtemp(prefix=f"velloway-{name}-"))
        self.runtime.chmod(0o700)
        self.processes: list[NativeProcess] = []

    def __enter__(self):
        register(self, self.stop)
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc) -> None:
        self.stop()

    def start(self) -> None:
        raise NotImplementedError

    def _start(self, argv: list, env: dict) -> NativeProcess:
        process = NativeProcess(argv, env, artifacts_dir() / f"{self.name}-{len(self.processes)}")
        self.processes.append(process)
        return process

    def _wait_socket(self, name: str, process: NativeProcess) -> None:
        def there():
            if not process.is_running():
                raise HarnessError(f"{self.name} ended at its start ({process.ending()})")
            return (self.runtime / name).exists()
        wait_until(there, self.START_TIMEOUT, what=f"{self.name}'s socket {name}")

    @property
    def env(self) -> dict:
        return {"XDG_RUNTIME_DIR": str(self.runtime), "WAYLAND_DISPLAY": self.display}

    def stop(self) -> None:
        """Stops its processes, newest first, and removes its runtime folder."""
        unregister(self)
        for process in reversed(self.processes):
            process.kill()
        self.processes.clear()
        shutil.rmtree(self.runtime, ignore_errors=True)


class HeadlessSway(Compositor):
    """sway 1.7 on the headless backend with one output: it offers org_kde_kwin_idle and
    zwp_idle_inhibit_manager_v1. Key presses (wtype) and pointer moves (swaymsg) are activity."""

    display = "wayland-1"

    def __init__(self):
        super().__init__("sway")
        self.as_user, user = test_user()
        os.chown(self.runtime, user.pw_uid, user.pw_gid)

    def start(self) -> None:
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": str(self.runtime),
               "XDG_RUNTIME_DIR": str(self.runtime), "WLR_BACKENDS": "headless",
               "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1",
               "WLR_HEADLESS_OUTPUTS": "1"}
        self.sway = self._start([*self.as_user, "env", *(f"{k}={v}" for k, v in env.items()),
                                 "sway", "-c", "/dev/null"], dict(os.environ))
        self._wait_socket(self.display, self.sway)
        wait_until(lambda: list(self.runtime.glob("sway-ipc.*.sock")), self.START_TIMEOUT,
                   what="sway's IPC socket")

    @property
    def env(self) -> dict:
        return {**super().env, "SWAYSOCK": str(next(self.runtime.glob("sway-ipc.*.sock")))}

    def client(self, *argv: str) -> subprocess.CompletedProcess:
        return run(argv, env={**os.environ, **self.env}, timeout=10)

    def activity(self) -> None:
        """What a user's hand does: a pointer move."""
        self.client("swaymsg", "seat", "seat0", "cursor", "move", "1", "1")

    def end(self) -> None:
        """The compositor goes, as when the session ends."""
        self.sway.kill()


class HeadlessMutter(Compositor):
    """Mutter on its headless backend with a virtual monitor, on a session bus of its own: no idle
    protocol, but its idle monitor answers over D-Bus. As root, as GNOME's tools allow."""

    display = "wl-velloway"

    def __init__(self):
        super().__init__("mutter")

    def start(self) -> None:
        # ResetIdletime, the tests' user activity, only answers with this set.
        env = {**os.environ, "XDG_RUNTIME_DIR": str(self.runtime), "HOME": str(self.runtime),
               "MUTTER_DEBUG_RESET_IDLETIME": "1"}
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(name, None)
        bus = self._start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env)
        self.bus_address = wait_until(lambda: bus.output()[0].strip(), self.START_TIMEOUT,
                                      what="the session bus's address")
        env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        self.mutter = self._start(["mutter", "--wayland", "--headless", "--no-x11",
                                   "--virtual-monitor", "1280x720",
                                   f"--wayland-display={self.display}"], env)
        self._wait_socket(self.display, self.mutter)
        wait_until(lambda: self.idle_monitor("GetIdletime").returncode == 0, self.START_TIMEOUT,
                   what="Mutter's idle monitor")

    @property
    def env(self) -> dict:
        return {**super().env, "DBUS_SESSION_BUS_ADDRESS": self.bus_address}

    def idle_monitor(self, method: str) -> subprocess.CompletedProcess:
        return run(["gdbus", "call", "--session", "--dest", "org.gnome.Mutter.IdleMonitor",
                    "--object-path", "/org/gnome/Mutter/IdleMonitor/Core",
                    "--method", f"org.gnome.Mutter.IdleMonitor.{method}"],
                   env={**os.environ, **self.env}, timeout=10, check=False)

    def activity(self) -> None:
        """What a user's hand does, as Mutter counts it."""
        done = self.idle_monitor("ResetIdletime")
        if done.returncode != 0:
            raise HarnessError(f"ResetIdletime: {done.stderr.decode(errors='replace')}")

    def end(self) -> None:
        """The compositor goes, and its idle monitor with it."""
        self.mutter.kill()

