#include "platform/posix/end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace velloway::posix {
namespace {

// Written by the signal handler, read by the event loop: the one way a signal reaches it.
int signalPipe[2] = {-1, -1};
bool signalled = false;

extern "C" void OnEndSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void CatchEndSignals() {
  if (signalPipe[0] >= 0) return;
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

int EndSignalFd() {
  return signalPipe[0];
}

bool EndSignalled() {
  char byte = 0;
  if (signalPipe[0] >= 0 && read(signalPipe[0], &byte, 1) == 1) signalled = true;
  return signalled;
}

}  // namespace velloway::posix
