// The fixture of the differential test (tests/differential_test.cpp): the
// job and world it draws (differential_world.cpp), the rules it checks after
// each run (differential_rules.cpp), the clock, the sessions and the runs
// (differential_test.cpp).
#pragma once

#include <algorithm>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/differential_exclusions.h"
#include "tests/differential_tree.h"
#include "tests/run_fixture.h"
#include "testing/test_volumes.h"

namespace tolvex::runtest {

inline constexpr int64_t kStartUtc = 1715590800;  // Monday 13 May 2024, 09:00 UTC
inline const char* const kZones[] = {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                     "JST-9", "NST3:30NDT,M3.2.0,M11.1.0", "UTC+11"};
inline const char* const kFolders[] = {"", "a\\", "a\\b\\", "Cc\\", "d\\e\\"};
inline const char* const kNames[] = {"one.txt", "Two.doc", "three", "Four.TXT", "five.txt", "six.dat"};

// A whole number from the environment; `fallback` when unset or empty.
inline int Setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

// One job and its world, drawn at random: the settings and what the
// generator may make.
// Where jobs that keep a sync state keep it: beside the log, outside the
// trees, as the command keeps JOB.sync beside the job.
inline constexpr const char kSyncStateFile[] = "U:\\job.sync";

struct Draw {
  int touch = 0, path = 1, vary = 0, confirm = 0;
  int d1 = 0, d2 = 1, b = 0, s1 = 0, s2 = 1;
  bool eraseLimit = false;
  bool skipFolder = false;      // S:\Data\skip\ excluded by a selection
  bool nestedInclude = false;   // S:\Data\a\* besides S:\Data\*
  bool caseTwinInclude = false; // S:\data\* besides S:\Data\*
  bool logInDestination = false;
  bool uniqueFlatNames = true;  // flat: no name in two folders
  bool overviewCancels = false;
  bool emptiesSource = false;   // the user wipes the destination now and then
  bool syncState = false;       // both ways with erase: a sync state file (as the command keeps)
  bool emptyFolders = false;    // SetEmptyFolders: the selection's folders mirrored, empty ones too
};

class Differential : public RunTest {
 protected:
  Differential() {
    const char* zone = std::getenv("TZ");
    hadZone_ = zone != nullptr;
    if (zone) savedZone_ = zone;
    SetPlanProc(StopOverLimit);
    SetOutcomeProc(RecordOutcome);
  }
#ifndef _WIN32
  // The rules below take names as Windows does, without regard to letter
  // case: the backup drive ignores case (the test switch), so that case
  // variants are case twins as they are there. Pairs that tell case apart
  // on both sides are held by CaseSensitivePairs and the command's tests.
  const ScopedTestVolumes caseless_{"caseless=" + drives_.Native("T:\\")};
#endif
  ~Differential() override {
    SetZone(hadZone_ ? savedZone_.c_str() : nullptr);
    SetDryRun(TOLVEX_DRY_RUN_OFF);
    SetEraseLimit(-1, 0);
    SetSyncState("");
    SetEmptyFolders(0);
  }

  // The front end of the test: records the plan, and stops a plan over the
  // erase limit as a front end without --force does.
  static int TOLVEX_CALLBACK StopOverLimit(const TolvexItem* item);

  void SetZone(const char* zone);

  // The offset the platform applies to file times now (local = UTC +
  // offset), read back from a file of a known time.
  int64_t ProbeOffset() const;

  static int64_t LocalSeconds(const LocalTime& t);

  LocalTime LocalOf(int64_t utc) const;

  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Pick(100) < percent; }
  template <typename T, size_t N>
  const T& Of(const T (&items)[N]) { return items[Pick(static_cast<int>(N))]; }

  // --- The job ------------------------------------------------------------

  // A shape a switch governs: never while it is excluded; mostly when it is
  // named in TOLVEX_DIFFERENTIAL_ALLOW (to see its fault, or check its fix).
  bool Shape(const char* name, int percent) {
    if (excluded_.Excludes(name)) return false;
    return Chance(excluded_.Focuses(name) ? 80 : percent);
  }

  // Draws the job's settings (every mode combination the exclusions let in)
  // and hands them to job_.
  void DrawJob();
  // The job's settings in a line, for a failure's message.
  std::string Describe() const;

  // --- Where things are ---------------------------------------------------

  // The working folder of a run at the clock's time (generations: the
  // folder that becomes Grandson, in the steady state Father).
  std::string WorkingFolder() const;

  // The folder of the source file `relative` (below S:\Data\) in the
  // working folder `work`.
  std::string CounterpartOf(const std::string& relative, const std::string& work) const;

  // The relative path below S:\Data\ of a file of the working folder `work`
  // ("" when it has none in this path mode).
  std::string RelativeOf(const std::string& destination, const std::string& work) const;

  std::string NameFor(const std::string& folder, const std::string& name) const;

  // True when the job selects the source file `path` (no link, no pipe).
  bool Selected(const std::string& path) const;

  // --- Writing the world --------------------------------------------------

  void WriteAt(const std::string& path, const std::string& content, int64_t utc);

  std::string Content(int size);
  std::string SomeContent() { return Content(Chance(20) ? 0 : 1 + Pick(Chance(10) ? 70000 : 60)); }

  // The first trees: pairs equal, newer on either side, of one time and
  // other sizes, files on one side only; and the files around the job.
  void MakeWorld();

  // A name in another letter case beside an existing source file.
  void MakeCaseTwin();
  // Case twins (and case renames, which make them) where the exclusions
  // let them in: both ways with erase, a twin left alone and then alone is
  // erased.
  bool CaseTwinsAllowed() const {
    return !(draw_.touch == 1 && draw_.b == 2 && !draw_.syncState &&
             excluded_.Excludes(kCaseTwinsBothWaysErase));
  }

