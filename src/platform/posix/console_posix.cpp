#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

#include "platform/console.h"

namespace officecarve {
namespace {

// Written by the signal handler, read between units of work; a lock-free
// atomic is safe in both places.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnInterrupt(int) {
  if (g_interrupts.fetch_add(1) + 1 >= 3) _exit(130);
}

}  // namespace

bool IsTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::kInput ? STDIN_FILENO : STDERR_FILENO) != 0;
}

int ErrorTerminalColumns() {
  struct winsize size {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void PrepareTerminal() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void InstallInterruptCounter() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

int InterruptCount() { return g_interrupts.load(); }

}  // namespace officecarve
