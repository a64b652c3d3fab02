// How the update run reaches its dialogs. The run never includes a toolkit
// header: the Win32 dialogs, the terminal views and the tests' scripted
// doubles each implement RunUi.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/progress.h"

namespace tolvex {

// How far the copy pass is, in bytes: of all it copies (the files before
// the one under way, and what of that one is written), and of the file
// under way.
struct CopiedBytes {
  uint64_t done = 0;
  uint64_t total = 0;  // the plan's CopyBytes
  uint64_t fileDone = 0;
  uint64_t fileSize = 0;
};

// The copy progress dialog: the "Copying" row, the "to" row, the percentage
// gauge and the Interrupt button, which sets the plan's InterruptRequest.
class CopyProgressView {
 public:
  virtual ~CopyProgressView() = default;
  virtual void ShowCopyRow(const std::string& path, const std::string& size_text,
                           const std::string& stamp_text) = 0;
  virtual void ShowToRow(const std::string& path, const std::string& size_text,
                         const std::string& stamp_text) = 0;
  virtual void SetGaugePosition(int position) = 0;
  // Between the chunks of a copy under way. A view that shows only the
  // gauge ignores it: the gauge moves as each file is done.
  virtual void ShowCopiedBytes(const CopiedBytes&) {}
  // Enables the Interrupt button again after an interruption was handled.
  virtual void EnableInterrupt() = 0;
};

// What the overview works on and shows, all handed over by the run.
struct OverviewRequest {
  // The ordered plan: the overview changes the actions of `candidates` and
  // `groups` in place, orders and groups them anew, and sets `Aborted`.
  Plan& plan;
  // The run's parameter set: DisplayMode, SortMode, Reverse, SizeFilter and
  // DoubleFilter change in place (they stay as the user left them); the
  // rest is read (colours, separators, the job's name, the drives).
  TParameters& parameters;
  // With an erase limit (SetEraseLimit), the limit's warning for the plan as
  // it stands at the moment of asking: as one line (the terminal overview
  // shows it above its keys) and as a Yes/No question (the Windows dialog
  // asks it in a message box). Each gives "" while no side is over the
  // limit. Both empty without a limit.
  std::function<std::string()> eraseWarningLine;
  std::function<std::string()> eraseWarningQuestion;
};

// What the overview answers.
struct OverviewAnswer {
  // OK: run the plan. False for Cancel, and when no overview can be shown:
  // a run the user asked to confirm is never run unconfirmed.
  bool confirmed = false;
  // The erase limit's warning stood before the user when OK was pressed
  // (the line was shown, or the question answered Yes, for the plan as
  // confirmed): the plan goes to the front end as confirmed over the limit.
  bool eraseWarningSeen = false;
};

class RunUi {
 public:
  virtual ~RunUi() = default;
  // Creates and shows the search and erase progress dialog (never null);
  // its Cancel sets plan.Aborted.
  virtual std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                               Plan& plan) = 0;
  // Creates and shows the copy progress dialog (never null); its Interrupt
  // sets plan.InterruptRequest.
  virtual std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption,
                                                           Plan& plan) = 0;
  // Runs the overview modally over the ordered plan of `request`.
  virtual OverviewAnswer RunOverview(const OverviewRequest& request) = 0;

  // Around every call of the front end's callbacks, which may write to the
  // terminal and read answers from it: a terminal view clears itself
  // before and draws itself again after. Nothing for dialogs in windows.
  virtual void BeginFrontEndCall() {}
  virtual void EndFrontEndCall() {}
};

// Shows nothing: silent progress, and an overview that cannot be shown.
class SilentRunUi final : public RunUi {
 public:
  std::unique_ptr<SearchProgressView> OpenSearchDialog(const std::string& caption,
                                                       Plan& plan) override;
  std::unique_ptr<CopyProgressView> OpenCopyDialog(const std::string& caption, Plan& plan) override;
  OverviewAnswer RunOverview(const OverviewRequest&) override { return {}; }
};

// The dialogs the run uses now: the ones last installed with SetRunUi (the
// library installs its views, a test its doubles), else the silent ones.
// SetRunUi(nullptr) restores the silent ones.
RunUi& CurrentRunUi();
void SetRunUi(RunUi* ui);
// The one installed with SetRunUi, or null.
RunUi* InstalledRunUi();

// The caption of every dialog of the run except the overview.
std::string DialogCaption(const std::string& job_name);

}  // namespace tolvex
