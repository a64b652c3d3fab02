#include "ui/overview/overview_presenter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "model/ordering.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "platform/platform.h"
#include "testing/shell_recording_platform.h"
#include "ui/overview/overview_controls.h"
#include "ui/overview/overview_test_view.h"

namespace tolvex::overview {
namespace {

// The platform with the shell recorded and the pump steps counted.
class ShellRecorder final : public ShellRecordingPlatform {
 public:
  bool TakeOneMessage() override {
    ++pumpSteps;
    return false;
  }
  int pumpSteps = 0;
};

constexpr uint16_t kBand = STATE_BAND;

// A plan of six files in three folders, ordered by folder:
//   group 0 (S:\Data\)        0 a.txt  Normal, counterpart 50 bytes
//                             1 b.txt  Normal, no counterpart
//                             2 c.txt  Ignore, size warning
//   group 1 (S:\Data\Sub\)    3 d.txt  Normal, counterpart changed
//                             4 e.txt  Normal, size warning and counterpart changed
//   group 2 (found in T:)     5 f.txt  Normal on the destination side, no counterpart
class OverviewPresenterTest : public ::testing::Test {
 protected:
  OverviewPresenterTest() {
    SetSys(&platform_);
    plan_.SourceDrive = 'S';
    plan_.DestinationDrive = 'T';
    plan_.FreeSrc = 10 * 1048576;
    plan_.FreeDest = 20 * 1048576;
    plan_.dirList = {STRING("S:\\Data\\"), STRING("S:\\Data\\Sub\\"),
                     STRING("T:\\Backup\\Only\\", 1)};
    plan_.counterpartList = {STRING("T:\\Backup\\", 1), STRING("T:\\Backup\\Sub\\", 1),
                             STRING("S:\\Data\\Only\\")};
    Add("a", 0, 100, 50, STATE_NORMAL);
    Add("b", 0, 200, 0, STATE_NORMAL);
    Add("c", 0, 300, 300, STATE_IGNORE | STATE_SIZE_WARNING);
    Add("d", 1, 1000, 10, STATE_NORMAL | STATE_COUNTER_CHANGED);
    Add("e", 1, 5, 7, STATE_NORMAL | STATE_SIZE_WARNING | STATE_COUNTER_CHANGED);
    Add("f", 2, 64, 0, STATE_NORMAL | STATE_DEST_SIDE);
    job_.SortMode = 0;
    OrderAndGroup(job_, plan_);
  }
  ~OverviewPresenterTest() override { SetSys(nullptr); }

  void Add(const std::string& name, int32_t dir, uint64_t size, uint64_t counter_size,
           uint16_t state) {
    plan_.candidates.emplace_back(name, ".txt", dir, size, counter_size, 0x28000000,
                                  counter_size ? 0x27000000 : 0, 0, 0, state);
  }

  void Open(int32_t display_mode) {
    job_.DisplayMode = display_mode;
    presenter_.Setup();
  }

  // Selects the entries at `positions` as clicks would (the first alone,
  // the others added) and reports the change.
  void Select(std::initializer_list<int> positions) {
    bool first = true;
    for (int position : positions) {
      if (first) {
        view_.list.MoveCaret(position, false);
      } else {
        view_.list.Select(position);
      }
      first = false;
    }
    presenter_.SelectionChanged();
  }

  uint16_t ActionOf(int32_t candidate) { return plan_.candidates[candidate].state & STATE_ACTION; }
  std::vector<uint16_t> Actions() {
    std::vector<uint16_t> actions;
    for (const CANDIDATE& c : plan_.candidates) actions.push_back(c.state & STATE_ACTION);
    return actions;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const CANDIDATE& c : plan_.candidates) names.push_back(c.name);
    return names;
  }
  // The name of the candidate shown by the top entry.
  std::string TopName() const {
    const int32_t record = presenter_.RecordAt(view_.list.top());
    return record < 0 ? "" : plan_.candidates[record].name;
  }

