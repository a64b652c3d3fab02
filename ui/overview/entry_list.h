// A list with extended multiple selection, free of any toolkit: the
// terminal overview keeps its entries here, as the Win32 list box keeps its
// own. A move selects the one entry reached (a click); a move with extend
// selects the range from the anchor to the entry reached (Shift); a toggle
// adds or removes the caret entry alone (Ctrl with a click).
//
// A keyboard has no Ctrl held over several moves, so the toggle starts a
// picked selection: the first toggle after a move or a range adds the caret
// entry (the move selected it only because the caret went there) and keeps
// what is selected; from then on a move carries the caret alone, and each
// toggle adds or removes the entry it reached. A picked selection ends when
// its last entry is removed, with a move with extend (a new range), and
// when the list is filled again.
#pragma once

#include <vector>

namespace tolvex::overview {

class EntryList {
 public:
  // `count` entries, none selected, the first at the top and with the caret.
  void Fill(int count);
  int size() const { return static_cast<int>(selected_.size()); }

  // The caret moves to `position` (clamped to the list): selects it alone,
  // or with `extend` the range from the anchor to it.
  void MoveCaret(int position, bool extend);
  // The caret entry joins or leaves the picked selection (the first toggle
  // after a move keeps it in); it becomes the anchor.
  void ToggleCaret();
  // Selects `position` and puts the caret and the anchor on it.
  void Select(int position);
  // Selects every entry.
  void SelectAll();

  std::vector<int> SelectedPositions() const;
  bool IsSelected(int position) const;
  int caret() const { return caret_; }  // -1 for an empty list
  int top() const { return top_; }
  // Clamped to the list.
  void SetTop(int position);
  // Scrolls as little as needed to show the caret among `visible` entries.
  void ShowCaret(int visible);

 private:
  int Clamp(int position) const;

  std::vector<bool> selected_;
  int caret_ = -1;
  int anchor_ = -1;
  int top_ = 0;
  bool picking_ = false;
};

}  // namespace tolvex::overview
