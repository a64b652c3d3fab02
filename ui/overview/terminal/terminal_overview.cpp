#include "ui/overview/terminal/terminal_overview.h"

#include <curses.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "model/parameters.h"
#include "model/program_state.h"
#include "ui/overview/entry_list.h"
#include "ui/overview/overview_controls.h"
#include "ui/overview/overview_keys.h"
#include "ui/overview/overview_presenter.h"
#include "ui/overview/row_layout.h"
#include "ui/overview/terminal/curses_screen.h"
#include "ui/overview/terminal_cells.h"

namespace tolvex::overview {

namespace {

class CellMeasure final : public TextMeasure {
 public:
  int Width(std::string_view text) override { return CellWidth(text); }
};

struct IndicatorLabel {
  int id;
  const char* key;
  const char* label;
  int column;
};

// The indicator bar in 80 columns; the reverse indicator shows the state of
// 1011 (on), its key switches to the other one.
constexpr IndicatorLabel kIndicatorLabels[] = {
    {kIndicatorGroupView, "1", "Groups", 0},  {kIndicatorCompactView, "2", "Compact", 8},
    {kIndicatorDetailedView, "3", "Detail", 17}, {1005, "4", "Folder", 26},
    {1006, "5", "Name", 34},                   {1007, "6", "Type", 40},
    {1008, "7", "Size", 46},                   {1009, "8", "Date", 52},
    {kIndicatorReverseOn, "r", "Rev", 59},     {kIndicatorSizeFilter, "w", "Size!", 64},
    {kIndicatorDoubleFilter, "b", "Both", 71},
};

struct ButtonLabel {
  const char* key;
  const char* label;
  enum Kind { kAction, kCandidate, kAlways } kind;
};

constexpr ButtonLabel kButtonLabels[] = {
    {"n", "Normal", ButtonLabel::kAction},   {"o", "Ignore", ButtonLabel::kAction},
    {"e", "Erase", ButtonLabel::kAction},    {"t", "Invert", ButtonLabel::kCandidate},
    {"v", "View", ButtonLabel::kCandidate},  {"[]", "Block", ButtonLabel::kCandidate},
    {"k", "OK", ButtonLabel::kAlways},       {"c", "Cancel", ButtonLabel::kAlways},
    {"h", "Help", ButtonLabel::kAlways},
};

const Colour kFace = Colour::System(kColourButtonFace);
const Colour kInk = Colour::System(kColourWindowText);
const Colour kWarningInk = Colour::Value(0x0000C0);
constexpr int kMaxFailedReads = 16;

class TerminalOverviewView final : public OverviewView {
 public:
  explicit TerminalOverviewView(CursesScreen& screen)
      : screen_(screen),
        geometry_(RowGeometry::Cells()),
        shift_up_(CursesScreen::KeyCode("kUP")),
        shift_down_(CursesScreen::KeyCode("kDN")) {}

  // --- OverviewView ---
  void FillList(const std::vector<int32_t>& records) override {
    records_ = records;
    list_.Fill(static_cast<int>(records.size()));
  }
  void ShowList(bool) override {}
  std::vector<int> SelectedPositions() override { return list_.SelectedPositions(); }
  void Reselect(const std::vector<int>&) override {}  // every key redraws the screen
  void SelectEntry(int position) override { list_.Select(position); }
  int TopPosition() override { return list_.top(); }
  void SetTopPosition(int position) override {
    // As a list box scrolls: no further than a full last page.
    const int last_top = std::max(0, list_.size() - VisibleEntries());
    list_.SetTop(std::min(position, last_top));
  }
  int CaretPosition() override { return list_.caret(); }
  void EnableActionButtons(bool enabled) override { actions_enabled_ = enabled; }
  void ShowCandidateButtons(bool shown) override { candidate_buttons_ = shown; }
  void SetStatisticsTexts(const StatisticsTexts& texts) override { texts_ = texts; }
  void RedrawIndicators() override {}
  void SetWaitCursor(bool) override {}
  void ShowWarning(const std::string& warning) override { warning_ = warning; }

