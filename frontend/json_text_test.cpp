#include "frontend/json_text.h"

#include <gtest/gtest.h>

namespace tolvex::frontend {
namespace {

// Paths are bytes: UTF-8 passes, everything a JSON reader would choke on or
// misread is escaped, and a byte of another encoding keeps its value.
TEST(JsonString, EscapesWhatJsonCannotHoldAndKeepsUtf8) {
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"C:\\Data\\a.txt", "\"C:\\\\Data\\\\a.txt\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"line\nbreak\ttab\x7f", "\"line\\u000abreak\\u0009tab\\u007f\""},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      {"latin1 \xe9t\xe9", "\"latin1 \\u00e9t\\u00e9\""},    // not UTF-8
      {"overlong \xc0\xaf", "\"overlong \\u00c0\\u00af\""},  // no overlong forms
      {"cut \xe2\x82", "\"cut \\u00e2\\u0082\""},            // a sequence cut short
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

TEST(JsonObject, JoinsItsFieldsInOrder) {
  EXPECT_EQ(JsonObject().str(), "{}");
  EXPECT_EQ(JsonObject().Text("kind", "copy").Number("size", -1).Unsigned("big", 1ull << 40)
                .Flag("ok", true).Null("none").Raw("inner", "{}").str(),
            "{\"kind\":\"copy\",\"size\":-1,\"big\":1099511627776,\"ok\":true,\"none\":null,\"inner\":{}}");
}

}  // namespace
}  // namespace tolvex::frontend
