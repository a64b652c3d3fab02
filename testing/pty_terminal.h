// A child process on a pseudo-terminal whose screen the test reads through
// a terminal emulator (libvterm, xterm rules), as a user sees it. POSIX
// only. The child is held at chosen points of its run (HoldInChild, from a
// HoldingPlatform hold): it marks the point in its terminal output, so
// the test sees the screen exactly as drawn up to there, and waits until
// the test lets it go on, after keys if the test typed any.
#pragma once

#include <termios.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

namespace tolvex {

class PtyTerminal {
 public:
  // Key sequences of TERM=xterm with the keypad switched on (its terminfo).
  static constexpr const char kUp[] = "\x1bOA";
  static constexpr const char kDown[] = "\x1bOB";
  static constexpr const char kShiftUp[] = "\x1b[1;2A";
  static constexpr const char kShiftDown[] = "\x1b[1;2B";
  static constexpr const char kHome[] = "\x1bOH";
  static constexpr const char kEnd[] = "\x1bOF";
  static constexpr const char kEnter[] = "\r";

  PtyTerminal(int rows, int columns);
  ~PtyTerminal();
  PtyTerminal(const PtyTerminal&) = delete;
  PtyTerminal& operator=(const PtyTerminal&) = delete;

  // Runs `child` in a new process whose controlling terminal, standard
  // input, output and error are the terminal (TERM=xterm); its result is
  // the exit status. False when the process cannot be made.
  bool Start(const std::function<int()>& child);
  // Reads the terminal until the child holds; false when it ended instead
  // or nothing came for `limit_ms`.
  bool WaitForHold(int limit_ms = 20000);
  // Types `keys` (may be empty) and lets the held child go on; with keys,
  // the child waits until they are readable on its terminal.
  void Resume(const std::string& keys = "");
  // Types without letting a held child go on (a signal key).
  void Type(const std::string& keys);
  // Reads the terminal until the screen shows `text` (a program that holds
  // nowhere, such as the command itself); false when the child ended or
  // nothing new came for `limit_ms` first.
  bool WaitForScreen(const std::string& text, int limit_ms = 20000);
  // Reads until `text` appears in the output after the end of the last text
  // found this way (a question asked again counts again).
  bool WaitForOutput(const std::string& text, int limit_ms = 20000);
  // A new size, as a person resizing the window: the child gets SIGWINCH.
  void Resize(int rows, int columns);
  // Reads until the child has ended; its wait status (-1 after `limit_ms`).
  int WaitForExit(int limit_ms = 20000);

  // The screen as shown now: one line of text per row, trailing spaces cut.
  std::string Row(int row) const;
  std::string Screen() const;
  bool AlternateScreen() const;
  // Every byte the child wrote so far.
  const std::string& Output() const { return output_; }
  // The terminal's modes now (shared by both ends of the pty).
  termios Modes() const;

 private:
  // Reads and emulates until a hold (`until_hold`), until `done` holds,
  // or until the child ends or `limit_ms` pass.
  bool Pump(int limit_ms, bool until_hold, const std::function<bool()>& done = nullptr);
  struct Emulator;
  std::unique_ptr<Emulator> emulator_;
  int rows_;
  int columns_;
  int master_ = -1;
  int go_[2] = {-1, -1};
  pid_t child_ = -1;
  int status_ = -1;
  std::string output_;
  std::string pending_;  // bytes not yet given to the emulator
  size_t searched_ = 0;  // end of the last text WaitForOutput found
};

// In the child: marks the hold in the terminal output and waits for Resume.
void HoldInChild();

}  // namespace tolvex
