// Starting a program of this build from a test (the tolvex command, say).
//
// A build for another processor runs its programs under an emulator: the
// kernel here cannot start a 32-bit program itself ("Exec format error"), so
// a test that starts one must put the emulator's words in front. The build
// hands those words over (none in a native or Windows build), so the same
// test logic runs everywhere.
#pragma once

#include <string>
#include <vector>

namespace tolvex {

// The words that start `program` with its arguments: the build's emulator
// words (if any), then the program. For execvp.
std::vector<std::string> ChildCommand(const std::string& program);

// The same words as one POSIX shell command, each quoted (for std::system).
std::string ChildShellCommand(const std::string& program);

}  // namespace tolvex
