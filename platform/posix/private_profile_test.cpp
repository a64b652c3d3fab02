// The INI text rules and the folder of a profile named without a path.
#ifndef _WIN32

#include "platform/posix/private_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex::posix {
namespace {

TEST(PrivateProfileTest, ReadsValuesOfTheFirstMatchingSectionAndKey) {
  const std::string text =
      "top=outside\r\n"
      "[ Overview Dialog ]\r\n"
      "  Left =  120  \r\n"
      "noequals\r\n"
      "Quoted=\"  spaced  \"\r\n"
      "Single='x'\r\n"
      "Half=\"open\r\n"
      "Empty=\r\n"
      "[Other]\r\n"
      "Left=7\r\n"
      "[overview dialog]\r\n"
      "Top=99\r\n";
  EXPECT_EQ(ReadProfileValue(text, "overview dialog", "LEFT").value_or("-"), "120");
  EXPECT_EQ(ReadProfileValue(text, "Overview Dialog", "Quoted").value_or("-"), "  spaced  ");
  EXPECT_EQ(ReadProfileValue(text, "Overview Dialog", "Single").value_or("-"), "x");
  EXPECT_EQ(ReadProfileValue(text, "Overview Dialog", "Half").value_or("-"), "\"open");
  EXPECT_EQ(ReadProfileValue(text, "Overview Dialog", "Empty").value_or("-"), "");
  EXPECT_EQ(ReadProfileValue(text, "Other", "left").value_or("-"), "7");
  EXPECT_FALSE(ReadProfileValue(text, "Overview Dialog", "noequals"));
  EXPECT_FALSE(ReadProfileValue(text, "Overview Dialog", "top"));  // only the first section
  EXPECT_FALSE(ReadProfileValue(text, "Missing", "Left"));
  EXPECT_FALSE(ReadProfileValue("", "Overview Dialog", "Left"));
}

TEST(PrivateProfileTest, WritesKeepOtherLinesAndTheTextsLineEnds) {
  std::string text = WriteProfileValue("", "Overview Dialog", "Left", "10");
  EXPECT_EQ(text, "[Overview Dialog]\nLeft=10\n");
  text = WriteProfileValue(text, "overview dialog", "Top", "20");
  text = WriteProfileValue(text, "OVERVIEW DIALOG", "LEFT", "30");
  EXPECT_EQ(text, "[Overview Dialog]\nLeft=30\nTop=20\n");
  text = WriteProfileValue(text, "Second", "Key", "v");
  EXPECT_EQ(text, "[Overview Dialog]\nLeft=30\nTop=20\n\n[Second]\nKey=v\n");

  const std::string crlf = "; comment\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n";
  EXPECT_EQ(WriteProfileValue(crlf, "a", "z", "3"),
            "; comment\r\n[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
}

TEST(PrivateProfileTest, IntegerTextBeyondTheSharedCases) {
  EXPECT_EQ(ProfileIntFromText("", 77), 77u);       // empty value: the fallback
  EXPECT_EQ(ProfileIntFromText("   ", 77), 77u);
  EXPECT_EQ(ProfileIntFromText("0x1F", 0), 31u);    // base prefixes as RtlCharToInteger
  EXPECT_EQ(ProfileIntFromText("-0x10", 0), 0xFFFFFFF0u);
  EXPECT_EQ(ProfileIntFromText("0b101", 0), 5u);
  EXPECT_EQ(ProfileIntFromText("0o17", 0), 15u);
  EXPECT_EQ(ProfileIntFromText("08", 0), 8u);       // a leading zero is still decimal
  EXPECT_EQ(ProfileIntFromText("-", 5), 0u);        // a sign alone is a value of 0
  EXPECT_EQ(ProfileIntFromText("99999999999999999999", 0), 1661992959u);  // wraps
}

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) had_ = true, old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(PrivateProfileTest, FolderFollowsXdgConfigHomeThenHome) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(ProfileFolder(), "/xdg/config/tolvex");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(ProfileFolder(), "/home/someone/.config/tolvex");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/other");
    EXPECT_EQ(ProfileFolder(), "/home/other/.config/tolvex");
  }
}

TEST(PrivateProfileTest, FileWithoutPathLivesInTheConfigurationFolder) {
  TestDrives drives;
  const std::string config = drives.Native("S:\\config");
  ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
  ASSERT_TRUE(Sys().WriteProfileString("Tolvex32.ini", "Overview Dialog", "Left", "321"));
  std::ifstream in(config + "/tolvex/Tolvex32.ini");
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "[Overview Dialog]\nLeft=321\n");
  // The name is found without regard to case, as on Windows.
  EXPECT_EQ(Sys().ProfileInt("TOLVEX32.INI", "Overview Dialog", "Left", 0), 321u);
  struct stat st;
  ASSERT_EQ(stat((config + "/tolvex").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
