// The overview's behaviour, free of any toolkit: the list entries, the
// selection driving the action buttons, marking, the statistics, the view,
// order and filter switches with their positioning rules, block navigation,
// View, Help, OK and Cancel.
//
// It works in place on the run's plan (`candidates` and `groups`, the
// statistics, Aborted) and on DisplayMode, SortMode, Reverse, SizeFilter and
// DoubleFilter of the run's parameters; CallUpdate keeps the view settings
// for the next run.
// The views (the Win32 dialog, the terminal view) decode their toolkit's
// events into the calls below and draw what the presenter tells them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/overview/overview_statistics.h"

namespace tolvex::overview {

// What the presenter asks of a view. The view owns the list control: its
// entries (record numbers), selection, caret and scroll position. Positions
// count from 0.
class OverviewView {
 public:
  virtual ~OverviewView() = default;

  // Replaces every entry of the list by `records`, in this order, each row
  // as high as DisplayMode asks; afterwards nothing is selected and the first
  // entry is the top entry.
  virtual void FillList(const std::vector<int32_t>& records) = 0;
  // The list is hidden while its entries are rebuilt.
  virtual void ShowList(bool shown) = 0;
  // The selected positions, in increasing order.
  virtual std::vector<int> SelectedPositions() = 0;
  // Selects `positions` again (they stay selected) so that their rows are
  // redrawn with their records' new state.
  virtual void Reselect(const std::vector<int>& positions) = 0;
  // Selects the entry at `position` and puts the caret on it.
  virtual void SelectEntry(int position) = 0;
  // The entry at the top of the visible part; 0 for an empty list.
  virtual int TopPosition() = 0;
  virtual void SetTopPosition(int position) = 0;
  // The entry with the caret (focus); -1 when the list has none.
  virtual int CaretPosition() = 0;

  // Normal, Ignore, Erase, Invert and View.
  virtual void EnableActionButtons(bool enabled) = 0;
  // Invert, View, previous block and next block: hidden in the group view.
  virtual void ShowCandidateButtons(bool shown) = 0;
  // The texts of 1015, 1016 and 1017, set in this order.
  virtual void SetStatisticsTexts(const StatisticsTexts& texts) = 0;
  // The indicators show DisplayMode, SortMode, Reverse and the filters anew.
  virtual void RedrawIndicators() = 0;
  // The system wait cursor while the list is rebuilt, then the arrow.
  virtual void SetWaitCursor(bool wait) = 0;
  // The warning line changed (terminal view; the dialog has no room for it
  // and asks the warning as a question instead).
  virtual void ShowWarning(const std::string& /*warning*/) {}
};

// The actions the buttons give.
enum class Action : uint16_t {
  kNormal = STATE_NORMAL,
  kIgnore = STATE_IGNORE,
  kErase = STATE_ERASE,
  kInvert = STATE_INVERT,
};

class OverviewPresenter {
 public:
  OverviewPresenter(OverviewView& view, Plan& plan, TParameters& parameters)
      : view_(view), plan_(plan), parameters_(parameters) {}

  // --- Setup and closing -------------------------------------------------

  // After the view's controls exist: the candidate buttons hidden in the
  // group view, the list filled without re-ordering.
  void Setup();
  // OK clears Aborted, Cancel (and closing, and Escape) sets it; the view
  // then closes itself.
  void Ok();
  void Cancel();
  // The Help button: the help file at its topic, through the platform layer.
  void Help();

  // --- The list ------------------------------------------------------------

  // Rebuilds the entries (after ordering `candidates` and rebuilding
  // `groups` when `reorder` is set) and the statistics. Leaves nothing
  // selected and the five action buttons disabled.
  void RefreshList(bool reorder);
  // The list's selection changed: the five action buttons are enabled when
  // at least one entry is selected.
  void SelectionChanged();
  // The record numbers of the entries, in list order: `groups` indices in the
  // group view, `candidates` indices in the candidate views.
  const std::vector<int32_t>& entries() const { return entries_; }
  // The record an entry shows; -1 for a position outside the list.
  int32_t RecordAt(int position) const;
  // The position of the entry that shows `record`; -1 when none does.
  int PositionOf(int32_t record) const;

  // --- Marking and statistics ----------------------------------------------

  // Gives every selected record the action: in the group view the group and
  // all its candidates; in the candidate views each candidate, where Invert
  // skips candidates without a counterpart. Invert is not given in the group
  // view. Then the rows are redrawn and the statistics recomputed.
  void MarkSelection(Action action);
  // The double click: the first selected record gets its next action
  // (groups Normal -> Ignore -> Erase -> Normal; candidates Normal -> Ignore
  // -> Erase -> Invert -> Normal, with Normal instead of Invert for a
  // candidate without a counterpart). Nothing happens when no entry is
  // selected.
  void CycleAction();
  // AccountSpace over the plan, the three texts and the group statistics.
  void UpdateStatistics();

  // --- Views, order, filters -----------------------------------------------

  // A click on indicator 1002 to 1013 (other ids are ignored).
  void ClickIndicator(int id);
  // The double click with the right button held: views cycle 0 -> 2 -> 1 ->
  // 0, positioned at the caret entry's record.
  void NextView();
  // Whether the indicator shows its active picture, by the view settings of
  // `parameters` (or of the presenter's).
  static bool IndicatorActive(const TParameters& parameters, int id);
  bool IndicatorActive(int id) const { return IndicatorActive(parameters_, id); }

  // --- Block navigation and View -------------------------------------------

  // Scroll to the start of the block above / below the top entry (runs of
  // entries whose candidates share STATE_BAND). Not in the group view.
  void PreviousBlock();
  void NextBlock();
  // Opens the scanned-side file and then the counterpart (when there is one)
  // of every selected candidate, in list order. Not in the group view.
  void ViewFiles();

  // --- The warning line ----------------------------------------------------

  // A source of one warning line (empty: none), asked again whenever the
  // statistics change; the terminal view shows it above its key help.
  void SetWarningSource(std::function<std::string()> source) { warning_source_ = std::move(source); }
  const std::string& warning() const { return warning_; }

 private:
  bool InGroupView() const;
  void SwitchToCandidateView(int32_t display_mode);
  void SwitchView(int32_t display_mode);
  void SetReverse(bool on);
  void ToggleFilter(uint8_t& filter);
  std::optional<int32_t> TopRecord();
  // Makes the entry that shows `record` the top entry; false when none does.
  bool ScrollTo(std::optional<int32_t> record);
  bool BandAt(int position) const;
  void SetActionOfRecord(int32_t record, uint16_t action);

  OverviewView& view_;
  Plan& plan_;
  TParameters& parameters_;
  std::vector<int32_t> entries_;
  std::function<std::string()> warning_source_;
  std::string warning_;
};

// The position of the dialog window kept in "Tolvex32.ini", section
// "Overview Dialog", keys "Left" and "Top" (screen pixels); 0, 0 when none
// is kept.
struct SavedPosition {
  int left = 0;
  int top = 0;
  bool operator==(const SavedPosition&) const = default;
};
SavedPosition ReadSavedPosition();
// Writes "Left" and then "Top" with "%d"; a failing write is ignored.
void WriteSavedPosition(const SavedPosition& position);

}  // namespace tolvex::overview