  EntryList& list() { return list_; }
  int VisibleEntries() const {
    const int height = RowHeight(Parameters.DisplayMode, 1, geometry_);
    return std::max(1, (ListBottom() - kListTop) / std::max(1, height));
  }

  void Draw() {
    screen_.Clear();
    DrawIndicators();
    DrawStatistics();
    DrawList();
    if (!warning_.empty()) {
      screen_.FillLine(screen_.height() - 2, 0, Colour::System(kColourWindow));
      screen_.Write(screen_.height() - 2, 0, "! " + warning_, kWarningInk,
                    Colour::System(kColourWindow), CursesScreen::kBold);
    }
    DrawButtons();
    PlaceCursor();
    screen_.Show();
  }

  void DrawHelp() {
    screen_.Clear();
    int line = 0;
    for (const std::string& text : KeyHelpLines()) {
      screen_.Write(line++, 1, text, kInk, Colour::System(kColourWindow));
    }
    screen_.Show();
  }

  Key Translate(int ch) const {
    using K = Key::Kind;
    if (ch == shift_up_ && ch != 0) return Key::Of(K::kUp, true);
    if (ch == shift_down_ && ch != 0) return Key::Of(K::kDown, true);
    switch (ch) {
      case KEY_UP: return Key::Of(K::kUp);
      case KEY_DOWN: return Key::Of(K::kDown);
      case KEY_PPAGE: return Key::Of(K::kPageUp);
      case KEY_NPAGE: return Key::Of(K::kPageDown);
      case KEY_HOME: return Key::Of(K::kHome);
      case KEY_END: return Key::Of(K::kEnd);
      case KEY_SR: return Key::Of(K::kUp, true);
      case KEY_SF: return Key::Of(K::kDown, true);
      case KEY_SPREVIOUS: return Key::Of(K::kPageUp, true);
      case KEY_SNEXT: return Key::Of(K::kPageDown, true);
      case KEY_SHOME: return Key::Of(K::kHome, true);
      case KEY_SEND: return Key::Of(K::kEnd, true);
      case KEY_ENTER:
      case '\r':
      case '\n': return Key::Of(K::kEnter);
      case '\t': return Key::Of(K::kTab);
      case 27: return Key::Of(K::kEscape);
      case KEY_F(1): return Key::Of(K::kHelp);
      case KEY_RESIZE: return Key::Of(K::kResize);
      case KEY_IC: return Key::Char(' ');
      default: break;
    }
    return ch >= 0 && ch < 256 ? Key::Char(ch) : Key::Of(K::kOther);
  }

 private:
  static constexpr int kListTop = 2;
  int ListBottom() const { return screen_.height() - 1 - (warning_.empty() ? 0 : 1); }

  void DrawIndicators() {
    screen_.FillLine(0, 0, kFace);
    for (const IndicatorLabel& label : kIndicatorLabels) {
      const bool active = OverviewPresenter::IndicatorActive(label.id);
      screen_.Write(0, label.column, label.key, kInk, kFace, CursesScreen::kBold);
      screen_.Write(0, label.column + 1, label.label, kInk, kFace,
                    active ? CursesScreen::kReverse : CursesScreen::kPlain);
    }
  }

  void DrawStatistics() {
    screen_.FillLine(1, 0, kFace);
    const Glyph into_destination = GlyphOf(Strip::kRows, kImageWhitePage);
    const Glyph into_source = GlyphOf(Strip::kRows, kImageBlackPage);
    screen_.Write(1, 0, into_destination.text, into_destination.colour, kFace, CursesScreen::kBold);
    screen_.Write(1, 2, texts_.toDestination, kInk, kFace);
    screen_.Write(1, 14, into_source.text, into_source.colour, kFace, CursesScreen::kBold);
    screen_.Write(1, 16, texts_.toSource, kInk, kFace);
    screen_.Write(1, 28, texts_.space, kInk, kFace);
  }

