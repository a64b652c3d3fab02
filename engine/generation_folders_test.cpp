#include "engine/generation_folders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {
namespace {

// The real platform with a clock the test sets; renames and pump steps are
// recorded in order (renames still happen on the real folders).
class RecordingPlatform : public PlatformWrapper {
 public:
  RecordingPlatform() : PlatformWrapper(&DefaultPlatform()) {}
  LocalTime Now() override { return now; }
  uint32_t MoveEntry(const std::string& from, const std::string& to) override {
    const uint32_t result = target()->MoveEntry(from, to);
    calls.push_back("move " + from + " " + to + (result == kErrOk ? "" : " failed"));
    return result;
  }
  bool TakeOneMessage() override {
    calls.push_back("pump");
    return false;
  }

  LocalTime now{1999, 3, 14, 10, 0, 0, 0};
  std::vector<std::string> calls;
};

class GenerationFoldersTest : public ::testing::Test {
 protected:
  GenerationFoldersTest() {
    Sys().ReloadDrives();
    SetSys(&platform_);
  }
  ~GenerationFoldersTest() override { SetSys(nullptr); }

  // One run in mode 4 on S:\BACKUP\ that leaves the marker runN.txt in the
  // folder it updates, as the copy pass would fill it.
  void RotationRun(int n) {
    params_.VaryMode = 4;
    params_.Destination = "S:\\BACKUP\\";
    MakeDestinationRoot(params_, plan_);
    ASSERT_EQ(plan_.DestinationRoot, "S:\\BACKUP\\Grandson\\");
    drives_.WriteFile(plan_.DestinationRoot + "run" + std::to_string(n) + ".txt", "x");
  }

  // Which runs' markers a generation holds ("1+4"), or "-" when it is missing.
  std::string Generation(const std::string& name) const {
    const std::string folder = "S:\\BACKUP\\" + name;
    if (!drives_.Exists(folder)) return "-";
    std::string runs;
    for (int n = 1; n <= 9; ++n) {
      if (!drives_.Exists(folder + "\\run" + std::to_string(n) + ".txt")) continue;
      runs += (runs.empty() ? "" : "+") + std::to_string(n);
    }
    return runs;
  }
  std::string Generations() const {
    return "Grandson " + Generation("Grandson") + ", Son " + Generation("Son") + ", Father " +
           Generation("Father") + ", Grandfather " + Generation("Grandfather");
  }

