// The overview on Windows: TOverviewDialog, the modal dialog of template
// 1000 with no owner. Its handlers only decode the messages and call the
// presenter; its rows and indicators are drawn from the row layout's
// drawing operations with GDI and two image lists.
#pragma once

#include "engine/run_ui.h"

namespace tolvex::overview {

// Runs the dialog over the ordered plan of `request`. Confirmed when the
// user pressed OK (the plan's Aborted cleared); not for Cancel, Escape and
// closing (Aborted set), nor when the dialog cannot be created (no desktop:
// the plan is never run unseen). With the request's erase warning question
// its question comes first in a message box, No ending the run there, and
// again at OK when the marks changed it; the answer tells whether the plan
// confirmed was over the limit with the warning seen.
OverviewAnswer RunOverviewDialog(const OverviewRequest& request);

}  // namespace tolvex::overview
