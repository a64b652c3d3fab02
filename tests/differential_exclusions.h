// What the differential test keeps out of its trees and jobs: each switch
// stands for one known fault that is being fixed, so that the test stays
// green meanwhile and finds the others. Once a fix is in, its switch is
// turned off (removed from kKnownFaults), and the test draws the shape
// again. TOLVEX_DIFFERENTIAL_ALLOW=name,name (or "all") lets shapes in for
// one run, to see a fault or check a fix.
#pragma once

#include <cstdlib>
#include <set>
#include <string>

namespace tolvex::runtest {

// Links in the destination (a folder or a file of the working folder that
// is a link to a folder of no job): copies are written through them.
inline constexpr const char kLinksInDestination[] = "links-in-destination";
// Named pipes at a source or target path: taken for absent, replaced.
inline constexpr const char kPipes[] = "pipes";
// Both ways with erase into a working folder that changes (vary modes):
// the first run into a new folder erases the other side.
inline constexpr const char kNewWorkingFolderBothWays[] = "new-working-folder-both-ways";
// Include folders whose names differ in letter case only (S:\Data, S:\data).
inline constexpr const char kCaseIncludeTwins[] = "case-include-twins";
// Flat paths with erase orphans and one name in several folders.
inline constexpr const char kFlatEraseNameTwins[] = "flat-erase-name-twins";
// The log inside the destination of a job that erases orphans.
inline constexpr const char kLogInDestination[] = "log-in-destination";
// Flat paths both ways (and to the source).
inline constexpr const char kFlatBothWays[] = "flat-both-ways";
// An edit of the same size within two seconds of the backed-up version.
inline constexpr const char kSubTwoSecondEdits[] = "sub-two-second-edits";
// The clock set back between runs.
inline constexpr const char kClockSetBack[] = "clock-set-back";
// Both ways with erase: renames and moves of files and folders, and new
// files that keep an old time (cp -p).
inline constexpr const char kMovesBothWaysErase[] = "moves-both-ways-erase";
// A run that stops before the passes (erase limit, the overview's Cancel)
// with generations: the rotation is made all the same.
inline constexpr const char kStopsRotateGenerations[] = "stops-rotate-generations";
// A job whose selected folder can be emptied by its own erases (then the
// folder is removed, and later runs report it missing).
inline constexpr const char kEmptySelectedFolder[] = "empty-selected-folder";
// Nested include folders (S:\Data\* and S:\Data\a\*): inner files planned twice.
inline constexpr const char kNestedIncludes[] = "nested-includes";
// A copy onto an empty file: the plan gives the target no stamp, as if it
// were absent (a rule of the check, not a shape: empty files stay).
inline constexpr const char kEmptyTargetShownAbsent[] = "empty-target-shown-absent";
// A file that becomes a folder of its name (or the other way) on one side:
// the plan copies across, the run fails the copy, run after run.
inline constexpr const char kFileFolderTwins[] = "file-folder-twins";
// Both ways with erase, case twins (and case renames, which make them): a
// file left alone as a case twin, never backed up, is erased as "deleted on
// the other side" once its twin is gone.
inline constexpr const char kCaseTwinsBothWaysErase[] = "case-twins-both-ways-erase";
// The backup of an excluded folder renamed in letter case (T:\Backup\Data\Skip
// for the excluded S:\Data\skip): copied back, a file reaches the excluded
// folder through the platform's caseless names and is overwritten.
inline constexpr const char kExcludedFolderInOtherCase[] = "excluded-folder-in-other-case";
// A nested include that names one of two folders apart only by letter case
// (S:\Data\a\* beside S:\Data\A\): the include's own folder is scanned, the
// twins' backups below it are erased as orphans one way with erase.
inline constexpr const char kNestedIncludeCaseTwins[] = "nested-include-case-twins";
// Time zone changes between runs.
inline constexpr const char kTimeZones[] = "time-zones";

// The shapes kept out now, each with why. The faults the test found in
// links, pipes, new working folders, include twins, flat erases, the log
// in the destination, flat runs both ways, stopped rotations, emptied
// selected folders and nested includes are fixed, and their shapes are
// drawn again; their names stay for TOLVEX_DIFFERENTIAL_ALLOW to focus on.
inline constexpr struct {
  const char* name;
  const char* fault;
} kKnownFaults[] = {
    {kSubTwoSecondEdits, "whole-second times keep the two-second tolerance, by design"},
    {kClockSetBack, "without a sync state, judged by stamps against LastUpdate"},
    {kMovesBothWaysErase, "without a sync state, a new file with an old stamp is judged by LastUpdate"},
    {kCaseTwinsBothWaysErase, "without a sync state, a case twin left alone is judged by LastUpdate"},
    {kEmptyTargetShownAbsent, "an empty counterpart counts as absent in the plan's records"},
    {kFileFolderTwins, "a file that became a folder of its name fails its copy run after run"},
    {kNestedIncludeCaseTwins, "an include naming a case twin folder is scanned, its twin's backups erased"},
};

class Exclusions {
 public:
  static Exclusions FromEnvironment() {
    Exclusions exclusions;
    const char* allow = std::getenv("TOLVEX_DIFFERENTIAL_ALLOW");
    const std::string allowed = allow ? "," + std::string(allow) + "," : "";
    for (const auto& known : kKnownFaults) {
      if (allowed.find("," + std::string(known.name) + ",") != std::string::npos) {
        exclusions.focused_.insert(known.name);
      } else if (allowed != ",all,") {
        exclusions.excluded_.insert(known.name);
      }
    }
    return exclusions;
  }

  bool Excludes(const char* name) const { return excluded_.count(name) != 0; }
  // Named in TOLVEX_DIFFERENTIAL_ALLOW: the test draws the shape most of the time.
  bool Focuses(const char* name) const { return focused_.count(name) != 0; }

  // "excluded: file-folder-twins (a file that became a folder ...), ..." for the test's summary line.
  std::string Describe() const {
    std::string text;
    for (const auto& known : kKnownFaults) {
      if (!Excludes(known.name)) continue;
      text += (text.empty() ? "excluded: " : ", ") + std::string(known.name) + " (" + known.fault + ")";
    }
    return text.empty() ? "nothing excluded" : text;
  }

 private:
  std::set<std::string> excluded_;
  std::set<std::string> focused_;
};

}  // namespace tolvex::runtest
