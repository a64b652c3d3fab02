#include "platform/caseless_name_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tolvex {
namespace {

// Only A-Z and a-z fold; the bytes next to them in the code table
// ('@' '[' '`' '{') and bytes above 127 stay apart, at every position of
// the eight-byte steps.
TEST(CaselessNameHash, FoldsAsciiLettersOnly) {
  const std::string alike[][2] = {
      {"Readme.TXT", "README.txt"},
      {"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
      {"report-0001234.txt", "REPORT-0001234.TXT"},
      {"", ""},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9T\xC3\xA9"},
  };
  for (const auto& pair : alike) {
    EXPECT_EQ(CaselessNameHash(pair[0]), CaselessNameHash(pair[1])) << pair[0];
  }
  // At every position of a name longer than two eight-byte steps, a letter
  // matches its other case and a byte beside the letters does not match
  // the byte 0x20 above or below it.
  const std::string base = "abcdefghijklmnopq";
  for (size_t at = 0; at < base.size(); ++at) {
    std::string upper = base;
    upper[at] = static_cast<char>(AsciiUpper(static_cast<unsigned char>(base[at])));
    EXPECT_EQ(CaselessNameHash(base), CaselessNameHash(upper)) << at;
    for (const auto& [one, other] : {std::pair<char, char>{'@', '`'}, {'[', '{'}, {'\xC1', '\xE1'},
                                     {'\xDA', '\xFA'}}) {
      std::string a = base;
      std::string b = base;
      a[at] = one;
      b[at] = other;
      EXPECT_NE(CaselessNameHash(a), CaselessNameHash(b)) << at << " " << one;
    }
  }
}

class CaselessNameTableTest : public ::testing::Test {
 protected:
  void Add(const std::string& name) {
    names_.push_back(name);
    table_.Insert(static_cast<uint32_t>(names_.size() - 1), name);
  }
  std::vector<std::string> Find(const std::string& name) const {
    std::vector<std::string> found;
    table_.ForEachMatch(
        name, [this](uint32_t id) -> std::string_view { return names_[id]; },
        [&](uint32_t id) { found.push_back(names_[id]); });
    std::sort(found.begin(), found.end());
    return found;
  }

  std::vector<std::string> names_;
  CaselessNameTable table_;
};

TEST_F(CaselessNameTableTest, FindsEverySpellingThroughGrowthAndRemoval) {
  table_.Reset(2);
  for (int i = 0; i < 1000; ++i) Add("file" + std::to_string(i) + ".txt");
  Add("ReadMe");
  Add("README");
  Add("readme.");
  EXPECT_EQ(Find("FILE999.TXT"), std::vector<std::string>{"file999.txt"});
  EXPECT_EQ(Find("file0.txt"), std::vector<std::string>{"file0.txt"});
  EXPECT_EQ(Find("readme"), (std::vector<std::string>{"README", "ReadMe"}));
  EXPECT_TRUE(Find("file1000.txt").empty());
  EXPECT_TRUE(Find("readm").empty());

  table_.Remove(1000, "ReadMe");
  table_.Remove(5, "file5.txt");
  EXPECT_EQ(Find("readme"), std::vector<std::string>{"README"});
  EXPECT_TRUE(Find("FILE5.TXT").empty());
  // Removed slots stay taken until the table grows; what follows them in
  // the probe order is still found, and growth drops them.
  for (int i = 0; i < 2000; ++i) Add("more" + std::to_string(i));
  EXPECT_EQ(Find("FILE6.TXT"), std::vector<std::string>{"file6.txt"});
  EXPECT_EQ(Find("MORE1999"), std::vector<std::string>{"more1999"});
  EXPECT_TRUE(Find("file5.txt").empty());
}

TEST_F(CaselessNameTableTest, InsertingTellsWhetherAnotherSpellingWasThere) {
  const auto add = [this](const std::string& name) {
    names_.push_back(name);
    return table_.InsertAndTellAlike(
        static_cast<uint32_t>(names_.size() - 1), name,
        [this](uint32_t id) -> std::string_view { return names_[id]; });
  };
  const struct {
    const char* name;
    bool alike;
  } cases[] = {{"ReadMe", false}, {"readme.txt", false}, {"README", true},
               {"read_me", false}, {"READ_ME", true},    {"r\xC3\xA9sum\xC3\xA9", false},
               {"R\xC3\x89SUM\xC3\x89", false}};  // only ASCII letters fold
  for (const auto& c : cases) EXPECT_EQ(add(c.name), c.alike) << c.name;
  table_.Remove(0, "ReadMe");
  table_.Remove(2, "README");
  EXPECT_FALSE(add("readme"));
}

TEST_F(CaselessNameTableTest, AnEmptyTableFindsNothing) {
  EXPECT_TRUE(Find("x").empty());
  table_.Remove(0, "x");
  table_.Reset(0);
  EXPECT_TRUE(Find("").empty());
}

}  // namespace
}  // namespace tolvex
