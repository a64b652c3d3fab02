#include "ui/overview/row_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "ui/overview/overview_controls.h"

namespace tolvex::overview {
namespace {

// Every character 6 pixels wide (or one cell).
class FixedPitch final : public TextMeasure {
 public:
  explicit FixedPitch(int pitch) : pitch_(pitch) {}
  int Width(std::string_view text) override { return static_cast<int>(text.size()) * pitch_; }

 private:
  int pitch_;
};

constexpr uint32_t kStamp = (19u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
constexpr uint32_t kCounterStamp = (18u << 25) | (3u << 21) | (5u << 16) | (8u << 11) | (7u << 5) | 3u;
constexpr uint32_t kBlock1 = 0x00F0F0F0, kBlock2 = 0x00C0FFFF;

const Colour kWindow = Colour::System(kColourWindow);
const Colour kWindowText = Colour::System(kColourWindowText);
const Colour kHighlight = Colour::System(kColourHighlight);
const Colour kHighlightText = Colour::System(kColourHighlightText);
const Colour kGray = Colour::System(kColourGrayText);

std::vector<const DrawOp*> OpsOf(const std::vector<DrawOp>& ops, DrawOp::Kind kind) {
  std::vector<const DrawOp*> found;
  for (const DrawOp& op : ops) {
    if (op.kind == kind) found.push_back(&op);
  }
  return found;
}

// "text @left,top-right,bottom align" for each text, in drawing order.
std::vector<std::string> Texts(const std::vector<DrawOp>& ops) {
  std::vector<std::string> texts;
  for (const DrawOp* op : OpsOf(ops, DrawOp::Kind::kText)) {
    const char* align = op->align == Align::kLeft ? "L" : op->align == Align::kRight ? "R" : "C";
    texts.push_back(op->text + " @" + std::to_string(op->rect.left) + "," +
                    std::to_string(op->rect.top) + "-" + std::to_string(op->rect.right) + "," +
                    std::to_string(op->rect.bottom) + " " + align);
  }
  return texts;
}

// "image @left,top WxH" for each image.
std::vector<std::string> Images(const std::vector<DrawOp>& ops) {
  std::vector<std::string> images;
  for (const DrawOp* op : OpsOf(ops, DrawOp::Kind::kImage)) {
    images.push_back(std::to_string(op->image) + " @" + std::to_string(op->rect.left) + "," +
                     std::to_string(op->rect.top) + " " + std::to_string(op->source.right) + "x" +
                     std::to_string(op->source.bottom));
  }
  return images;
}

class RowLayoutTest : public ::testing::Test {
 protected:
  RowLayoutTest() {
    job_.DateSeparator = '.';
    job_.TimeSeparator = ':';
    job_.BlockColor1 = kBlock1;
    job_.BlockColor2 = kBlock2;
    plan_.dirList = {STRING("S:\\Data\\"),
                     STRING("S:\\Data\\Projects\\Quarterly reports\\Archive\\2019\\")};
    plan_.counterpartList = {STRING("T:\\Backup\\", 1),
                             STRING("T:\\Backup\\Projects\\Quarterly reports\\Archive\\2019\\", 1)};
  }
  std::vector<DrawOp> Row(int32_t record, Rect item, bool selected = false, bool focused = false) {
    return LayOutRow({item, selected, focused, record}, plan_, job_,
                     RowGeometry::Pixels(), pixels_);
  }

  TParameters job_;
  Plan plan_;
  FixedPitch pixels_{6};
};

// --- Heights, colours, focus ---------------------------------------------------------

TEST(RowHeights, FollowTheViewAndKeepTheProposedHeightOtherwise) {
  const RowGeometry px = RowGeometry::Pixels(), cells = RowGeometry::Cells();
  EXPECT_EQ(RowHeight(kGroupView, 16, px), 39);
  EXPECT_EQ(RowHeight(kDetailedView, 16, px), 39);
  EXPECT_EQ(RowHeight(kCompactView, 16, px), 13);
  EXPECT_EQ(RowHeight(3, 16, px), 16);
  EXPECT_EQ(RowHeight(kGroupView, 1, cells), 2);
  EXPECT_EQ(RowHeight(kDetailedView, 1, cells), 3);
  EXPECT_EQ(RowHeight(kCompactView, 1, cells), 1);
}

TEST_F(RowLayoutTest, BackgroundAndTextColoursFollowSelectionBandAndAction) {
  struct Case {
    int32_t display_mode;
    uint16_t state;
    bool selected;
    Colour background, text;
  } cases[] = {
      {kCompactView, STATE_NORMAL, false, Colour::Value(kBlock1), kWindowText},
      {kCompactView, STATE_NORMAL | STATE_BAND, false, Colour::Value(kBlock2), kWindowText},
      {kDetailedView, STATE_IGNORE | STATE_BAND, false, Colour::Value(kBlock2), kGray},
      {kCompactView, STATE_ERASE, false, Colour::Value(kBlock1), kGray},
      {kCompactView, STATE_INVERT | STATE_BAND, true, kHighlight, kHighlightText},
      // A selected row ignores the block colours; Ignore and Erase stay grey.
      {kCompactView, STATE_ERASE | STATE_BAND, true, kHighlight, kGray},
      {kGroupView, STATE_NORMAL, false, kWindow, kWindowText},
      {kGroupView, STATE_IGNORE, false, kWindow, kGray},
      {kGroupView, STATE_ERASE, true, kHighlight, kGray},
      {kGroupView, STATE_NORMAL, true, kHighlight, kHighlightText},
  };
  plan_.candidates = {CANDIDATE("a", ".txt", 0, 1, 1, kStamp, kStamp, 0, 0, 0)};
  plan_.groups = {FOLDER("Path S:\\Data\\", 0, 0, 0, 0, 0, 0, 0, 0)};
  for (const Case& c : cases) {
    job_.DisplayMode = c.display_mode;
    plan_.candidates[0].state = c.state;
    plan_.groups[0].state = c.state;
    const std::vector<DrawOp> ops = Row(0, {0, 0, 600, 39}, c.selected);
    SCOPED_TRACE(testing::Message() << "mode " << c.display_mode << " state " << c.state);
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[0].kind, DrawOp::Kind::kFill);
    EXPECT_EQ(ops[0].rect, (Rect{0, 0, 600, 39}));  // the whole item, border included
    EXPECT_EQ(ops[0].colour, c.background);
    for (const DrawOp* text : OpsOf(ops, DrawOp::Kind::kText)) EXPECT_EQ(text->colour, c.text);
    for (const DrawOp* image : OpsOf(ops, DrawOp::Kind::kImage)) {
      EXPECT_EQ(image->colour, c.background);  // transparency shows the row background
    }
  }
}

TEST_F(RowLayoutTest, TheFocusFrameFollowsTheFillAndAnEmptyListDrawsOnlyTheFrame) {
  job_.DisplayMode = kCompactView;
  plan_.candidates = {CANDIDATE("a", ".txt", 0, 1, 1, kStamp, kStamp, 0, 0, STATE_NORMAL)};
  const std::vector<DrawOp> focused = Row(0, {0, 13, 600, 26}, false, true);
  ASSERT_GE(focused.size(), 2u);
  EXPECT_EQ(focused[1].kind, DrawOp::Kind::kFocusFrame);
  EXPECT_EQ(focused[1].rect, (Rect{0, 13, 600, 26}));
  EXPECT_TRUE(OpsOf(Row(0, {0, 13, 600, 26}), DrawOp::Kind::kFocusFrame).empty());

  const std::vector<DrawOp> empty = Row(-1, {0, 0, 600, 13}, false, true);
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].kind, DrawOp::Kind::kFocusFrame);
  EXPECT_TRUE(Row(5, {0, 0, 600, 13}, true, false).empty());  // a record that is not there
}

