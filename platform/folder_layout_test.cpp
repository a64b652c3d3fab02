#include "platform/folder_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/tolvex32.h"

namespace tolvex {
namespace {

TEST(FolderLayout, WorkingDestinationFolderOfEachVaryMode) {
  const LocalTime today{1999, 3, 14, 10, 0, 0, 0};
  EXPECT_EQ(WorkingDestinationFolder(TOLVEX_VARY_NONE, "D:\\BACKUP", "Sunday", today), "D:\\BACKUP\\");
  EXPECT_EQ(WorkingDestinationFolder(TOLVEX_VARY_DATED, "D:\\BACKUP\\", "", today),
            "D:\\BACKUP\\A031499\\");
  EXPECT_EQ(WorkingDestinationFolder(TOLVEX_VARY_WEEKDAY, "D:\\", "Sunday", today), "D:\\Sunday\\");
  EXPECT_EQ(WorkingDestinationFolder(TOLVEX_VARY_ODD_EVEN, "D:", "", today), "D:\\Even\\");
  EXPECT_EQ(WorkingDestinationFolder(TOLVEX_VARY_GENERATIONS, "D:\\B\\", "", today),
            "D:\\B\\Grandson\\");
  EXPECT_EQ(WorkingDestinationFolder(7, "D:\\B\\", "", today), std::nullopt);
}

TEST(FolderLayout, DestinationOverSourceIsFoundWhereTheScanWouldReadASourceFolder) {
  struct Case {
    const char* what;
    int pathMode;
    std::string root;
    std::vector<std::string> includes;
    bool refused;
  };
  const Case cases[] = {
      {"relative, include below the root", 2, "C:\\Data\\", {"C:\\Data\\Src\\*"}, true},
      {"relative, plain include below the root", 2, "C:\\Data\\", {"C:\\Data\\Src\\"}, true},
      {"relative, drive root", 2, "C:\\", {"C:\\Data\\*"}, true},
      {"relative, into a sibling", 2, "C:\\Copy\\", {"C:\\Data\\Src\\*"}, false},
      {"relative, two includes, one twin holds the other", 2, "C:\\Data\\",
       {"C:\\Data\\A\\*", "C:\\Data\\Data\\A\\"}, true},
      {"full, below the parent", 1, "C:\\Data\\", {"C:\\Data\\Src\\*"}, false},
      {"full, drive root", 1, "C:\\", {"C:\\Data\\*"}, true},
      {"full, drive root in other letter case", 1, "c:\\", {"C:\\DATA\\*"}, true},
      {"full, dated folder on the drive root", 1, "C:\\A031499\\", {"C:\\Data\\*"}, false},
      {"full, other drive", 1, "D:\\", {"C:\\Data\\*"}, false},
      {"flat, into an include", 0, "C:\\Data\\", {"C:\\Data\\*"}, true},
      {"flat, inside an include", 0, "C:\\Data\\Flat\\", {"C:\\Data\\*"}, false},
      {"flat, above an include", 0, "C:\\", {"C:\\Data\\*"}, false},
      {"unknown path mode", 3, "C:\\Data\\", {"C:\\Data\\*"}, false},
      {"entries that are no folder selection", 2, "C:\\Data\\", {"C:\\Data", "C:"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FindDestinationOverSource(c.pathMode, c.root, c.includes).has_value(), c.refused);
  }
}

TEST(FolderLayout, FaultNamesTheFolderReadAndTheSourceItHolds) {
  const auto fault = FindDestinationOverSource(2, "C:\\Data\\", {"C:\\Data\\Src\\*"});
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->destinationFolders, "C:\\Data\\*");
  EXPECT_EQ(fault->selection, "C:\\Data\\Src\\*");
}

TEST(FolderLayout, DrivesMeetWhereTheirTwinsShareFolders) {
  struct Case {
    const char* what;
    int pathMode;
    std::vector<std::string> includes;
    bool refused;
  };
  const Case cases[] = {
      {"full, apart", 1, {"S:\\a\\*", "U:\\b\\*"}, false},
      {"full, equal", 1, {"S:\\a\\*", "U:\\a\\*"}, true},
      {"full, nested", 1, {"S:\\a\\*", "U:\\a\\b\\"}, true},
      {"full, nested the other way", 1, {"U:\\a\\b\\*", "S:\\*"}, true},
      {"full, a plain folder above a subtree", 1, {"S:\\a\\", "U:\\a\\b\\*"}, false},
      {"full, one drive in two spellings", 1, {"S:\\a\\*", "s:\\a\\b\\*"}, false},
      {"relative, one drive", 2, {"S:\\a\\*", "S:\\b\\*"}, false},
      {"relative, two drives", 2, {"S:\\a\\*", "U:\\b\\*"}, true},
      {"flat, two drives", 0, {"S:\\a\\*", "U:\\a\\*"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FindDrivesMeeting(c.pathMode, "T:\\Backup\\", c.includes).has_value(), c.refused);
  }
  const std::vector<std::string> includes = {"S:\\a\\*", "u:\\b\\*"};
  EXPECT_EQ(DriveOfTwinHolding("T:\\Backup\\", includes, "T:\\Backup\\a\\x\\"), 'S');
  EXPECT_EQ(DriveOfTwinHolding("T:\\Backup\\", includes, "T:\\Backup\\B\\"), 'U');
  EXPECT_EQ(DriveOfTwinHolding("T:\\Backup\\", includes, "T:\\Backup\\c\\"), 0);
}

TEST(FolderLayout, IncludesApartOnlyByLetterCaseMeetInTheDestination) {
  struct Case {
    const char* what;
    int pathMode;
    std::vector<std::string> includes;
    bool refused;
  };
  const Case cases[] = {
      {"full, two spellings", 1, {"S:\\Data\\*", "S:\\data\\*"}, true},
      {"full, two spellings, plain folders", 1, {"S:\\Data\\", "S:\\DATA\\"}, true},
      {"full, inside the other spelling", 1, {"S:\\Data\\*", "S:\\data\\Sub\\"}, true},
      {"full, a plain folder above the other spelling", 1,
       {"S:\\Data\\", "S:\\data\\Sub\\*"}, false},
      {"full, two drives in two spellings", 1, {"S:\\Data\\*", "U:\\data\\*"}, true},
      {"full, one folder named twice", 1, {"S:\\Data\\*", "s:\\Data\\*"}, false},
      {"full, nested in one spelling", 1, {"S:\\Data\\*", "S:\\Data\\Sub\\*"}, false},
      {"full, apart", 1, {"S:\\Data\\*", "S:\\Dates\\*"}, false},
      {"relative, two spellings", 2, {"S:\\Data\\*", "S:\\data\\*"}, true},
      {"relative, below the common root", 2, {"S:\\x\\Data\\*", "S:\\x\\DATA\\*"}, true},
      {"flat", 0, {"S:\\Data\\*", "S:\\data\\*"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FindIncludesApartOnlyByCase(c.pathMode, "T:\\Backup\\", c.includes).has_value(),
              c.refused);
  }
}

}  // namespace
}  // namespace tolvex
