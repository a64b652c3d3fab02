// The progress dialogs' behaviour without a toolkit: range and position
// rules, Cancel and Interrupt, and what reaches the display.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "model/plan.h"
#include "platform/platform.h"
#include "ui/progress/copy_presenter.h"
#include "ui/progress/search_presenter.h"

namespace tolvex {
namespace {

using Calls = std::vector<std::string>;

class RecordingSearchDisplay final : public SearchDialogDisplay {
 public:
  explicit RecordingSearchDisplay(Calls* calls) : calls_(calls) {}
  bool IsOpen() const override { return open_; }
  void ShowStatus(const std::string& text) override { calls_->push_back("status " + text); }
  void ShowRange(int minimum, int maximum) override {
    calls_->push_back("range " + std::to_string(minimum) + " " + std::to_string(maximum));
  }
  void ShowPosition(int position) override {
    calls_->push_back("position " + std::to_string(position));
  }
  void ShowWaitCursor(bool wait) override { calls_->push_back(wait ? "wait" : "arrow"); }
  void Close() override {
    calls_->push_back("close");
    open_ = false;
  }
  void PressCancel() { CancelPressed(); }

 private:
  Calls* calls_;
  bool open_ = true;
};

class RecordingCopyDisplay final : public CopyDialogDisplay {
 public:
  explicit RecordingCopyDisplay(Calls* calls, bool open = true) : calls_(calls), open_(open) {}
  bool IsOpen() const override { return open_; }
  void ShowField(CopyField field, const std::string& text) override {
    calls_->push_back("field " + std::to_string(static_cast<int>(field)) + " '" + text + "'");
  }
  void ShowPercent(int percent) override { calls_->push_back(std::to_string(percent) + "%"); }
  void EnableInterrupt(bool enabled) override {
    calls_->push_back(enabled ? "enable" : "disable");
  }
  void PressInterrupt() { InterruptPressed(); }

 private:
  Calls* calls_;
  bool open_;
};

// Counts pump steps and records them among the display's calls.
class CountingPump final : public PlatformWrapper {
 public:
  explicit CountingPump(Calls* calls) : PlatformWrapper(&DefaultPlatform()), calls_(calls) {}
  bool TakeOneMessage() override {
    calls_->push_back("pump");
    return false;
  }

 private:
  Calls* calls_;
};

class ProgressPresenters : public ::testing::Test {
 protected:
  ProgressPresenters() { SetSys(&pump_); }
  ~ProgressPresenters() override { SetSys(nullptr); }