// --- Group rows ------------------------------------------------------------------------

TEST_F(RowLayoutTest, AGroupRowShowsItsActionTitleMegabytesAndCountsPerDirection) {
  job_.DisplayMode = kGroupView;
  plan_.groups = {FOLDER("Path S:\\Data\\", 0, 0, 0, 0, 0, 0, 0, STATE_NORMAL),
                  FOLDER("Type .TXT", 0, 9, 7, 2, 3, 1, 3670016, STATE_ERASE)};
  const std::vector<DrawOp> ops = Row(1, {2, 39, 702, 78});
  EXPECT_EQ(Images(ops), (std::vector<std::string>{"2 @5,45 32x27", "3 @310,59 9x11",
                                                   "7 @470,59 9x11"}));
  EXPECT_EQ(Texts(ops), (std::vector<std::string>{
                            "Type .TXT @40,46-702,78 L",
                            "3.500 MB @40,59-702,78 L",
                            "9 Total, 4 Orphans @170,59-702,78 L",
                            "7 Total, 3 Orphans @325,59-702,78 L",
                            "2 Total, 1 Orphans @485,59-702,78 L",
                        }));
  EXPECT_EQ(Images(Row(0, {0, 0, 700, 39}))[0], "0 @3,6 32x27");
  plan_.groups[0].state = STATE_IGNORE;
  EXPECT_EQ(Images(Row(0, {0, 0, 700, 39}))[0], "1 @3,6 32x27");
}

