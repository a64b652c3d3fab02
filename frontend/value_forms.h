// The text forms a job file writes its values in, and their conversion to
// the numbers the engine takes: numbers, yes/no flags, local dates as packed
// DOS stamps, "#RRGGBB" colours as Windows colour values, one-character
// separators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/text_rules.h"

namespace tolvex::frontend {

// A decimal number ("42", "-1") or a hexadecimal one ("0x2A"). Nothing else
// may follow; the value must fit in 32 signed bits (hexadecimal: 32 bits).
std::optional<int64_t> ParseNumber(const std::string& text);

// "1"/"0", "yes"/"no", "true"/"false", "on"/"off", in any letter case.
std::optional<bool> ParseFlag(const std::string& text);

// A local date and time, "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD HH:MM" or
// "YYYY-MM-DD", between 1980-01-01 and 2107-12-31, as a packed DOS stamp
// (date word in the high 16 bits, time word in the low 16; seconds are kept
// to even values, as the stamp holds them). "0" and "none" give 0, the stamp
// that admits every date.
std::optional<uint32_t> ParseDate(const std::string& text);
// The inverse for display: "YYYY-MM-DD HH:MM:SS", or "none" for 0.
std::string FormatStamp(uint32_t stamp);

// "#RRGGBB" as a Windows colour value, 0x00BBGGRR.
std::optional<uint32_t> ParseColour(const std::string& text);
std::string FormatColour(uint32_t colour);

// Exactly one printable ASCII character other than a space.
std::optional<char> ParseSeparator(const std::string& text);

// The erase limit of a job (MaxErase): a side is over it when a plan erases
// more than `count` of its files and more than `percent` per cent of them.
// "none" (count -1: no limit), "N" (a count), "P%" (a share, 0 to 100), or
// "N and P%" (both must be exceeded).
struct EraseLimit {
  int32_t count = -1;
  int32_t percent = 0;
};
std::optional<EraseLimit> ParseEraseLimit(const std::string& text);
// The inverse for display ("10 and 50%", "none").
std::string FormatEraseLimit(const EraseLimit& limit);

// Text helpers shared by the readers.
std::string Trim(const std::string& text);

}  // namespace tolvex::frontend