  // POSIX: links in the source (to a file and a folder of no job), and
  // where the exclusions let them in, in the destination and pipes.
  void MakeLinks(const std::string& work);

  enum class Sides { kSource, kDestination };

  // The plain files the user works on: the selected source files, or those
  // of the working folder.
  // The files of a side the job selects (with_links: its symbolic links
  // too, which a folder's rename or deletion takes along).
  std::vector<std::string> FilesOf(Sides side, bool with_links = false) const;

  // --- Edits between runs -------------------------------------------------

  // The last-write time of a file in UTC seconds (0 where unknown).
  int64_t NativeTime(const std::string& path) const;

  // A time after the last run and no later than now, as an edit gets.
  int64_t EditTime();
  // The last run's start, or a day ago before the first completed run.
  int64_t Since() const { return lastRun_ != 0 ? lastRun_ : clock_ - 86400; }

  // The clock on (a time zone changed now and then) and a few edits.
  void Edit();
  // One edit of a random kind (`forced`: that kind) on one side.
  void EditOn(Sides side, bool moves, int forced = -1);

  // --- A run and its rules ------------------------------------------------

  struct Pass {
    std::vector<ChannelItem> plan;
    std::vector<ChannelItem> outcomes;
    int result = 0;
    std::set<std::string> consented;  // paths the user answered about (caseless)
    bool asPlanned = true;            // every answer kept the plan
    bool refused = false;             // a check ended the run before the scan
  };

  // One CallUpdate (a dry run or not) with the scripted answers.
  Pass Call(int dry_run);
  // The overview's Cancel stopped the run (an empty plan shows no overview:
  // such a run goes on to its end).
  bool OverviewCancelled(const Pass& run) const { return draw_.overviewCancels && run.result != 1; }
  // Counts a broken rule; the first dozen fail the test with the job and
  // where it came.
  void Violation(const std::string& rule, const std::string& what);

  // Renames the rotation made, applied to the tree before the run.
  static Tree Rotated(const Tree& before, const std::vector<ChannelItem>& outcomes);

  // True for what the job may write: its selected source files and
  // folders (not one way), the destination, the log.
  bool MayChange(const std::string& path) const;
  // Every rule, after the run, from the snapshot before it and both plans.
  void CheckRun(const Tree& before, const Pass& dry, const Pass& run);
  // True for a path below a folder the rotation renamed.
  bool IsRotationPath(const std::string& path, const Pass& run) const;
  // A copy the outcome or the log tells of is there with its source's content.
  void CheckCopied(const Tree& before, const Tree& after, const std::string& from, const std::string& to,
                   const char* told_by);

  // An erase is the user's deletion carried over (both ways: the other side's
  // file of a pair the last run left in step is gone), a mirror's orphan
  // (one way: no source), or the user's answer.
  void CheckErasesJustified(const Tree& before, const Pass& run);

  bool HasSource(const Tree& tree, const std::string& relative) const;

  // After a completed run the sides are in step as far as the modes copy:
  // each selected source file has its backup with its content (one way, or
  // a newer one), both ways the same from the destination.
  void CheckInStep(const Tree& after, const Pass& run);

  // True when a folder the run left alone (case twin folders) holds `path`.
  static bool InLeftAloneFolder(const std::set<std::string>& left_alone, const std::string& path);
  // A file of a case twin pair (in its folder or on the way) is left alone.
  static bool BlockedByCaseTwin(const Tree& tree, const std::string& path);

  static std::string Listing(const std::vector<ChannelItem>& items);

  // The state a completed run leaves: its time, and the pairs in step.
  void Completed();

  // One dry run, one run, the rules; and now and then the same run again.
  void RunOnce();

  void Session(unsigned seed, int session);

  Exclusions excluded_ = Exclusions::FromEnvironment();
  bool answered_ = false;  // the run's answers changed its plan
  bool trace_ = Setting("TOLVEX_DIFFERENTIAL_TRACE", 0) != 0;  // prints every run's items
  std::mt19937 random_;
  unsigned seed_ = 0;
  int session_ = 0;
  int runInSession_ = 0;
  int runs_ = 0;
  int reported_ = 0;
  std::map<std::string, int> violations_;
  Draw draw_;
  int64_t clock_ = kStartUtc;  // UTC seconds of the simulated clock
  int64_t offset_ = 0;         // local - UTC, as the platform applies it
  int64_t lastRun_ = 0;        // the start of the last completed run (0: none)
  std::string work_;           // the working folder of the run
  std::string lastWork_;       // that of the last run
  std::map<std::string, std::set<std::string>> paired_;  // per working folder: relative paths in step
  // The caseless paths the user deleted or moved, in order, and per working
  // folder how many of them came before the last completed run into it: a
  // deletion is news to each working folder until a run into it completes.
  struct DeletionLog {
    std::vector<std::string> paths;
    void insert(std::string path) { paths.push_back(std::move(path)); }
    void clear() { paths.clear(); }
  } deleted_;
  std::map<std::string, size_t> deletionsSeen_;
  bool DeletedSince(const std::string& work, const std::string& caseless) const {
    const auto seen = deletionsSeen_.find(work);
    const size_t first = seen == deletionsSeen_.end() ? 0 : seen->second;
    return std::find(deleted_.paths.begin() + static_cast<std::ptrdiff_t>(first), deleted_.paths.end(),
                     caseless) != deleted_.paths.end();
  }
  bool hadZone_ = false;
  std::string savedZone_;
};

}  // namespace tolvex::runtest