// --- Candidate rows --------------------------------------------------------------------

TEST_F(RowLayoutTest, ACompactRowShowsTheScannedSideOrForInvertTheCounterpart) {
  job_.DisplayMode = kCompactView;
  plan_.candidates = {
      CANDIDATE("a", ".txt", 0, 1234, 99, kStamp, kCounterStamp, 0, 0, STATE_NORMAL),
      CANDIDATE("a", ".txt", 0, 1234, 99, kStamp, kCounterStamp, 0, 0,
                STATE_INVERT | STATE_DEST_SIDE)};
  // Columns of a 600-pixel row at 6 pixels a character: path 19..428, size
  // 438..492, date 502..604.
  EXPECT_EQ(Texts(Row(0, {4, 26, 604, 39})),
            (std::vector<std::string>{"S:\\Data\\a.txt @19,26-428,39 L", "1234 @438,26-492,39 R",
                                      "12.31.99 23:59:58 @502,26-604,39 L"}));
  EXPECT_EQ(Images(Row(0, {4, 26, 604, 39})), std::vector<std::string>{"3 @6,27 9x11"});
  EXPECT_EQ(Texts(Row(1, {4, 26, 604, 39})),
            (std::vector<std::string>{"T:\\Backup\\a.txt @19,26-428,39 L", "99 @438,26-492,39 R",
                                      "03.05.98 08:07:06 @502,26-604,39 L"}));
  EXPECT_EQ(Images(Row(1, {4, 26, 604, 39})), std::vector<std::string>{"10 @6,27 9x11"});
}

TEST_F(RowLayoutTest, APathThatDoesNotFitShowsItsStartDotsAndEndSplitAtTheMiddleOfThePathColumn) {
  job_.DisplayMode = kCompactView;
  plan_.candidates = {
      CANDIDATE("Budget and forecast", ".xlsx", 1, 5, 5, kStamp, kStamp, 0, 0, STATE_NORMAL)};
  const std::string path =
      "S:\\Data\\Projects\\Quarterly reports\\Archive\\2019\\Budget and forecast.xlsx";
  ASSERT_GT(path.size() * 6, 409u);
  // Wpath 409, Mid 19 + 204 = 223, Wdots 18.
  const std::vector<std::string> texts = Texts(Row(0, {4, 26, 604, 39}));
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], path + " @19,26-214,39 L");
  EXPECT_EQ(texts[1], path + " @232,26-428,39 R");
  EXPECT_EQ(texts[2], "... @214,26-232,39 C");

  // The detailed view's name line is wider (Wline), but splits at the same Mid.
  job_.DisplayMode = kDetailedView;
  plan_.candidates[0].name = std::string(120, 'n');
  const std::vector<std::string> detailed = Texts(Row(0, {4, 39, 604, 78}));
  EXPECT_EQ(detailed[0], plan_.candidates[0].name + ".xlsx @19,39-214,52 L");
  EXPECT_EQ(detailed[1], plan_.candidates[0].name + ".xlsx @232,39-604,52 R");
  EXPECT_EQ(detailed[2], "... @214,39-232,52 C");
}

