// The export table (include/tolvex32_exports.h) against what callers read:
// the header declares exactly the table's exports, in ordinal order (that
// each declaration has the row's types is checked when export_table.cpp
// compiles), and the manual page of the C interface describes each.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tolvex {
namespace {

std::vector<std::string> TableNames() {
  return {
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters) #name,
#include "include/tolvex32_exports.h"
  };
}

std::string SourceFile(const std::string& path) {
  std::ifstream file(std::string(TOLVEX_SOURCE_DIR) + "/" + path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The exports tolvex32.h declares, in its order: each declaration line
// outside the header's own macro definitions.
std::vector<std::string> DeclaredNames(const std::string& header) {
  static const std::regex kDeclaration(
      R"(^TOLVEX_(?:TEXT_SETTER|INT_SETTER|CLEAR)\((\w+)\)|^TOLVEX_EXPORT [^(]*TOLVEX_CALL (\w+)\()");
  std::vector<std::string> names;
  std::istringstream lines(header);
  std::string line;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_search(line, match, kDeclaration)) {
      names.push_back(match[1].matched ? match[1].str() : match[2].str());
    }
  }
  return names;
}

TEST(ExportTableTest, TheHeaderDeclaresTheTablesExportsInOrder) {
  const std::string header = SourceFile("include/tolvex32.h");
  ASSERT_FALSE(header.empty()) << "include/tolvex32.h";
  // One name a line, so that a failure shows the difference.
  const auto lines = [](const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + "\n";
    return text;
  };
  EXPECT_EQ(lines(DeclaredNames(header)), lines(TableNames()));
}

TEST(ExportTableTest, TheManualPageDescribesEachExport) {
  const std::string page = SourceFile("docs/man/tolvex32.3");
  ASSERT_FALSE(page.empty()) << "docs/man/tolvex32.3";
  for (const std::string& name : TableNames()) {
    EXPECT_TRUE(std::regex_search(page, std::regex("\\b" + name + "\\b"))) << name;
  }
}

}  // namespace
}  // namespace tolvex
