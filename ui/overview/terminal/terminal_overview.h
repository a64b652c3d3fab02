// The overview on the controlling terminal: the presenter's list, indicator
// bar, statistics and buttons drawn with ncurses on the run's terminal
// session, driven by keys (ui/overview/overview_keys.h lists them).
#pragma once

#include <functional>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex {
class TerminalSession;
}

namespace tolvex::overview {

// Runs the overview modally over the ordered plan on `session`. True when
// the user confirmed it (OK: Aborted cleared); false for Cancel (Aborted
// set), also when the terminal goes away. `warning` (may be empty) gives the
// one warning line shown above the keys, asked again after each change.
bool RunTerminalOverview(TerminalSession& session, Plan& plan, TParameters& parameters,
                         const std::function<std::string()>& warning);

}  // namespace tolvex::overview
