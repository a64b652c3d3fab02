#include "ui/progress/search_presenter.h"

#include <algorithm>
#include <limits>

namespace tolvex {

SearchProgressPresenter::SearchProgressPresenter(std::unique_ptr<SearchDialogDisplay> display,
                                                 bool& aborted)
    : display_(std::move(display)), aborted_(aborted) {
  if (display_) display_->SetCancelHandler([this] { Cancel(); });
}

void SearchProgressPresenter::SetStatusText(const std::string& text) {
  if (Showing()) display_->ShowStatus(text);
}

void SearchProgressPresenter::SetGaugeRange(int minimum, int maximum) {
  if (!Showing()) return;
  // minimum + 1 cannot overflow when maximum <= minimum < INT_MAX; at
  // INT_MAX itself the range moves down by one.
  if (maximum <= minimum) {
    if (minimum == std::numeric_limits<int>::max()) --minimum;
    maximum = minimum + 1;
  }
  minimum_ = minimum;
  maximum_ = maximum;
  display_->ShowRange(minimum_, maximum_);
  const int clamped = std::clamp(position_, minimum_, maximum_);
  if (clamped != position_) {
    position_ = clamped;
    display_->ShowPosition(position_);
  }
}

void SearchProgressPresenter::SetGaugePosition(int position) {
  if (!Showing()) return;
  const int clamped = std::clamp(position, minimum_, maximum_);
  if (clamped == position_) return;
  position_ = clamped;
  display_->ShowPosition(position_);
}

void SearchProgressPresenter::SetWaitCursor(bool wait) {
  if (Showing()) display_->ShowWaitCursor(wait);
}

void SearchProgressPresenter::Cancel() {
  aborted_ = true;
  if (Showing()) display_->Close();
}

}  // namespace tolvex
