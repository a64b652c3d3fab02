// What the scan and the run tell the search progress dialog. Nothing below
// the views includes a toolkit header: the Win32 dialog, the terminal view
// and the tests' recording doubles implement this interface.
#pragma once

#include <string>

namespace tolvex {

// The search and erase progress dialog: a status line and a gauge, with a
// Cancel button that sets Aborted from inside a pump step.
class SearchProgressView {
 public:
  virtual ~SearchProgressView() = default;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetGaugeRange(int minimum, int maximum) = 0;
  virtual void SetGaugePosition(int position) = 0;
  // Shows the wait cursor (true) or the arrow again (false).
  virtual void SetWaitCursor(bool wait) = 0;
};

// A progress view that shows nothing (no terminal, no display).
class NullSearchProgress final : public SearchProgressView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetGaugeRange(int, int) override {}
  void SetGaugePosition(int) override {}
  void SetWaitCursor(bool) override {}
};

}  // namespace tolvex
