// Helpers of the conformance suite, which holds both back ends (natively
// the POSIX one, under Wine the Win32 one) to the same expectations. The
// suite reaches the system only through Sys() and TestDrives.
//
// Where Wine is known to depart from Windows (measured under Debian 12's
// Wine 8 with a probe program, as root), a case carries the evidence. Under Wine such a case asserts the departure
// that was observed where one is recorded, and is otherwise skipped with the
// evidence and what Wine did; natively, and under Wine when Wine agrees,
// it asserts the Windows behaviour.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dos_stamp.h"
#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex::conformance {

// Skips the running test under Wine when a case with recorded `evidence`
// came out differently from Windows.
#define TOLVEX_SKIP_KNOWN_WINE_DEPARTURE(evidence, differs, observed)                \
  if (::tolvex::RunningUnderWine() && (evidence) != nullptr && (differs))             \
  GTEST_SKIP() << "Known Wine departure (" << (evidence) << "); Wine gave: " << (observed)

inline std::vector<std::string> SortedNames(const std::vector<FindEntry>& entries) {
  std::vector<std::string> names;
  for (const FindEntry& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

inline std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string Listed(const std::vector<std::string>& names) {
  std::string text = "{";
  for (const std::string& name : names) text += (text.size() > 1 ? ", " : "") + name;
  return text + "}";
}

// The names FindEntries yields, sorted; *code receives its result.
inline std::vector<std::string> FoundNames(const std::string& pattern, uint32_t mask,
                                           uint32_t* code = nullptr) {
  std::vector<FindEntry> entries;
  const uint32_t result = Sys().FindEntries(pattern, mask, &entries, nullptr);
  if (code) *code = result;
  return SortedNames(entries);
}

// The one entry a literal pattern yields (all attributes allowed); an entry
// with an empty name when there is none.
inline FindEntry FoundEntry(const std::string& path) {
  std::vector<FindEntry> entries;
  Sys().FindEntries(path, 0xFF, &entries, nullptr);
  return entries.size() == 1 ? entries[0] : FindEntry();
}

// Seconds since 1980-01-01 of a stamp, so that stamps can be subtracted.
inline int64_t StampSeconds(uint32_t stamp) {
  const LocalTime t = UnpackStamp(stamp);
  int64_t days = 0;
  for (int year = 1980; year < t.year; ++year) {
    days += (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366 : 365;
  }
  static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
  days += kBefore[t.month - 1] + (leap && t.month > 2 ? 1 : 0) + t.day - 1;
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace tolvex::conformance
