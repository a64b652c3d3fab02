#include "frontend/engine_library.h"

#include <set>

#include <gtest/gtest.h>

namespace tolvex::frontend {
namespace {

// The library this build made: every slot of the table filled, each with
// its own function.
TEST(EngineLibrary, FindsEveryExportOfTheTable) {
  EngineLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(TOLVEX_LIBRARY_FILE, &error)) << error;
  const EngineExports& exports = library.exports();
  std::set<const void*> functions;
#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters)        \
  EXPECT_NE(exports.name, nullptr) << #name;                                       \
  EXPECT_TRUE(functions.insert(reinterpret_cast<const void*>(exports.name)).second) \
      << #name << " shares its function with another export";
#include "include/tolvex32_exports.h"
}

TEST(EngineLibrary, RefusesALibraryThatLacksAnExport) {
#if defined(_WIN32)
  const std::string other = "kernel32.dll";
#else
  const std::string other = "libc.so.6";
#endif
  EngineLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load(other, &error));
  EXPECT_EQ(error, other + " lacks the export SetFilename");
  EXPECT_EQ(library.exports().SetFilename, nullptr);
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