  ShellRecorder platform_;
  TParameters job_;
  Plan plan_;
  RecordingView view_;
  OverviewPresenter presenter_{view_, plan_, job_};
};

constexpr uint16_t N = STATE_NORMAL, I = STATE_IGNORE, E = STATE_ERASE, T = STATE_INVERT;

// --- Setup and the list ----------------------------------------------------------

TEST_F(OverviewPresenterTest, TheGroupViewListsEveryGroupAndHidesTheCandidateButtons) {
  job_.SizeFilter = 1;  // the group view is never filtered
  Open(kGroupView);
  EXPECT_EQ(view_.records(), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_FALSE(view_.candidateButtonsShown);
  EXPECT_FALSE(view_.actionButtonsEnabled);
  EXPECT_TRUE(view_.listShown);
  EXPECT_FALSE(view_.waitCursorShown);
  EXPECT_EQ(platform_.pumpSteps, 2);  // one before and one after the rebuild
}

TEST_F(OverviewPresenterTest, TheCandidateViewsListTheCandidatesThatPassBothFilters) {
  struct Case {
    uint8_t size_filter, double_filter;
    std::vector<int32_t> records;
  } cases[] = {
      {0, 0, {0, 1, 2, 3, 4, 5}},
      {1, 0, {2, 4}},  // size warnings
      {0, 1, {3, 4}},  // counterparts changed
      {1, 1, {4}},     // only the candidate that carries both bits
  };
  for (int32_t mode : {kCompactView, kDetailedView}) {
    for (const Case& c : cases) {
      job_.SizeFilter = c.size_filter;
      job_.DoubleFilter = c.double_filter;
      Open(mode);
      EXPECT_EQ(view_.records(), c.records) << "mode " << mode << " filters "
                                            << int{c.size_filter} << int{c.double_filter};
      EXPECT_TRUE(view_.candidateButtonsShown);
    }
  }
}

TEST_F(OverviewPresenterTest, EntriesMapToRecordsAndBack) {
  job_.SizeFilter = 1;
  Open(kCompactView);  // entries show candidates 2 and 4
  EXPECT_EQ(presenter_.RecordAt(1), 4);
  EXPECT_EQ(presenter_.RecordAt(2), -1);
  EXPECT_EQ(presenter_.RecordAt(-1), -1);
  EXPECT_EQ(presenter_.PositionOf(4), 1);
  EXPECT_EQ(presenter_.PositionOf(3), -1);  // hidden by the filter
}

TEST_F(OverviewPresenterTest, TheSelectionDrivesTheActionButtonsAndARefreshDisablesThem) {
  Open(kCompactView);
  Select({2});
  EXPECT_TRUE(view_.actionButtonsEnabled);
  // Space keeps the entry the move selected, a second Space removes it:
  // the last selected entry leaves the selection.
  view_.list.ToggleCaret();
  view_.list.ToggleCaret();
  presenter_.SelectionChanged();
  EXPECT_FALSE(view_.actionButtonsEnabled);
  Select({1, 3});
  presenter_.RefreshList(false);
  EXPECT_FALSE(view_.actionButtonsEnabled);
  EXPECT_TRUE(view_.list.SelectedPositions().empty());
}

// --- Marking ------------------------------------------------------------------------

TEST_F(OverviewPresenterTest, MarkingAGroupMarksEveryMemberAlsoThoseHiddenByAFilter) {
  job_.SizeFilter = 1;
  Open(kGroupView);
  Select({1});
  presenter_.MarkSelection(Action::kErase);
  EXPECT_EQ(plan_.groups[1].state & STATE_ACTION, E);
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, N, I, E, E, N}));
  EXPECT_EQ(plan_.candidates[3].state, E | kBand | STATE_COUNTER_CHANGED);  // flags kept
  EXPECT_EQ(view_.reselected.back(), std::vector<int>{1});
}

