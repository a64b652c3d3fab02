#include "ui/overview/overview_keys.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/ordering.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "ui/overview/overview_controls.h"
#include "ui/overview/overview_test_view.h"

namespace tolvex::overview {
namespace {

// Eight files in two folders (four each), by folder, in the compact view.
class OverviewKeysTest : public ::testing::Test {
 protected:
  OverviewKeysTest() {
    job_.DisplayMode = kCompactView;
    plan_.dirList = {STRING("S:\\A\\"), STRING("S:\\B\\")};
    plan_.counterpartList = {STRING("T:\\A\\", 1), STRING("T:\\B\\", 1)};
    for (int i = 0; i < 8; ++i) {
      plan_.candidates.emplace_back(std::string(1, static_cast<char>('a' + i)), "", i / 4, 10,
                                    i % 2, 0, 0, 0, 0, STATE_NORMAL);
    }
    OrderAndGroup(job_, plan_);
    presenter_.Setup();
  }
  ~OverviewKeysTest() override {}

  KeyOutcome Press(const Key& key) { return DispatchKey(key, presenter_, view_.list, 3); }
  KeyOutcome Type(int c) { return Press(Key::Char(c)); }
  std::vector<uint16_t> Actions() {
    std::vector<uint16_t> actions;
    for (const CANDIDATE& c : plan_.candidates) actions.push_back(c.state & STATE_ACTION);
    return actions;
  }

  TParameters job_;
  Plan plan_;
  RecordingView view_;
  OverviewPresenter presenter_{view_, plan_, job_};
};

constexpr uint16_t N = STATE_NORMAL, I = STATE_IGNORE, E = STATE_ERASE, T = STATE_INVERT;
using K = Key::Kind;

TEST_F(OverviewKeysTest, MovesSelectOneEntryAndShiftExtends) {
  Press(Key::Of(K::kDown));
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{1});
  EXPECT_TRUE(view_.actionButtonsEnabled);
  Press(Key::Of(K::kDown, true));
  Press(Key::Of(K::kDown, true));
  EXPECT_EQ(view_.list.SelectedPositions(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(view_.list.top(), 1);  // three entries visible: the caret stays in sight
  Press(Key::Of(K::kPageUp));  // three up: 0, and the anchor there
  Press(Key::Of(K::kEnd, true));
  EXPECT_EQ(view_.list.SelectedPositions(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  Press(Key::Of(K::kHome, true));
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{0});
  EXPECT_EQ(view_.list.top(), 0);
}

// Space after a move keeps the entry the move selected, and from then on
// the moves carry the cursor alone: Space adds or removes the entry each
// move reached, as Ctrl-clicks do in the dialog. (Before, every move
// selected the entry reached alone, so Space could only remove it.)
TEST_F(OverviewKeysTest, SpacePicksEntriesThatAreNotNextToEachOther) {
  using Positions = std::vector<int>;
  Press(Key::Of(K::kDown));
  Type(' ');
  Press(Key::Of(K::kDown));
  Press(Key::Of(K::kDown));
  EXPECT_EQ(view_.list.SelectedPositions(), Positions{1});
  EXPECT_EQ(view_.list.caret(), 3);
  Type(' ');
  Press(Key::Of(K::kEnd));
  Type(' ');
  EXPECT_EQ(view_.list.SelectedPositions(), (Positions{1, 3, 7}));
  Type('o');
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, I, N, I, N, N, N, I}));

  // Space removes what it reaches; with the last one gone, a move selects
  // the entry it reaches again.
  Type(' ');
  Press(Key::Of(K::kPageUp));  // 4
  Press(Key::Of(K::kUp));
  Type(' ');
  EXPECT_EQ(view_.list.SelectedPositions(), Positions{1});
  Press(Key::Of(K::kHome));
  Press(Key::Of(K::kDown));
  Type(' ');
  EXPECT_TRUE(view_.list.SelectedPositions().empty());
  EXPECT_FALSE(view_.actionButtonsEnabled);
  Press(Key::Of(K::kDown));
  EXPECT_EQ(view_.list.SelectedPositions(), Positions{2});
  EXPECT_TRUE(view_.actionButtonsEnabled);

