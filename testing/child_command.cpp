#include "testing/child_command.h"

namespace tolvex {

namespace {

// Set by the build: the emulator's words separated by spaces, or empty.
constexpr const char kEmulator[] = TOLVEX_TEST_EMULATOR;

std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

std::vector<std::string> ChildCommand(const std::string& program) {
  std::vector<std::string> words;
  const std::string emulator = kEmulator;
  size_t at = 0;
  while (at < emulator.size()) {
    size_t end = emulator.find(' ', at);
    if (end == std::string::npos) end = emulator.size();
    if (end > at) words.push_back(emulator.substr(at, end - at));
    at = end + 1;
  }
  words.push_back(program);
  return words;
}

std::string ChildShellCommand(const std::string& program) {
  std::string command;
  for (const std::string& word : ChildCommand(program)) {
    if (!command.empty()) command += ' ';
    command += ShellQuoted(word);
  }
  return command;
}

}  // namespace tolvex
