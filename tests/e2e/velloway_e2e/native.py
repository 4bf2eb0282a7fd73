"""The Linux program under test: NativeProcess (started by PID in a session of its own, its
output kept) and NativeTestCase (a private Xvfb display shared by a class's tests, a folder for
scripts, the program started with start())."""

from __future__ import annotations

import contextlib
import os
import pwd
import signal
import subprocess
import tempfile
from pathlib import Path
from typing import Sequence, Union

from .processes import StartedProcess, die_with_parent, run, wait_until
from .program import MAIN_CAPTION_RE, NATIVE_ENV, SCRIPT_OPTION
from .testcase import ProgramTestCase, artifacts_dir, program_from_env


# Programs that refuse root (xscreensaver's hacks, sway) run as this system user, made once.
TEST_USER = "velloway-e2e"


def test_user() -> tuple:
    """(argv prefix, passwd entry): the user that programs refusing root run as. As root, the
    test user, made if it is missing; otherwise the user running the tests, and no prefix."""
    if os.geteuid() != 0:
        return [], pwd.getpwuid(os.geteuid())
    try:
        pwd.getpwnam(TEST_USER)
    except KeyError:
        run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
             TEST_USER])
    return ["runuser", "-u", TEST_USER, "--"], pwd.getpwnam(TEST_USER)


class NativeProcess(StartedProcess):
    """One program started with argv in env; stdout and stderr go to files."""

    def __init__(self, argv: Sequence[str], env: dict, logs: Path):
        argv = list(map(str, argv))
        logs.mkdir(parents=True, exist_ok=True)
        stdout_path, stderr_path = logs / "stdout.txt", logs / "stderr.txt"
        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            # A session of its own: stop_process then takes down anything it started.
            popen = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                     stderr=err, start_new_session=True,
                                     preexec_fn=die_with_parent)
        super().__init__(popen, argv, stdout_path, stderr_path)

    def terminate(self) -> None:
        """SIGTERM, as the screen-saver daemon ends a hack."""
        with contextlib.suppress(ProcessLookupError):
            os.kill(self.pid, signal.SIGTERM)


class NativeTestCase(ProgramTestCase):
    """A folder for the scripts of a class's tests; each test starts the program with start()
    and it is stopped after the test. Skips when VELLOWAY_NATIVE is not set."""

    SCREEN = (1280, 720)
    WINDOW_TIMEOUT = 10
    program: Path
    folder: Path

    @classmethod
    def setUpClass(cls) -> None:
        cls.program = program_from_env(NATIVE_ENV)
        super().setUpClass()
        cls.folder = Path(cls.class_resources.enter_context(
            tempfile.TemporaryDirectory(prefix="velloway-native-")))

    def write_script(self, name: str, content: Union[str, bytes],
                     encoding: str = "utf-8") -> Path:
        path = self.folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content if isinstance(content, bytes) else content.encode(encoding))
        return path

    def start(self, *args: str, env: dict | None = None) -> NativeProcess:
        environment = dict(self.desktop.env)
        environment.update(env or {})
        process = NativeProcess([self.program, *args], environment,
                                artifacts_dir() / f"{self.id()}-{len(self._running)}-logs")
        self._running.append(process)
        self.addCleanup(self.stop, process)
        return process

    def start_playing(self, name: str, content: Union[str, bytes], *options: str,
                      env: dict | None = None) -> NativeProcess:
        """Starts the program full screen on a script of that name and content."""
        return self.start(SCRIPT_OPTION, str(self.write_script(name, content)), *options,
                          env=env)

    def setUp(self) -> None:
        self._running: list[NativeProcess] = []

    def stop(self, process: NativeProcess) -> None:
        """Stops the program; once none of the test's is left, its windows must be gone."""
        process.kill()
        if not any(p.is_running() for p in self._running):
            wait_until(lambda: not self.desktop.search(MAIN_CAPTION_RE, only_visible=False), 5,
                       what="the program's windows to go")

    def assert_ends_on_sigterm(self, process: NativeProcess) -> None:
        process.terminate()
        self.assertEqual(process.wait_exit(3), 0, "exit status after SIGTERM")
