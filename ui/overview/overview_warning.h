// The one warning line of the terminal overview, filled by library code:
// for instance that the plan erases more files than the front end's limit
// allows (OK then lets the run through). The dialog of template 1000 has no
// room for it.
#pragma once

#include <functional>
#include <string>

namespace tolvex::overview {

// The source is asked each time the overview's statistics change; an empty
// text shows no line. nullptr removes it.
void SetOverviewWarningSource(std::function<std::string()> source);
const std::function<std::string()>& OverviewWarningSource();

}  // namespace tolvex::overview