TEST_F(OverviewPresenterTest, InvertIsNotGivenInTheGroupView) {
  Open(kGroupView);
  Select({0, 1, 2});
  presenter_.MarkSelection(Action::kInvert);
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, N, I, N, N, N}));
  EXPECT_EQ(plan_.groups[0].state, STATE_NORMAL);
}

TEST_F(OverviewPresenterTest, InvertChangesOnlyTheSelectedCandidatesThatHaveACounterpart) {
  Open(kCompactView);
  Select({0, 1, 2, 5});  // a (counterpart), b (none), c (counterpart), f (none)
  presenter_.MarkSelection(Action::kInvert);
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{T, N, T, N, N, N}));
  EXPECT_EQ(view_.reselected.back(), (std::vector<int>{0, 1, 2, 5}));
  presenter_.MarkSelection(Action::kIgnore);
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{I, I, I, N, N, I}));
}

TEST_F(OverviewPresenterTest, ADoubleClickCyclesTheActionOfTheFirstSelectedRecord) {
  struct Case {
    int32_t display_mode;
    int position;
    int32_t candidate;  // the record whose action is followed
    std::vector<uint16_t> cycle;
  } cases[] = {
      // A candidate with a counterpart goes through all four actions.
      {kCompactView, 0, 0, {I, E, T, N, I}},
      // Without a counterpart Invert is left out.
      {kDetailedView, 1, 1, {I, E, N, I}},
      // A group: its candidates follow, the ignored one included.
      {kGroupView, 0, 2, {I, E, N, I}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display_mode);
    for (CANDIDATE& candidate : plan_.candidates)
      candidate.state = ReplaceAction(candidate.state, N);
    Open(c.display_mode);
    Select({c.position});
    for (uint16_t expected : c.cycle) {
      presenter_.CycleAction();
      EXPECT_EQ(ActionOf(c.candidate), expected);
    }
    if (c.display_mode == kGroupView) {
      EXPECT_EQ(plan_.groups[0].state & STATE_ACTION, c.cycle.back());
      EXPECT_EQ(Actions(), (std::vector<uint16_t>{I, I, I, N, N, N}));
    }
  }
}

TEST_F(OverviewPresenterTest, ADoubleClickOnlyFollowsTheFirstSelectedEntry) {
  Open(kCompactView);
  Select({3, 4});
  presenter_.CycleAction();
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, N, I, I, N, N}));
  EXPECT_EQ(view_.reselected.back(), std::vector<int>{3});
}

TEST_F(OverviewPresenterTest, ADoubleClickWithoutSelectionOrActionTouchesNothingOrGivesNormal) {
  Open(kCompactView);
  presenter_.CycleAction();  // Ctrl held: the double click left nothing selected
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, N, I, N, N, N}));
  plan_.candidates[4].state &= 0xFFF0;  // no action bit at all
  Select({4});
  presenter_.CycleAction();
  EXPECT_EQ(plan_.candidates[4].state, N | kBand | STATE_SIZE_WARNING | STATE_COUNTER_CHANGED);
}

// --- Statistics ------------------------------------------------------------------------

TEST_F(OverviewPresenterTest, StatisticsFollowTheMarks) {
  Open(kCompactView);
  // Copies into T: a, b (new), d, e; into S: f (new). c is ignored.
  EXPECT_EQ(view_.texts.toDestination, "4 / 1");
  EXPECT_EQ(view_.texts.toSource, "1 / 1");
  EXPECT_EQ(plan_.groups[0].forwardCount, 2);
  EXPECT_EQ(plan_.groups[0].forwardOrphans, 1);
  EXPECT_EQ(plan_.groups[0].bytes, 300u);
  EXPECT_EQ(plan_.groups[2].backwardCount, 1);
  EXPECT_EQ(plan_.groups[2].backwardOrphans, 1);
  EXPECT_EQ(plan_.groups[2].bytes, 64u);  // the file that is copied back
  Select({1});
  presenter_.MarkSelection(Action::kErase);
  EXPECT_EQ(view_.texts.toDestination, "3 / 0");
  EXPECT_EQ(plan_.groups[0].forwardCount, 1);
  EXPECT_EQ(plan_.groups[0].forwardOrphans, 0);
  EXPECT_EQ(plan_.groups[0].bytes, 100u);
  presenter_.MarkSelection(Action::kNormal);
  EXPECT_EQ(view_.texts.toDestination, "4 / 1");
  EXPECT_EQ(plan_.groups[0].bytes, 300u);
}

