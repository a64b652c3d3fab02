// The one warning line of the terminal overview, filled by library code:
// for instance that the plan erases more files than the front end's limit
// allows (OK then lets the run through). The dialog of template 1000 has no
// room for it: it asks the same warning as a question in a message box
// before it opens, and again at OK when the warning changed meanwhile.
#pragma once

#include <functional>
#include <string>

namespace tolvex::overview {

// The source is asked each time the overview's statistics change; an empty
// text shows no line. nullptr removes it.
void SetOverviewWarningSource(std::function<std::string()> source);
const std::function<std::string()>& OverviewWarningSource();

// The warning as the dialog asks it (a Yes/No question); "" asks nothing.
void SetOverviewQuestionSource(std::function<std::string()> source);
const std::function<std::string()>& OverviewQuestionSource();

}  // namespace tolvex::overview
