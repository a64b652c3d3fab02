// The controlling terminal while a run shows its progress there, through
// ncurses. One session per run; each progress view shows itself on it for
// its phase and hides itself at the end.
//
// The terminal is always given back as it was: when a view hides, before
// every call of the front end's callbacks (which may print a question and
// read the answer), when the session ends (also by an exception), and when
// a signal ends or stops the process (Ctrl-C, Ctrl-\, Ctrl-Z, a hang-up or
// a kill). Ctrl-C stays a signal: the terminal keeps its signal keys, and
// a handler the front end installed still runs after the terminal is
// restored; when the process lives on, the next pump step draws the view
// again.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tolvex {

class TerminalSession {
 public:
  // A session on the controlling terminal, or null when there is none the
  // run may draw on: standard input and output not both terminals (cron,
  // pipes, redirection), no /dev/tty, a background job, or a terminal type
  // without cursor addressing.
  static std::unique_ptr<TerminalSession> Open();
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // A view begins: the screen is cleared and `paint` draws it, now and
  // whenever the screen must be drawn again (after the front end's turn, a
  // resize, a stop and continue).
  void Show(std::function<void()> paint);
  // Draws the shown view again (after its content changed).
  void Repaint();
  // The view ends: the terminal goes back to the shell's state.
  void Hide();

  // Around a call of the front end's callbacks.
  void BeginFrontEndCall();
  void EndFrontEndCall();

  // The next pending key, or -1 at once when none waits: a character, an
  // ncurses KEY_* code, kLoneEscape for an Esc that no other byte followed
  // within 100 ms, kOtherKey for the rest of a sequence that starts with
  // Esc (Alt+key, unknown function keys).
  int ReadKey();
  // The same, waiting until a key comes (a modal view's loop). -1 when no
  // view is shown, the terminal is gone (hung up), or a stop was requested
  // (platform/stop_request.h: a Ctrl-C the front end passed on).
  int WaitForKey();
  static constexpr int kLoneEscape = 27;
  static constexpr int kOtherKey = 0x10000;

  int Width() const;   // columns of the screen
  int Height() const;  // lines of the screen

 private:
  TerminalSession() = default;
  bool StartScreen();
  void EnterProgramMode();
  void LeaveProgramMode();
  // After a signal gave the terminal back while the view was drawn.
  void RecoverFromSignal();

  struct Handles;
  std::unique_ptr<Handles> handles_;
  std::function<void()> paint_;
  bool shown_ = false;        // a view is on the screen (program mode)
  bool front_end_turn_ = false;
};

// Text as the terminal may show it: control characters become '?' (a name
// can never move the cursor or send a sequence), and a text longer than
// `width` characters loses its middle to "..." so that both ends stay.
// UTF-8 sequences count as one character each and are never split.
std::string FitToWidth(const std::string& text, size_t width);

// "[#####.....]" filled in proportion, `width` characters wide in all,
// with `label` (may be empty) written over its middle.
std::string BarText(long long done, long long total, size_t width, const std::string& label);

}  // namespace tolvex
