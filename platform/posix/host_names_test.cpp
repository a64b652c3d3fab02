#include "platform/posix/host_names.h"

#include <gtest/gtest.h>

namespace tolvex::posix {
namespace {

// Each name on disk, its engine form, and back.
TEST(HostNames, NamesWindowsCannotHoldTravelMappedAndComeBackWhole) {
  const struct {
    const char* host;
    const char* engine;
  } cases[] = {
      {"plain.txt", "plain.txt"},
      {"a:b.txt", "a\xEF\x80\xBA" "b.txt"},
      {"q?*.txt", "q\xEF\x80\xBF\xEF\x80\xAA.txt"},
      {"<>|\"\\", "\xEF\x80\xBC\xEF\x80\xBE\xEF\x81\xBC\xEF\x80\xA2\xEF\x81\x9C"},
      {"tab\there", "tab\xEF\x80\x89here"},
      {"trail.", "trail\xEF\x80\xAE"},
      {"trail..", "trail.\xEF\x80\xAE"},  // the last one is enough for Windows
      {"space ", "space\xEF\x80\xA0"},
      {"...", "..\xEF\x80\xAE"},
      {"a.b c", "a.b c"},
      {"\xE2\x82\xAC.txt", "\xE2\x82\xAC.txt"},  // other UTF-8 stays
      {"\xEF\x82\x80", "\xEF\x82\x80"},          // U+F080: not a mapped character
  };
  for (const auto& c : cases) {
    const HostNameFit fit = FitOfHostName(c.host);
    EXPECT_EQ(fit, std::string(c.host) == c.engine ? HostNameFit::kAsIs : HostNameFit::kMapped)
        << c.host;
    if (fit == HostNameFit::kMapped) {
      EXPECT_EQ(EngineNameOf(c.host), c.engine) << c.host;
    }
    std::string host;
    ASSERT_TRUE(HostNameOf(c.engine, &host)) << c.host;
    EXPECT_EQ(host, c.host);
  }
}

// A name on disk that holds a mapped character would read back as another
// name: it is unusable. And only the one engine form of a name is taken.
TEST(HostNames, AmbiguousNamesOnDiskAndOtherEngineSpellingsAreRefused) {
  for (const char* host : {"a\xEF\x80\xBA" "b", "x\xEF\x80\xAE", "\xEF\x80\x81", "a:\xEF\x80\xBA"}) {
    EXPECT_EQ(FitOfHostName(host), HostNameFit::kUnusable) << host;
  }
  std::string host = "untouched";
  for (const char* engine : {"a:b",                    // a raw reserved character
                             "a\xEF\x80\xAE" "b",      // a mapped dot inside the name
                             "a\xEF\x80\xA0" "b",      // a mapped space inside the name
                             "\xEF\x80\xAE",           // "."
                             ".\xEF\x80\xAE"}) {       // ".."
    EXPECT_FALSE(HostNameOf(engine, &host)) << engine;
  }
  EXPECT_EQ(host, "untouched");
}

}  // namespace
}  // namespace tolvex::posix
