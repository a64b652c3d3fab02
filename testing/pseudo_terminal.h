// A process on a pseudo-terminal of its own, for tests of terminal views: the
// terminal is the process's controlling terminal (/dev/tty), TERM is "xterm",
// and the test reads what the process draws and types keys as a person at
// the screen would. Every wait is for text on the screen (or for the
// process's end), never a race against a timer; the deadline only ends a
// test that would otherwise hang.
#pragma once

#if !defined(_WIN32)

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tolvex {

class PseudoTerminal {
 public:
  // Key sequences of TERM=xterm with the keypad switched on (its terminfo).
  static constexpr const char kUp[] = "\x1bOA";
  static constexpr const char kDown[] = "\x1bOB";
  static constexpr const char kShiftUp[] = "\x1b[1;2A";
  static constexpr const char kShiftDown[] = "\x1b[1;2B";
  static constexpr const char kHome[] = "\x1bOH";
  static constexpr const char kEnd[] = "\x1bOF";
  static constexpr const char kEnter[] = "\r";
  static constexpr const char kTab[] = "\t";

  // Runs `child` in a new process on a `rows` x `columns` terminal; its
  // result is the exit status.
  PseudoTerminal(const std::function<int()>& child, int rows = 24, int columns = 80);
  // Runs a program with its arguments.
  PseudoTerminal(const std::vector<std::string>& argv, int rows = 24, int columns = 80);
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Reads until `text` appears in the output after the end of the last text
  // waited for. False when the process ended or 30 s passed first.
  bool WaitFor(const std::string& text);
  // Sends bytes to the process as typed keys.
  void Type(const std::string& keys);
  // Gives the terminal a new size, as a person resizing the window: the
  // process gets SIGWINCH.
  void Resize(int rows, int columns);
  // Reads everything until the process ends; its exit status (-1 when it
  // did not exit normally or did not end within 30 s).
  int Finish();

  // Everything the process wrote so far.
  const std::string& output() const { return output_; }

 private:
  void Start(const std::function<void()>& in_child, int rows, int columns);
  // Reads what is there, waiting up to the deadline; false at the end.
  bool ReadSome();

  pid_t pid_ = -1;
  int master_ = -1;
  std::string output_;
  size_t searched_ = 0;
  int status_ = -1;
  bool ended_ = false;
};

}  // namespace tolvex

#endif
