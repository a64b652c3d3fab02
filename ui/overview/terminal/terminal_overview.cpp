#include "ui/overview/terminal/terminal_overview.h"

#include <curses.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "ui/overview/entry_list.h"
#include "ui/overview/overview_controls.h"
#include "ui/overview/overview_keys.h"
#include "ui/overview/overview_presenter.h"
#include "ui/overview/row_layout.h"
#include "ui/overview/terminal/curses_painter.h"
#include "ui/overview/terminal/unplanned_erases.h"
#include "ui/overview/terminal_cells.h"
#include "ui/progress/terminal/terminal_session.h"

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

class TerminalOverviewView final : public OverviewView {
 public:
  TerminalOverviewView(CursesPainter& screen, const Plan& plan, const TParameters& parameters)
      : screen_(screen), plan_(plan), parameters_(parameters), geometry_(RowGeometry::Cells()) {}

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
    const int height = RowHeight(parameters_.DisplayMode, 1, geometry_);
    return std::max(1, (ListBottom() - kListTop) / std::max(1, height));
  }

  // Draws the whole screen (the session cleared it).
  void Paint() {
    DrawIndicators();
    DrawStatistics();
    DrawList();
    if (!warning_.empty()) {
      screen_.FillLine(screen_.Height() - 2, 0, Colour::System(kColourWindow));
      screen_.Write(screen_.Height() - 2, 0, "! " + warning_, kWarningInk,
                    Colour::System(kColourWindow), CursesPainter::kBold);
    }
    DrawButtons();
    PlaceCursor();
  }

  void PaintHelp() { PaintLines(KeyHelpLines()); }

  void PaintLines(const std::vector<std::string>& lines) {
    int line = 0;
    for (const std::string& text : lines) {
      screen_.Write(line++, 1, text, kInk, Colour::System(kColourWindow));
    }
  }

  int Height() const { return screen_.Height(); }

  Key Translate(int ch) {
    using K = Key::Kind;
    if (shift_up_ < 0) {
      // Shift with the arrows has no key code of its own in the classic
      // set; the terminal's description names it (once the screen exists).
      shift_up_ = CursesPainter::KeyCode("kUP");
      shift_down_ = CursesPainter::KeyCode("kDN");
    }
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
      case TerminalSession::kLoneEscape: return Key::Of(K::kEscape);
      case KEY_F(1): return Key::Of(K::kHelp);
      case KEY_RESIZE:
      case TerminalSession::kOtherKey: return Key::Of(K::kResize);
      case KEY_IC: return Key::Char(' ');
      default: break;
    }
    return ch >= 0 && ch < 256 ? Key::Char(ch) : Key::Of(K::kOther);
  }

 private:
  static constexpr int kListTop = 2;
  int ListBottom() const { return screen_.Height() - 1 - (warning_.empty() ? 0 : 1); }

  void DrawIndicators() {
    screen_.FillLine(0, 0, kFace);
    for (const IndicatorLabel& label : kIndicatorLabels) {
      const bool active = OverviewPresenter::IndicatorActive(parameters_, label.id);
      screen_.Write(0, label.column, label.key, kInk, kFace, CursesPainter::kBold);
      screen_.Write(0, label.column + 1, label.label, kInk, kFace,
                    active ? CursesPainter::kReverse : CursesPainter::kPlain);
    }
  }

  void DrawStatistics() {
    screen_.FillLine(1, 0, kFace);
    const Glyph into_destination = GlyphOf(Strip::kRows, kImageWhitePage);
    const Glyph into_source = GlyphOf(Strip::kRows, kImageBlackPage);
    screen_.Write(1, 0, into_destination.text, into_destination.colour, kFace, CursesPainter::kBold);
    screen_.Write(1, 2, texts_.toDestination, kInk, kFace);
    screen_.Write(1, 14, into_source.text, into_source.colour, kFace, CursesPainter::kBold);
    screen_.Write(1, 16, texts_.toSource, kInk, kFace);
    screen_.Write(1, 28, texts_.space, kInk, kFace);
  }

  void DrawList() {
    const int height = RowHeight(parameters_.DisplayMode, 1, geometry_);
    const int bottom = ListBottom();
    const Rect clip{0, kListTop, screen_.Width(), bottom};
    CellMeasure measure;
    int line = kListTop;
    for (int position = list_.top(); position < list_.size() && line < bottom; ++position) {
      RowRequest request;
      request.item = {0, line, screen_.Width(), line + height};
      request.selected = list_.IsSelected(position);
      request.focused = position == list_.caret();
      request.record = records_[position];
      screen_.Paint(LayOutRow(request, geometry_, measure, plan_, parameters_), clip);
      line += height;
    }
  }

  void DrawButtons() {
    const int line = screen_.Height() - 1;
    screen_.FillLine(line, 0, kFace);
    int column = 0;
    for (const ButtonLabel& button : kButtonLabels) {
      if (button.kind == ButtonLabel::kCandidate && !candidate_buttons_) continue;
      const bool enabled = button.kind == ButtonLabel::kAlways || actions_enabled_ ||
                           std::string(button.key) == "[]";
      const unsigned dim = enabled ? CursesPainter::kPlain : CursesPainter::kDim;
      screen_.Write(line, column, button.key, kInk, kFace, CursesPainter::kBold | dim);
      column += CellWidth(button.key);
      screen_.Write(line, column, std::string(" ") + button.label, enabled ? kInk : Colour::System(kColourGrayText),
                    kFace, dim);
      column += CellWidth(button.label) + 3;
    }
  }

  void PlaceCursor() {
    const int caret = list_.caret();
    const int height = RowHeight(parameters_.DisplayMode, 1, geometry_);
    const int line = kListTop + (caret - list_.top()) * height;
    if (caret >= 0 && line >= kListTop && line < ListBottom()) {
      screen_.PlaceCursor(line, 0);
    } else {
      screen_.PlaceCursor(screen_.Height() - 1, 0);
    }
  }

  CursesPainter& screen_;
  const Plan& plan_;
  const TParameters& parameters_;
  RowGeometry geometry_;
  EntryList list_;
  std::vector<int32_t> records_;
  bool actions_enabled_ = false;
  bool candidate_buttons_ = true;
  StatisticsTexts texts_;
  std::string warning_;
  int shift_up_ = -1;
  int shift_down_ = -1;
};

}  // namespace

