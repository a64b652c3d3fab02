#include "frontend/interrupt.h"

#include <atomic>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <signal.h>
#endif

namespace tolvex::frontend {

namespace {

// Touched from a signal handler (Linux) or the console's handler thread
// (Windows): lock-free atomics only.
std::atomic<CancelFunction> cancel_function{nullptr};
std::atomic<bool> interrupted{false};

void Forward() {
  interrupted.store(true);
  if (const CancelFunction cancel = cancel_function.load()) cancel();
}

#if defined(_WIN32)
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  Forward();
  return TRUE;  // handled: the process lives on and ends the run itself
}
#else
struct sigaction before = {};

void OnInterrupt(int) { Forward(); }
#endif

}  // namespace

InterruptForwarding::InterruptForwarding(CancelFunction cancel) {
  interrupted.store(false);
  cancel_function.store(cancel);
#if defined(_WIN32)
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = &OnInterrupt;
  // Writes that the signal interrupts go on (a log on a pipe, the summary
  // on the terminal); the wait for an answer is a poll, which a signal
  // always ends.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &before);
#endif
}

InterruptForwarding::~InterruptForwarding() {
#if defined(_WIN32)
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
#else
  sigaction(SIGINT, &before, nullptr);
#endif
  cancel_function.store(nullptr);
}

bool Interrupted() { return interrupted.load(); }

void InterruptFromKey() { Forward(); }

}  // namespace tolvex::frontend
