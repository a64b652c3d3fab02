// The log's column rules on any bytes, in both text modes: the width count,
// padding to a column, the 55-character shortening of paths and the
// replacement of control characters.
//
// The rules are checked against a UTF-8 decoder of this file's own (the
// well-formed sequences of the Unicode standard, table 3-7), so a fault of
// the shared character rule cannot hide itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/sandbox.h"
#include "log/log_text.h"

namespace tolvex::fuzz {
namespace {

// Bytes of the well-formed UTF-8 sequence at text[pos], 0 when none starts
// there.
size_t WellFormedLength(const std::string& text, size_t pos) {
  const auto at = [&](size_t i) -> int {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : -1;
  };
  const int b0 = at(pos);
  const auto in = [](int b, int low, int high) { return b >= low && b <= high; };
  if (in(b0, 0x00, 0x7F)) return 1;
  const int b1 = at(pos + 1);
  if (in(b0, 0xC2, 0xDF)) return in(b1, 0x80, 0xBF) ? 2 : 0;
  const int b2 = at(pos + 2);
  int low = 0x80, high = 0xBF;
  if (b0 == 0xE0) low = 0xA0;
  if (b0 == 0xED) high = 0x9F;
  if (in(b0, 0xE0, 0xEF)) return in(b1, low, high) && in(b2, 0x80, 0xBF) ? 3 : 0;
  const int b3 = at(pos + 3);
  if (b0 == 0xF0) low = 0x90;
  if (b0 == 0xF4) high = 0x8F;
  if (in(b0, 0xF0, 0xF4)) {
    return in(b1, low, high) && in(b2, 0x80, 0xBF) && in(b3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

// Where each character starts, then text.size(): in UTF-8 a well-formed
// sequence is one character and any other byte one of its own.
std::vector<size_t> Starts(const std::string& text, TextMode mode) {
  std::vector<size_t> starts;
  for (size_t pos = 0; pos < text.size();) {
    starts.push_back(pos);
    const size_t length = mode == TextMode::kBytes ? 1 : WellFormedLength(text, pos);
    pos += length == 0 ? 1 : length;
  }
  starts.push_back(text.size());
  return starts;
}

void Expect(bool holds, const std::string& rule, const std::string& text) {
  if (!holds) Violation(rule + " for \"" + text + "\"");
}

void CheckAlignment(const std::string& text, size_t width, TextMode mode, size_t count) {
  const size_t padding = count >= width ? 0 : width - count;
  const std::string right = AlignRight(text, width, mode);
  const std::string left = AlignLeft(text, width, mode);
  Expect(right == std::string(padding, ' ') + text, "AlignRight pads on the left to the width",
         text);
  Expect(left == text + std::string(padding, ' '), "AlignLeft pads on the right to the width",
         text);
}

void CheckShortening(const std::string& text, TextMode mode, const std::vector<size_t>& starts) {
  const size_t count = starts.size() - 1;
  const std::string shortened = ShortenLogPath(text, mode);
  if (count <= kLogPathColumns) {
    Expect(shortened == text, "a path of at most 55 characters stays as it is", text);
    return;
  }
  const std::string ellipsis = mode == TextMode::kBytes ? "\x85" : "\xE2\x80\xA6";
  // The head is the first 16 characters and the tail the last 38, both cut
  // where a character starts: no character is split, the width is 55.
  const std::string expected =
      text.substr(0, starts[16]) + ellipsis + text.substr(starts[count - 38]);
  Expect(shortened == expected, "the shortened path is head, ellipsis and tail", text);
  Expect(Starts(shortened, mode).size() - 1 == kLogPathColumns,
         "a shortened path is 55 characters wide", text);
}

void CheckPrintable(const std::string& text, TextMode mode, const std::vector<size_t>& starts) {
  const std::string printable = PrintableLogText(text, mode);
  const std::vector<size_t> out_starts = Starts(printable, mode);
  Expect(out_starts.size() == starts.size(), "control characters become one '?' each", text);
  for (size_t i = 0; i + 1 < out_starts.size(); ++i) {
    const std::string c = printable.substr(out_starts[i], out_starts[i + 1] - out_starts[i]);
    const unsigned char lead = static_cast<unsigned char>(c[0]);
    Expect(!(c.size() == 1 && (lead < 0x20 || lead == 0x7F)), "no C0 control or DEL is left",
           text);
    Expect(!(mode == TextMode::kUtf8 && c.size() == 2 && lead == 0xC2 &&
             static_cast<unsigned char>(c[1]) <= 0x9F),
           "no C1 control is left in UTF-8", text);
    const std::string original = text.substr(starts[i], starts[i + 1] - starts[i]);
    Expect(c == original || c == "?", "every other character is kept", text);
  }
}

}  // namespace
}  // namespace tolvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvex;
  using namespace tolvex::fuzz;
  FuzzedDataProvider input(data, size);
  const size_t width = input.ConsumeIntegralInRange<size_t>(0, 80);
  const std::string text = input.ConsumeRemainingBytesAsString();
  for (const TextMode mode : {TextMode::kBytes, TextMode::kUtf8}) {
    const std::vector<size_t> starts = Starts(text, mode);
    const size_t count = starts.size() - 1;
    Expect(CharacterCount(text, mode) == count, "the character count", text);
    CheckAlignment(text, width, mode, count);
    CheckShortening(text, mode, starts);
    CheckPrintable(text, mode, starts);
  }
  return 0;
}
