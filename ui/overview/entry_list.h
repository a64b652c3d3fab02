// A list with extended multiple selection, free of any toolkit: the
// terminal overview keeps its entries here, as the Win32 list box keeps its
// own. A move selects the one entry reached (a click); a move with extend
// selects the range from the anchor to the entry reached (Shift); a toggle
// adds or removes the caret entry alone (Ctrl with a click).
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
  // The caret entry joins or leaves the selection; it becomes the anchor.
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
};

}  // namespace tolvex::overview
