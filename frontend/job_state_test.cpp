#include "frontend/job_state.h"

#include <gtest/gtest.h>

#include "frontend/test_support.h"
#include "frontend/value_forms.h"

namespace tolvex::frontend {
namespace {

LocalTime At(int year, int month, int day, int hour, int minute) {
  LocalTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  return t;
}

uint32_t StampOf(const char* text) { return *ParseDate(text); }

TEST(MidnightRule, HoldsBeforeOneWhenTheLastUpdateWasTheDayBefore) {
  struct Case {
    LocalTime now;
    const char* last_update;
    bool expected;
  } cases[] = {
      {At(2026, 12, 9, 0, 30), "2026-12-08 23:50:00", true},
      {At(2026, 12, 9, 0, 59), "2026-12-08 08:00:00", true},
      {At(2026, 12, 9, 1, 0), "2026-12-08 23:50:00", false},   // 01:00 is no longer shortly after
      {At(2026, 12, 9, 0, 30), "2026-12-09 00:10:00", false},  // today already
      {At(2026, 12, 9, 0, 30), "2026-12-07 23:50:00", false},  // two days ago
      {At(2027, 1, 1, 0, 5), "2026-12-31 22:00:00", true},     // across a year
      {At(2024, 3, 1, 0, 5), "2024-02-29 22:00:00", true},     // after a leap day
      {At(2026, 3, 1, 0, 5), "2026-02-28 22:00:00", true},
      {At(2026, 12, 9, 0, 30), "none", false},                 // no earlier run
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsShortlyAfterMidnight(c.now, StampOf(c.last_update)), c.expected)
        << c.last_update << " at " << c.now.hour << ":" << c.now.minute;
  }
}

TEST(StateFile, RecordsTheRunStartAndReadsItBack) {
  TempFolder temp;
  const std::string state = StatePathOf(temp.Path("a.job"));
  EXPECT_EQ(state, temp.Path("a.job.state"));
  std::string warning;
  EXPECT_EQ(ReadStateLastUpdate(state, &warning), std::nullopt);
  EXPECT_TRUE(warning.empty());
  std::string error;
  ASSERT_TRUE(WriteState(state, StampOf("2026-12-09 14:30:00"), &error)) << error;
  ASSERT_TRUE(WriteState(state, StampOf("2026-12-10 09:00:00"), &error)) << error;  // replaces
  EXPECT_EQ(ReadStateLastUpdate(state, &warning), StampOf("2026-12-10 09:00:00"));
  EXPECT_FALSE(std::filesystem::exists(state + ".new"));
}

// The times of the generation folders and LastUpdate share the file; each
// writer keeps what the other wrote.
TEST(StateFile, GenerationTimesAndLastUpdateKeepEachOther) {
  TempFolder temp;
  const std::string state = StatePathOf(temp.Path("a.job"));
  EXPECT_TRUE(ReadGenerationTimes(state).empty());
  std::string error;
  const GenerationTimes times = {{"Grandson", StampOf("2026-12-10 09:00:00")},
                                 {"Son", StampOf("2026-12-09 09:00:00")},
                                 {"", StampOf("2026-12-08 09:00:00")}};
  ASSERT_TRUE(WriteGenerationTimes(state, times, &error)) << error;
  std::string warning;
  EXPECT_EQ(ReadStateLastUpdate(state, &warning), std::nullopt);
  ASSERT_TRUE(WriteState(state, StampOf("2026-12-10 09:00:00"), &error)) << error;
  EXPECT_EQ(ReadGenerationTimes(state), times);
  ASSERT_TRUE(WriteGenerationTimes(state, {{"Father", StampOf("2026-12-07 10:00:00")}}, &error));
  EXPECT_EQ(ReadStateLastUpdate(state, &warning), StampOf("2026-12-10 09:00:00"));
  EXPECT_EQ(ReadGenerationTimes(state), (GenerationTimes{{"Father", StampOf("2026-12-07 10:00:00")}}));
}

TEST(StateFile, ADamagedFileGivesAWarningAndNoDate) {
  TempFolder temp;
  const std::string state = temp.Path("a.job.state");
  temp.Write("a.job.state", "[State]\nLastUpdate = yesterday\n");
  std::string warning;
  EXPECT_EQ(ReadStateLastUpdate(state, &warning), std::nullopt);
  EXPECT_NE(warning.find("holds no LastUpdate"), std::string::npos);
}

class RunValuesTest : public ::testing::Test {
 protected:
  Job Load(const std::string& job_lines) {
    const std::string text = "[Job]\nDestination = ${JOBDIR}/backup\n" + job_lines;
    auto parsed = ParseJob(temp_.Path("j.job"), text);
    if (auto* errors = std::get_if<JobErrors>(&parsed)) ADD_FAILURE() << errors->front().Format();
    return std::move(std::get<Job>(parsed));
  }
  void RecordLastRun(const char* date) {
    std::string error;
    ASSERT_TRUE(WriteState(StatePathOf(temp_.Path("j.job")), StampOf(date), &error)) << error;
  }

