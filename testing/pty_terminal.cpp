#include "testing/pty_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace tolvex {

namespace {

// An OSC string no terminal acts on: the child's mark of a hold.
constexpr char kHoldMark[] = "\x1b]777;tolvex-held\x07";

// The read end of the pipe through which the test lets a held child go on.
int child_go_fd = -1;

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

struct PtyTerminal::Emulator {
  VTerm* vt = nullptr;
  VTermScreen* screen = nullptr;
  bool alternate = false;

  static int SetProperty(VTermProp property, VTermValue* value, void* user) {
    if (property == VTERM_PROP_ALTSCREEN) static_cast<Emulator*>(user)->alternate = value->boolean;
    return 1;
  }
};

void HoldInChild() {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) _exit(120);
  if (write(tty, kHoldMark, sizeof kHoldMark - 1) < 0) _exit(121);
  char go = 0;
  if (read(child_go_fd, &go, 1) != 1) _exit(122);
  if (go == 'k') {
    struct pollfd typed = {tty, POLLIN, 0};
    poll(&typed, 1, 20000);
  }
  close(tty);
}

PtyTerminal::PtyTerminal(int rows, int columns)
    : emulator_(std::make_unique<Emulator>()), rows_(rows), columns_(columns) {
  emulator_->vt = vterm_new(rows, columns);
  vterm_set_utf8(emulator_->vt, 1);
  emulator_->screen = vterm_obtain_screen(emulator_->vt);
  static VTermScreenCallbacks callbacks = {};
  callbacks.settermprop = &Emulator::SetProperty;
  vterm_screen_set_callbacks(emulator_->screen, &callbacks, emulator_.get());
  vterm_screen_enable_altscreen(emulator_->screen, 1);
  vterm_screen_reset(emulator_->screen, 1);
}

PtyTerminal::~PtyTerminal() {
  if (child_ > 0 && status_ == -1) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  if (go_[1] >= 0) close(go_[1]);
  vterm_free(emulator_->vt);
}

bool PtyTerminal::Start(const std::function<int()>& child) {
  if (pipe(go_) != 0) return false;
  struct winsize size = {static_cast<unsigned short>(rows_),
                         static_cast<unsigned short>(columns_), 0, 0};
  child_ = forkpty(&master_, nullptr, nullptr, &size);
  if (child_ < 0) return false;
  if (child_ == 0) {
    close(go_[1]);
    child_go_fd = go_[0];
    setenv("TERM", "xterm", 1);
    _exit(child());
  }
  close(go_[0]);
  go_[0] = -1;
  return true;
}

bool PtyTerminal::Pump(int limit_ms, bool until_hold, const std::function<bool()>& done) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  for (;;) {
    if (until_hold) {
      const size_t mark = pending_.find(kHoldMark);
      if (mark != std::string::npos) {
        vterm_input_write(emulator_->vt, pending_.data(), mark);
        pending_.erase(0, mark + sizeof kHoldMark - 1);
        return true;
      }
    }
    // Everything goes to the emulator but a tail that may be the start of
    // a mark still arriving.
    size_t give = pending_.size();
    const size_t escape = pending_.rfind('\x1b');
    if (until_hold && escape != std::string::npos &&
        std::string(kHoldMark).compare(0, pending_.size() - escape, pending_, escape) == 0) {
      give = escape;
    }
    vterm_input_write(emulator_->vt, pending_.data(), give);
    pending_.erase(0, give);
    if (done && done()) return true;
    struct pollfd readable = {master_, POLLIN, 0};
    if (poll(&readable, 1, MillisecondsLeft(deadline)) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) return false;  // EIO: the child's side is closed
    output_.append(buffer, static_cast<size_t>(got));
    pending_.append(buffer, static_cast<size_t>(got));
  }
}

bool PtyTerminal::WaitForHold(int limit_ms) { return Pump(limit_ms, true); }

void PtyTerminal::Type(const std::string& keys) {
  if (!keys.empty() && write(master_, keys.data(), keys.size()) < 0) return;
}

bool PtyTerminal::WaitForScreen(const std::string& text, int limit_ms) {
  return Pump(limit_ms, false, [&] { return Screen().find(text) != std::string::npos; });
}

bool PtyTerminal::WaitForOutput(const std::string& text, int limit_ms) {
  return Pump(limit_ms, false, [&] {
    const size_t at = output_.find(text, searched_);
    if (at == std::string::npos) return false;
    searched_ = at + text.size();
    return true;
  });
}

void PtyTerminal::Resize(int rows, int columns) {
  rows_ = rows;
  columns_ = columns;
  vterm_set_size(emulator_->vt, rows, columns);
  struct winsize size = {static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
  ioctl(master_, TIOCSWINSZ, &size);
}

void PtyTerminal::Resume(const std::string& keys) {
  Type(keys);
  const char go = keys.empty() ? 'g' : 'k';
  if (write(go_[1], &go, 1) < 0) return;
}

int PtyTerminal::WaitForExit(int limit_ms) {
  Pump(limit_ms, false);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  while (status_ == -1) {
    int status = 0;
    const pid_t done = waitpid(child_, &status, WNOHANG);
    if (done == child_) {
      status_ = status;
      break;
    }
    if (MillisecondsLeft(deadline) == 0) return -1;
    usleep(10000);
  }
  return status_;
}

std::string PtyTerminal::Row(int row) const {
  VTermRect rect = {row, row + 1, 0, columns_};
  std::string text(static_cast<size_t>(columns_) * 4 + 1, '\0');
  const size_t length = vterm_screen_get_text(emulator_->screen, text.data(), text.size(), rect);
  text.resize(length);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string PtyTerminal::Screen() const {
  std::string screen;
  for (int row = 0; row < rows_; ++row) screen += Row(row) + "\n";
  return screen;
}

bool PtyTerminal::AlternateScreen() const { return emulator_->alternate; }

termios PtyTerminal::Modes() const {
  termios modes = {};
  tcgetattr(master_, &modes);
  return modes;
}

}  // namespace tolvex