  void DrawList() {
    const int height = RowHeight(Parameters.DisplayMode, 1, geometry_);
    const int bottom = ListBottom();
    const Rect clip{0, kListTop, screen_.width(), bottom};
    CellMeasure measure;
    int line = kListTop;
    for (int position = list_.top(); position < list_.size() && line < bottom; ++position) {
      RowRequest request;
      request.item = {0, line, screen_.width(), line + height};
      request.selected = list_.IsSelected(position);
      request.focused = position == list_.caret();
      request.record = records_[position];
      screen_.Paint(LayOutRow(request, geometry_, measure), clip);
      line += height;
    }
  }

  void DrawButtons() {
    const int line = screen_.height() - 1;
    screen_.FillLine(line, 0, kFace);
    int column = 0;
    for (const ButtonLabel& button : kButtonLabels) {
      if (button.kind == ButtonLabel::kCandidate && !candidate_buttons_) continue;
      const bool enabled = button.kind == ButtonLabel::kAlways || actions_enabled_ ||
                           std::string(button.key) == "[]";
      const unsigned dim = enabled ? CursesScreen::kPlain : CursesScreen::kDim;
      screen_.Write(line, column, button.key, kInk, kFace, CursesScreen::kBold | dim);
      column += CellWidth(button.key);
      screen_.Write(line, column, std::string(" ") + button.label, enabled ? kInk : Colour::System(kColourGrayText),
                    kFace, dim);
      column += CellWidth(button.label) + 3;
    }
  }

  void PlaceCursor() {
    const int caret = list_.caret();
    const int height = RowHeight(Parameters.DisplayMode, 1, geometry_);
    const int line = kListTop + (caret - list_.top()) * height;
    if (caret >= 0 && line >= kListTop && line < ListBottom()) {
      screen_.PlaceCursor(line, 0);
    } else {
      screen_.PlaceCursor(screen_.height() - 1, 0);
    }
  }

  CursesScreen& screen_;
  RowGeometry geometry_;
  EntryList list_;
  std::vector<int32_t> records_;
  bool actions_enabled_ = false;
  bool candidate_buttons_ = true;
  StatisticsTexts texts_;
  std::string warning_;
  int shift_up_ = 0;
  int shift_down_ = 0;
};

}  // namespace

bool RunTerminalOverview(const std::function<std::string()>& warning) {
  std::unique_ptr<CursesScreen> screen = CursesScreen::Open();
  if (!screen) {
    // No terminal to show the plan on: the run is not carried out unseen.
    Aborted = true;
    return false;
  }
  TerminalOverviewView view(*screen);
  OverviewPresenter presenter(view);
  if (warning) presenter.SetWarningSource(warning);
  presenter.Setup();
  int failed_reads = 0;
  for (;;) {
    view.Draw();
    const int ch = screen->ReadKey();
    if (ch == ERR) {
      // A read interrupted by a signal gives ERR once; a terminal that went
      // away (hung up) gives it every time, and nobody can confirm the plan.
      if (++failed_reads < kMaxFailedReads) continue;
      presenter.Cancel();
      return false;
    }
    failed_reads = 0;
    switch (DispatchKey(view.Translate(ch), presenter, view.list(), view.VisibleEntries())) {
      case KeyOutcome::kOk:
        presenter.Ok();
        return true;
      case KeyOutcome::kCancel:
        presenter.Cancel();
        return false;
      case KeyOutcome::kHelp:
        presenter.Help();
        view.DrawHelp();
        screen->ReadKey();  // any key returns; a lost terminal shows at the next read
        break;
      case KeyOutcome::kContinue:
        break;
    }
  }
}

}  // namespace tolvex::overview
