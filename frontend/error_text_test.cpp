#include "frontend/error_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/test_support.h"

namespace tolvex::frontend {
namespace {

// Access denied names the side that refused: the source that cannot be
// read is not "the target is read-only".
TEST(ExplainCopyError, NamesTheSideThatRefused) {
  TempFolder folder;
  folder.Write("source.txt", "s");
  folder.Write("read-only.txt", "r");
  folder.Write("writable.txt", "w");
  std::filesystem::create_directories(folder.path() / "a folder");
  std::filesystem::permissions(folder.path() / "read-only.txt", std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write | std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  const std::string source = folder.Path("source.txt");
  EXPECT_EQ(ExplainCopyError(5, folder.Path("gone.txt"), folder.Path("writable.txt")),
            "access denied: the source file cannot be read");
  EXPECT_EQ(ExplainCopyError(5, source, folder.Path("read-only.txt")),
            "access denied: the target is read-only");
  EXPECT_EQ(ExplainCopyError(5, source, folder.Path("a folder")),
            "access denied: a folder has the target's name");
  EXPECT_EQ(ExplainCopyError(5, source, folder.Path("writable.txt")), ExplainError(5));
  EXPECT_EQ(ExplainCopyError(112, source, folder.Path("writable.txt")), ExplainError(112));
  EXPECT_EQ(ExplainCopyError(1235, source, folder.Path("writable.txt")),
            "stopped by Ctrl-C; the target is as it was");
  std::filesystem::permissions(folder.path() / "read-only.txt", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

}  // namespace
}  // namespace tolvex::frontend