TEST_F(OverviewPresenterTest, AnEmptyPlanShowsZeroCounts) {
  plan_.candidates.clear();
  plan_.groups.clear();
  plan_.dirList.clear();
  plan_.counterpartList.clear();
  Open(kCompactView);
  EXPECT_TRUE(view_.records().empty());
  EXPECT_EQ(view_.texts.toDestination, "0 / 0");
  EXPECT_EQ(view_.texts.toSource, "0 / 0");
  EXPECT_EQ(view_.texts.space, "0.000 MB   S: +10.0MB   T: +20.0MB");
}

TEST(OverviewStatisticsTexts, NameOneDriveOrBothWithTheSpaceEachKeeps) {
  Plan p;
  p.CountToDest = 12;
  p.NewOnDest = 3;
  p.CountToSrc = 0;
  p.NewOnSrc = 0;
  p.CopyBytes = 1572864;  // 1.5 MiB
  p.SourceDrive = 'C';
  p.DestinationDrive = 'C';
  p.AvailDest = 3 * 1048576;
  p.NeedDest = 5 * 1048576 + 104858;  // more than there is
  StatisticsTexts one_drive = StatisticsTextsOf(p);
  EXPECT_EQ(one_drive.toDestination, "12 / 3");
  EXPECT_EQ(one_drive.toSource, "0 / 0");
  EXPECT_EQ(one_drive.space, "1.500 MB   C: -2.1MB");

  p.DestinationDrive = 'D';
  p.AvailSrc = 1048576;
  p.NeedSrc = -1048576;  // a copy over a larger file frees room
  EXPECT_EQ(StatisticsTextsOf(p).space, "1.500 MB   C: +2.0MB   D: -2.1MB");

  // 64-bit figures: a 6 TiB drive is not wrapped.
  p.AvailDest = int64_t{6} << 40;
  p.NeedDest = 0;
  EXPECT_EQ(StatisticsTextsOf(p).space, "1.500 MB   C: +2.0MB   D: +6291456.0MB");
}

// One unit of width per character.
class CharacterMeasure final : public TextMeasure {
 public:
  int Width(std::string_view text) override { return static_cast<int>(text.size()); }
};

