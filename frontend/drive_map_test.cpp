#include "frontend/drive_map.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "frontend/test_support.h"

namespace tolvex::frontend {
namespace {

TEST(NormalizePath, ResolvesDotsAndRepeatedSeparatorsWithoutClimbingAboveTheRoot) {
  struct Case {
    const char* path;
    char separator;
    size_t root;
    const char* expected;
  } cases[] = {
      {"/a/./b/../c", '/', 1, "/a/c"},
      {"/a//b///", '/', 1, "/a/b"},
      {"/../../x", '/', 1, "/x"},
      {"/", '/', 1, "/"},
      {"C:\\Data\\..\\..\\Temp\\", '\\', 3, "C:\\Temp"},
      {"C:\\a/b\\.\\c", '\\', 3, "C:\\a\\b\\c"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizePath(c.path, c.separator, c.root), c.expected) << c.path;
  }
}

TEST(DriveMap, KeepsDriveFormPathsInTheEngineShape) {
  DriveMap map;
  std::string error;
  EXPECT_EQ(map.ToDriveForm("c:/Data/Letters", PathKind::kSelection, &error), "C:\\Data\\Letters\\");
  EXPECT_EQ(map.ToDriveForm("C:\\Data\\*", PathKind::kSelection, &error), "C:\\Data\\*");
  EXPECT_EQ(map.ToDriveForm("C:\\*", PathKind::kSelection, &error), "C:\\*");
  EXPECT_EQ(map.ToDriveForm("D:\\Backup", PathKind::kFolder, &error), "D:\\Backup\\");
  EXPECT_EQ(map.ToDriveForm("D:\\", PathKind::kFolder, &error), "D:\\");
  EXPECT_EQ(map.ToDriveForm("D:\\logs\\run.log", PathKind::kFile, &error), "D:\\logs\\run.log");
  EXPECT_EQ(map.ToDriveForm("D:\\", PathKind::kFile, &error), std::nullopt);
  EXPECT_EQ(map.ToDriveForm("C:\\Data*", PathKind::kSelection, &error), std::nullopt);
  EXPECT_NE(error.find("'*'"), std::string::npos);
}

#if !defined(_WIN32)

TEST(DriveMap, MapsNativePathsThroughTheJobsDrivesDeepestFirst) {
  TempFolder temp;
  std::filesystem::create_directories(temp.path() / "outer" / "inner" / "sub");
  DriveMap map;
  ASSERT_EQ(map.AddDrive('s', temp.Path("outer")), std::nullopt);
  ASSERT_EQ(map.AddDrive('T', temp.Path("outer/inner")), std::nullopt);
  std::string error;
  EXPECT_EQ(map.ToDriveForm(temp.Path("outer/inner/sub/*"), PathKind::kSelection, &error),
            "T:\\sub\\*");
  EXPECT_EQ(map.ToDriveForm(temp.Path("outer/x/../inner2/"), PathKind::kSelection, &error),
            "S:\\inner2\\");
  EXPECT_EQ(map.ToDriveForm(temp.Path("outer"), PathKind::kFolder, &error), "S:\\");
  EXPECT_EQ(map.ToDriveForm(temp.Path("outer/*"), PathKind::kSelection, &error), "S:\\*");
  EXPECT_EQ(map.ToDriveForm(temp.Path("outer/inner/log.txt"), PathKind::kFile, &error),
            "T:\\log.txt");
  EXPECT_EQ(map.EnvironmentValue(), "S=" + temp.Path("outer") + ";T=" + temp.Path("outer/inner"));
}

TEST(DriveMap, TurnsDriveFormBackIntoNativePaths) {
  TempFolder temp;
  DriveMap map;
  ASSERT_EQ(map.AddDrive('S', temp.Path()), std::nullopt);
  EXPECT_EQ(map.ToNative("S:\\a\\b.txt"), temp.Path("a/b.txt"));
  EXPECT_EQ(map.ToNative("s:\\a\\"), temp.Path("a/"));
  EXPECT_EQ(map.ToNative("S:\\"), temp.Path() + "/");
  EXPECT_EQ(map.ToNative("Q:\\a\\"), "Q:\\a\\");  // not in the table: as it is
#if !defined(_WIN32)
  // Names Windows cannot hold travel mapped; messages show them as on disk.
  EXPECT_EQ(map.ToNative("S:\\dir\xEF\x80\xBAx\xEF\x80\xAE\\a\xEF\x80\xBF.txt"), temp.Path("dir:x./a?.txt"));
  EXPECT_EQ(map.ToNative("S:\\\xEF\x82\x80"), temp.Path("\xEF\x82\x80"));  // U+F080: no mapped character
#endif
  EXPECT_EQ(map.FolderOf('s'), temp.Path());
}

TEST(DriveMap, RefusesRelativePathsAndBadDrives) {
  TempFolder temp;
  DriveMap map;
  std::string error;
  EXPECT_EQ(map.ToDriveForm("data/*", PathKind::kSelection, &error), std::nullopt);
  EXPECT_NE(error.find("not an absolute path"), std::string::npos);
  EXPECT_EQ(map.ToDriveForm("~/data", PathKind::kFolder, &error), std::nullopt);
  EXPECT_NE(map.AddDrive('1', temp.Path()), std::nullopt);
  EXPECT_NE(map.AddDrive('S', "relative/folder"), std::nullopt);
  EXPECT_NE(map.AddDrive('S', temp.Path("missing")), std::nullopt);
  ASSERT_EQ(map.AddDrive('S', temp.Path()), std::nullopt);
  EXPECT_NE(map.AddDrive('s', temp.Path()), std::nullopt);  // given twice
}

TEST(DriveMap, GivesOneAutomaticLetterPerFileSystem) {
  TempFolder temp;
  std::filesystem::create_directories(temp.path() / "src");
  DriveMap map;
  ASSERT_EQ(map.AddDrive('C', temp.Path("src")), std::nullopt);  // C: is taken
  std::string error;
  const auto source = map.ToDriveForm(temp.Path("elsewhere/a/*"), PathKind::kSelection, &error);
  const auto target = map.ToDriveForm(temp.Path("not/yet/made"), PathKind::kFolder, &error);
  ASSERT_TRUE(source && target) << error;
  EXPECT_EQ((*source)[0], 'D');
  EXPECT_EQ((*target)[0], 'D');  // one file system, one letter
  EXPECT_EQ(map.ToNative(*target), temp.Path("not/yet/made/"));
  ASSERT_EQ(map.drives().size(), 2u);
  EXPECT_TRUE(map.drives()[1].automatic);
  EXPECT_EQ(map.drives()[1].folder, FileSystemRoot(temp.Path()));
}

TEST(DriveMap, SeparatesTwoFileSystems) {
  struct stat shm {}, tmp {};
  if (stat("/dev/shm", &shm) != 0 || stat(std::filesystem::temp_directory_path().c_str(), &tmp) != 0 ||
      shm.st_dev == tmp.st_dev) {
    GTEST_SKIP() << "no second file system (/dev/shm) here";
  }
  TempFolder on_tmp;
  TempFolder on_shm("/dev/shm");
  DriveMap map;
  std::string error;
  const auto source = map.ToDriveForm(on_tmp.Path("data/*"), PathKind::kSelection, &error);
  const auto target = map.ToDriveForm(on_shm.Path("backup"), PathKind::kFolder, &error);
  ASSERT_TRUE(source && target) << error;
  EXPECT_NE((*source)[0], (*target)[0]);
  EXPECT_EQ(FileSystemRoot(on_shm.Path("backup/deeper")), "/dev/shm");
  EXPECT_EQ(map.ToNative(*target), on_shm.Path("backup/"));
}

#endif

}  // namespace
}  // namespace tolvex::frontend
