#include "ui/overview/overview_presenter.h"

#include <cstdio>

#include "engine/space_accounting.h"
#include "model/ordering.h"
#include "model/parameters.h"
#include "platform/platform.h"
#include "ui/overview/overview_controls.h"

namespace tolvex::overview {

namespace {

bool ValidCandidate(const Plan& plan, int32_t record) {
  return record >= 0 && record < static_cast<int32_t>(plan.candidates.size());
}

bool ValidGroup(const Plan& plan, int32_t record) {
  return record >= 0 && record < static_cast<int32_t>(plan.groups.size());
}

void SetCandidateAction(Plan& plan, int32_t index, uint16_t action) {
  if (!ValidCandidate(plan, index)) return;
  plan.candidates[index].state = ReplaceAction(plan.candidates[index].state, action);
}

// A group and every candidate of its range.
void SetGroupAction(Plan& plan, int32_t record, uint16_t action) {
  FOLDER& g = plan.groups[record];
  g.state = ReplaceAction(g.state, action);
  for (int32_t i = g.first; i <= g.last; ++i) SetCandidateAction(plan, i, action);
}

// The next action of a double click: the action bits tested in the order
// Normal, Ignore, Erase (and Invert for candidates); a word without any
// action bit gets Normal.
uint16_t NextGroupAction(uint16_t state) {
  if (state & STATE_NORMAL) return STATE_IGNORE;
  if (state & STATE_IGNORE) return STATE_ERASE;
  return STATE_NORMAL;
}

uint16_t NextCandidateAction(const CANDIDATE& c) {
  uint16_t next = STATE_NORMAL;
  if (c.state & STATE_NORMAL) {
    next = STATE_IGNORE;
  } else if (c.state & STATE_IGNORE) {
    next = STATE_ERASE;
  } else if (c.state & STATE_ERASE) {
    next = STATE_INVERT;
  }
  if (next == STATE_INVERT && !c.counterHasBytes()) next = STATE_NORMAL;
  return next;
}

// The group that holds candidate `record` in the group view: the last group
// whose `first` is not above it, the first group when none is.
std::optional<int32_t> GroupHolding(const std::vector<FOLDER>& groups, int32_t record) {
  if (groups.empty()) return std::nullopt;
  for (int32_t k = static_cast<int32_t>(groups.size()) - 1; k >= 1; --k) {
    if (groups[k].first <= record) return k;
  }
  return 0;
}

std::string FilePath(const std::vector<STRING>& folders, const CANDIDATE& c,
                     const std::string& file_name) {
  const bool known = c.dirIndex >= 0 && c.dirIndex < static_cast<int32_t>(folders.size());
  return (known ? folders[c.dirIndex].text() : std::string()) + file_name;
}

}  // namespace

// --- Setup and closing -------------------------------------------------------

void OverviewPresenter::Setup() {
  view_.EnableActionButtons(false);
  view_.ShowCandidateButtons(!InGroupView());
  RefreshList(false);
}

void OverviewPresenter::Ok() { plan_.Aborted = false; }

void OverviewPresenter::Cancel() { plan_.Aborted = true; }

void OverviewPresenter::Help() { Sys().ShowHelp(kHelpFile, kHelpContext); }

// --- The list ------------------------------------------------------------------

void OverviewPresenter::RefreshList(bool reorder) {
  const TParameters& p = parameters_;
  view_.SetWaitCursor(true);
  view_.ShowList(false);
  Sys().PumpStep();
  view_.EnableActionButtons(false);
  if (reorder) OrderAndGroup(p, plan_);
  entries_.clear();
  if (InGroupView()) {
    for (int32_t k = 0; k < static_cast<int32_t>(plan_.groups.size()); ++k) entries_.push_back(k);
  } else {
    for (int32_t i = 0; i < static_cast<int32_t>(plan_.candidates.size()); ++i) {
      const uint16_t state = plan_.candidates[i].state;
      if (p.SizeFilter && !(state & STATE_SIZE_WARNING)) continue;
      if (p.DoubleFilter && !(state & STATE_COUNTER_CHANGED)) continue;
      entries_.push_back(i);
    }
  }
  view_.FillList(entries_);
  UpdateStatistics();
  Sys().PumpStep();
  view_.ShowList(true);
  view_.SetWaitCursor(false);
}

void OverviewPresenter::SelectionChanged() {
  view_.EnableActionButtons(!view_.SelectedPositions().empty());
}

int32_t OverviewPresenter::RecordAt(int position) const {
  if (position < 0 || position >= static_cast<int>(entries_.size())) return -1;
  return entries_[position];
}

int OverviewPresenter::PositionOf(int32_t record) const {
  for (size_t k = 0; k < entries_.size(); ++k) {
    if (entries_[k] == record) return static_cast<int>(k);
  }
  return -1;
}

// --- Marking and statistics ----------------------------------------------------

void OverviewPresenter::SetActionOfRecord(int32_t record, uint16_t action) {
  if (InGroupView()) {
    if (ValidGroup(plan_, record)) SetGroupAction(plan_, record, action);
  } else {
    SetCandidateAction(plan_, record, action);
  }
}

void OverviewPresenter::MarkSelection(Action action) {
  const uint16_t value = static_cast<uint16_t>(action);
  // The Invert button is hidden in the group view.
  if (action == Action::kInvert && InGroupView()) return;
  const std::vector<int> positions = view_.SelectedPositions();
  for (int position : positions) {
    const int32_t record = RecordAt(position);
    if (action == Action::kInvert &&
        !(ValidCandidate(plan_, record) && plan_.candidates[record].counterHasBytes())) {
      continue;
    }
    SetActionOfRecord(record, value);
  }
  view_.Reselect(positions);
  UpdateStatistics();
}

void OverviewPresenter::CycleAction() {
  const std::vector<int> positions = view_.SelectedPositions();
  // A double click with Ctrl held can leave nothing selected: no record to touch.
  if (positions.empty()) return;
  const int32_t record = RecordAt(positions.front());
  if (InGroupView()) {
    if (!ValidGroup(plan_, record)) return;
    SetGroupAction(plan_, record, NextGroupAction(plan_.groups[record].state));
  } else {
    if (!ValidCandidate(plan_, record)) return;
    SetCandidateAction(plan_, record, NextCandidateAction(plan_.candidates[record]));
  }
  view_.Reselect({positions.front()});
  UpdateStatistics();
}

void OverviewPresenter::UpdateStatistics() {
  AccountSpace(plan_);
  view_.SetStatisticsTexts(StatisticsTextsOf(plan_));
  CountGroupStatistics(plan_.groups, plan_.candidates);
  if (warning_source_) {
    warning_ = warning_source_();
    view_.ShowWarning(warning_);
  }
}

// --- Views, order, filters -------------------------------------------------------

bool OverviewPresenter::InGroupView() const { return parameters_.DisplayMode == kGroupView; }

std::optional<int32_t> OverviewPresenter::TopRecord() {
  if (entries_.empty()) return std::nullopt;
  const int32_t record = RecordAt(view_.TopPosition());
  if (record < 0) return std::nullopt;
  return record;
}

bool OverviewPresenter::ScrollTo(std::optional<int32_t> record) {
  if (!record) return false;
  const int position = PositionOf(*record);
  if (position < 0) return false;
  view_.SetTopPosition(position);
  return true;
}

void OverviewPresenter::SwitchView(int32_t display_mode) {
  parameters_.DisplayMode = display_mode;
  view_.RedrawIndicators();
  RefreshList(false);
  view_.ShowCandidateButtons(display_mode != kGroupView);
}

void OverviewPresenter::SwitchToCandidateView(int32_t display_mode) {
  if (parameters_.DisplayMode == display_mode) return;
  // Only a switch between the two candidate views keeps the top candidate;
  // coming from the group view the list starts at its top.
  const int32_t other = display_mode == kCompactView ? kDetailedView : kCompactView;
  const std::optional<int32_t> top = parameters_.DisplayMode == other ? TopRecord() : std::nullopt;
  SwitchView(display_mode);
  ScrollTo(top);
}

void OverviewPresenter::SetReverse(bool on) {
  TParameters& p = parameters_;
  if ((p.Reverse != 0) == on) return;
  const std::optional<int32_t> top = TopRecord();
  p.Reverse = on ? 1 : 0;
  view_.RedrawIndicators();
  RefreshList(true);
  // The reversed list starts where the old one ended: the candidate that
  // mirrors the old top one.
  if (top) ScrollTo(static_cast<int32_t>(plan_.candidates.size()) - 1 - *top);
}

void OverviewPresenter::ToggleFilter(uint8_t& filter) {
  const std::optional<int32_t> top = TopRecord();
  filter = filter ? 0 : 1;
  view_.RedrawIndicators();
  RefreshList(false);
  if (!filter) ScrollTo(top);
}

void OverviewPresenter::ClickIndicator(int id) {
  TParameters& p = parameters_;
  if (id == kIndicatorGroupView) {
    if (p.DisplayMode != kGroupView) SwitchView(kGroupView);
  } else if (id == kIndicatorCompactView) {
    SwitchToCandidateView(kCompactView);
  } else if (id == kIndicatorDetailedView) {
    SwitchToCandidateView(kDetailedView);
  } else if (id >= kIndicatorSortFirst && id <= kIndicatorSortLast) {
    const int32_t mode = id - kIndicatorSortFirst;
    if (p.SortMode == mode) return;
    p.SortMode = mode;
    view_.RedrawIndicators();
    RefreshList(true);
  } else if (id == kIndicatorReverseOff) {
    SetReverse(false);
  } else if (id == kIndicatorReverseOn) {
    SetReverse(true);
  } else if (id == kIndicatorSizeFilter) {
    ToggleFilter(p.SizeFilter);
  } else if (id == kIndicatorDoubleFilter) {
    ToggleFilter(p.DoubleFilter);
  }
}

void OverviewPresenter::NextView() {
  const int32_t n = RecordAt(view_.CaretPosition());
  std::optional<int32_t> target;
  switch (parameters_.DisplayMode) {
    case kGroupView:
      if (ValidGroup(plan_, n)) target = plan_.groups[n].first;
      SwitchView(kCompactView);
      break;
    case kCompactView:
      if (n >= 0) target = n;
      SwitchView(kDetailedView);
      break;
    default:
      // The detailed view, and a DisplayMode outside the three (its rows are
      // candidates too): on to the group view, at the group of the record.
      if (n >= 0) target = GroupHolding(plan_.groups, n);
      SwitchView(kGroupView);
      break;
  }
  if (ScrollTo(target)) view_.SelectEntry(PositionOf(*target));
  SelectionChanged();
}

bool OverviewPresenter::IndicatorActive(int id) const {
  const TParameters& p = parameters_;
  switch (id) {
    case kIndicatorGroupView: return p.DisplayMode == kGroupView;
    case kIndicatorCompactView: return p.DisplayMode == kCompactView;
    case kIndicatorDetailedView: return p.DisplayMode == kDetailedView;
    case kIndicatorReverseOff: return p.Reverse == 0;
    case kIndicatorReverseOn: return p.Reverse != 0;
    case kIndicatorSizeFilter: return p.SizeFilter != 0;
    case kIndicatorDoubleFilter: return p.DoubleFilter != 0;
    default: break;
  }
  return id >= kIndicatorSortFirst && id <= kIndicatorSortLast &&
         p.SortMode == id - kIndicatorSortFirst;
}

// --- Block navigation and View -----------------------------------------------------

bool OverviewPresenter::BandAt(int position) const {
  const int32_t record = RecordAt(position);
  return ValidCandidate(plan_, record) && (plan_.candidates[record].state & STATE_BAND) != 0;
}

void OverviewPresenter::PreviousBlock() {
  if (InGroupView() || entries_.empty()) return;
  const int top = view_.TopPosition();
  if (top <= 0) return;
  int position = top - 1;
  while (position > 0 && BandAt(position - 1) == BandAt(position)) --position;
  view_.SetTopPosition(position);
}

void OverviewPresenter::NextBlock() {
  if (InGroupView() || entries_.empty()) return;
  const int top = view_.TopPosition();
  const int n = static_cast<int>(entries_.size());
  const bool band = BandAt(top);
  int position = top;
  while (position < n && BandAt(position) == band) ++position;
  if (position < n) view_.SetTopPosition(position);
}

void OverviewPresenter::ViewFiles() {
  if (InGroupView()) return;
  const std::vector<int> positions = view_.SelectedPositions();
  for (int position : positions) {
    const int32_t record = RecordAt(position);
    if (!ValidCandidate(plan_, record)) continue;
    const CANDIDATE& c = plan_.candidates[record];
    // What the shell does with the file is its own; a failure is ignored.
    Sys().ShellOpen(FilePath(plan_.dirList, c, c.name + c.extension));
    if (c.counterHasBytes()) {
      Sys().ShellOpen(FilePath(plan_.counterpartList, c, c.counterFileName(plan_.counterNames)));
    }
  }
  view_.Reselect(positions);
}

// --- Saved position ------------------------------------------------------------------

SavedPosition ReadSavedPosition() {
  SavedPosition position;
  // The profile gives unsigned numbers; "-8" reads as 0xFFFFFFF8, a window
  // just left of the screen's edge.
  position.top = static_cast<int>(Sys().ProfileInt(kProfileFile, kProfileSection, "Top", 0));
  position.left = static_cast<int>(Sys().ProfileInt(kProfileFile, kProfileSection, "Left", 0));
  return position;
}

void WriteSavedPosition(const SavedPosition& position) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", position.left);
  Sys().WriteProfileString(kProfileFile, kProfileSection, "Left", text);
  std::snprintf(text, sizeof text, "%d", position.top);
  Sys().WriteProfileString(kProfileFile, kProfileSection, "Top", text);
}

}  // namespace tolvex::overview