// Two drives with gigabytes free do not fit control 1017 in full
// ("0.858 MB   S: +67845.0MB   T: +64704.0MB" needs 212 of its 186
// pixels): shorter forms of the same figures, the first that fits shown.
TEST(OverviewStatisticsTexts, ShorterFormsKeepTheFiguresForANarrowControl) {
  Plan p;
  p.CopyBytes = 900000;  // 0.858 MB
  p.SourceDrive = 'S';
  p.DestinationDrive = 'T';
  p.AvailSrc = int64_t{67845} << 20;
  p.AvailDest = int64_t{64704} << 20;
  StatisticsTexts texts = StatisticsTextsOf(p);
  EXPECT_EQ(texts.space, "0.858 MB   S: +67845.0MB   T: +64704.0MB");
  // Past 9 999 MB in GB (and under 1 000 GB, so the next form is the same
  // and left out); then the copy with one decimal and the drives with none.
  EXPECT_EQ(texts.shorterSpaces, (std::vector<std::string>{"0.858 MB   S: +66.3GB   T: +63.2GB",
                                                           "0.9 MB   S: +66GB   T: +63GB"}));
  CharacterMeasure measure;
  EXPECT_EQ(SpaceTextThatFits(texts, measure, 40), texts.space);
  EXPECT_EQ(SpaceTextThatFits(texts, measure, 39), texts.shorterSpaces[0]);
  EXPECT_EQ(SpaceTextThatFits(texts, measure, 33), texts.shorterSpaces[1]);
  EXPECT_EQ(SpaceTextThatFits(texts, measure, 5), texts.shorterSpaces[1]) << "the shortest";

  // Each figure in its own unit: megabytes stay, thousands of gigabytes
  // become terabytes, negative figures too.
  p.CopyBytes = uint64_t{12} << 30;
  p.AvailSrc = int64_t{1862} << 30;
  p.AvailDest = 5 << 20;
  p.NeedDest = int64_t{10240} << 20;
  texts = StatisticsTextsOf(p);
  EXPECT_EQ(texts.space, "12288.000 MB   S: +1906688.0MB   T: -10235.0MB");
  EXPECT_EQ(texts.shorterSpaces,
            (std::vector<std::string>{"12.000 GB   S: +1862.0GB   T: -10.0GB",
                                      "12.000 GB   S: +1.8TB   T: -10.0GB",
                                      "12.0 GB   S: +2TB   T: -10GB"}));

  // One drive and small figures: nothing shorter to offer.
  p.DestinationDrive = 'S';
  p.CopyBytes = 1572864;
  p.AvailDest = 3 << 20;
  p.NeedDest = 0;
  texts = StatisticsTextsOf(p);
  EXPECT_EQ(texts.space, "1.500 MB   S: +3.0MB");
  EXPECT_EQ(texts.shorterSpaces, std::vector<std::string>{"1.5 MB   S: +3MB"});
}

TEST(OverviewGroupStatistics, CountCopiesByDirectionAndSkipIgnoredAndErased) {
  const uint16_t dest = STATE_DEST_SIDE;
  std::vector<CANDIDATE> plan = {
      CANDIDATE("n", "", 0, 10, 1, 0, 0, 0, 0, N),          // into T, 10 bytes
      CANDIDATE("o", "", 0, 20, 0, 0, 0, 0, 0, N),          // into T, orphan
      CANDIDATE("i", "", 0, 40, 30, 0, 0, 0, 0, T | dest),  // into T from S: 30 bytes
      CANDIDATE("x", "", 0, 80, 5, 0, 0, 0, 0, I),          // nothing
      CANDIDATE("e", "", 0, 160, 5, 0, 0, 0, 0, E),         // nothing
      CANDIDATE("b", "", 0, 7, 3, 0, 0, 0, 0, T),           // into S: 3 bytes
      CANDIDATE("d", "", 0, 9, 0, 0, 0, 0, 0, N | dest),    // into S, orphan, 9 bytes
      CANDIDATE("z", "", 0, 500, 5, 0, 0, 0, 0, 0),         // no action: nothing
  };
  std::vector<FOLDER> folders = {FOLDER("all", 0, 7, 9, 9, 9, 9, 999, N),
                                 FOLDER("tail", 5, 6, 0, 0, 0, 0, 0, N),
                                 FOLDER("beyond the plan", 7, 12, 0, 0, 0, 0, 0, N)};
  CountGroupStatistics(folders, plan);
  EXPECT_EQ(folders[0].forwardCount, 3);
  EXPECT_EQ(folders[0].forwardOrphans, 1);
  EXPECT_EQ(folders[0].backwardCount, 2);
  EXPECT_EQ(folders[0].backwardOrphans, 1);
  EXPECT_EQ(folders[0].bytes, 10u + 20 + 30 + 3 + 9);
  EXPECT_EQ(folders[1].backwardCount, 2);
  EXPECT_EQ(folders[1].forwardCount, 0);
  EXPECT_EQ(folders[2].forwardCount, 0);
  EXPECT_EQ(folders[2].bytes, 0u);
}