namespace {

// The question after a key that gave Erase to files the plan did not erase.
std::vector<std::string> EraseQuestion(const UnplannedErases& erases,
                                       const std::vector<size_t>& added, int height) {
  std::vector<std::string> lines = {
      "Erase for good? The plan did not erase these files; Erase takes the file on",
      "each side:", ""};
  const size_t room = static_cast<size_t>(std::max(4, height - 6));
  for (const std::string& file : erases.FileLines(added, room)) {
    lines.push_back("  " + file);
  }
  lines.push_back("");
  lines.push_back("y  erase them        any other key  leave them as the plan had them");
  return lines;
}

}  // namespace

bool RunTerminalOverview(TerminalSession& session, Plan& plan, TParameters& parameters,
                         const std::function<std::string()>& warning) {
  CursesPainter painter;
  TerminalOverviewView view(painter, plan, parameters);
  OverviewPresenter presenter(view, plan, parameters);
  if (warning) presenter.SetWarningSource(warning);
  presenter.Setup();
  const UnplannedErases erases(plan);
  bool help = false;
  std::vector<std::string> question;  // the erase question while it is asked
  UnplannedErases::Marks before_question;
  session.Show([&] {
    if (!question.empty()) {
      view.PaintLines(question);
    } else if (help) {
      view.PaintHelp();
    } else {
      view.Paint();
    }
  });
  for (;;) {
    const int ch = session.WaitForKey();
    if (ch < 0) {
      // The terminal went away (hung up): nobody can confirm the plan.
      session.Hide();
      presenter.Cancel();
      return false;
    }
    if (help) {
      help = false;  // any key returns from the help
      session.Repaint();
      continue;
    }
    if (!question.empty()) {
      if (ch != 'y' && ch != 'Y') {
        erases.Restore(before_question);
        presenter.UpdateStatistics();
      }
      question.clear();
      session.Repaint();
      continue;
    }
    const UnplannedErases::Marks before = erases.Take();
    switch (DispatchKey(view.Translate(ch), presenter, view.list(), view.VisibleEntries())) {
      case KeyOutcome::kOk:
        session.Hide();
        presenter.Ok();
        return true;
      case KeyOutcome::kCancel:
        session.Hide();
        presenter.Cancel();
        return false;
      case KeyOutcome::kHelp:
        presenter.Help();
        help = true;
        break;
      case KeyOutcome::kContinue: {
        const std::vector<size_t> added = erases.Added(before);
        if (!added.empty()) {
          question = EraseQuestion(erases, added, view.Height());
          before_question = before;
        }
        break;
      }
    }
    session.Repaint();
  }
}

}  // namespace tolvex::overview
