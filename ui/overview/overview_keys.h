// The keys of the terminal overview, free of any toolkit: each key stands
// for a click of the dialog (a list entry, a button, an indicator) and calls
// the presenter as that click would.
//
//   arrows, Page Up/Down, Home, End   move the caret and select that entry
//   the same with Shift               extend the selection from the anchor
//   Space                             add or remove the caret entry (Ctrl-click);
//                                     the moves then carry the caret alone,
//                                     until the last entry is removed or
//                                     Shift with a move selects a range
//   Enter                             next action of the first selected entry
//                                     (the double click)
//   Tab                               next view, at the caret entry (the
//                                     double click with the right button)
//   n o e t                           Normal, Ignore, Erase, Invert
//   v                                 View: open the files
//   [ ]                               previous and next block
//   1 2 3                             group, compact and detailed view
//   4 5 6 7 8                         order by folder, name, type, size, date
//   r                                 reverse order on or off
//   w  b                              size warning filter, both-changed filter
//   k                                 OK: run the plan
//   c  q  Esc  Ctrl-C                 Cancel: run nothing
//   h  ?  F1                          Help
#pragma once

#include <string>
#include <vector>

#include "ui/overview/entry_list.h"
#include "ui/overview/overview_presenter.h"

namespace tolvex::overview {

struct Key {
  enum class Kind { kChar, kUp, kDown, kPageUp, kPageDown, kHome, kEnd, kEnter, kTab,
                    kEscape, kHelp, kResize, kOther };
  Kind kind = Kind::kOther;
  bool shift = false;
  int ch = 0;  // kChar: the character
  static Key Char(int c) { return {Kind::kChar, false, c}; }
  static Key Of(Kind kind, bool shift = false) { return {kind, shift, 0}; }
};

enum class KeyOutcome { kContinue, kOk, kCancel, kHelp };

// Handles one key on the list `list` (showing `visible` entries at a time)
// through `presenter`. The action keys act only while an entry is selected,
// as their buttons are enabled only then.
KeyOutcome DispatchKey(const Key& key, OverviewPresenter& presenter, EntryList& list,
                       int visible);

// The lines of the key help screen.
std::vector<std::string> KeyHelpLines();

}  // namespace tolvex::overview
