#include "ui/terminal/terminal_session.h"

#include <curses.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/stop_request.h"

namespace tolvex {

namespace {

// --- What a signal handler may touch -------------------------------------------
//
// Only async-signal-safe calls happen in the handler: it puts back the
// shell's terminal modes (tcsetattr) and writes the prepared bytes that
// leave the view's screen (write), then passes the signal on.

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
// Signals whose dispositions the session saves and restores at its end;
// ncurses installs handlers of its own for some of them.
constexpr int kSavedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGWINCH};

struct SignalShared {
  int fd = -1;
  termios shell = {};
  char leave[128] = {};
  size_t leaveLength = 0;
  volatile sig_atomic_t drawn = 0;     // the terminal is in the view's state
  volatile sig_atomic_t released = 0;  // a signal gave it back meanwhile
  struct sigaction before[NSIG] = {};  // dispositions when the session began
};

SignalShared shared;

void OnSignal(int signal_number, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  if (shared.drawn) {
    tcsetattr(shared.fd, TCSANOW, &shared.shell);
    ssize_t ignored = write(shared.fd, shared.leave, shared.leaveLength);
    (void)ignored;
    shared.drawn = 0;
    shared.released = 1;
  }
  const struct sigaction& before = shared.before[signal_number];
  if (before.sa_flags & SA_SIGINFO) {
    if (before.sa_sigaction) before.sa_sigaction(signal_number, info, context);
  } else if (before.sa_handler == SIG_DFL) {
    // The default action (end or stop the process) follows as soon as this
    // handler returns and the signal is no longer blocked.
    sigaction(signal_number, &before, nullptr);
    raise(signal_number);
  } else if (before.sa_handler != SIG_IGN) {
    before.sa_handler(signal_number);
  }
  errno = saved_errno;
}

void InstallHandlers() {
  for (int signal_number : kCaughtSignals) {
    // A signal the process ignores stays ignored.
    if (!(shared.before[signal_number].sa_flags & SA_SIGINFO) &&
        shared.before[signal_number].sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action = {};
    action.sa_sigaction = &OnSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

void RestoreDispositions() {
  for (int signal_number : kSavedSignals) sigaction(signal_number, &shared.before[signal_number], nullptr);
}

// A terminfo string without its padding ("$<5>"), or empty.
std::string Capability(const char* name) {
  const char* value = tigetstr(const_cast<char*>(name));
  if (value == nullptr || value == reinterpret_cast<const char*>(-1)) return std::string();
  std::string text;
  for (const char* p = value; *p; ++p) {
    if (p[0] == '$' && p[1] == '<') {
      const char* end = std::strchr(p, '>');
      if (end) {
        p = end;
        continue;
      }
    }
    text += *p;
  }
  return text;
}

// True when the terminal type can address the cursor (not dumb or hard copy).
bool UsableTerminalType(const char* term, int fd) {
  int error = 0;
  if (setupterm(const_cast<char*>(term), fd, &error) != OK) return false;
  const bool usable = !Capability("cup").empty() && tigetflag(const_cast<char*>("hc")) <= 0;
  del_curterm(cur_term);
  return usable;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

struct TerminalSession::Handles {
  int fd = -1;
  std::string term;
  bool failed = false;  // the screen could not be made: stay silent
  FILE* out = nullptr;
  FILE* in = nullptr;
  SCREEN* screen = nullptr;
  bool programMode = false;
};

std::unique_ptr<TerminalSession> TerminalSession::Open() {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return nullptr;
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') return nullptr;
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (tcgetpgrp(fd) != getpgrp() || !UsableTerminalType(term, fd)) {
    close(fd);
    return nullptr;
  }
  std::unique_ptr<TerminalSession> session(new TerminalSession);
  session->handles_ = std::make_unique<Handles>();
  session->handles_->fd = fd;
  session->handles_->term = term;
  return session;
}

// The screen is made when the first view shows itself, so that a run that
// ends before its search (a failed check) never touches the terminal.
bool TerminalSession::StartScreen() {
  Handles& h = *handles_;
  if (h.screen) return true;
  if (h.failed) return false;
  h.failed = true;
  termios shell = {};
  if (tcgetattr(h.fd, &shell) != 0) return false;
  h.out = fdopen(dup(h.fd), "w");
  h.in = fdopen(dup(h.fd), "r");
  for (int signal_number : kSavedSignals) sigaction(signal_number, nullptr, &shared.before[signal_number]);
  if (h.out && h.in) h.screen = newterm(const_cast<char*>(h.term.c_str()), h.out, h.in);
  // ncurses catches Ctrl-C itself and then leaves with exit status 1; the
  // front end's own handling (or the default) must stay in charge. Its
  // SIGWINCH handler stays: it is how a resize reaches the views (KEY_RESIZE).
  for (int signal_number : kCaughtSignals) sigaction(signal_number, &shared.before[signal_number], nullptr);
  if (!h.screen) {
    RestoreDispositions();
    return false;
  }
  h.failed = false;

  set_term(h.screen);
  h.programMode = true;
  cbreak();  // keys one by one, signal keys kept
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  set_escdelay(100);
  curs_set(0);
  def_prog_mode();

  shared.fd = h.fd;
  shared.shell = shell;
  const std::string leave =
      Capability("sgr0") + Capability("rmkx") + Capability("cnorm") + Capability("rmcup");
  shared.leaveLength = std::min(leave.size(), sizeof shared.leave);
  std::memcpy(shared.leave, leave.data(), shared.leaveLength);
  shared.released = 0;
  shared.drawn = 1;
  InstallHandlers();
  return true;
}

TerminalSession::~TerminalSession() {
  if (!handles_) return;
  Handles& h = *handles_;
  if (h.screen) {
    shared.drawn = 0;
    if (h.programMode || shared.released) endwin();
    shared.released = 0;
    delscreen(h.screen);
    RestoreDispositions();
  }
  if (h.out) std::fclose(h.out);
  if (h.in) std::fclose(h.in);
  close(h.fd);
}

void TerminalSession::EnterProgramMode() {
  clearok(curscr, TRUE);
  erase();
  if (paint_) paint_();
  shared.drawn = 1;
  handles_->programMode = true;
  refresh();
}

void TerminalSession::LeaveProgramMode() {
  shared.drawn = 0;
  handles_->programMode = false;
  erase();
  refresh();  // nothing of the view stays behind on terminals without a second screen
  endwin();
}

void TerminalSession::RecoverFromSignal() {
  if (!shared.released) return;
  shared.released = 0;
  // The handler gave the terminal back behind ncurses' back: let ncurses
  // leave properly too, then come back when a view is to be seen.
  InstallHandlers();
  endwin();
  handles_->programMode = false;
  if (shown_ && !front_end_turn_) EnterProgramMode();
}

void TerminalSession::Show(std::function<void()> paint) {
  if (!StartScreen()) return;
  RecoverFromSignal();
  paint_ = std::move(paint);
  shown_ = true;
  if (!front_end_turn_) EnterProgramMode();
}

void TerminalSession::Repaint() {
  if (!handles_->screen) return;
  RecoverFromSignal();
  if (!shown_ || !handles_->programMode) return;
  erase();
  if (paint_) paint_();
  refresh();
}

void TerminalSession::Hide() {
  if (!handles_->screen) return;
  RecoverFromSignal();
  shown_ = false;
  paint_ = nullptr;
  if (handles_->programMode) LeaveProgramMode();
}

void TerminalSession::BeginFrontEndCall() {
  if (!handles_->screen) return;
  RecoverFromSignal();
  front_end_turn_ = true;
  if (handles_->programMode) LeaveProgramMode();
}

void TerminalSession::EndFrontEndCall() {
  if (!handles_->screen) return;
  front_end_turn_ = false;
  RecoverFromSignal();
  if (shown_ && !handles_->programMode) EnterProgramMode();
}

int TerminalSession::ReadKey() {
  if (!handles_->screen) return -1;
  RecoverFromSignal();
  if (!handles_->programMode) return -1;
  const int key = getch();
  if (key == ERR) return -1;
  if (key == KEY_RESIZE) {
    Repaint();
    return kOtherKey;
  }
  if (key != 27) return key;
  // ncurses waited up to 100 ms (set_escdelay) for the rest of a known
  // sequence; a byte that is there now makes this Esc part of another key.
  const int next = getch();
  if (next == ERR) return kLoneEscape;
  if (next == '[') {
    for (int c = getch(); c != ERR && !(c >= 0x40 && c <= 0x7E); c = getch()) {
    }
  } else if (next == 'O') {
    getch();
  }
  return kOtherKey;
}

int TerminalSession::WaitForKey() {
  for (;;) {
    // Nothing pending: sleep until the terminal has input. A signal (a
    // resize) ends the wait early, and ReadKey then reports the resize. A
    // Ctrl-C the front end turned into a stop request ends the wait as a
    // terminal gone would: nobody confirms the plan. The signals stay
    // blocked from the look for a key (a resize) and the check of the stop
    // requests until the sleep begins (ppoll lets them in atomically): one
    // that came in between would otherwise be lost and the wait would last
    // until the next key.
    sigset_t wake_signals;
    sigset_t before;
    sigemptyset(&wake_signals);
    for (int signal_number : kSavedSignals) sigaddset(&wake_signals, signal_number);
    pthread_sigmask(SIG_BLOCK, &wake_signals, &before);
    const int key = ReadKey();
    if (key != -1 || !handles_->screen || !handles_->programMode || StopRequests() > 0) {
      pthread_sigmask(SIG_SETMASK, &before, nullptr);
      return key;
    }
    pollfd input{handles_->fd, POLLIN, 0};
    const int ready = ppoll(&input, 1, nullptr, &before);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (ready == 1 && !(input.revents & POLLIN) &&
        (input.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      return -1;
    }
    if (StopRequests() > 0) return -1;
  }
}

int TerminalSession::Width() const { return COLS; }

int TerminalSession::Height() const { return LINES; }

std::string FitToWidth(const std::string& text, size_t width) {
  std::string safe;
  std::vector<size_t> starts;  // byte offset of each character
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      starts.push_back(safe.size());
      safe += '?';
      continue;
    }
    if (!IsContinuation(byte)) starts.push_back(safe.size());
    safe += static_cast<char>(byte);
  }
  if (starts.size() <= width) return safe;
  if (width <= 3) return std::string(width, '.');
  const size_t keep = width - 3;
  const size_t head = keep / 2;
  const size_t tail = keep - head;
  const size_t head_end = starts[head];
  const size_t tail_start = starts[starts.size() - tail];
  return safe.substr(0, head_end) + "..." + safe.substr(tail_start);
}

std::string BarText(long long done, long long total, size_t width, const std::string& label) {
  if (width < 2) return std::string(width, '[');
  const size_t inner = width - 2;
  size_t filled = 0;
  if (total > 0) {
    const long long clamped = std::clamp(done, 0LL, total);
    filled = static_cast<size_t>(static_cast<long double>(inner) * clamped / total);
  }
  std::string bar = "[" + std::string(filled, '#') + std::string(inner - filled, '.') + "]";
  if (!label.empty() && label.size() + 2 <= inner) {
    const size_t at = 1 + (inner - label.size()) / 2;
    bar.replace(at - 1, label.size() + 2, " " + label + " ");
  }
  return bar;
}

}  // namespace tolvex