TEST_F(RowLayoutTest, ANarrowRowKeepsTheRulesWithANegativePathWidth) {
  job_.DisplayMode = kCompactView;
  plan_.candidates = {CANDIDATE("a", ".txt", 0, 1, 1, kStamp, kStamp, 0, 0, STATE_NORMAL)};
  // 100 pixels: Wpath = 100 - 15 - 20 - 54 - 102 = -91, Mid = 15 - 45 = -30.
  const std::vector<std::string> texts = Texts(Row(0, {0, 0, 100, 13}));
  EXPECT_EQ(texts[0], "S:\\Data\\a.txt @15,0--39,13 L");
  EXPECT_EQ(texts[2], "... @-39,0--21,13 C");
}

TEST_F(RowLayoutTest, TheDetailedViewPutsTheCopySourceUnderTheName) {
  job_.DisplayMode = kDetailedView;
  plan_.candidates = {CANDIDATE("a", ".txt", 0, 1234, 99, kStamp, kCounterStamp, 0, 0,
                                STATE_NORMAL | STATE_SIZE_WARNING),
                      CANDIDATE("a", ".txt", 0, 1234, 99, kStamp, kCounterStamp, 0, 0,
                                STATE_INVERT | STATE_COUNTER_CHANGED)};
  EXPECT_EQ(Texts(Row(0, {4, 39, 604, 78})),
            (std::vector<std::string>{
                "a.txt @19,39-604,52 L",
                "S:\\Data\\ @19,52-428,65 L", "1234 @438,52-492,65 R",
                "12.31.99 23:59:58 @502,52-604,65 L",
                "T:\\Backup\\ @19,65-428,78 L", "99 @438,65-492,78 R",
                "03.05.98 08:07:06 @502,65-604,78 L",
            }));
  EXPECT_EQ(Images(Row(0, {4, 39, 604, 78})),
            (std::vector<std::string>{"3 @6,40 9x11", "11 @5,52 11x11"}));
  // Inverted: the counterpart's line comes first; each line keeps its figures.
  EXPECT_EQ(Texts(Row(1, {4, 39, 604, 78})),
            (std::vector<std::string>{
                "a.txt @19,39-604,52 L",
                "S:\\Data\\ @19,65-428,78 L", "1234 @438,65-492,78 R",
                "12.31.99 23:59:58 @502,65-604,78 L",
                "T:\\Backup\\ @19,52-428,65 L", "99 @438,52-492,65 R",
                "03.05.98 08:07:06 @502,52-604,65 L",
            }));
  EXPECT_EQ(Images(Row(1, {4, 39, 604, 78})),
            (std::vector<std::string>{"6 @6,40 9x11", "12 @5,65 11x11"}));
}

TEST_F(RowLayoutTest, WithoutACounterpartTheCounterpartLineShowsOnlyItsFolder) {
  job_.DisplayMode = kDetailedView;
  plan_.candidates = {
      CANDIDATE("empty", "", 0, 0, 0, kStamp, 0, 0, 0, STATE_ERASE | STATE_DEST_SIDE)};
  EXPECT_EQ(Texts(Row(0, {0, 0, 600, 39})),
            (std::vector<std::string>{"empty @15,0-600,13 L", "S:\\Data\\ @15,13-424,26 L",
                                      "0 @434,13-488,26 R", "12.31.99 23:59:58 @498,13-600,26 L",
                                      "T:\\Backup\\ @15,26-424,39 L"}));
  EXPECT_EQ(Images(Row(0, {0, 0, 600, 39})), std::vector<std::string>{"9 @2,1 9x11"});
}

TEST_F(RowLayoutTest, EveryActionAndSideHasItsStateImage) {
  job_.DisplayMode = kCompactView;
  struct Case {
    uint16_t state;
    int image;
  } cases[] = {
      {STATE_NORMAL, 3}, {STATE_IGNORE, 4}, {STATE_ERASE, 5}, {STATE_INVERT, 6},
      {STATE_NORMAL | STATE_DEST_SIDE, 7}, {STATE_IGNORE | STATE_DEST_SIDE, 8},
      {STATE_ERASE | STATE_DEST_SIDE, 9}, {STATE_INVERT | STATE_DEST_SIDE, 10},
  };
  for (const Case& c : cases) {
    plan_.candidates = {CANDIDATE("a", "", 0, 1, 1, kStamp, kStamp, 0, 0, c.state)};
    const std::vector<DrawOp> ops = Row(0, {0, 0, 600, 13});
    ASSERT_FALSE(OpsOf(ops, DrawOp::Kind::kImage).empty());
    EXPECT_EQ(OpsOf(ops, DrawOp::Kind::kImage)[0]->image, c.image) << c.state;
  }
}

