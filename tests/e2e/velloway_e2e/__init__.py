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
  xlib             the X server through Xlib and XFixes: captures, top-level windows, the cursor
  display          Desktop (Xvfb) and XephyrDesktop: xdotool input, screen reads, window waits
  registry         .reg files: writing values exactly, parsing exports
  wine             WinePrefix (a private prefix copy, its registry), WineProcess, ProgramDir
  sound            SoundCapture: what a program plays, recorded
  program          what the tests know of Velloway: captions, registry keys, variables, scripts
  helper_programs  the test helpers preview_host (HostProgram) and other_program
  testcase         VellowayTestCase, HostedTestCase, program_from_env, artifacts

Standard library only.
"""