  Plan plan_;  // the run's flags the buttons set
  Calls calls_;
  CountingPump pump_{&calls_};
};

// --- Search dialog -------------------------------------------------------------

TEST_F(ProgressPresenters, SearchRangeNotAboveItsMinimumBecomesMinimumPlusOne) {
  struct Case {
    int minimum, maximum;
    const char* shown;
  };
  const Case cases[] = {
      {0, 0, "range 0 1"},     // a search over no folders
      {5, 3, "range 5 6"},     // maximum below the minimum
      {0, 300, "range 0 300"},
      {-4, -4, "range -4 -3"},
      {INT_MAX, INT_MAX, "range 2147483646 2147483647"},  // no overflow
  };
  for (const Case& c : cases) {
    calls_.clear();
    auto display = std::make_unique<RecordingSearchDisplay>(&calls_);
    SearchProgressPresenter presenter(std::move(display), plan_.Aborted);
    presenter.SetGaugeRange(c.minimum, c.maximum);
    ASSERT_FALSE(calls_.empty());
    EXPECT_EQ(calls_.front(), c.shown) << c.minimum << " " << c.maximum;
    EXPECT_LT(presenter.minimum(), presenter.maximum());
  }
}

TEST_F(ProgressPresenters, SearchPositionIsClampedAndRepaintsOnlyWhenItChanges) {
  SearchProgressPresenter presenter(std::make_unique<RecordingSearchDisplay>(&calls_),
                                    plan_.Aborted);
  presenter.SetGaugeRange(0, 3);
  for (int position : {0, 1, 1, 2, -7, 3, 4, 400}) presenter.SetGaugePosition(position);
  EXPECT_EQ(calls_, (Calls{"range 0 3", "position 1", "position 2", "position 0", "position 3"}));
  EXPECT_EQ(presenter.position(), 3);
}

TEST_F(ProgressPresenters, ANewRangeClampsTheShownPosition) {
  SearchProgressPresenter presenter(std::make_unique<RecordingSearchDisplay>(&calls_),
                                    plan_.Aborted);
  presenter.SetGaugeRange(0, 300);
  presenter.SetGaugePosition(250);
  presenter.SetGaugeRange(0, 2);  // "Searching for files..." over two folders
  presenter.SetGaugePosition(0);
  EXPECT_EQ(calls_,
            (Calls{"range 0 300", "position 250", "range 0 2", "position 2", "position 0"}));
}

TEST_F(ProgressPresenters, CancelSetsAbortedClosesAtOnceAndLaterWritesAreIgnored) {
  auto display = std::make_unique<RecordingSearchDisplay>(&calls_);
  RecordingSearchDisplay* button = display.get();
  SearchProgressPresenter presenter(std::move(display), plan_.Aborted);
  presenter.SetStatusText("Searching for files...");
  button->PressCancel();
  EXPECT_TRUE(plan_.Aborted);
  presenter.SetStatusText("Erasing files...");
  presenter.SetGaugeRange(0, 9);
  presenter.SetGaugePosition(4);
  presenter.SetWaitCursor(true);
  EXPECT_EQ(calls_, (Calls{"status Searching for files...", "close"}));
}

TEST_F(ProgressPresenters, WaitCursorReachesTheDisplay) {
  SearchProgressPresenter presenter(std::make_unique<RecordingSearchDisplay>(&calls_),
                                    plan_.Aborted);
  presenter.SetWaitCursor(true);
  presenter.SetWaitCursor(false);
  EXPECT_EQ(calls_, (Calls{"wait", "arrow"}));
}

// --- Copy dialog ----------------------------------------------------------------

TEST_F(ProgressPresenters, CopyRowsFillTheSixFieldsAndAMissingTargetLeavesItsFieldsEmpty) {
  CopyProgressPresenter presenter(std::make_unique<RecordingCopyDisplay>(&calls_),
                                  plan_.InterruptRequest);
  presenter.ShowCopyRow("S:\\Data\\a.txt", "        5", "03.14.99 10:22:40");
  presenter.ShowToRow("T:\\Backup\\Data\\a.txt", "", "");
  EXPECT_EQ(calls_, (Calls{"field 0 'S:\\Data\\a.txt'", "field 1 '        5'",
                           "field 2 '03.14.99 10:22:40'", "field 3 'T:\\Backup\\Data\\a.txt'"}))
      << "empty target texts need no repaint of fields that are empty already";

  // The next file: an existing target, then again none.
  calls_.clear();
  presenter.ShowCopyRow("S:\\Data\\b.txt", "        5", "03.14.99 10:22:40");
  presenter.ShowToRow("T:\\Backup\\Data\\b.txt", "       12", "03.10.99 17:05:12");
  presenter.ShowToRow("T:\\Backup\\Data\\c.txt", "", "");
  EXPECT_EQ(calls_, (Calls{"field 0 'S:\\Data\\b.txt'", "field 3 'T:\\Backup\\Data\\b.txt'",
                           "field 4 '       12'", "field 5 '03.10.99 17:05:12'",
                           "field 3 'T:\\Backup\\Data\\c.txt'", "field 4 ''", "field 5 ''"}));
}

TEST_F(ProgressPresenters, CopyPercentIsClampedIntoItsRangeAndRepaintsOnChange) {
  CopyProgressPresenter presenter(std::make_unique<RecordingCopyDisplay>(&calls_),
                                  plan_.InterruptRequest);
  // -1: MulDiv's answer for a total of 0 (only empty files): the bar stays
  // at 0 %. Then 42, 42 again, beyond 100, and 100 after the last copy.
  for (int position : {0, -1, 42, 42, 250, 100}) presenter.SetGaugePosition(position);
  EXPECT_EQ(calls_, (Calls{"42%", "100%"}));
  EXPECT_EQ(presenter.percent(), 100);
}

TEST_F(ProgressPresenters, InterruptSetsTheRequestDisablesTheButtonAndPumpsOnce) {
  auto display = std::make_unique<RecordingCopyDisplay>(&calls_);
  RecordingCopyDisplay* button = display.get();
  CopyProgressPresenter presenter(std::move(display), plan_.InterruptRequest);

  button->PressInterrupt();
  EXPECT_TRUE(plan_.InterruptRequest);
  EXPECT_FALSE(presenter.interruptEnabled());
  // A second press while the request is pending does nothing (on Windows
  // the button is disabled; a terminal key is ignored the same way).
  button->PressInterrupt();
  EXPECT_EQ(calls_, (Calls{"disable", "pump"}));

  // The run handled the request: cleared it and enabled the button again.
  plan_.InterruptRequest = false;
  presenter.EnableInterrupt();
  button->PressInterrupt();
  EXPECT_TRUE(plan_.InterruptRequest);
  EXPECT_EQ(calls_, (Calls{"disable", "pump", "enable", "disable", "pump"}));
}

TEST_F(ProgressPresenters, ADisplayThatCouldNotOpenIsNeverDrawnOn) {
  CopyProgressPresenter presenter(std::make_unique<RecordingCopyDisplay>(&calls_, false),
                                  plan_.InterruptRequest);
  presenter.ShowCopyRow("S:\\a", "1", "x");
  presenter.SetGaugePosition(50);
  presenter.EnableInterrupt();
  EXPECT_EQ(calls_, Calls{});
  EXPECT_EQ(presenter.percent(), 50);
}

}  // namespace
}  // namespace tolvex
