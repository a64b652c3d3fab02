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

// Reads single keys from standard input: the terminal is switched out of
// line mode for the one key and restored at once.
class TerminalKeys final : public KeyInput {
 public:
  char ReadKey() override;
};

}  // namespace tolvex::frontend
