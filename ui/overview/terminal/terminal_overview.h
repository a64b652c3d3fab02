// The overview on the controlling terminal: the presenter's list, indicator
// bar, statistics and buttons drawn with ncurses, driven by keys
// (ui/overview/overview_keys.h lists them).
#pragma once

#include <functional>
#include <string>

namespace tolvex::overview {

// Runs the overview modally over the ordered plan. True when the user
// confirmed it (OK, Aborted cleared); false for Cancel (Aborted set) and
// when the process has no usable terminal (Aborted set: a plan the user
// asked to confirm is never run unconfirmed). `warning` (may be empty) gives
// the one warning line shown above the keys, asked again after each change.
bool RunTerminalOverview(const std::function<std::string()>& warning);

}  // namespace tolvex::overview
