#include "frontend/layout_check.h"

#include "platform/folder_layout.h"

namespace tolvex::frontend {

std::optional<JobError> CheckDestinationScan(const Job& job, const LocalTime& now) {
  const Setting& destination = job.Get("Destination");
  const int32_t path_mode = static_cast<int32_t>(job.Get("PathMode").number);
  const auto root = WorkingDestinationFolder(static_cast<int32_t>(job.Get("VaryMode").number),
                                             destination.text, job.Get("Weekday").text, now);
  if (!root) return std::nullopt;
  const auto fault = FindDestinationOverSource(path_mode, *root, job.lists[kDIncl]);
  if (!fault) return std::nullopt;
  const std::string scanned = job.drives.ToNative(SelectionOf(fault->destinationFolders).folder);
  const std::string source = job.drives.ToNative(SelectionOf(fault->selection).folder);
  return JobError{job.path, destination.line, "Destination",
                  "with PathMode " + std::to_string(path_mode) + " the run would read \"" +
                      scanned + "\" as the destination, and it holds the source folder \"" +
                      source +
                      "\": the source files would be taken for the destination's and could be "
                      "erased; choose a destination beside the source folders"};
}

}  // namespace tolvex::frontend
