// The terminal the questions are asked on.
#pragma once

namespace tolvex::frontend {

// Where answers come from: the terminal, or a script in the tests.
class KeyInput {
 public:
  virtual ~KeyInput() = default;
  // One key, without waiting for Enter. Enter gives '\n'; the end of the
  // input gives 0.
  virtual char ReadKey() = 0;
};

// True when standard input is a terminal a person can answer on.
bool StdinIsTerminal();

// True when the engine can show its overview: on Windows always (a dialog);
// on POSIX when standard input and output are the controlling terminal, TERM
// names one, and this process is in its foreground (the library's terminal
// views ask the same).
bool TerminalCanShowOverview();

// Reads single keys from standard input: the terminal is switched out of
// line mode for the one key and restored at once.
class TerminalKeys final : public KeyInput {
 public:
  char ReadKey() override;
};

}  // namespace tolvex::frontend