  TestDrives drives_{"S"};
  RecordingPlatform platform_;
  TParameters params_;
  Plan plan_;
};

TEST_F(GenerationFoldersTest, ModesNameTheirFolder) {
  struct Case {
    int mode;
    std::string destination;
    std::string weekday;
    LocalTime today;
    std::string expected;
  };
  const LocalTime pi_day{1999, 3, 14, 10, 0, 0, 0};
  const Case cases[] = {
      {0, "D:\\BACKUP\\", "", pi_day, "D:\\BACKUP\\"},
      {1, "D:\\BACKUP\\", "", pi_day, "D:\\BACKUP\\A031499\\"},
      {1, "E:\\", "", {2001, 1, 5, 0, 0, 0, 5}, "E:\\A010501\\"},
      {1, "E:\\", "", {2000, 12, 31, 23, 59, 59, 0}, "E:\\A123100\\"},
      {2, "D:\\BACKUP\\", "Sunday", pi_day, "D:\\BACKUP\\Sunday\\"},
      {3, "D:\\BACKUP\\", "", pi_day, "D:\\BACKUP\\Even\\"},
      {3, "D:\\BACKUP\\", "", {2001, 1, 31, 0, 0, 0, 3}, "D:\\BACKUP\\Odd\\"},
      {3, "D:\\BACKUP\\", "", {2001, 1, 30, 0, 0, 0, 2}, "D:\\BACKUP\\Even\\"},
      {3, "D:\\BACKUP\\", "", {2001, 2, 1, 0, 0, 0, 4}, "D:\\BACKUP\\Odd\\"},
      // A destination without its backslash still gets a folder below it.
      {0, "D:\\BACKUP", "", pi_day, "D:\\BACKUP\\"},
      {1, "D:\\BACKUP", "", pi_day, "D:\\BACKUP\\A031499\\"},
  };
  for (const Case& c : cases) {
    platform_.now = c.today;
    params_.VaryMode = c.mode;
    params_.Destination = c.destination;
    params_.Weekday = c.weekday;
    MakeDestinationRoot(params_, plan_);
    EXPECT_EQ(plan_.DestinationRoot, c.expected) << "mode " << c.mode;
  }
  EXPECT_TRUE(platform_.calls.empty());  // only mode 4 renames
}

// The folder of the previous run belongs to the previous job: keeping it
// would make a run with an unknown mode write into another job's backup.
// No folder at all makes the scan visit nothing.
TEST_F(GenerationFoldersTest, OutOfRangeModeNamesNoFolder) {
  params_.Destination = "D:\\BACKUP\\";
  params_.VaryMode = 1;
  MakeDestinationRoot(params_, plan_);
  for (int mode : {-1, 5, 100}) {
    params_.VaryMode = 1;
    params_.Destination = "D:\\BACKUP\\";
    MakeDestinationRoot(params_, plan_);
    params_.VaryMode = mode;
    params_.Destination = "E:\\OTHER\\";
    MakeDestinationRoot(params_, plan_);
    EXPECT_EQ(plan_.DestinationRoot, "") << mode;
  }
  TParameters fresh;
  fresh.VaryMode = 9;
  fresh.Destination = "D:\\";
  Plan fresh_plan;
  MakeDestinationRoot(fresh, fresh_plan);
  EXPECT_EQ(fresh_plan.DestinationRoot, "");
  EXPECT_TRUE(platform_.calls.empty());
}

TEST_F(GenerationFoldersTest, RotationRenamesInOrderWithAPumpStepAfterEach) {
  drives_.MakeDirs("S:\\BACKUP\\Grandson");
  RotationRun(2);
  EXPECT_EQ(platform_.calls,
            (std::vector<std::string>{
                "move S:\\BACKUP\\Father S:\\BACKUP\\Grandfather failed", "pump",
                "move S:\\BACKUP\\Son S:\\BACKUP\\Father failed", "pump",
                "move S:\\BACKUP\\Grandson S:\\BACKUP\\Son", "pump",
                "move S:\\BACKUP\\Grandfather S:\\BACKUP\\Grandson failed", "pump"}));
}

TEST_F(GenerationFoldersTest, RotationKeepsThreeGenerations) {
  drives_.MakeDirs("S:\\BACKUP\\");
  RotationRun(1);  // nothing to rename: the new Grandson is filled completely
  EXPECT_EQ(Generations(), "Grandson 1, Son -, Father -, Grandfather -");
  RotationRun(2);
  EXPECT_EQ(Generations(), "Grandson 2, Son 1, Father -, Grandfather -");
  RotationRun(3);
  EXPECT_EQ(Generations(), "Grandson 3, Son 2, Father 1, Grandfather -");
  RotationRun(4);  // the oldest generation is brought up to date
  EXPECT_EQ(Generations(), "Grandson 1+4, Son 3, Father 2, Grandfather -");
  RotationRun(5);
  EXPECT_EQ(Generations(), "Grandson 2+5, Son 1+4, Father 3, Grandfather -");
}

TEST_F(GenerationFoldersTest, LeftoverGrandfatherBlocksTheWholeRotation) {
  drives_.MakeDirs("S:\\BACKUP\\");
  for (int n = 1; n <= 3; ++n) RotationRun(n);
  drives_.WriteFile("S:\\BACKUP\\Grandfather\\run9.txt", "x");
  platform_.calls.clear();
  RotationRun(4);
  EXPECT_EQ(Generations(), "Grandson 3+4, Son 2, Father 1, Grandfather 9");
  int failed = 0;
  for (const std::string& call : platform_.calls) {
    if (call.ends_with(" failed")) ++failed;
  }
  EXPECT_EQ(failed, 4);
}

}  // namespace
}  // namespace tolvex
