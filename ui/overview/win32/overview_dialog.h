// The overview on Windows: TOverviewDialog, the modal dialog of template
// 1000 with no owner. Its handlers only decode the messages and call the
// presenter; its rows and indicators are drawn from the row layout's
// drawing operations with GDI and two image lists.
#pragma once

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex::overview {

// Runs the dialog over the ordered `plan` with the view settings of the
// run's `parameters`. True when the user confirmed the plan (OK: Aborted
// cleared); false for Cancel, Escape and closing (Aborted set), and when the
// dialog cannot be created (no desktop: the plan is never run unseen). With
// a question source (the erase limit's warning) its question comes first in
// a message box, No ending the run there, and again at OK when the marks
// changed it. The run sets Aborted from the answer.
bool RunOverviewDialog(Plan& plan, TParameters& parameters);

}  // namespace tolvex::overview
