// A view for the presenter's tests: it keeps the list as the terminal view
// does (EntryList) and records what the presenter showed.
#pragma once

#include <string>
#include <vector>

#include "ui/overview/entry_list.h"
#include "ui/overview/overview_presenter.h"

namespace tolvex::overview {

class RecordingView final : public OverviewView {
 public:
  void FillList(const std::vector<int32_t>& records) override {
    records_ = records;
    list.Fill(static_cast<int>(records.size()));
    ++fills;
  }
  void ShowList(bool shown) override { listShown = shown; }
  std::vector<int> SelectedPositions() override { return list.SelectedPositions(); }
  void Reselect(const std::vector<int>& positions) override { reselected.push_back(positions); }
  void SelectEntry(int position) override { list.Select(position); }
  int TopPosition() override { return list.top(); }
  void SetTopPosition(int position) override { list.SetTop(position); }
  int CaretPosition() override { return list.caret(); }
  void EnableActionButtons(bool enabled) override { actionButtonsEnabled = enabled; }
  void ShowCandidateButtons(bool shown) override { candidateButtonsShown = shown; }
  void SetStatisticsTexts(const StatisticsTexts& t) override { texts = t; }
  void RedrawIndicators() override { ++indicatorRedraws; }
  void SetWaitCursor(bool wait) override { waitCursorShown = wait; }
  void ShowWarning(const std::string& warning) override { warnings.push_back(warning); }

  // The records the list shows, in order.
  const std::vector<int32_t>& records() const { return records_; }

  EntryList list;
  bool listShown = true;
  bool actionButtonsEnabled = false;
  bool candidateButtonsShown = true;
  bool waitCursorShown = false;
  int fills = 0;
  int indicatorRedraws = 0;
  StatisticsTexts texts;
  std::vector<std::vector<int>> reselected;
  std::vector<std::string> warnings;

 private:
  std::vector<int32_t> records_;
};

}  // namespace tolvex::overview
