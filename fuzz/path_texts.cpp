#include "fuzz/path_texts.h"

namespace tolvex::fuzz {

namespace {

const char* const kNames[] = {"Data", "data", "DATA",   "Sub",   "Cache", "Other",
                              "Backup", "Son", "Father", "Grandson", "Grandfather",
                              "Odd", "Even", "Sunday", "D\xC3\xA4t\xC3\xA4", "a.txt"};

// Drive prefixes that name no drive: letters outside A-Z and no letter.
const char* const kOddDrives[] = {"1:", "@:", "[:", "`:", "{:", "\xC3\x84:", ":", "", "\\\\"};

template <size_t N>
const char* Pick(FuzzedDataProvider& input, const char* const (&words)[N]) {
  return words[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

std::string Drive(FuzzedDataProvider& input, const std::string& letters) {
  if (letters.empty() || input.ConsumeIntegralInRange(0, 7) == 0) return Pick(input, kOddDrives);
  char letter = letters[input.ConsumeIntegralInRange<size_t>(0, letters.size() - 1)];
  if (input.ConsumeBool()) letter = static_cast<char>(letter - 'A' + 'a');
  return std::string(1, letter) + ":";
}

// One piece of a path between separators, or a separator of its own.
std::string Piece(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 11)) {
    case 0: return "..";
    case 1: return ".";
    case 2: return "*";
    case 3: return "/";
    case 4: return "\\";
    case 5: return "?";
    case 6: return std::string(input.ConsumeIntegralInRange<size_t>(1, 300), 'n');
    case 7: return input.ConsumeRandomLengthString(12);
    case 8: return "~tolvex-tmp.1";
    case 9: return "\xFF";
    default: return Pick(input, kNames);
  }
}

}  // namespace

std::string FolderText(FuzzedDataProvider& input, const std::string& letters) {
  const int shape = input.ConsumeIntegralInRange(0, 9);
  if (shape == 0) return input.ConsumeRandomLengthString(400);
  std::string text = Drive(input, letters) + "\\";
  const int pieces = input.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < pieces; ++i) {
    text += Piece(input);
    // Mostly whole folder names; sometimes pieces run together.
    if (input.ConsumeIntegralInRange(0, 3) != 0) text += "\\";
  }
  if (shape == 1 && !text.empty()) text.pop_back();  // the closing backslash left out
  if (shape >= 6) text += "*";                      // the folder and all below it
  return text;
}

std::string PatternText(FuzzedDataProvider& input) {
  static const char* const kPatterns[] = {"*.*", "*", "*.txt", "a.txt", "?.*", "*.",
                                          "A.TXT", "..\\*.*", "Sub\\*", "..", "\\", "*?*.?",
                                          "d*", "~tolvex-tmp.*", ".*", ""};
  if (input.ConsumeIntegralInRange(0, 4) == 0) return input.ConsumeRandomLengthString(64);
  return Pick(input, kPatterns);
}

}  // namespace tolvex::fuzz