  TempFolder temp_;
};

TEST_F(RunValuesTest, TakesLastUpdateFromTheStateFileUnlessTheJobGivesIt) {
  Job first = Load("");
  ResolveRunValues(&first, At(2026, 12, 9, 12, 0));
  EXPECT_EQ(first.Get("LastUpdate").number, 0u);  // no earlier run

  RecordLastRun("2026-12-08 23:50:00");
  Job next = Load("");
  ResolveRunValues(&next, At(2026, 12, 9, 0, 20));
  EXPECT_EQ(next.Get("LastUpdate").number, StampOf("2026-12-08 23:50:00"));
  EXPECT_EQ(next.Get("Midnight").number, 1u);

  Job fixed = Load("LastUpdate = 2026-01-01\n");
  ResolveRunValues(&fixed, At(2026, 12, 9, 0, 20));
  EXPECT_EQ(fixed.Get("LastUpdate").number, StampOf("2026-01-01"));
  EXPECT_EQ(fixed.Get("Midnight").number, 0u);

  Job forced = Load("Midnight = 0\n");
  ResolveRunValues(&forced, At(2026, 12, 9, 0, 20));
  EXPECT_EQ(forced.Get("Midnight").number, 0u);
}

TEST_F(RunValuesTest, NamesTodayForWeekdayFolders) {
  Job job = Load("VaryMode = 2\n");
  LocalTime wednesday = At(2026, 12, 9, 10, 0);
  wednesday.weekday = 3;
  ResolveRunValues(&job, wednesday);
  EXPECT_EQ(job.Get("Weekday").text, "Wednesday");
  Job named = Load("VaryMode = 2\nWeekday = Weekly\n");
  ResolveRunValues(&named, wednesday);
  EXPECT_EQ(named.Get("Weekday").text, "Weekly");
}

TEST_F(RunValuesTest, AlwaysHearsOfFailedCopiesAndAsksOnlyWhereTheJobSaysSo) {
  std::filesystem::create_directories(temp_.path() / "logs");
  struct Case {
    const char* lines;
    uint32_t warnings;
    bool silent;
  } cases[] = {
      {"", 0x40, true},                                                // no log
      {"Warnings = 0x80\n", 0xC0, true},                               // keeps the beep bit
      {"LogFile = ${JOBDIR}/logs/r.log\n", 0x40, true},                // a log changes nothing
      {"LogFile = ${JOBDIR}/logs/r.log\nLogDetails = 3\n", 0x40, true},
      {"Warnings = 0x40\n", 0x40, false},                              // the job asks itself
      {"Warnings = 0xC0\n", 0xC0, false},
  };
  for (const Case& c : cases) {
    Job job = Load(c.lines);
    ResolveRunValues(&job, At(2026, 12, 9, 10, 0));
    EXPECT_EQ(job.Get("Warnings").number, c.warnings) << c.lines;
    EXPECT_EQ(job.silent_copy_errors, c.silent) << c.lines;
  }
}

}  // namespace
}  // namespace tolvex::frontend
