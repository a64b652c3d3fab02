// The 45th export: one whole update run. No exception crosses the boundary.
#include <memory>
#include <string>

#include "include/tolvex32.h"
#include "engine/run_ui.h"
#include "engine/update_run.h"
#include "library/run_views.h"
#include "model/parameters.h"
#include "platform/stop_request.h"

namespace {

// The run's views for the length of one run, unless a test installed its
// own. Restores the terminal (the views' destructor) on every way out.
class RunViews {
 public:
  RunViews() {
    if (tolvex::InstalledRunUi()) return;
    views_ = tolvex::MakeRunViews();
    tolvex::SetRunUi(views_.get());
  }
  ~RunViews() {
    if (views_) tolvex::SetRunUi(nullptr);
  }
  RunViews(const RunViews&) = delete;
  RunViews& operator=(const RunViews&) = delete;

 private:
  std::unique_ptr<tolvex::RunUi> views_;
};

// What the user chose in the overview (the view, the order, the filters)
// stays for the next run, as the overview left it in the run's copy.
void KeepViewSettings(const tolvex::TParameters& job) {
  tolvex::TParameters& kept = tolvex::Parameters;
  kept.DisplayMode = job.DisplayMode;
  kept.SortMode = job.SortMode;
  kept.Reverse = job.Reverse;
  kept.SizeFilter = job.SizeFilter;
  kept.DoubleFilter = job.DoubleFilter;
}

}  // namespace

extern "C" int32_t TOLVEX_CALL CallUpdate(TNotifyProc notify, TConfirmProc confirm,
                                          TCopyErrorProc copy_error, TMakeDirProc make_dir) {
  try {
    RunViews views;
    // The run works on its own copy: an export called from a callback
    // changes the next run, not this one.
    tolvex::TParameters job = tolvex::Parameters;
    const int32_t result = tolvex::RunUpdate(job, {notify, confirm, copy_error, make_dir});
    KeepViewSettings(job);
    return result;
  } catch (...) {
    // The run catches its own failures and reports them; one that escapes
    // (the log could not even be made) is no success either.
    tolvex::ClearStopRequests();
    return 0;
  }
}
