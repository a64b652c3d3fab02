// The one warning line of the terminal overview, filled by library code:
// for instance that the plan erases more files than the front end's limit
// allows (OK then lets the run through). The dialog of template 1000 has no
// room for it: it asks the same warning as a question in a message box
// before it opens, and again at OK when the warning changed meanwhile.
#pragma once

#include <functional>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex::overview {

// A text about the plan of a run as it stands, with the run's parameters.
using WarningSource = std::function<std::string(const TParameters&, const Plan&)>;

// The source is asked each time the overview's statistics change; an empty
// text shows no line. nullptr removes it.
void SetOverviewWarningSource(WarningSource source);
const WarningSource& OverviewWarningSource();

// The warning as the dialog asks it (a Yes/No question); "" asks nothing.
void SetOverviewQuestionSource(WarningSource source);
const WarningSource& OverviewQuestionSource();

}  // namespace tolvex::overview
