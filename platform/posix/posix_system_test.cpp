// The POSIX pump step, shell open through xdg-open, free space, the errno
// translation and byte order of CompareExact.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_pump.h"
#include "platform/posix/win32_error.h"
#include "testing/test_drives.h"

namespace tolvex::posix {
namespace {

TEST(PosixPumpTest, TakesAtMostOnePendingKeyForTheRegisteredHandler) {
  ClearKeyHandler();
  EXPECT_FALSE(Sys().PumpStep());  // no view: nothing is taken
  std::vector<int> pending = {'c', 27};
  std::vector<int> handled;
  SetKeyHandler([&](int key) { handled.push_back(key); },
                [&] {
                  if (pending.empty()) return -1;
                  const int key = pending.front();
                  pending.erase(pending.begin());
                  return key;
                });
  EXPECT_TRUE(Sys().PumpStep());
  EXPECT_EQ(handled, (std::vector<int>{'c'}));
  EXPECT_TRUE(Sys().PumpStep());
  EXPECT_FALSE(Sys().PumpStep());
  EXPECT_EQ(handled, (std::vector<int>{'c', 27}));
  ClearKeyHandler();
  pending = {'x'};
  EXPECT_FALSE(Sys().PumpStep());
  EXPECT_EQ(pending.size(), 1u);  // not read past a view that is gone
}

TEST(PosixPumpTest, AHandlerMayRemoveItselfWhileHandling) {
  int calls = 0;
  SetKeyHandler([&](int) {
    ++calls;
    ClearKeyHandler();
  },
                [] { return 'q'; });
  EXPECT_TRUE(Sys().PumpStep());
  EXPECT_FALSE(Sys().PumpStep());
  EXPECT_EQ(calls, 1);
}

// Puts a stand-in xdg-open first on PATH that writes its arguments to a file.
class ShellOpenTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    saved_path_ = path ? path : "";
    bin_ = drives_.Native("T:\\bin");
    drives_.MakeDirs("T:\\bin");
    record_ = drives_.Native("T:\\record.txt");
    std::ofstream script(bin_ + "/xdg-open");
    script << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" << record_
           << ".part'\nmv '" << record_ << ".part' '" << record_ << "'\n";
    script.close();
    ASSERT_EQ(chmod((bin_ + "/xdg-open").c_str(), 0755), 0);
  }
  void TearDown() override { setenv("PATH", saved_path_.c_str(), 1); }

  // What the stand-in received; waits for the detached process to finish.
  std::string Recorded() const {
    for (int i = 0; i < 500; ++i) {
      std::ifstream in(record_);
      if (in) {
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "(nothing)";
  }

  TestDrives drives_;
  std::string saved_path_;
  std::string bin_;
  std::string record_;
};

TEST_F(ShellOpenTest, OpensNativePathsAsOneArgumentWithoutAShell) {
  drives_.WriteFile("S:\\Docs\\a b;$(rm -rf x).txt", "d");
  setenv("PATH", (bin_ + ":" + saved_path_).c_str(), 1);
  ASSERT_TRUE(Sys().ShellOpen("S:\\docs\\A B;$(RM -RF X).TXT"));
  EXPECT_EQ(Recorded(), "[" + drives_.Native("S:\\Docs\\a b;$(rm -rf x).txt") + "]");
}

TEST_F(ShellOpenTest, PassesOtherTargetsUnchanged) {
  setenv("PATH", (bin_ + ":" + saved_path_).c_str(), 1);
  ASSERT_TRUE(Sys().ShellOpen("https://example.org/a?b=c&d"));
  EXPECT_EQ(Recorded(), "[https://example.org/a?b=c&d]");
}

TEST_F(ShellOpenTest, FailsWithoutXdgOpenOrForAMissingFile) {
  setenv("PATH", (bin_ + ":" + saved_path_).c_str(), 1);
  EXPECT_FALSE(Sys().ShellOpen("S:\\missing.txt"));
  setenv("PATH", drives_.Native("T:\\empty-bin").c_str(), 1);
  EXPECT_FALSE(Sys().ShellOpen("https://example.org/"));
}

// The drive's free bytes as the system's own df reports them (a program of
// the machine's word size; a 32-bit build must not lose what lies beyond
// 4 GiB). Other processes write meanwhile: the figures may differ a little.
TEST(PosixFreeSpaceTest, IsTheFigureDfReports) {
  TestDrives drives;
  const std::string command = "df -B1 --output=avail '" + drives.Native("S:\\") + "'";
  std::FILE* df = popen(command.c_str(), "r");
  ASSERT_NE(df, nullptr);
  char header[64] = {};
  unsigned long long reported = 0;
  const bool read = std::fgets(header, sizeof header, df) != nullptr &&
                    std::fscanf(df, "%llu", &reported) == 1;
  ASSERT_EQ(pclose(df), 0);
  ASSERT_TRUE(read);
  uint64_t free_bytes = 0;
  ASSERT_EQ(Sys().DiskFreeSpace("S:\\", &free_bytes), kErrOk);
  const uint64_t difference = free_bytes > reported ? free_bytes - reported : reported - free_bytes;
  EXPECT_LT(difference, uint64_t{256} << 20) << free_bytes << " against df's " << reported;
}

TEST(PosixErrorTest, TranslatesErrnoAsWineDoes) {
  struct Case {
    int error;
    ErrnoSite site;
    uint32_t code;
  };
  const Case cases[] = {
      {ENOENT, ErrnoSite::kEntry, kErrFileNotFound},
      {ENOENT, ErrnoSite::kFolder, kErrPathNotFound},
      {ENOTDIR, ErrnoSite::kEntry, kErrPathNotFound},
      {EACCES, ErrnoSite::kEntry, kErrAccessDenied},
      {EPERM, ErrnoSite::kEntry, kErrAccessDenied},
      {EROFS, ErrnoSite::kEntry, kErrAccessDenied},
      {EAGAIN, ErrnoSite::kEntry, kErrSharingViolation},
      {ENOSPC, ErrnoSite::kEntry, kErrDiskFull},
      {EDQUOT, ErrnoSite::kEntry, kErrDiskFull},
      {ENOTEMPTY, ErrnoSite::kEntry, kErrDirNotEmpty},
      {ENAMETOOLONG, ErrnoSite::kEntry, kErrFilenameTooLong},
      {EEXIST, ErrnoSite::kEntry, kErrFileExists},
      {EEXIST, ErrnoSite::kFolderOrMove, kErrAlreadyExists},
      {EINVAL, ErrnoSite::kEntry, kErrInvalidParameter},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Win32FromErrno(c.error, c.site), c.code) << c.error;
  }
  // Whatever errno comes, a failure never reads as success.
  for (int error = 1; error < 200; ++error) EXPECT_NE(Win32FromErrno(error), kErrOk) << error;
}

TEST(PosixTextTest, CompareExactOrdersUnsignedBytes) {
  EXPECT_GT(Sys().CompareExact("\xC3\xA9", "z"), 0);
  EXPECT_LT(Sys().CompareExact("Z", "a"), 0);
  EXPECT_EQ(Sys().CompareExact("\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"), 0);
}

TEST(PosixPathTest, OverlongNamesFailWithTheLengthCode) {
  TestDrives drives;
  uint32_t attributes = 0;
  EXPECT_EQ(Sys().GetAttributes("S:\\" + std::string(300, 'n'), &attributes), kErrFilenameTooLong);
  EXPECT_EQ(Sys().MakeFolder("S:\\" + std::string(300, 'n')), kErrFilenameTooLong);
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
