// The selection texts and the scan that uses them: folder selections and
// destinations of any bytes and length (a missing backslash, "*" in odd
// places, letters outside A-Z, "..", "/", very long names), file patterns
// with and without separators, every path mode, over a small tree on the
// sandbox drives S: (sources) and T: (destination). Nothing here writes.
//
// After each scan:
//   - the common root of the includes is empty or a folder that starts
//     every include the scan takes;
//   - every folder the scan visits exists and lies in what the selections
//     name: a source folder in an include (below it when the include ends
//     in "*"), a destination folder below the working destination;
//   - every counterpart lies there too, on the other side: the run writes
//     only into counterparts, so a counterpart outside the selections is a
//     file written outside them;
//   - every planned file is a file of its folder, with the size and date
//     the plan holds.
// Paths are compared where they lead (after "..", "." and "/"), not as
// spelled.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/generation_folders.h"
#include "fuzz/library_state.h"
#include "fuzz/path_texts.h"
#include "fuzz/sandbox.h"
#include "model/parameters.h"
#include "model/plan.h"
#include "platform/platform.h"
#include "platform/text_rules.h"
#include "scan/selections.h"
#include "scan/tree_scan.h"

namespace tolvex::fuzz {
namespace {

constexpr int64_t k1999 = 921000000;  // March 1999

struct ScanSandbox {
  ScanSandbox() : sandbox("ST") {
    const std::string s = sandbox.Root('S');
    const std::string t = sandbox.Root('T');
    const struct {
      std::string path;
      std::string content;
    } files[] = {
        {s + "/Data/a.txt", "a"},
        {s + "/Data/b.doc", "bb"},
        {s + "/Data/.hidden", "hhh"},
        {s + "/Data/Sub/c.txt", "cccc"},
        {s + "/Data/Sub/a.txt", "a in Sub"},
        {s + "/Data/Sub/Deep/g.txt", "ggggggg"},
        {s + "/Data/Cache/d.tmp", "dddddddd"},
        {s + "/Other/e.txt", "eeeeeeeee"},
        {s + "/D\xC3\xA4t\xC3\xA4/f.txt", "ffffffffff"},
        {t + "/Backup/Data/a.txt", "a, older"},
        {t + "/Backup/Data/old.txt", "only in the backup"},
        {t + "/Backup/Data/Sub/c.txt", "c, older"},
        {t + "/Backup/Other/e.txt", "e, older"},
        {t + "/Backup/Stuff/x.txt", "x"},
        {t + "/Stuff/s.txt", "s on T"},
    };
    int64_t date = k1999;
    for (const auto& file : files) sandbox.WriteFile(file.path, file.content, date += 86400);
  }
  Sandbox sandbox;
};

// Where a selection leads: its folder, and whether the folders below count.
struct Area {
  std::string folder;
  bool subtree = false;
};

Area AreaOf(const Sandbox& sandbox, const std::string& selection) {
  const bool star = !selection.empty() && selection.back() == '*';
  return {sandbox.NativeOf(star ? selection.substr(0, selection.size() - 1) : selection), star};
}

bool InArea(const std::string& native, const Area& area) {
  if (area.folder.empty() || native.empty()) return false;
  return area.subtree ? LiesIn(native, area.folder) : LiesIn(area.folder, native) &&
                                                          LiesIn(native, area.folder);
}

bool InIncludes(const Sandbox& sandbox, const std::string& native) {
  for (const STRING& include : Parameters.DInclSels) {
    if (InArea(native, AreaOf(sandbox, include.text()))) return true;
  }
  return false;
}

void CheckCommonRoot() {
  const bool aborted = false;
  const std::string root = ComputeCommonRoot(Parameters.DInclSels, aborted);
  if (root.empty()) return;
  if (root.back() != '\\') Violation("common root \"" + root + "\" is not a folder");
  for (const STRING& include : Parameters.DInclSels) {
    if (IsDirectoryEntry(include.text()) && include.text().compare(0, root.size(), root) != 0) {
      Violation("common root \"" + root + "\" does not start \"" + include.text() + "\"");
    }
  }
}

void CheckFolders(const Sandbox& sandbox, const Plan& plan) {
  if (plan.counterpartList.size() != plan.dirList.size()) Violation("a folder without counterpart");
  const Area destination{sandbox.NativeOf(plan.DestinationRoot), true};
  for (size_t i = 0; i < plan.dirList.size(); ++i) {
    const std::string& folder = plan.dirList[i].text();
    const std::string native = sandbox.NativeOf(folder);
    const std::string counterpart = sandbox.NativeOf(plan.counterpartList[i].text());
    uint32_t attributes = 0;
    if (folder.empty() || folder.back() != '\\' ||
        Sys().GetAttributes(folder.size() > 3 ? folder.substr(0, folder.size() - 1) : folder,
                            &attributes) != kErrOk ||
        !(attributes & kAttrDirectory)) {
      Violation("visited \"" + folder + "\", which is no folder" + DescribeJob(Parameters, plan));
    }
    const bool source_side = plan.dirList[i].mark() == 0;
    const bool inside = source_side ? InIncludes(sandbox, native) : InArea(native, destination);
    if (!inside)
      Violation("visited \"" + folder + "\" outside the selections" +
                DescribeJob(Parameters, plan));
    const bool counterpart_inside =
        source_side ? InArea(counterpart, destination) : InIncludes(sandbox, counterpart);
    // A counterpart on no drive cannot be written: only a reachable one counts.
    if (!counterpart.empty() && !counterpart_inside) {
      Violation("the counterpart \"" + plan.counterpartList[i].text() + "\" of \"" + folder +
                "\" lies outside the selections" + DescribeJob(Parameters, plan));
    }
  }
}

void CheckCandidates(const Plan& plan) {
  for (const CANDIDATE& c : plan.candidates) {
    if (c.dirIndex < 0 || static_cast<size_t>(c.dirIndex) >= plan.dirList.size()) {
      Violation("a planned file without its folder");
    }
    const std::string path = plan.dirList[c.dirIndex].text() + c.name + c.extension;
    std::vector<FindEntry> found;
    const uint32_t error = Sys().FindEntries(path, kEveryEntryMask, &found, nullptr);
    if (error != kErrOk || found.size() != 1 || found[0].size != c.size ||
        found[0].stamp != c.stamp || (found[0].attributes & kAttrDirectory)) {
      Violation("planned \"" + path + "\", which is not that file of its folder" +
                DescribeJob(Parameters, plan));
    }
  }
}

std::vector<STRING> Entries(FuzzedDataProvider& input, bool folders) {
  std::vector<STRING> entries;
  const int count = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < count; ++i) {
    entries.emplace_back(folders ? FolderText(input, "ST") : PatternText(input), 0);
  }
  return entries;
}

}  // namespace
}  // namespace tolvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvex;
  using namespace tolvex::fuzz;
  static const ScanSandbox sandbox;
  FuzzedDataProvider input(data, size);
  FreshLibrary();
  TParameters& p = Parameters;
  p.PathMode = input.ConsumeIntegralInRange(-1, 3);
  p.TouchMode = input.ConsumeIntegralInRange(0, 2);
  p.OrphanModeD1 = p.OrphanModeB = p.OrphanModeS1 = input.ConsumeIntegralInRange(0, 2);
  p.OrphanModeD2 = p.OrphanModeS2 = input.ConsumeIntegralInRange(0, 2);
  p.Attributes = input.ConsumeIntegral<uint8_t>();
  p.Destination = FolderText(input, "ST");
  p.DInclSels = Entries(input, true);
  p.DExclSels = Entries(input, true);
  p.FInclSels = Entries(input, false);
  p.FExclSels = Entries(input, false);
  Plan plan;                     // the scan's plan, fresh for each input
  MakeDestinationRoot(p, plan);  // VaryMode 0: Destination as a folder, nothing made
  if (!p.DInclSels.empty() && !p.DInclSels[0].text().empty()) {
    plan.SourceDrive = AsciiUpperText(p.DInclSels[0].text().substr(0, 1))[0];
  }
  CheckCommonRoot();
  ScanTrees(Parameters, plan, nullptr);
  CheckFolders(sandbox.sandbox, plan);
  CheckCandidates(plan);
  return 0;
}
