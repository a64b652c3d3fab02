// The configuration exports, called through their C names as the front end
// calls them.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/parameters.h"
#include "include/tolvex32.h"

namespace tolvex {
namespace {

// One row of a test table: the export's name and function, the field it sets.
#define EXPORT(function, ...) {#function, function, __VA_ARGS__}

using IntSetter = void(TOLVEX_CALL*)(int32_t);
using UintSetter = void(TOLVEX_CALL*)(uint32_t);
using TextSetter = void(TOLVEX_CALL*)(const char*);
using Clearer = void(TOLVEX_CALL*)(void);

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { Parameters = TParameters(); }
  void TearDown() override { Parameters = TParameters(); }
};

// --- Numbers ---

struct IntField {
  const char* name;
  IntSetter set;
  int32_t TParameters::*field;
};

const IntField kIntFields[] = {
    EXPORT(SetVaryMode, &TParameters::VaryMode),
    EXPORT(SetConfirmMode, &TParameters::ConfirmMode),
    EXPORT(SetSortMode, &TParameters::SortMode),
    EXPORT(SetPathMode, &TParameters::PathMode),
    EXPORT(SetTouchMode, &TParameters::TouchMode),
    EXPORT(SetOrphanModeD1, &TParameters::OrphanModeD1),
    EXPORT(SetOrphanModeD2, &TParameters::OrphanModeD2),
    EXPORT(SetOrphanModeB, &TParameters::OrphanModeB),
    EXPORT(SetOrphanModeS1, &TParameters::OrphanModeS1),
    EXPORT(SetOrphanModeS2, &TParameters::OrphanModeS2),
    EXPORT(SetDisplayMode, &TParameters::DisplayMode),
};

TEST_F(ExportsTest, IntSettersStoreTheValueUnchanged) {
  for (const IntField& f : kIntFields) {
    for (int32_t value : {0, 2, 7, -1, -5, 0x102, INT32_MIN, INT32_MAX}) {
      f.set(value);
      EXPECT_EQ(Parameters.*f.field, value) << f.name;
    }
  }
}

struct UintField {
  const char* name;
  UintSetter set;
  uint32_t TParameters::*field;
};

const UintField kUintFields[] = {
    EXPORT(SetLeastDate, &TParameters::LeastDate),
    EXPORT(SetLastUpdate, &TParameters::LastUpdate),
    EXPORT(SetBlockColor1, &TParameters::BlockColor1),
    EXPORT(SetBlockColor2, &TParameters::BlockColor2),
};

TEST_F(ExportsTest, UnsignedSettersStoreTheValueUnchanged) {
  for (const UintField& f : kUintFields) {
    for (uint32_t value : {0u, 0x00FF8040u, 0x80000000u, 0xFFFFFFFFu}) {
      f.set(value);
      EXPECT_EQ(Parameters.*f.field, value) << f.name;
    }
  }
}

struct ByteField {
  const char* name;
  IntSetter set;
  uint8_t TParameters::*field;
};

struct ByteCase {
  int32_t argument;
  uint8_t stored;
};

const ByteField kByteFields[] = {
    EXPORT(SetAttributes, &TParameters::Attributes),
    EXPORT(SetWarnings, &TParameters::Warnings),
    EXPORT(SetCheckSizes, &TParameters::CheckSizes),
    EXPORT(SetLogDateTime, &TParameters::LogDateTime),
    EXPORT(SetLogDetails, &TParameters::LogDetails),
};

TEST_F(ExportsTest, ByteSettersKeepTheLowEightBits) {
  // Truncated, not clamped.
  const ByteCase cases[] = {{0, 0},       {2, 2},       {258, 2},     {0x102, 2},   {0xC0, 0xC0},
                            {0x100, 0},   {0x1FF, 0xFF}, {-1, 0xFF},  {-256, 0},    {INT32_MIN, 0}};
  for (const ByteField& f : kByteFields) {
    for (const ByteCase& c : cases) {
      f.set(c.argument);
      EXPECT_EQ(Parameters.*f.field, c.stored) << f.name << "(" << c.argument << ")";
    }
  }
}

const ByteField kFlagFields[] = {
    EXPORT(SetReverse, &TParameters::Reverse),
    EXPORT(SetCreateSrcDirs, &TParameters::CreateSrcDirs),
    EXPORT(SetCreateDestDirs, &TParameters::CreateDestDirs),
    EXPORT(SetDeleteSrcDirs, &TParameters::DeleteSrcDirs),
    EXPORT(SetDeleteDestDirs, &TParameters::DeleteDestDirs),
    EXPORT(SetLogActive, &TParameters::LogActive),
    EXPORT(SetLogAppend, &TParameters::LogAppend),
    EXPORT(SetSizeFilter, &TParameters::SizeFilter),
    EXPORT(SetDoubleFilter, &TParameters::DoubleFilter),
    EXPORT(SetMidnight, &TParameters::Midnight),
};

TEST_F(ExportsTest, BooleanSettersStoreOneForAnyNonZeroArgument) {
  // 0x100 would be 0 if truncated to a byte: a boolean must not be.
  const ByteCase cases[] = {{5, 1},   {0, 0},     {-1, 1},        {1, 1},
                            {0, 0},   {0x100, 1}, {INT32_MIN, 1}, {INT32_MAX, 1}};
  for (const ByteField& f : kFlagFields) {
    for (const ByteCase& c : cases) {
      f.set(c.argument);
      EXPECT_EQ(Parameters.*f.field, c.stored) << f.name << "(" << c.argument << ")";
    }
  }
}

struct CharField {
  const char* name;
  IntSetter set;
  char TParameters::*field;
};

const CharField kCharFields[] = {
    EXPORT(SetDateSeparator, &TParameters::DateSeparator),
    EXPORT(SetTimeSeparator, &TParameters::TimeSeparator),
};

TEST_F(ExportsTest, SeparatorsKeepTheLowEightBits) {
  const std::pair<int32_t, char> cases[] = {
      {'/', '/'}, {':', ':'}, {0x100 + '.', '.'}, {0x13A, ':'}, {-1, '\xFF'}, {0, '\0'}};
  for (const CharField& f : kCharFields) {
    for (const auto& [argument, stored] : cases) {
      f.set(argument);
      EXPECT_EQ(Parameters.*f.field, stored) << f.name << "(" << argument << ")";
    }
  }
}

TEST_F(ExportsTest, EachSetterWritesItsOwnField) {
  // Distinct values everywhere: a setter wired to another field shows.
  int32_t next = 1;
  for (const IntField& f : kIntFields) f.set(next++);
  for (const UintField& f : kUintFields) f.set(static_cast<uint32_t>(next++));
  for (const ByteField& f : kByteFields) f.set(next++);
  next = 1;
  for (const IntField& f : kIntFields) EXPECT_EQ(Parameters.*f.field, next++) << f.name;
  for (const UintField& f : kUintFields) {
    EXPECT_EQ(Parameters.*f.field, static_cast<uint32_t>(next++)) << f.name;
  }
  for (const ByteField& f : kByteFields) EXPECT_EQ(Parameters.*f.field, next++) << f.name;

  // One flag at a time.
  for (const ByteField& on : kFlagFields) {
    for (const ByteField& f : kFlagFields) f.set(0);
    on.set(1);
    for (const ByteField& f : kFlagFields) {
      EXPECT_EQ(Parameters.*f.field, &f == &on ? 1 : 0) << on.name << " touched " << f.name;
    }
  }
  SetDateSeparator('.');
  SetTimeSeparator(':');
  EXPECT_EQ(Parameters.DateSeparator, '.');
  EXPECT_EQ(Parameters.TimeSeparator, ':');
}

// --- Texts ---

struct TextField {
  const char* name;
  TextSetter set;
  std::string TParameters::*field;
};

const TextField kTextFields[] = {
    EXPORT(SetFilename, &TParameters::Filename),
    EXPORT(SetDestination, &TParameters::Destination),
    EXPORT(SetLogFile, &TParameters::LogFile),
    EXPORT(SetWeekday, &TParameters::Weekday),
};

TEST_F(ExportsTest, TextSettersCopyTheText) {
  for (const TextField& f : kTextFields) {
    char buffer[] = "D:\\Backup\\Job 1.tvx";
    f.set(buffer);
    std::memset(buffer, 'X', sizeof buffer - 1);  // the caller reuses its buffer at once
    EXPECT_EQ(Parameters.*f.field, "D:\\Backup\\Job 1.tvx") << f.name;
    f.set("");
    EXPECT_EQ(Parameters.*f.field, "") << f.name;
    f.set("Monday");
    f.set(nullptr);  // a null text counts as empty
    EXPECT_EQ(Parameters.*f.field, "") << f.name;
  }
}

TEST_F(ExportsTest, TextSettersKeepTheirOwnField) {
  SetFilename("job");
  SetDestination("D:\\");
  SetLogFile("C:\\log.txt");
  SetWeekday("Monday");
  EXPECT_EQ(Parameters.Filename, "job");
  EXPECT_EQ(Parameters.Destination, "D:\\");
  EXPECT_EQ(Parameters.LogFile, "C:\\log.txt");
  EXPECT_EQ(Parameters.Weekday, "Monday");
}

TEST_F(ExportsTest, TextsAreStoredUnchanged) {
  // No trimming, no case change, 8-bit bytes kept.
  SetDestination("  d:\\Sicherung \xE4\\  ");
  EXPECT_EQ(Parameters.Destination, "  d:\\Sicherung \xE4\\  ");
  const std::string long_path = "C:\\" + std::string(400, 'a') + "\\";
  SetDestination(long_path.c_str());  // no fixed buffer cuts it
  EXPECT_EQ(Parameters.Destination, long_path);
}

// --- Selection lists ---

struct SelectionList {
  const char* name;
  TextSetter append;
  Clearer clear;
  std::vector<STRING> TParameters::*list;
};

const SelectionList kLists[] = {
    {"DInclSels", SetDInclSel, ClearDInclSels, &TParameters::DInclSels},
    {"DExclSels", SetDExclSel, ClearDExclSels, &TParameters::DExclSels},
    {"FInclSels", SetFInclSel, ClearFInclSels, &TParameters::FInclSels},
    {"FExclSels", SetFExclSel, ClearFExclSels, &TParameters::FExclSels},
};

std::vector<std::string> TextsOf(const std::vector<STRING>& list) {
  std::vector<std::string> texts;
  for (const STRING& s : list) texts.push_back(s.text());
  return texts;
}

TEST_F(ExportsTest, SelectionsAppendInCallOrderWithMarkZero) {
  for (const SelectionList& l : kLists) {
    l.clear();  // on an empty list: nothing happens
    EXPECT_TRUE((Parameters.*l.list).empty()) << l.name;
    char buffer[] = "C:\\Data\\*.*";
    l.append(buffer);
    std::strcpy(buffer, "reused");
    l.append("c:\\data\\*.*");
    l.append("C:\\Data\\*.*");  // duplicates stay
    l.append(nullptr);
    EXPECT_EQ(TextsOf(Parameters.*l.list),
              (std::vector<std::string>{"C:\\Data\\*.*", "c:\\data\\*.*", "C:\\Data\\*.*", ""}))
        << l.name;
    for (const STRING& s : Parameters.*l.list) EXPECT_EQ(s.mark(), 0) << l.name;
  }
  // Each list holds only its own entries.
  for (const SelectionList& l : kLists) EXPECT_EQ((Parameters.*l.list).size(), 4u) << l.name;
}

TEST_F(ExportsTest, ClearEmptiesOnlyItsOwnList) {
  for (const SelectionList& l : kLists) l.append("x");
  for (const SelectionList& cleared : kLists) {
    cleared.clear();
    EXPECT_TRUE((Parameters.*cleared.list).empty()) << cleared.name;
    cleared.append("first");
    cleared.append("second");
    EXPECT_EQ(TextsOf(Parameters.*cleared.list), (std::vector<std::string>{"first", "second"}))
        << cleared.name;
  }
}

// --- Lifetime ---

TEST_F(ExportsTest, FreshParameterSetIsAllZeroAndEmpty) {
  const TParameters& p = Parameters;
  EXPECT_TRUE(p.DInclSels.empty() && p.DExclSels.empty() && p.FInclSels.empty() &&
              p.FExclSels.empty());
  EXPECT_EQ(p.Filename + p.Destination + p.LogFile + p.Weekday, "");
  EXPECT_EQ(p.DateSeparator, '\0');
  EXPECT_EQ(p.TimeSeparator, '\0');
  for (const IntField& f : kIntFields) EXPECT_EQ(p.*f.field, 0) << f.name;
  for (const UintField& f : kUintFields) EXPECT_EQ(p.*f.field, 0u) << f.name;
  for (const ByteField& f : kByteFields) EXPECT_EQ(p.*f.field, 0) << f.name;
  for (const ByteField& f : kFlagFields) EXPECT_EQ(p.*f.field, 0) << f.name;
}

TEST_F(ExportsTest, ValuesPersistUntilSetAgain) {
  SetVaryMode(3);
  SetCheckSizes(258);
  SetReverse(5);
  SetFilename("job");
  SetDInclSel("C:\\Data\\");
  // Other configuration calls do not reset earlier values.
  SetSortMode(4);
  SetLogFile("C:\\log.txt");
  ClearFInclSels();
  SetFInclSel("*.*");
  EXPECT_EQ(Parameters.VaryMode, 3);
  EXPECT_EQ(Parameters.CheckSizes, 2);
  EXPECT_EQ(Parameters.Reverse, 1);
  EXPECT_EQ(Parameters.Filename, "job");
  EXPECT_EQ(TextsOf(Parameters.DInclSels), (std::vector<std::string>{"C:\\Data\\"}));
  // A new value replaces the old one.
  SetVaryMode(0);
  SetFilename("next");
  EXPECT_EQ(Parameters.VaryMode, 0);
  EXPECT_EQ(Parameters.Filename, "next");
}

// --- The export table ---

// Every configuration export of the table (ordinals 1 to 44) is in exactly
// one table of this file, so a new one cannot go untested.
TEST(ExportTableTest, EveryConfigurationExportIsTestedHere) {
  using AnyFunction = void (*)(void);
  std::multiset<AnyFunction> tested;
  const auto note = [&](auto function) { tested.insert(reinterpret_cast<AnyFunction>(function)); };
  for (const IntField& f : kIntFields) note(f.set);
  for (const UintField& f : kUintFields) note(f.set);
  for (const ByteField& f : kByteFields) note(f.set);
  for (const ByteField& f : kFlagFields) note(f.set);
  for (const CharField& f : kCharFields) note(f.set);
  for (const TextField& f : kTextFields) note(f.set);
  for (const SelectionList& l : kLists) {
    note(l.append);
    note(l.clear);
  }
  size_t configuration_exports = 0;
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters) \
  if ((ordinal) < 45) {                                                     \
    ++configuration_exports;                                                \
    EXPECT_EQ(tested.count(reinterpret_cast<AnyFunction>(&::name)), 1u) << #name; \
  }
#include "include/tolvex32_exports.h"
  EXPECT_EQ(configuration_exports, 44u);
  EXPECT_EQ(tested.size(), configuration_exports);
}

}  // namespace
}  // namespace tolvex
