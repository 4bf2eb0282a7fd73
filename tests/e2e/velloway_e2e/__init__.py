"""End-to-end test harness: a private Xvfb display, a private copy of the project's Wine prefix,
the program under test started in it, input through xdotool, and the screen and the pointer read
back through Xlib (ctypes, so nothing has to be compiled).

Every resource is owned by the object that started it and is stopped by PID (Xvfb, the program)
or by prefix (`wineserver -k`), never by name: other people run Xvfb and Wine on the same machine.
Every wait has a timeout. Resources still alive when the interpreter exits (an exception that
skipped a cleanup, SIGTERM) are stopped by an atexit hook. If the harness is killed outright,
Xvfb and the programs get SIGKILL from the kernel (PR_SET_PDEATHSIG), the wineserver ends 60 s
later by itself, and the next harness run removes the orphaned prefix copy.

Modules, by concern:
  processes        starting and stopping by PID, the exit-time cleanup, /proc, wait_until
  images           Image (pixels, ink, PNG), colours
  xlib             the X server through Xlib and XFixes: captures, top-level windows, the cursor,
                   windows of the test's own
  display          Desktop (Xvfb) and XephyrDesktop: xdotool input, screen reads, window waits
  registry         .reg files: writing values exactly, parsing exports
  wine             WinePrefix (a private prefix copy, its registry), WineProcess, ProgramDir
  sound            SoundCapture, SdlDiskCapture: what a program plays, recorded; tones to play
  program          what the tests know of Velloway: captions, switches, registry keys and value
                   names, variables, scripts (tests spell none of them elsewhere)
  helper_programs  the test helpers preview_host (HostProgram), other_program and bare_window
  testcase         ProgramTestCase (the base of the Wine and the Linux program's tests),
                   VellowayTestCase, HostedTestCase, program_from_env, artifacts
  native           the Linux program: NativeProcess, NativeTestCase
  roll             the roll tests' scripts and RollWatching, for both programs
  names            names in the world's scripts against pango-view's rendering, for both programs

Standard library only.
"""
