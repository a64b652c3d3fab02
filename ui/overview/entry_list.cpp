#include "ui/overview/entry_list.h"

#include <algorithm>

namespace tolvex::overview {

void EntryList::Fill(int count) {
  selected_.assign(count > 0 ? static_cast<size_t>(count) : 0, false);
  caret_ = anchor_ = selected_.empty() ? -1 : 0;
  top_ = 0;
  picking_ = false;
}

int EntryList::Clamp(int position) const {
  if (selected_.empty()) return -1;
  return std::clamp(position, 0, size() - 1);
}

void EntryList::MoveCaret(int position, bool extend) {
  if (selected_.empty()) return;
  caret_ = Clamp(position);
  if (picking_ && !extend) return;
  picking_ = false;
  if (!extend || anchor_ < 0) anchor_ = caret_;
  const int low = std::min(anchor_, caret_), high = std::max(anchor_, caret_);
  for (int k = 0; k < size(); ++k) selected_[k] = k >= low && k <= high;
}

void EntryList::ToggleCaret() {
  if (caret_ < 0) return;
  selected_[caret_] = picking_ ? !selected_[caret_] : true;
  anchor_ = caret_;
  picking_ = std::find(selected_.begin(), selected_.end(), true) != selected_.end();
}

void EntryList::Select(int position) {
  const int at = Clamp(position);
  if (at < 0) return;
  selected_[at] = true;
  caret_ = anchor_ = at;
}

void EntryList::SelectAll() { std::fill(selected_.begin(), selected_.end(), true); }

std::vector<int> EntryList::SelectedPositions() const {
  std::vector<int> positions;
  for (int k = 0; k < size(); ++k) {
    if (selected_[k]) positions.push_back(k);
  }
  return positions;
}

bool EntryList::IsSelected(int position) const {
  return position >= 0 && position < size() && selected_[position];
}

void EntryList::SetTop(int position) { top_ = std::max(0, Clamp(position)); }

void EntryList::ShowCaret(int visible) {
  if (caret_ < 0) return;
  if (visible < 1) visible = 1;
  if (caret_ < top_) top_ = caret_;
  if (caret_ >= top_ + visible) top_ = caret_ - visible + 1;
}

}  // namespace tolvex::overview
