#include "ui/overview/overview_keys.h"

#include "ui/overview/overview_controls.h"

namespace tolvex::overview {

namespace {

constexpr int kCtrlC = 3;

int Lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

void MoveCaret(int target, bool extend, OverviewPresenter& presenter, EntryList& list, int visible) {
  if (list.size() == 0) return;
  list.MoveCaret(target, extend);
  list.ShowCaret(visible);
  presenter.SelectionChanged();
}

// The indicator a key clicks; 0 for none.
int IndicatorOfKey(int c, const OverviewPresenter& presenter) {
  if (c >= '1' && c <= '3') {
    static const int kViews[] = {kIndicatorGroupView, kIndicatorCompactView, kIndicatorDetailedView};
    return kViews[c - '1'];
  }
  if (c >= '4' && c <= '8') return kIndicatorSortFirst + (c - '4');
  if (c == 'r') {
    return presenter.IndicatorActive(kIndicatorReverseOn) ? kIndicatorReverseOff
                                                          : kIndicatorReverseOn;
  }
  if (c == 'w') return kIndicatorSizeFilter;
  if (c == 'b') return kIndicatorDoubleFilter;
  return 0;
}

KeyOutcome DispatchChar(int c, OverviewPresenter& presenter, EntryList& list, int visible) {
  const bool selection = !list.SelectedPositions().empty();
  switch (c) {
    case ' ':
      list.ToggleCaret();
      presenter.SelectionChanged();
      return KeyOutcome::kContinue;
    case 'n': if (selection) presenter.MarkSelection(Action::kNormal); return KeyOutcome::kContinue;
    case 'o': if (selection) presenter.MarkSelection(Action::kIgnore); return KeyOutcome::kContinue;
    case 'e': if (selection) presenter.MarkSelection(Action::kErase); return KeyOutcome::kContinue;
    case 't': if (selection) presenter.MarkSelection(Action::kInvert); return KeyOutcome::kContinue;
    case 'v': if (selection) presenter.ViewFiles(); return KeyOutcome::kContinue;
    case '[': presenter.PreviousBlock(); return KeyOutcome::kContinue;
    case ']': presenter.NextBlock(); return KeyOutcome::kContinue;
    case 'k': return KeyOutcome::kOk;
    case 'c':
    case 'q':
    case kCtrlC: return KeyOutcome::kCancel;
    case 'h':
    case '?': return KeyOutcome::kHelp;
    default: break;
  }
  if (const int id = IndicatorOfKey(c, presenter)) {
    presenter.ClickIndicator(id);
    list.ShowCaret(visible);
  }
  return KeyOutcome::kContinue;
}

}  // namespace

KeyOutcome DispatchKey(const Key& key, OverviewPresenter& presenter, EntryList& list,
                       int visible) {
  const int caret = list.caret();
  switch (key.kind) {
    case Key::Kind::kUp: MoveCaret(caret - 1, key.shift, presenter, list, visible); break;
    case Key::Kind::kDown: MoveCaret(caret + 1, key.shift, presenter, list, visible); break;
    case Key::Kind::kPageUp: MoveCaret(caret - visible, key.shift, presenter, list, visible); break;
    case Key::Kind::kPageDown: MoveCaret(caret + visible, key.shift, presenter, list, visible); break;
    case Key::Kind::kHome: MoveCaret(0, key.shift, presenter, list, visible); break;
    case Key::Kind::kEnd: MoveCaret(list.size() - 1, key.shift, presenter, list, visible); break;
    case Key::Kind::kEnter: presenter.CycleAction(); break;
    case Key::Kind::kTab:
      presenter.NextView();
      break;
    case Key::Kind::kEscape: return KeyOutcome::kCancel;
    case Key::Kind::kHelp: return KeyOutcome::kHelp;
    case Key::Kind::kChar: return DispatchChar(Lower(key.ch), presenter, list, visible);
    default: break;
  }
  return KeyOutcome::kContinue;
}

std::vector<std::string> KeyHelpLines() {
  return {
      "The plan of this run: every file and what will be done with it.",
      "",
      "  Up, Down, PgUp, PgDn, Home, End   move and select one entry",
      "  the same with Shift                extend the selection",
      "  Space                              add or remove the entry under the cursor;",
      "                                     the moves then keep the selection",
      "  Enter                              next action of the first selected entry",
      "  n  o  e  t                         Normal, Ignore, Erase, Invert (copy the",
      "                                     other way) for every selected entry",
      "  v                                  open the selected files",
      "  [  ]                               previous and next block",
      "  Tab                                next view at the cursor: groups, compact,",
      "                                     detailed",
      "  1  2  3                            groups, compact, detailed view",
      "  4  5  6  7  8                      order by folder, name, type, size, date",
      "  r                                  reverse the order",
      "  w  b                               only size warnings / only files changed",
      "                                     on both sides (again: all files)",
      "  k                                  OK: run the plan as shown",
      "  c  q  Esc                          Cancel: run nothing",
      "",
      "  >  copy into the destination    <  copy into the source    >> << inverted",
      "  -  ignore    x  erase    !  suspicious sizes    *  the other copy changed",
      "                                                     since the last update",
      "  [N] [I] [E]  a group copied, ignored, erased",
      "",
      "Press any key to return.",
  };
}

}  // namespace tolvex::overview