  // Shift with a move starts a range from the last entry Space reached.
  Type(' ');
  Press(Key::Of(K::kDown));
  Press(Key::Of(K::kDown));
  Type(' ');
  EXPECT_EQ(view_.list.SelectedPositions(), (Positions{2, 4}));
  Press(Key::Of(K::kDown, true));
  EXPECT_EQ(view_.list.SelectedPositions(), (Positions{4, 5}));
  Press(Key::Of(K::kDown));
  EXPECT_EQ(view_.list.SelectedPositions(), Positions{6});

  // A new view fills the list again: no picked selection is left over.
  Type(' ');
  Type('3');
  Press(Key::Of(K::kDown));
  EXPECT_EQ(view_.list.SelectedPositions(), Positions{1});
}

TEST_F(OverviewKeysTest, ActionKeysMarkTheSelectionAndDoNothingWithoutOne) {
  for (int c : {'n', 'o', 'e', 't', 'v'}) Type(c);
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, N, N, N, N, N, N, N}));
  Press(Key::Of(K::kDown, true));  // 0 and 1
  Type('e');
  Press(Key::Of(K::kDown));  // 2
  Type('O');                 // capitals do the same
  Press(Key::Of(K::kDown));  // 3, with a counterpart
  Type('t');
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{E, E, I, T, N, N, N, N}));
  Press(Key::Of(K::kEnter));  // the double click: Invert -> Normal
  EXPECT_EQ(Actions()[3], N);
}

TEST_F(OverviewKeysTest, IndicatorKeysSwitchViewsOrderReverseAndFilters) {
  Type('1');
  EXPECT_EQ(job_.DisplayMode, kGroupView);
  EXPECT_EQ(view_.records().size(), 2u);
  Type('3');
  EXPECT_EQ(job_.DisplayMode, kDetailedView);
  Type('5');
  EXPECT_EQ(job_.SortMode, 1);
  Type('r');
  EXPECT_EQ(job_.Reverse, 1);
  EXPECT_EQ(plan_.candidates.front().name, "h");
  Type('r');
  EXPECT_EQ(job_.Reverse, 0);
  Type('b');
  EXPECT_EQ(job_.DoubleFilter, 1);
  Type('w');
  EXPECT_EQ(job_.SizeFilter, 1);
  EXPECT_TRUE(view_.records().empty());
  Type('8');
  EXPECT_EQ(job_.SortMode, 4);
}

TEST_F(OverviewKeysTest, TabCyclesTheViewsAtTheCaretAndBracketsMoveByBlock) {
  Press(Key::Of(K::kEnd));  // h, in the second folder
  Press(Key::Of(K::kTab));
  EXPECT_EQ(job_.DisplayMode, kDetailedView);
  Press(Key::Of(K::kTab));
  EXPECT_EQ(job_.DisplayMode, kGroupView);
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{1});
  Press(Key::Of(K::kTab));
  EXPECT_EQ(job_.DisplayMode, kCompactView);
  EXPECT_EQ(view_.list.top(), 4);
  Type('[');
  EXPECT_EQ(view_.list.top(), 0);
  Type(']');
  EXPECT_EQ(view_.list.top(), 4);
}

TEST_F(OverviewKeysTest, OkCancelAndHelpEndTheKeyLoopOrShowHelp) {
  EXPECT_EQ(Type('k'), KeyOutcome::kOk);
  for (int c : {int{'c'}, int{'q'}, 3}) EXPECT_EQ(Type(c), KeyOutcome::kCancel) << c;
  EXPECT_EQ(Press(Key::Of(K::kEscape)), KeyOutcome::kCancel);
  EXPECT_EQ(Type('?'), KeyOutcome::kHelp);
  EXPECT_EQ(Press(Key::Of(K::kHelp)), KeyOutcome::kHelp);
  EXPECT_EQ(Type('x'), KeyOutcome::kContinue);
  EXPECT_EQ(Press(Key::Of(K::kDown)), KeyOutcome::kContinue);
}

}  // namespace
}  // namespace tolvex::overview
