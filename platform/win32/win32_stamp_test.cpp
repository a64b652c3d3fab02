// FILETIME <-> DOS stamp conversion of the Win32 back end: the real
// conversion fails outside 1980...2107, and the back end clamps instead.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/dos_stamp.h"
#include "platform/platform.h"
#include "platform/win32/win32_stamp.h"
#include "testing/test_drives.h"

namespace tolvex::win32 {
namespace {

uint64_t FileTimeOfLocal(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  FILETIME local;
  FILETIME utc;
  EXPECT_TRUE(::SystemTimeToFileTime(&st, &local));
  EXPECT_TRUE(::LocalFileTimeToFileTime(&local, &utc));
  return (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

TEST(Win32StampTest, TimesOutsideTheDosRangeAreClamped) {
  struct Case {
    const char* what;
    uint64_t file_time;
    uint32_t stamp;
  };
  const Case cases[] = {
      {"FILETIME 0 (1601)", 0, kFirstStamp},
      {"1970-01-01 local", FileTimeOfLocal(1970, 1, 1, 0, 0, 0), kFirstStamp},
      {"1979-12-31 23:59:59 local", FileTimeOfLocal(1979, 12, 31, 23, 59, 59), kFirstStamp},
      {"1980-01-01 00:00:00 local", FileTimeOfLocal(1980, 1, 1, 0, 0, 0), kFirstStamp},
      {"2107-12-31 23:59:59 local", FileTimeOfLocal(2107, 12, 31, 23, 59, 59), kLastStamp},
      {"2108-01-01 local", FileTimeOfLocal(2108, 1, 1, 0, 0, 0), kLastStamp},
      {"2500-06-01 local", FileTimeOfLocal(2500, 6, 1, 12, 0, 0), kLastStamp},
      {"largest FILETIME", 0x7FFFFFFFFFFFFFFFull, kLastStamp},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StampFromFileTime(c.file_time), c.stamp) << c.what;
  }
}

TEST(Win32StampTest, InRangeTimesConvertBothWays) {
  const uint32_t stamp = PackStamp({2024, 2, 29, 23, 58, 44, 0});
  uint64_t file_time = 0;
  ASSERT_EQ(FileTimeFromStamp(stamp, &file_time), kErrOk);
  EXPECT_EQ(file_time, FileTimeOfLocal(2024, 2, 29, 23, 58, 44));
  EXPECT_EQ(StampFromFileTime(file_time), stamp);
  // Odd seconds are cut to the even second below.
  EXPECT_EQ(StampFromFileTime(FileTimeOfLocal(2024, 2, 29, 23, 58, 45)), stamp);
}

TEST(Win32StampTest, StampNamingNoTimeIsRefused) {
  uint64_t file_time = 123;
  EXPECT_EQ(FileTimeFromStamp(0, &file_time), kErrInvalidParameter);  // month 0, day 0
  EXPECT_EQ(file_time, 123u);
}

// A file dated 1970 (common on Linux volumes) is found with the first stamp.
TEST(Win32StampTest, FileDatedBeforeTheRangeReportsTheFirstStamp) {
  TestDrives drives("S");
  drives.WriteFile("S:\\old.txt", "x");
  const HANDLE file = ::CreateFileA("S:\\old.txt", FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const uint64_t then = FileTimeOfLocal(1970, 1, 1, 12, 0, 0);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(then & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(then >> 32);
  ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &ft));
  ::CloseHandle(file);

  uint32_t stamp = 0;
  ASSERT_EQ(Sys().GetLastWriteStamp("S:\\old.txt", &stamp), kErrOk);
  EXPECT_EQ(stamp, kFirstStamp);
  std::vector<FindEntry> entries;
  ASSERT_EQ(Sys().FindEntries("S:\\old.txt", 0, &entries, nullptr), kErrOk);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].stamp, kFirstStamp);
}

}  // namespace
}  // namespace tolvex::win32
