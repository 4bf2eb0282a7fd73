#pragma once
// SIGTERM, SIGINT and SIGHUP as events of the program's own loop: the handler only writes a byte
// to a pipe, which the loop polls beside its other waits.

namespace velloway::posix {

// Catches the end signals from now on. Before, their default action ends the program at once.
void CatchEndSignals();
// The end of the pipe to poll; -1 while the signals are not caught.
int EndSignalFd();
// Whether an end signal came: takes one from the pipe, and once one came, says so from then on
// (a program that goes on after a roll learns after it why it ended).
bool EndSignalled();

}  // namespace velloway::posix
