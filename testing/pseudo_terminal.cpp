#include "testing/pseudo_terminal.h"

#if !defined(_WIN32)

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace tolvex {

namespace {

constexpr auto kDeadline = std::chrono::seconds(30);

}  // namespace

PseudoTerminal::PseudoTerminal(const std::function<int()>& child, int rows, int columns) {
  Start([&child] { _exit(child()); }, rows, columns);
}

PseudoTerminal::PseudoTerminal(const std::vector<std::string>& argv, int rows, int columns) {
  Start(
      [&argv] {
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
      },
      rows, columns);
}

void PseudoTerminal::Start(const std::function<void()>& in_child, int rows, int columns) {
  struct winsize size = {};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(columns);
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ == 0) {
    setenv("TERM", "xterm", 1);
    in_child();
    _exit(127);
  }
}

PseudoTerminal::~PseudoTerminal() {
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

bool PseudoTerminal::ReadSome() {
  if (ended_ || master_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{master_, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0) continue;  // a signal
    if (polled == 0) return false;
    char buffer[4096];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    // Linux reports EIO once the process and its children closed the terminal.
    if (got <= 0) return false;
    output_.append(buffer, static_cast<size_t>(got));
    return true;
  }
}

bool PseudoTerminal::WaitFor(const std::string& text) {
  for (;;) {
    const size_t at = output_.find(text, searched_);
    if (at != std::string::npos) {
      searched_ = at + text.size();
      return true;
    }
    if (!ReadSome()) return false;
  }
}

void PseudoTerminal::Type(const std::string& keys) {
  if (master_ < 0) return;
  size_t written = 0;
  while (written < keys.size()) {
    const ssize_t n = write(master_, keys.data() + written, keys.size() - written);
    if (n <= 0) return;
    written += static_cast<size_t>(n);
  }
}

void PseudoTerminal::Resize(int rows, int columns) {
  struct winsize size = {};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(columns);
  if (master_ >= 0) ioctl(master_, TIOCSWINSZ, &size);
}

int PseudoTerminal::Finish() {
  while (ReadSome()) {
  }
  if (pid_ <= 0) return -1;
  if (!ended_) {
    int raw = 0;
    // The terminal closed: the process has ended or is about to; a process
    // still running at the deadline is stopped.
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    pid_t done = 0;
    while ((done = waitpid(pid_, &raw, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd none{-1, 0, 0};
      poll(&none, 0, 10);
    }
    if (done == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &raw, 0);
    }
    ended_ = true;
    status_ = done > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  return status_;
}

}  // namespace tolvex

#endif
