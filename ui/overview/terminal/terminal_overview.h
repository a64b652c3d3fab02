// The overview on the controlling terminal: the presenter's list, indicator
// bar, statistics and buttons drawn with ncurses on the run's terminal
// session, driven by keys (ui/overview/overview_keys.h lists them).
#pragma once

#include "engine/run_ui.h"

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex {
class TerminalSession;
}

namespace tolvex::overview {

// Runs the overview modally over the ordered plan of `request` on `session`.
// Confirmed when the user pressed OK (the plan's Aborted cleared); not for
// Cancel (Aborted set), also when the terminal goes away. The request's
// erase warning line (when it has one) is shown above the keys, asked again
// after each change; the answer tells whether one stood there at OK.
OverviewAnswer RunTerminalOverview(TerminalSession& session, const OverviewRequest& request);

}  // namespace tolvex::overview