TEST_F(OverviewPresenterTest, TheWarningLineIsAskedAgainWithEveryStatistics) {
  int erases = 0;
  presenter_.SetWarningSource([this, &erases] {
    erases = 0;
    for (const CANDIDATE& c : plan_.candidates) erases += (c.state & STATE_ERASE) ? 1 : 0;
    return erases > 1 ? "The plan erases " + std::to_string(erases) + " files." : std::string();
  });
  Open(kCompactView);
  EXPECT_EQ(presenter_.warning(), "");
  Select({0, 1});
  presenter_.MarkSelection(Action::kErase);
  EXPECT_EQ(presenter_.warning(), "The plan erases 2 files.");
  EXPECT_EQ(view_.warnings.back(), "The plan erases 2 files.");
  presenter_.MarkSelection(Action::kNormal);
  EXPECT_EQ(view_.warnings.back(), "");
}

// --- Indicators -----------------------------------------------------------------------------

TEST_F(OverviewPresenterTest, TheActiveIndicatorsFollowTheParameters) {
  job_.DisplayMode = kCompactView;
  job_.SortMode = 3;
  job_.Reverse = 1;
  job_.DoubleFilter = 1;
  std::vector<int> active;
  for (int id = kIndicatorFirst; id <= kIndicatorLast; ++id) {
    if (presenter_.IndicatorActive(id)) active.push_back(id);
  }
  EXPECT_EQ(active, (std::vector<int>{1003, 1008, 1011, 1013}));
}

TEST_F(OverviewPresenterTest, ClickingTheActiveViewSortOrReverseIndicatorDoesNothing) {
  job_.SortMode = 0;
  Open(kCompactView);
  const int fills = view_.fills;
  for (int id : {1003, 1005, 1010, 1014, 1001}) presenter_.ClickIndicator(id);
  EXPECT_EQ(view_.fills, fills);
  EXPECT_EQ(view_.indicatorRedraws, 0);
  job_.Reverse = 1;
  presenter_.ClickIndicator(1011);
  EXPECT_EQ(view_.fills, fills);
}

TEST_F(OverviewPresenterTest, ASortIndicatorReordersAndRegroups) {
  Open(kGroupView);
  plan_.groups[0].state = ReplaceAction(plan_.groups[0].state, I);
  presenter_.ClickIndicator(1009);  // by date: all share one stamp, one day
  EXPECT_EQ(job_.SortMode, 4);
  ASSERT_EQ(plan_.groups.size(), 1u);
  EXPECT_EQ(plan_.groups[0].state, STATE_NORMAL);  // regrouping forgets group actions
  EXPECT_EQ(view_.records(), std::vector<int32_t>{0});
  presenter_.ClickIndicator(1006);  // by name
  EXPECT_EQ(plan_.groups.size(), 6u);
  EXPECT_EQ(Actions(), (std::vector<uint16_t>{N, N, I, N, N, N}));  // candidate actions stay
  EXPECT_GE(view_.indicatorRedraws, 2);
}

TEST_F(OverviewPresenterTest, SwitchingBetweenCandidateViewsKeepsTheTopCandidate) {
  Open(kDetailedView);
  view_.list.SetTop(3);
  presenter_.ClickIndicator(kIndicatorCompactView);
  EXPECT_EQ(job_.DisplayMode, kCompactView);
  EXPECT_EQ(TopName(), "d");
  view_.list.SetTop(4);
  presenter_.ClickIndicator(kIndicatorDetailedView);
  EXPECT_EQ(TopName(), "e");
  EXPECT_TRUE(view_.candidateButtonsShown);
  // From the group view the candidate list starts at its top.
  presenter_.ClickIndicator(kIndicatorGroupView);
  EXPECT_FALSE(view_.candidateButtonsShown);
  view_.list.SetTop(2);
  presenter_.ClickIndicator(kIndicatorCompactView);
  EXPECT_EQ(view_.list.top(), 0);
  EXPECT_TRUE(view_.candidateButtonsShown);
}

