#include "frontend/copy_failures.h"

#include <gtest/gtest.h>

#include "frontend/test_support.h"

namespace tolvex::frontend {
namespace {

// Entries as the log writes them: labels right-aligned in 21 columns, CR LF.
const char kEarlierRun[] =
    "     Error at copying: S:\\old\\a.txt\r\n"
    "                   to: T:\\old\\a.txt\r\n";
const char kThisRun[] =
    "          File copied: S:\\src\\b.txt\r\n"
    "     Error at copying: S:\\src\\c.txt\r\n"
    "                   to: T:\\dst\\c.txt\r\n"
    "14:03:59\r\n"
    "     Error at copying: S:\\src\\Error at copying: d.txt\r\n"
    "         File skipped: S:\\src\\Error at copying.txt\r\n";

TEST(CountCopyErrorLines, CountsOnlyThisRunsErrorEntries) {
  TempFolder temp;
  temp.Write("run.log", std::string(kEarlierRun) + kThisRun);
  const std::string log = temp.Path("run.log");
  EXPECT_EQ(CountCopyErrorLines(log, 0), 3);
  EXPECT_EQ(CountCopyErrorLines(log, sizeof kEarlierRun - 1), 2);
  EXPECT_EQ(FileSizeOf(log), sizeof kEarlierRun - 1 + sizeof kThisRun - 1);
  EXPECT_EQ(CountCopyErrorLines(temp.Path("missing.log"), 0), 0);
  EXPECT_EQ(FileSizeOf(temp.Path("missing.log")), 0u);
}

}  // namespace
}  // namespace tolvex::frontend
