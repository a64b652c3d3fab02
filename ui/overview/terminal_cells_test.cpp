#include "ui/overview/terminal_cells.h"

#include <gtest/gtest.h>

namespace tolvex::overview {

void PrintTo(const CellSpan& span, std::ostream* out) {
  *out << span.column << ":\"" << span.text << "\"";
}

namespace {

TEST(TerminalCells, PlaceTextsClippedAndAligned) {
  struct Case {
    const char* text;
    int left, right;
    Align align;
    int clip_left, clip_right;
    CellSpan expected;
  } cases[] = {
      {"abcdef", 2, 10, Align::kLeft, 0, 80, {2, "abcdef"}},
      {"abcdef", 2, 5, Align::kLeft, 0, 80, {2, "abc"}},
      {"abcdef", 2, 5, Align::kRight, 0, 80, {2, "def"}},
      {"abcdef", 2, 10, Align::kRight, 0, 80, {4, "abcdef"}},
      {"...", 4, 7, Align::kCentre, 0, 80, {4, "..."}},
      {"ab", 0, 6, Align::kCentre, 0, 80, {2, "ab"}},
      {"abcdef", 75, 90, Align::kLeft, 0, 78, {75, "abc"}},  // clipped by the screen
      {"abcdef", -3, 3, Align::kLeft, 0, 80, {0, "def"}},
      {"abc", 5, 5, Align::kLeft, 0, 80, {5, ""}},
      {"abc", 5, 2, Align::kLeft, 0, 80, {5, ""}},  // a negative path width
      {"\xC3\xA4pfel.txt", 0, 3, Align::kLeft, 0, 80, {0, "\xC3\xA4pf"}},
      {"Stra\xC3\x9F" "e", 0, 3, Align::kRight, 0, 80, {0, "a\xC3\x9F" "e"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaceText(c.text, c.left, c.right, c.align, c.clip_left, c.clip_right), c.expected)
        << c.text << " " << c.left << ".." << c.right;
  }
  EXPECT_EQ(CellWidth("\xC3\xA4pfel"), 5);
}

TEST(TerminalCells, EveryRowImageHasAGlyphThatFitsItsCells) {
  const RowGeometry cells = RowGeometry::Cells();
  for (int image = 0; image <= 12; ++image) {
    const int width = image <= 2 ? cells.groupImageSize.x
                                 : image <= 10 ? cells.pageImageSize.x : cells.markerImageSize.x;
    EXPECT_EQ(CellWidth(GlyphOf(Strip::kRows, image).text), width) << image;
  }
  // The two directions and the inverted copies can be told apart.
  EXPECT_NE(GlyphOf(Strip::kRows, 3).text, GlyphOf(Strip::kRows, 7).text);
  EXPECT_NE(GlyphOf(Strip::kRows, 3).text, GlyphOf(Strip::kRows, 10).text);
  EXPECT_NE(GlyphOf(Strip::kRows, 6).text, GlyphOf(Strip::kRows, 7).text);
}

TEST(TerminalCells, ColoursMapToTheNearestTerminalColour) {
  constexpr uint32_t kWhite = 0xFFFFFF, kNavy = 0x800000, kLightGrey = 0xE8E8E8, kRed = 0x0000C0;
  EXPECT_EQ(NearestTerminalColour(kWhite, 256), 231);
  EXPECT_EQ(NearestTerminalColour(kLightGrey, 256), 254);  // the grey 228: apart from white
  EXPECT_EQ(NearestTerminalColour(kNavy, 256), 18);
  EXPECT_EQ(NearestTerminalColour(kWhite, 8), 7);
  EXPECT_EQ(NearestTerminalColour(kNavy, 8), 4);
  EXPECT_EQ(NearestTerminalColour(kRed, 8), 1);
  EXPECT_EQ(NearestTerminalColour(kWhite, 16), 15);
  // Grey text on eight colours: black (shown dim), never yellow.
  EXPECT_EQ(NearestTerminalColour(0x808080, 8), 0);
  EXPECT_EQ(NearestTerminalColour(0xC0C0C0, 8), 7);
  EXPECT_EQ(NearestTerminalColour(0x808080, 256), 244);
  EXPECT_EQ(ColourValue(Colour::System(kColourHighlight)), kNavy);
  EXPECT_EQ(ColourValue(Colour::Value(0x12345678)), 0x345678u);
}

}  // namespace
}  // namespace tolvex::overview