TEST_F(RowLayoutTest, AnUnknownDisplayModeDrawsRowsWithoutText) {
  job_.DisplayMode = 5;
  plan_.candidates = {CANDIDATE("a", ".txt", 0, 1, 1, kStamp, kStamp, 0, 0,
                                STATE_NORMAL | STATE_SIZE_WARNING | STATE_BAND)};
  const std::vector<DrawOp> ops = Row(0, {0, 0, 600, 16}, false, true);
  EXPECT_TRUE(Texts(ops).empty());
  EXPECT_EQ(Images(ops), std::vector<std::string>{"3 @2,1 9x11"});
  EXPECT_EQ(ops[0].colour, Colour::Value(kBlock2));
  EXPECT_EQ(ops[1].kind, DrawOp::Kind::kFocusFrame);
}

TEST_F(RowLayoutTest, TheTerminalCellsApplyTheSameRules) {
  FixedPitch cells(1);
  job_.DisplayMode = kCompactView;
  plan_.candidates = {
      CANDIDATE("Budget and forecast", ".xlsx", 1, 5, 5, kStamp, kStamp, 0, 0, STATE_INVERT)};
  // 80 cells: Wpath = 80 - 3 - 2 - 9 - 17 = 49, Mid = 3 + 24 = 27, Wdots 3.
  const std::vector<DrawOp> ops = LayOutRow({{0, 5, 80, 6}, false, false, 0}, plan_,
                                            job_, RowGeometry::Cells(), cells);
  const std::string path =
      "T:\\Backup\\Projects\\Quarterly reports\\Archive\\2019\\Budget and forecast.xlsx";
  EXPECT_EQ(Texts(ops), (std::vector<std::string>{
                            path + " @3,5-26,6 L", path + " @28,5-52,6 R", "... @26,5-28,6 C",
                            "5 @53,5-62,6 R", "12.31.99 23:59:58 @63,5-80,6 L"}));
  EXPECT_EQ(Images(ops), std::vector<std::string>{"6 @0,5 2x1"});

  job_.DisplayMode = kGroupView;
  plan_.groups = {FOLDER("Name B...", 0, 0, 1, 0, 1, 0, 5, STATE_NORMAL)};
  const std::vector<DrawOp> group = LayOutRow({{0, 2, 80, 4}, false, false, 0}, plan_,
                                              job_, RowGeometry::Cells(), cells);
  EXPECT_EQ(Texts(group)[0], "Name B... @4,2-80,4 L");
  EXPECT_EQ(Texts(group)[3], "1 Total, 1 Orphans @40,3-80,4 L");
  EXPECT_EQ(Images(group), (std::vector<std::string>{"0 @0,2 3x1", "3 @38,3 2x1", "7 @59,3 2x1"}));
}

TEST(IndicatorLayout, DrawsTheStripImageOfTheIdPressedWhenActive) {
  const DrawOp rest = LayOutIndicator(kIndicatorGroupView, false, 29);
  EXPECT_EQ(rest.strip, Strip::kIndicators);
  EXPECT_EQ(rest.image, 1);
  EXPECT_EQ(rest.rect, (Rect{0, 0, 29, 29}));
  EXPECT_EQ(rest.colour, Colour::System(kColourButtonFace));
  EXPECT_EQ(LayOutIndicator(kIndicatorDoubleFilter, false, 29).image, 12);
  EXPECT_EQ(LayOutIndicator(kIndicatorDoubleFilter, true, 29).image, 25);
  EXPECT_EQ(LayOutIndicator(1005, true, 29).image, 17);
}

}  // namespace
}  // namespace tolvex::overview
