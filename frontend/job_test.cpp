#include "frontend/job.h"

#include <gtest/gtest.h>

#include "frontend/test_support.h"

namespace tolvex::frontend {
namespace {

class JobFileTest : public ::testing::Test {
 protected:
  JobFileTest() {
    std::filesystem::create_directories(temp_.path() / "src");
    std::filesystem::create_directories(temp_.path() / "logs");
  }

  std::string JobPath() const { return temp_.Path("nightly.job"); }

  std::variant<Job, JobErrors> Parse(const std::string& text) const {
    return ParseJob(JobPath(), text);
  }

  // A job of which line 3 onwards is `tail`.
  std::variant<Job, JobErrors> ParseWithTail(const std::string& tail) const {
    return Parse("[Job]\nDestination = ${JOBDIR}/backup\n" + tail +
                 "\n[DInclSels]\n${JOBDIR}/src/*\n[FInclSels]\n*.*\n");
  }

  TempFolder temp_;
};

TEST_F(JobFileTest, ReportsEveryBadLineWithItsLineAndKey) {
  struct Case {
    const char* tail;
    int line;
    const char* key;
    const char* message;
  } cases[] = {
      {"VaryMode = 5", 3, "VaryMode", "0..4"},
      {"ConfirmMode = 3", 3, "ConfirmMode", "0..2"},
      {"SortMode = -1", 3, "SortMode", "0..4"},
      {"PathMode = 3", 3, "PathMode", "0..2"},
      {"TouchMode = 7", 3, "TouchMode", "0..2"},
      {"DisplayMode = 3", 3, "DisplayMode", "0..2"},
      {"OrphanModeD1 = 2", 3, "OrphanModeD1", "0 or 1"},
      {"OrphanModeD2 = 0", 3, "OrphanModeD2", "1 or 2"},
      {"OrphanModeB = 3", 3, "OrphanModeB", "0, 1 or 2"},
      {"OrphanModeS1 = 2", 3, "OrphanModeS1", "0 or 1"},
      {"OrphanModeS2 = 0", 3, "OrphanModeS2", "1 or 2"},
      {"Warnings = 0x41", 3, "Warnings", "0x00, 0x40, 0x80 or 0xC0"},
      {"Attributes = 256", 3, "Attributes", "0..255"},
      {"CheckSizes = 300", 3, "CheckSizes", "0..255"},
      {"LogDateTime = 3", 3, "LogDateTime", "0..2"},
      {"LogDetails = 4", 3, "LogDetails", "0..3"},
      {"ConfirmMode = two", 3, "ConfirmMode", "not a number"},
      {"VaryMode = 1.5", 3, "VaryMode", "not a number"},
      {"Reverse = maybe", 3, "Reverse", "not 1 or 0"},
      {"Midnight = sometimes", 3, "Midnight", "not 1 or 0"},
      {"LeastDate = 2026-02-30", 3, "LeastDate", "not a local date"},
      {"LastUpdate = 12/09/2026", 3, "LastUpdate", "not a local date"},
      {"BlockColor1 = blue", 3, "BlockColor1", "#RRGGBB"},
      {"DateSeparator = --", 3, "DateSeparator", "one character"},
      {"Weekday = Mon/day", 3, "Weekday", "not a folder name"},
      {"Filename =", 3, "Filename", "needs a value"},
      {"Colour = 1", 3, "Colour", "unknown key"},
      {"VaryMode 4", 3, "", "Key = Value"},
      {"Destination = /elsewhere", 3, "Destination", "given twice (first on line 2)"},
      {"LogFile = logs/run.log", 3, "LogFile", "not an absolute path"},
      {"LogFile = ${JOBDIR}/missing/run.log", 3, "LogFile", "does not exist"},
      {"LogActive = 1", 3, "LogActive", "needs a LogFile"},
      {"[Extra]", 3, "[Extra]", "unknown section"},
      {"[Job]", 3, "[Job]", "section given twice"},
      {"[DExclSels]\nsrc/*", 4, "[DExclSels]", "not an absolute path"},
      {"[DExclSels]\n${JOBDIR}/src/tmp*", 4, "[DExclSels]", "'*' may only follow"},
      {"[FExclSels]\n/tmp/*.bak", 4, "[FExclSels]", "not a path"},
      // No folder or file can have such a name: the engine would skip the
      // selection (or fail every copy to such a destination) without a word.
      {"[DExclSels]\n${JOBDIR}/src/a*b/*", 4, "[DExclSels]", "\"a*b\" cannot be the name"},
      {"[DExclSels]\n${JOBDIR}/src/*/cache/*", 4, "[DExclSels]", "\"*\" cannot be the name"},
      {"LogFile = ${JOBDIR}/logs/run?.log", 3, "LogFile", "\"run?.log\" cannot be the name"},
      {"LogFile = ${JOBDIR}/logs/a|b/run.log", 3, "LogFile", "\"a|b\" cannot be the name"},
#if defined(_WIN32)
      {"[Drives]\nS = C:\\x", 3, "[Drives]", "for Linux"},
#else
      {"[Drives]\nSS = /tmp", 4, "[Drives]", "Letter = /folder"},
      {"[Drives]\nS = ${JOBDIR}/missing", 4, "[Drives] S", "does not exist"},
      {"[Drives]\nS = relative", 4, "[Drives] S", "not an absolute path"},
#endif
  };
  for (const Case& c : cases) {
    const auto parsed = ParseWithTail(c.tail);
    ASSERT_TRUE(std::holds_alternative<JobErrors>(parsed)) << c.tail;
    EXPECT_EQ(std::get<JobErrors>(parsed).size(), 1u) << c.tail;
    const JobError& error = std::get<JobErrors>(parsed).front();
    EXPECT_EQ(error.file, JobPath()) << c.tail;
    EXPECT_EQ(error.line, c.line) << c.tail;
    EXPECT_EQ(error.key, c.key) << c.tail;
    EXPECT_NE(error.message.find(c.message), std::string::npos) << c.tail << ": " << error.message;
    EXPECT_EQ(error.Format().rfind(JobPath() + ":" + std::to_string(c.line) + ":", 0), 0u)
        << error.Format();
  }
}

TEST_F(JobFileTest, RefusesAJobWithoutDestinationOrOutsideAnySection) {
  auto parsed = Parse("[Job]\nVaryMode = 1\n[DInclSels]\n${JOBDIR}/src/*\n");
  ASSERT_TRUE(std::holds_alternative<JobErrors>(parsed));
  EXPECT_EQ(std::get<JobErrors>(parsed).front().key, "Destination");
  EXPECT_EQ(std::get<JobErrors>(parsed).front().Format(), JobPath() + ": Destination: missing: the job "
                                                             "needs a destination folder in [Job]");
  parsed = Parse("VaryMode = 1\n[Job]\n");
  ASSERT_TRUE(std::holds_alternative<JobErrors>(parsed));
  EXPECT_EQ(std::get<JobErrors>(parsed).front().line, 1);
}

TEST_F(JobFileTest, RefusesADestinationInsideASourceSubtreeUnlessExcluded) {
  const std::string head = "[Job]\nDestination = ${JOBDIR}/src/Backup\n[DInclSels]\n${JOBDIR}/SRC/*\n";
  auto parsed = Parse(head);
  ASSERT_TRUE(std::holds_alternative<JobErrors>(parsed));
  EXPECT_EQ(std::get<JobErrors>(parsed).front().line, 2);
  EXPECT_NE(std::get<JobErrors>(parsed).front().message.find("(line 4)"), std::string::npos)
      << std::get<JobErrors>(parsed).front().message;
  // Excluding only the folder itself still scans what lies below it.
  EXPECT_TRUE(std::holds_alternative<JobErrors>(Parse(head + "[DExclSels]\n${JOBDIR}/src/backup/\n")));
  EXPECT_TRUE(std::holds_alternative<Job>(Parse(head + "[DExclSels]\n${JOBDIR}/src/backup/*\n")));
  // Beside the sources, or below a folder taken without its subfolders: fine.
  EXPECT_TRUE(std::holds_alternative<Job>(
      Parse("[Job]\nDestination = ${JOBDIR}/srcbackup\n[DInclSels]\n${JOBDIR}/src/*\n")));
  EXPECT_TRUE(std::holds_alternative<Job>(
      Parse("[Job]\nDestination = ${JOBDIR}/src/b\n[DInclSels]\n${JOBDIR}/src/\n")));
  EXPECT_TRUE(std::holds_alternative<JobErrors>(
      Parse("[Job]\nDestination = ${JOBDIR}/src\n[DInclSels]\n${JOBDIR}/src/\n")));
}

#if !defined(_WIN32)

TEST_F(JobFileTest, RefusesADestinationTooLongForItsGenerationFolders) {
  // "S:\" + 246 characters + "\" is 250 characters: room for mode 0, not for
  // the 12 characters a generation folder adds.
  const std::string deep(246, 'd');
  const std::string head = "[Drives]\nS = ${JOBDIR}\n[Job]\nDestination = S:\\" + deep + "\n";
  EXPECT_TRUE(std::holds_alternative<Job>(Parse(head + "VaryMode = 0\n")));
  const auto parsed = Parse(head + "VaryMode = 4\n");
  ASSERT_TRUE(std::holds_alternative<JobErrors>(parsed));
  EXPECT_EQ(std::get<JobErrors>(parsed).front().key, "Destination");
  EXPECT_EQ(std::get<JobErrors>(parsed).front().line, 4);
  EXPECT_NE(std::get<JobErrors>(parsed).front().message.find("at most 247"), std::string::npos);
}

#endif

#if !defined(_WIN32)

TEST_F(JobFileTest, ResolvesValuesDefaultsListsAndPaths) {
  const auto parsed = Parse(
      "; nightly backup\n"
      "[Drives]\n"
      "S = ${JOBDIR}\n"
      "[Job]\n"
      "destination = ${JOBDIR}/backup\n"
      "VaryMode = 4\n"
      "Warnings = 0xC0\n"
      "LeastDate = 2001-01-05 07:08:10\n"
      "BlockColor2 = #102030\n"
      "DateSeparator = .\n"
      "LogFile = ${JOBDIR}/logs/run.log\n"
      "Midnight = auto\n"
      "[DInclSels]\n"
      "${JOBDIR}/src/*\n"
      "S:\\src\\keep\\\n"
      "[DExclSels]\n"
      "${JOBDIR}/src/tmp/*\n"
      "[FInclSels]\n"
      "*.*\n"
      "[FExclSels]\n"
      "*.bak\n");
  ASSERT_TRUE(std::holds_alternative<Job>(parsed)) << std::get<JobErrors>(parsed).front().Format();
  const Job& job = std::get<Job>(parsed);
  EXPECT_EQ(job.lists[kDIncl], (std::vector<std::string>{"S:\\src\\*", "S:\\src\\keep\\"}));
  EXPECT_EQ(job.lists[kDExcl], (std::vector<std::string>{"S:\\src\\tmp\\*"}));
  EXPECT_EQ(job.lists[kFIncl], (std::vector<std::string>{"*.*"}));
  EXPECT_EQ(job.lists[kFExcl], (std::vector<std::string>{"*.bak"}));
  EXPECT_EQ(job.Get("Destination").text, "S:\\backup\\");
  EXPECT_EQ(job.Get("Destination").line, 5);
  EXPECT_EQ(job.Get("LogFile").text, "S:\\logs\\run.log");
  EXPECT_EQ(job.Get("VaryMode").number, 4u);
  EXPECT_EQ(job.Get("Warnings").number, 0xC0u);
  EXPECT_EQ(job.Get("LeastDate").number, (21u << 25) | (1u << 21) | (5u << 16) | (7u << 11) | (8u << 5) | 5u);
  EXPECT_EQ(job.Get("BlockColor2").number, 0x00302010u);
  EXPECT_EQ(job.Get("DateSeparator").number, static_cast<uint32_t>('.'));
  EXPECT_TRUE(job.Get("Midnight").is_auto);
  // Defaults.
  EXPECT_EQ(job.Get("Filename").text, "nightly.job");
  EXPECT_EQ(job.Get("LogActive").number, 1u);  // a LogFile is given
  EXPECT_EQ(job.Get("PathMode").number, 2u);
  EXPECT_EQ(job.Get("OrphanModeD2").number, 1u);
  EXPECT_EQ(job.Get("TimeSeparator").number, static_cast<uint32_t>(':'));
  EXPECT_EQ(job.Get("BlockColor1").number, 0x00FFFFFFu);
  EXPECT_EQ(job.drives.EnvironmentValue(), "S=" + temp_.Path());
}

#endif

}  // namespace
}  // namespace tolvex::frontend
