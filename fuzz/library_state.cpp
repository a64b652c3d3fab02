#include "fuzz/library_state.h"

#include <cstdlib>
#include <vector>

#include "model/parameters.h"
#include "model/run_extension.h"

namespace tolvex::fuzz {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Number(const char* name, int64_t value) {
  return std::string(" ") + name + " " + std::to_string(value);
}

}  // namespace

void FreshLibrary() {
  Parameters = TParameters();
  Extension = TExtension();
}

std::string DescribeJob(const TParameters& p, const Plan& plan) {
  return DescribeJob(p) + "\n  DestinationRoot " + Quoted(plan.DestinationRoot) + ", CommonRoot " +
         Quoted(plan.CommonRoot);
}

std::string DescribeJob(const TParameters& p) {
  std::string text = "\n  Destination " + Quoted(p.Destination);
  text += "\n " + Number("PathMode", p.PathMode) + Number("VaryMode", p.VaryMode) +
          Number("TouchMode", p.TouchMode) + Number("ConfirmMode", p.ConfirmMode) +
          Number("SortMode", p.SortMode) + Number("Attributes", p.Attributes);
  text += "\n  OrphanModes" + Number("D1", p.OrphanModeD1) + Number("D2", p.OrphanModeD2) +
          Number("B", p.OrphanModeB) + Number("S1", p.OrphanModeS1) + Number("S2", p.OrphanModeS2) +
          Number("CreateSrcDirs", p.CreateSrcDirs) + Number("CreateDestDirs", p.CreateDestDirs) +
          Number("DeleteSrcDirs", p.DeleteSrcDirs) + Number("DeleteDestDirs", p.DeleteDestDirs);
  text += "\n  Log" + Number("Active", p.LogActive) + " " + Quoted(p.LogFile) +
          Number("Append", p.LogAppend) + Number("DateTime", p.LogDateTime) +
          Number("Details", p.LogDetails) + Number("Warnings", p.Warnings);
  const struct {
    const char* name;
    const std::vector<STRING>* list;
  } lists[] = {{"DInclSels", &p.DInclSels}, {"DExclSels", &p.DExclSels},
               {"FInclSels", &p.FInclSels}, {"FExclSels", &p.FExclSels}};
  for (const auto& list : lists) {
    text += std::string("\n  ") + list.name + ":";
    for (const STRING& entry : *list.list) text += " " + Quoted(entry.text());
  }
  return text;
}

bool Verbose() {
  static const bool verbose = std::getenv("TOLVEX_FUZZ_VERBOSE") != nullptr;
  return verbose;
}

}  // namespace tolvex::fuzz
