#include "frontend/backup_generations.h"

#include <gtest/gtest.h>

#include "frontend/test_support.h"

namespace tolvex::frontend {
namespace {

// Where a source path lies in a generation folder, by PathMode: the same
// place the engine's run put it (the destination twin of the include that
// holds it, and the rest of the path below that include).
TEST(PathInGeneration, FollowsThePathModeOfTheJob) {
#if defined(_WIN32)
  // The job names its drives in [Drives], which only Linux reads; the
  // mapping is the same text rule on Windows (the restore tests of the
  // command run there).
  GTEST_SKIP() << "[Drives] is read on Linux only";
#endif
  TempFolder temp;
  std::filesystem::create_directories(temp.path() / "s/x");
  std::filesystem::create_directories(temp.path() / "d");
  const auto job_of = [&](const char* path_mode) {
    auto parsed = ParseJob(temp.Path("j.job"),
                           std::string("[Job]\nDestination = D:\\backup\nPathMode = ") + path_mode +
                               "\n[Drives]\nS = " + temp.Path("s") + "\nD = " + temp.Path("d") +
                               "\n[DInclSels]\nS:\\x\\data\\*\nS:\\x\\other\\\n[FInclSels]\n*.*\n");
    EXPECT_TRUE(std::holds_alternative<Job>(parsed));
    return std::get<Job>(parsed);
  };
  const std::string generation = "D:\\backup\\Grandson\\";
  struct Case {
    const char* path_mode;
    const char* source;
    bool is_folder;
    const char* expected;  // "" when the path has no place
  } cases[] = {
      {"relative", "S:\\x\\data\\a\\b\\f.txt", false, "D:\\backup\\Grandson\\data\\a\\b\\f.txt"},
      {"relative", "S:\\x\\other\\o.txt", false, "D:\\backup\\Grandson\\other\\o.txt"},
      {"relative", "S:\\x\\data\\a", true, "D:\\backup\\Grandson\\data\\a"},
      {"relative", "S:\\x\\data", true, "D:\\backup\\Grandson\\data"},
      {"full", "S:\\x\\data\\a\\b\\f.txt", false, "D:\\backup\\Grandson\\x\\data\\a\\b\\f.txt"},
      {"full", "S:\\x\\data\\a", true, "D:\\backup\\Grandson\\x\\data\\a"},
      {"flat", "S:\\x\\data\\a\\b\\f.txt", false, "D:\\backup\\Grandson\\f.txt"},
      {"flat", "S:\\x\\data\\a", true, ""},             // flat keeps no folders
      {"relative", "S:\\x\\other\\sub\\f.txt", false, ""},  // other\ holds no subfolders
      {"relative", "S:\\elsewhere\\f.txt", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path_mode) + " " + c.source);
    std::string error;
    const auto path = PathInGeneration(job_of(c.path_mode), c.source, c.is_folder, generation, &error);
    if (*c.expected == '\0') {
      EXPECT_FALSE(path.has_value()) << *path;
      EXPECT_FALSE(error.empty());
    } else {
      EXPECT_EQ(path.value_or("(none): " + error), c.expected);
    }
  }
}

}  // namespace
}  // namespace tolvex::frontend