TEST_F(OverviewPresenterTest, ReversingStartsAtTheMirroredCandidate) {
  job_.SortMode = 1;  // by name: a b c d e f
  OrderAndGroup(job_, plan_);
  Open(kCompactView);
  view_.list.SetTop(1);  // b, candidate 1
  presenter_.ClickIndicator(kIndicatorReverseOn);
  EXPECT_EQ(job_.Reverse, 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"f", "e", "d", "c", "b", "a"}));
  EXPECT_EQ(view_.list.top(), 4);  // candidate 6 - 1 - 1
  EXPECT_EQ(TopName(), "b");
  presenter_.ClickIndicator(kIndicatorReverseOff);
  EXPECT_EQ(job_.Reverse, 0);
  EXPECT_EQ(TopName(), "b");
}

TEST_F(OverviewPresenterTest, AFilterTogglesOnEveryClickAndSwitchedOffReturnsToTheTopRecord) {
  Open(kCompactView);
  presenter_.ClickIndicator(kIndicatorSizeFilter);
  EXPECT_EQ(view_.records(), (std::vector<int32_t>{2, 4}));
  view_.list.SetTop(1);  // e
  presenter_.ClickIndicator(kIndicatorSizeFilter);
  EXPECT_EQ(job_.SizeFilter, 0);
  EXPECT_EQ(view_.records().size(), 6u);
  EXPECT_EQ(TopName(), "e");
  presenter_.ClickIndicator(kIndicatorDoubleFilter);
  EXPECT_EQ(view_.records(), (std::vector<int32_t>{3, 4}));
  view_.list.SetTop(1);  // e
  presenter_.ClickIndicator(kIndicatorDoubleFilter);
  EXPECT_EQ(job_.DoubleFilter, 0);
  EXPECT_EQ(TopName(), "e");
}

// --- Next view by the right-button double click -------------------------------------------

TEST_F(OverviewPresenterTest, TheRightDoubleClickCyclesTheViewsAndPositionsOnTheRecord) {
  Open(kGroupView);
  Select({1});  // the group of d and e
  presenter_.NextView();
  EXPECT_EQ(job_.DisplayMode, kCompactView);
  EXPECT_EQ(TopName(), "d");
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{3});
  EXPECT_TRUE(view_.actionButtonsEnabled);
  EXPECT_TRUE(view_.candidateButtonsShown);

  view_.list.MoveCaret(4, false);  // e
  presenter_.NextView();
  EXPECT_EQ(job_.DisplayMode, kDetailedView);
  EXPECT_EQ(TopName(), "e");
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{4});

  view_.list.MoveCaret(5, false);  // f, in the third group
  presenter_.NextView();
  EXPECT_EQ(job_.DisplayMode, kGroupView);
  EXPECT_EQ(view_.list.top(), 2);
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{2});
  EXPECT_FALSE(view_.candidateButtonsShown);
}

TEST_F(OverviewPresenterTest, TheRightDoubleClickPositionsNothingOnARecordAFilterHides) {
  job_.SizeFilter = 1;
  Open(kGroupView);
  Select({1});  // group 1 starts with d, which has no size warning
  presenter_.NextView();
  EXPECT_EQ(job_.DisplayMode, kCompactView);
  EXPECT_EQ(view_.records(), (std::vector<int32_t>{2, 4}));
  EXPECT_TRUE(view_.list.SelectedPositions().empty());
  EXPECT_FALSE(view_.actionButtonsEnabled);
}

TEST_F(OverviewPresenterTest, TheRightDoubleClickFromTheDetailedViewFindsTheFirstGroupForEarlyRecords) {
  Open(kDetailedView);
  view_.list.MoveCaret(0, false);
  presenter_.NextView();
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{0});
  // An unknown DisplayMode shows candidates and goes on to the group view.
  job_.DisplayMode = 7;
  presenter_.RefreshList(false);
  view_.list.MoveCaret(4, false);
  presenter_.NextView();
  EXPECT_EQ(job_.DisplayMode, kGroupView);
  EXPECT_EQ(view_.list.SelectedPositions(), std::vector<int>{1});
}

// --- Blocks and View ----------------------------------------------------------------------

