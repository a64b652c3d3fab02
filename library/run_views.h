// The dialogs of a run started through CallUpdate: the views this build has
// and this process can show. On Windows the overview is the dialog of
// template 1000; on Linux with a controlling terminal the terminal view;
// otherwise none, and an overview that cannot be shown counts as Cancel.
// Progress is silent where no progress view exists.
#pragma once

#include <functional>
#include <string>

#include "engine/run_ui.h"

namespace tolvex {

RunUi& LibraryViews();

// The one warning line the terminal overview shows above its keys (for
// instance that the plan erases more than the front end's limit; OK then
// lets the run through). Asked each time the overview's statistics change;
// an empty text shows nothing. nullptr removes it.
void SetOverviewWarningSource(std::function<std::string()> source);

// Installs LibraryViews() for one run unless a test or an embedding has
// installed dialogs of its own, and removes it again.
class ScopedLibraryViews {
 public:
  ScopedLibraryViews();
  ~ScopedLibraryViews();
  ScopedLibraryViews(const ScopedLibraryViews&) = delete;
  ScopedLibraryViews& operator=(const ScopedLibraryViews&) = delete;

 private:
  bool installed_ = false;
};

}  // namespace tolvex