TEST_F(OverviewPresenterTest, BlockButtonsScrollToTheNeighbouringBands) {
  Open(kCompactView);  // bands: a b c | d e | f
  presenter_.NextBlock();
  EXPECT_EQ(view_.list.top(), 3);
  presenter_.NextBlock();
  EXPECT_EQ(view_.list.top(), 5);
  presenter_.NextBlock();  // the list ends first
  EXPECT_EQ(view_.list.top(), 5);
  presenter_.PreviousBlock();
  EXPECT_EQ(view_.list.top(), 3);
  view_.list.SetTop(4);  // in the middle of a block: to its start
  presenter_.PreviousBlock();
  EXPECT_EQ(view_.list.top(), 3);
  presenter_.PreviousBlock();
  EXPECT_EQ(view_.list.top(), 0);
  presenter_.PreviousBlock();  // the first entry is the top entry
  EXPECT_EQ(view_.list.top(), 0);
  EXPECT_TRUE(view_.list.SelectedPositions().empty());
}

TEST_F(OverviewPresenterTest, TheGroupViewGivesNoCandidateCommands) {
  Open(kGroupView);
  Select({0, 1});
  presenter_.NextBlock();
  EXPECT_EQ(view_.list.top(), 0);
  presenter_.ViewFiles();
  EXPECT_TRUE(platform_.opened.empty());
}

TEST_F(OverviewPresenterTest, ViewOpensTheScannedSideFileAndThenItsCounterpart) {
  Open(kCompactView);
  Select({0, 1, 5});
  presenter_.ViewFiles();
  EXPECT_EQ(platform_.opened,
            (std::vector<std::string>{"S:\\Data\\a.txt", "T:\\Backup\\a.txt", "S:\\Data\\b.txt",
                                      "T:\\Backup\\Only\\f.txt"}));
  EXPECT_EQ(view_.reselected.back(), (std::vector<int>{0, 1, 5}));
}

// --- Closing and help ----------------------------------------------------------------------

TEST_F(OverviewPresenterTest, OkClearsAbortedAndCancelSetsIt) {
  Open(kGroupView);
  plan_.Aborted = true;
  presenter_.Ok();
  EXPECT_FALSE(plan_.Aborted);
  presenter_.Cancel();
  EXPECT_TRUE(plan_.Aborted);
}

TEST_F(OverviewPresenterTest, HelpOpensTheHelpFileAtItsTopic) {
  presenter_.Help();
  ASSERT_EQ(platform_.help.size(), 1u);
  EXPECT_EQ(platform_.help[0].first, "Tolvex32.hlp");
  EXPECT_EQ(platform_.help[0].second, 4320u);
}

// --- Saved position -------------------------------------------------------------------------

#if !defined(_WIN32)
// The profile file of a fresh configuration folder, natively.
class SavedPositionTest : public ::testing::Test {
 protected:
  SavedPositionTest() {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("tolvex-profile-" + std::to_string(random()));
    const char* old = std::getenv("XDG_CONFIG_HOME");
    had_old_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
  }
  ~SavedPositionTest() override {
    if (had_old_) {
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::filesystem::path folder_;
  bool had_old_ = false;
  std::string old_;
};
#else
// Under Wine the profile file lies in the prefix's Windows folder.
class SavedPositionTest : public ::testing::Test {};
#endif

TEST_F(SavedPositionTest, RoundTripsThroughTheProfileFile) {
#if !defined(_WIN32)
  EXPECT_EQ(ReadSavedPosition(), (SavedPosition{0, 0}));  // no file yet
#endif
  WriteSavedPosition({312, -8});
  EXPECT_EQ(ReadSavedPosition(), (SavedPosition{312, -8}));
  EXPECT_EQ(Sys().ProfileString(kProfileFile, kProfileSection, "Left", ""), "312");
  EXPECT_EQ(Sys().ProfileString(kProfileFile, kProfileSection, "Top", ""), "-8");
  WriteSavedPosition({0, 40});
  EXPECT_EQ(ReadSavedPosition(), (SavedPosition{0, 40}));
}

}  // namespace
}  // namespace tolvex::overview
