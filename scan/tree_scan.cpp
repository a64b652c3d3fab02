#include "scan/tree_scan.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "model/parameters.h"
#include "model/run_extension.h"
#include "model/sync_state.h"
#include "platform/name_case.h"
#include "platform/platform.h"
#include "platform/text_rules.h"
#include "scan/action_steps.h"
#include "scan/decide.h"
#include "scan/folder_listings.h"
#include "scan/folder_spellings.h"
#include "scan/names_alike.h"
#include "scan/own_files.h"
#include "scan/pair_name_rules.h"
#include "scan/selections.h"
#include "scan/two_way_orphans.h"

namespace tolvex {

// A candidate keeps a side's mode in the upper half of its attributes word
// (WithMode): no kept mode may read as a link.
static_assert(((uint32_t{kModeKnown | kModeBits} << 16) &
               (kAttrSymbolicLink | kAttrLinkToFolder | kAttrLinkDangling)) == 0);

namespace {

constexpr char kFolderStatus[] = "Searching for subdirectories...";
constexpr char kFileStatus[] = "Searching for files...";
constexpr int kFolderGaugeMaximum = 300;

void ShowPhase(SearchProgressView* progress, const char* status, int maximum) {
  if (progress == nullptr) return;
  progress->SetStatusText(status);
  progress->SetGaugeRange(0, maximum);
  progress->SetGaugePosition(0);
}

// A path mode and a destination the counterparts can be built from.
bool CanPairFolders(const TParameters& parameters, const Plan& plan) {
  const std::string& root = plan.DestinationRoot;
  return IsKnownPathMode(parameters.PathMode) && IsDirectoryEntry(root) && root.back() == '\\';
}

// Only the subfolders the scan will visit matter: a name, a link or an
// unreadable folder in a folder that was excluded afterwards is no loss.
void KeepNotesOfVisitedFolders(const Plan& plan, const std::vector<FolderNote>& notes,
                               FindingSink* sink) {
  if (notes.empty()) return;
  std::unordered_set<std::string> visited;
  for (const STRING& entry : plan.dirList) visited.insert(entry.text());
  for (const FolderNote& note : notes) {
    if (note.kind == kNoteLinkCopiedAsLink) continue;
    if (visited.count(note.folder) != 0) sink->Add(note.kind, note.path);
  }
}

bool AlreadyFound(const Plan& plan, int32_t kind, const std::string& path) {
  return std::any_of(plan.findings.begin(), plan.findings.end(), [&](const FINDING& finding) {
    return finding.kind == kind && finding.path == path;
  });
}

// An include the run's check found but the scan does not is reported as
// missing (unless the check did so already); a selection or twin whose
// folder the system would not tell about as unreadable. A twin found
// missing is the normal case of a first run.
void ReportDropped(const Plan& plan, const DroppedEntries& includes, const DroppedEntries& twins,
                   FindingSink* sink) {
  for (const std::string& entry : includes.missing) {
    if (!AlreadyFound(plan, TOLVEX_REPORT_MISSING_FOLDER, entry)) {
      sink->Add(TOLVEX_REPORT_MISSING_FOLDER, entry);
    }
  }
  for (const DroppedEntries* dropped : {&includes, &twins}) {
    for (std::string entry : dropped->unknown) {
      if (!entry.empty() && entry.back() == '*') entry.pop_back();
      sink->Add(TOLVEX_REPORT_UNREADABLE_FOLDER, entry);
    }
  }
}

// The links to folders the scan met on either side (drive form, with
// their backslash, ASCII upper case). A folder at or below one is never
// read or written, and neither is its counterpart: a link in the
// destination would lead the copies out of the job (into a folder of no
// job, or back into a source), and a source folder reached through a link
// would be written both ways.
//
// A symbolic link copied as a link (kAttrSymbolicLink) is a file of the
// plan, not a folder; it is kept here too, unreported, so that a folder
// whose counterpart it is (a folder on one side, a link on the other) is
// not read through it: Holds then names it, and the scan reports it.
class LinkedFolders {
 public:
  void Add(const std::string& link) { links_.emplace(AsciiUpperText(link), std::string()); }
  void AddCopiedAsLink(const std::string& link) { links_.emplace(AsciiUpperText(link), link); }
  // True when `folder` (with its backslash) is a link or lies below one:
  // one look per folder on its way up (a tree may hold many links). A link
  // copied as a link, the first on the way, goes to *copied_as_link.
  bool Holds(const std::string& folder, std::string* copied_as_link = nullptr) const {
    if (links_.empty()) return false;
    const std::string upper = AsciiUpperText(folder);
    for (size_t end = upper.find('\\'); end != std::string::npos; end = upper.find('\\', end + 1)) {
      const auto link = links_.find(upper.substr(0, end + 1));
      if (link == links_.end()) continue;
      if (copied_as_link != nullptr) *copied_as_link = link->second;
      return true;
    }
    return false;
  }

 private:
  // Upper-case path -> the link's path as found when it is copied as a
  // link; empty for a link already reported.
  std::unordered_map<std::string, std::string> links_;
};

// A destination twin ("T:\Backup\Data\*") as the file system spells it,
// name by name below the destination root; *link gets the first folder on
// the way that is a link (with its backslash), and stays empty when none
// is. The twins are built from the source's names, not listed: a link
// among them would be followed where a listing shows it as a link, and a
// name stored in other letter case would be named as nothing on disk is.
std::string SpelledTwin(const std::string& entry, const std::string& root, std::string* link) {
  if (entry.compare(0, root.size(), root) != 0) return entry;
  std::string spelled = root;
  size_t from = root.size();
  for (size_t at = entry.find('\\', from); at != std::string::npos;
       from = at + 1, at = entry.find('\\', from)) {
    std::string name = entry.substr(from, at - from);
    std::vector<FindEntry> found;
    if (Sys().FindEntries(spelled + name, kEveryEntryMask, &found, nullptr) == kErrOk &&
        found.size() == 1) {
      name = found.front().name;
      const uint32_t attributes = found.front().attributes;
      if (((attributes & kAttrReparsePoint) != 0 || IsSymbolicLink(attributes)) && link->empty()) {
        *link = spelled + name + "\\";
      }
    }
    spelled += name + "\\";
  }
  return spelled + entry.substr(from);
}

// Spells the destination twins of `list` as stored. With `linked`, drops
// those behind a link (each link reported once and noted there).
void SpellTwins(const std::string& root, std::vector<STRING>* list, LinkedFolders* linked,
                FindingSink* sink) {
  std::vector<STRING> kept;
  kept.reserve(list->size());
  for (STRING& entry : *list) {
    if (entry.mark() != 1) {
      kept.push_back(std::move(entry));
      continue;
    }
    std::string link;
    const std::string spelled = SpelledTwin(entry.text(), root, &link);
    if (link.empty() || linked == nullptr) {
      kept.emplace_back(spelled, 1);
    } else {
      linked->Add(link);
      sink->Add(TOLVEX_REPORT_LINK_NOT_FOLLOWED, link);
    }
  }
  *list = std::move(kept);
}

// Fills dirList with the folders to visit, sorted. False when aborted.
bool ScanFolders(const TParameters& parameters, Plan& plan, SearchProgressView* progress,
                 FolderListings* listings, FindingSink* sink, LinkedFolders* linked) {
  ShowPhase(progress, kFolderStatus, kFolderGaugeMaximum);
  // Every selection lies on the source side until twins are added.
  plan.dirList.clear();
  for (const STRING& entry : parameters.DInclSels) plan.dirList.emplace_back(entry.text(), 0);
  std::vector<STRING> excludes;
  for (const STRING& entry : parameters.DExclSels) excludes.emplace_back(entry.text(), 0);
  if (!CanPairFolders(parameters, plan)) {
    plan.dirList.clear();
    return true;
  }
  // Asked before any folder below the roots is looked up: from here on the
  // platform finds names there only as spelled where case tells them apart.
  plan.namesTellCaseApart = PairsTellCaseApart(parameters, plan);
  Sys().SetExactNameFolders(ExactNameFolders(parameters, plan));
  const bool with_twins = parameters.PathMode != TOLVEX_PATH_FLAT;
  std::vector<FolderNote> notes;
  // Includes that are missing now, although the run's check found them a
  // moment ago (or found them missing and said so), and selections whose
  // folder the system would not tell about: left out, and reported.
  DroppedEntries includes_dropped;
  DroppedEntries twins_dropped;
  std::unordered_set<std::string> roots;  // the selections and their twins
  // Each step runs to its end or stops at its next test of Aborted; an
  // aborted step ends the scan at once, leaving dirList unsorted.
  const std::function<void()> steps[] = {
      [&] {
        if (parameters.PathMode == TOLVEX_PATH_RELATIVE) {
          plan.CommonRoot = ComputeCommonRoot(plan.dirList, plan.Aborted);
        }
      },
      // A missing include gets no twin: the backup of a folder that is
      // gone (renamed, a disk not mounted) is not a pile of orphans.
      [&] { DropMissingDirectories(plan.Aborted, &plan.dirList, &includes_dropped); },
      [&] {
        if (with_twins) AddDestinationCounterparts(parameters, plan, &plan.dirList);
      },
      [&] {
        if (with_twins) AddDestinationCounterparts(parameters, plan, &excludes);
      },
      [&] { DropMissingDirectories(plan.Aborted, &plan.dirList, &twins_dropped); },
      [&] {
        if (with_twins) SpellTwins(plan.DestinationRoot, &plan.dirList, linked, sink);
      },
      [&] {
        for (const STRING& entry : plan.dirList) roots.insert(SelectionOf(entry.text()).folder);
      },
      [&] { DropMissingDirectories(plan.Aborted, &excludes, nullptr, /*keep_unknown=*/true); },
      // Spelled as the include twins, so that an excluded twin is found.
      [&] {
        if (with_twins) SpellTwins(plan.DestinationRoot, &excludes, nullptr, sink);
      },
      [&] { ExpandSelections(plan.Aborted, &plan.dirList, progress, &notes, listings); },
      [&] { ExpandSelections(plan.Aborted, &excludes, nullptr, nullptr, listings); },
      [&] { RemoveExcludedDirectories(plan.Aborted, &plan.dirList, excludes); },
  };
  for (const std::function<void()>& step : steps) {
    step();
    if (plan.Aborted) return false;
  }
  ReportDropped(plan, includes_dropped, twins_dropped, sink);
  for (const FolderNote& note : notes) {
    if (note.kind == TOLVEX_REPORT_LINK_NOT_FOLLOWED) linked->Add(note.path);
    if (note.kind == kNoteLinkCopiedAsLink) linked->AddCopiedAsLink(note.path);
  }
  SortByText(&plan.dirList);
  DropFoldersWithTwins(parameters, plan, roots, listings, sink);
  // Nested includes ("S:\Data\*" and "S:\Data\Sub\*") reach the inner
  // folders twice, the second time perhaps spelled as the include is
  // ("S:\Data\sub\" for the folder Sub): each is scanned, planned and
  // counted once. Folders whose names are one to the file system are one
  // folder here, since folders with case twins are gone by now (where case
  // tells names apart, only folders spelled alike are one).
  std::unordered_set<std::string> listed;
  plan.dirList.erase(std::remove_if(plan.dirList.begin(), plan.dirList.end(),
                                    [&listed, &plan](const STRING& folder) {
                                      return !listed
                                                  .insert(std::to_string(folder.mark()) +
                                                          PairNameKey(plan, folder.text()))
                                                  .second;
                                    }),
                     plan.dirList.end());
  KeepNotesOfVisitedFolders(plan, notes, sink);
  return true;
}

// Folders are never files, whatever the attribute mask lets through: with a
// mask holding 0x10 (or a hidden folder under a mask holding 0x02) a listing
// yields folders, "." and ".." included, and none of them may be copied,
// compared or erased as a file. The volume-label bit is treated alike.
bool IsFolderEntry(const ListedEntry& entry) {
  return (entry.attributes & (kAttrDirectory | kAttrVolume)) != 0;
}

bool IsWholeFolderPattern(const std::string& pattern) { return pattern == "*.*" || pattern == "*"; }

// A file pattern names files of the folder it is applied to: with a
// separator (or a drive's colon) it would enumerate another folder, whose
// names would then be taken for files of this one.
bool IsNamePattern(const std::string& pattern) {
  return pattern.find_first_of("\\/:") == std::string::npos;
}

void SplitName(std::string_view file_name, std::string* name, std::string* extension) {
  const size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos) {
    name->assign(file_name);
    extension->clear();
    return;
  }
  name->assign(file_name.substr(0, dot));
  extension->assign(file_name.substr(dot));
}

// A link that is not a folder: on Windows a symbolic link to a file, on
// POSIX also one whose target is a file.
bool IsFileLink(const ListedEntry& entry) {
  return (entry.attributes & kAttrReparsePoint) != 0 && !IsFolderEntry(entry);
}

// A pipe, a socket, a device: neither file, folder nor link.
bool IsSpecialEntry(const ListedEntry& entry) { return (entry.attributes & kAttrDevice) != 0; }

struct Counterpart {
  bool unknown = false;  // the counterpart folder could not be read
  // The counterpart's name is taken by what no copy may replace: a pipe, a
  // socket or a device (kind TOLVEX_REPORT_SPECIAL_ENTRY), or a link in the
  // destination tree (TOLVEX_REPORT_LINK_NOT_FOLLOWED); `taken_by` is its
  // path. 0 when free.
  int32_t taken_kind = 0;
  std::string taken_by;
  bool present = false;
  std::string name;  // as stored
  uint64_t size = 0;
  uint32_t stamp = 0;
  uint32_t fraction = kNoFraction;
  uint32_t attributes = 0;
  uint16_t mode = 0;
};

// The file search in one folder of dirList, paired with its counterpart
// folder. Both folders are read at most once here: "*.*" and the
// counterpart lookups answer from their listings.
class FolderFileScan {
 public:
  // `flat_files`, when not null, receives every file considered;
  // `scanned`: the folders of dirList, which the scan has seen exist.
  FolderFileScan(const TParameters& parameters, Plan& plan, int32_t index, const STRING& folder,
                 const std::string& counterpart_folder, FolderListings* listings, FindingSink* sink,
                 std::vector<ScannedFile>* flat_files,
                 const std::unordered_set<std::string>* scanned, const OwnFiles* own_files)
      : parameters_(parameters),
        plan_(plan),
        index_(index),
        folder_(folder),
        counterpart_folder_(counterpart_folder),
        mask_(parameters.Attributes),
        listings_(listings),
        sink_(sink),
        flat_files_(flat_files),
        scanned_(scanned),
        own_files_(own_files) {}
  ~FolderFileScan() {
    listings_->UseDone(folder_.text());
    listings_->UseDone(counterpart_folder_);
  }
  FolderFileScan(const FolderFileScan&) = delete;
  FolderFileScan& operator=(const FolderFileScan&) = delete;

  // The names the file exclude patterns match here. False when aborted.
  bool CollectExcludedNames() {
    for (const STRING& pattern : parameters_.FExclSels) {
      Sys().PumpStep();
      if (plan_.Aborted) return false;
      for (const ListedEntry& entry : Enumerate(pattern.text(), false)) {
        excluded_.emplace(entry.name);
      }
    }
    return true;
  }

  // Examines the files, include pattern by include pattern.
  void ScanIncludePatterns() {
    for (const STRING& pattern : parameters_.FInclSels) {
      Sys().PumpStep();
      if (plan_.Aborted) return;
      for (const ListedEntry& entry : Enumerate(pattern.text(), true)) ConsiderFile(entry);
    }
  }

 private:
  // What enumerating "<folder><pattern>" with the scan's mask yields, valid
  // until the next call.
  std::vector<ListedEntry> Enumerate(const std::string& pattern, bool report_unusable) {
    std::vector<ListedEntry> yielded;
    if (!IsNamePattern(pattern)) return yielded;
    if (IsWholeFolderPattern(pattern)) {
      const FolderListing& listing = OwnListing();
      // A folder of dirList that is missing now vanished since the scan saw
      // it, or could not be reached: nothing can be said of its files.
      if (!listing.readable() || listing.missing()) {
        sink_->Add(TOLVEX_REPORT_UNREADABLE_FOLDER, folder_.text());
      }
      yielded.reserve(listing.size());
      for (size_t i = 0; i < listing.size(); ++i) {
        const ListedEntry entry = listing.entry(i);
        if (PassesAttributeMask(entry.attributes, mask_)) yielded.push_back(entry);
      }
      if (report_unusable) {
        for (const std::string& path : listing.unusable()) sink_->Add(TOLVEX_REPORT_UNUSABLE_NAME, path);
      }
      return yielded;
    }
    found_.clear();
    std::vector<std::string> unusable;
    const uint32_t result = Sys().FindEntries(folder_.text() + pattern, mask_, &found_,
                                              report_unusable ? &unusable : nullptr);
    // The folder is in dirList: "path not found" means it vanished.
    if (!TellsContent(result) || result == kErrPathNotFound) {
      sink_->Add(TOLVEX_REPORT_UNREADABLE_FOLDER, folder_.text());
    }
    for (const std::string& path : unusable) sink_->Add(TOLVEX_REPORT_UNUSABLE_NAME, path);
    for (const FindEntry& entry : found_) {
      yielded.push_back(
          ListedEntry{entry.name, entry.size, entry.attributes, entry.stamp, entry.fraction,
                      entry.mode});
    }
    return yielded;
  }

  const FolderListing& OwnListing() {
    if (!own_listing_) own_listing_ = listings_->Get(folder_.text());
    return *own_listing_;
  }

  // The same-named file in the counterpart folder, as enumerating
  // "<counterpart folder><name>" with the scan's mask finds it.
  // A counterpart folder that is missing is the everyday case (nothing
  // copied there yet); one the scan has seen exist (it is in dirList) that
  // reads as missing vanished, or could not be reached, and tells nothing.
  const FolderListing& CounterpartListing() {
    if (!counterpart_listing_) {
      counterpart_listing_ = listings_->Get(counterpart_folder_);
      counterpart_known_ = counterpart_listing_->readable() &&
                           !(counterpart_listing_->missing() && scanned_->count(counterpart_folder_) != 0);
    }
    return *counterpart_listing_;
  }

  Counterpart FindCounterpart(std::string_view file_name) {
    CounterpartListing();
    Counterpart found;
    if (!counterpart_known_) {
      found.unknown = true;
      return found;
    }
    bool answered = false;
    std::optional<ListedEntry> entry =
        counterpart_listing_->FindName(file_name, mask_, plan_.namesTellCaseApart, &answered);
    std::vector<FindEntry> asked;
    if (!answered) {
      const uint32_t result = Sys().FindEntries(counterpart_folder_ + std::string(file_name), mask_,
                                                &asked, nullptr);
      // The folder was there a moment ago: "path not found" now is no answer.
      found.unknown = !TellsContent(result) ||
                      (result == kErrPathNotFound && !counterpart_listing_->missing());
      if (!asked.empty()) {
        entry = ListedEntry{asked.front().name, asked.front().size, asked.front().attributes,
                            asked.front().stamp, asked.front().fraction, asked.front().mode};
      }
    }
    if (found.unknown) return found;
    if (entry && IsSpecialEntry(*entry)) {
      found.taken_kind = TOLVEX_REPORT_SPECIAL_ENTRY;
    } else if (entry && IsFileLink(*entry) && counterpart_side() == 1) {
      found.taken_kind = TOLVEX_REPORT_LINK_NOT_FOLLOWED;
    }
    if (found.taken_kind != 0) {
      found.taken_by = counterpart_folder_ + std::string(entry->name);
      return found;
    }
    if (!entry || IsFolderEntry(*entry)) return found;
    found.present = true;
    found.name = entry->name;
    found.size = entry->size;
    found.stamp = entry->stamp;
    found.fraction = entry->fraction;
    found.attributes = entry->attributes;
    found.mode = entry->mode;
    return found;
  }

  uint8_t counterpart_side() const { return folder_.mark() == 0 ? 1 : 0; }

  // True when the counterpart folder holds a folder called `file_name`,
  // whatever the scan's mask (which may leave folders out).
  bool CounterpartIsFolder(std::string_view file_name) {
    bool answered = false;
    std::optional<ListedEntry> entry =
        CounterpartListing().FindName(file_name, kEveryEntryMask, plan_.namesTellCaseApart, &answered);
    if (!answered) {
      std::vector<FindEntry> asked;
      Sys().FindEntries(counterpart_folder_ + std::string(file_name), kEveryEntryMask, &asked,
                        nullptr);
      return !asked.empty() && (asked.front().attributes & kAttrDirectory) != 0;
    }
    return entry && IsFolderEntry(*entry);
  }

  // A pair whose sizes and stamps may agree and that is not the same all
  // the same: a link and a file, or two links that lead elsewhere. Two
  // links are read only when their sizes (the lengths of their texts) and
  // stamps agree, where the texts alone can tell.
  bool LinksDiffer(const ListedEntry& entry, const Counterpart& counterpart) const {
    const bool link = IsSymbolicLink(entry.attributes);
    if (link != IsSymbolicLink(counterpart.attributes)) return true;
    if (!link || entry.size != counterpart.size || entry.stamp != counterpart.stamp) return false;
    std::string text;
    std::string counter_text;
    // A link that cannot be read now is taken as changed: the copy tries it
    // and tells what came of it.
    if (Sys().ReadLink(folder_.text() + std::string(entry.name), &text) != kErrOk) return true;
    if (Sys().ReadLink(counterpart_folder_ + counterpart.name, &counter_text) != kErrOk) return true;
    return text != counter_text;
  }

  void ConsiderFile(const ListedEntry& entry) {
    if (IsFolderEntry(entry)) return;
    if (!excluded_.empty() && excluded_.count(std::string(entry.name)) != 0) return;
    // The run's own files (its log, the front end's state) are never
    // copied over, erased or copied: on either side of a pair.
    if (own_files_->Holds(folder_.text(), entry.name) ||
        own_files_->Holds(counterpart_folder_, entry.name)) {
      return;
    }
    // What no action may read, replace or erase is reported, not counted.
    if (IsSpecialEntry(entry)) {
      sink_->Add(TOLVEX_REPORT_SPECIAL_ENTRY, folder_.text() + std::string(entry.name));
      return;
    }
    if (IsFileLink(entry) && folder_.mark() == 1) {
      sink_->Add(TOLVEX_REPORT_LINK_NOT_FOLLOWED, folder_.text() + std::string(entry.name));
      return;
    }
    ++plan_.scanTally.filesPresent[folder_.mark() != 0 ? 1 : 0];
    if (entry.stamp < parameters_.LeastDate) return;
    if (HasTwin(entry.name, OwnListing(), folder_.text(), CounterpartListing(),
                counterpart_folder_, !plan_.namesTellCaseApart, sink_)) {
      return;
    }
    if (flat_files_) {
      flat_files_->push_back(ScannedFile{index_, std::string(entry.name), entry.stamp, -1});
    }
    const Counterpart counterpart = FindCounterpart(entry.name);
    // A file whose counterpart cannot be looked up is left out of the plan:
    // taken for an orphan, its backup could be erased or a copy misjudged.
    if (counterpart.unknown) {
      sink_->Add(TOLVEX_REPORT_UNREADABLE_FOLDER, counterpart_folder_);
      return;
    }
    // The pair is left alone: the file waits until its name is free.
    if (counterpart.taken_kind != 0) {
      sink_->Add(counterpart.taken_kind, counterpart.taken_by);
      return;
    }
    const bool link = IsSymbolicLink(entry.attributes);
    // A link where the other side has a folder is left alone: the folder is
    // not replaced by a link (that would erase a tree), and nothing is read
    // through the link (the folder's scan reports it, below).
    if (link && !counterpart.present && CounterpartIsFolder(entry.name)) {
      sink_->Add(TOLVEX_REPORT_LINK_NOT_FOLLOWED, folder_.text() + std::string(entry.name) + "\\");
      return;
    }
    DecisionInput input;
    input.side = folder_.mark();
    input.stamp = entry.stamp;
    input.size = entry.size;
    input.counterpart_present = counterpart.present;
    input.counter_stamp = counterpart.stamp;
    input.counter_size = counterpart.size;
    input.fraction = entry.fraction;
    input.counter_fraction = counterpart.fraction;
    if (counterpart.present) input.contents_differ = LinksDiffer(entry, counterpart);
    input.mode = entry.mode;
    input.counter_mode = counterpart.mode;
    if (parameters_.TouchMode == TOLVEX_TOUCH_BOTH_WAYS && counterpart.present &&
        entry.stamp == counterpart.stamp && entry.size == counterpart.size &&
        ModesDiffer(entry.mode, counterpart.mode)) {
      input.mode_changed_later = ModeChangedLater(entry.name, counterpart.name);
    }
    // The sync state lists every pair, once, as the source side meets it.
    if (plan_.syncRun.gathering && counterpart.present && folder_.mark() == 0) {
      GatherSyncPair(plan_.syncRun, folder_.text() + std::string(entry.name),
                     counterpart_folder_ + std::string(entry.name), entry.size, entry.stamp,
                     counterpart.size, counterpart.stamp);
    }
    // Step 1 of the file's action (scan/action_steps.h).
    uint16_t state = 0;
    if (!DecideCandidate(parameters_, input, &state)) {
      if (counterpart.present) TallyUnchanged(entry, counterpart);
      return;
    }
    std::string name;
    std::string extension;
    SplitName(entry.name, &name, &extension);
    if (flat_files_) flat_files_->back().candidate = static_cast<int64_t>(plan_.candidates.size());
    plan_.candidates.emplace_back(std::move(name), std::move(extension), index_, entry.size,
                                  counterpart.size, entry.stamp, counterpart.stamp,
                                  WithMode(entry.attributes, entry.mode),
                                  WithMode(counterpart.attributes, counterpart.mode), state);
    if (counterpart.present && counterpart.name != entry.name) {
      plan_.counterNames.push_back(counterpart.name);
      plan_.candidates.back().counterNameIndex = static_cast<uint32_t>(plan_.counterNames.size());
    }
  }

  // Both ways, which side of a pair whose modes alone differ had its mode
  // changed last (each mode change moves the entry's change time; so does
  // the run's own, which leaves the modes equal). Asked only of such pairs.
  int ModeChangedLater(std::string_view name, const std::string& counter_name) {
    Platform::ModeInfo here;
    Platform::ModeInfo there;
    if (Sys().GetModeInfo(folder_.text() + std::string(name), &here) != kErrOk ||
        Sys().GetModeInfo(counterpart_folder_ + counter_name, &there) != kErrOk) {
      return 0;
    }
    return here.changed > there.changed ? 1 : (here.changed < there.changed ? -1 : 0);
  }

  // A pair the decision skipped: counted once, from the side the job reads
  // from (both ways the source side, where only equal pairs count: an older
  // file there is the other side's newer one, which that side copies).
  void TallyUnchanged(const ListedEntry& entry, const Counterpart& counterpart) {
    const int32_t touch = parameters_.TouchMode;
    const uint8_t reading_side = touch == TOLVEX_TOUCH_TO_SOURCE ? 1 : 0;
    if (folder_.mark() != reading_side) return;
    const int within = entry.stamp == counterpart.stamp
                           ? CompareWithinStamp(entry.fraction, counterpart.fraction)
                           : 0;
    const bool equal = entry.stamp == counterpart.stamp && within == 0 &&
                       entry.size == counterpart.size && !ModesDiffer(entry.mode, counterpart.mode);
    const bool one_way = touch == TOLVEX_TOUCH_TO_DESTINATION || touch == TOLVEX_TOUCH_TO_SOURCE;
    const bool older = (entry.stamp < counterpart.stamp || within < 0) && one_way;
    if (!equal && !older) return;
    (equal ? plan_.scanTally.equalPairs : plan_.scanTally.olderPairs) += 1;
    (equal ? plan_.scanTally.equalBytes : plan_.scanTally.olderBytes) += entry.size;
    if (!Extension.ListsUnchangedPairs()) return;
    std::string name;
    std::string extension;
    SplitName(entry.name, &name, &extension);
    plan_.unchangedPairs.emplace_back(std::move(name), std::move(extension), index_, entry.size,
                                      counterpart.size, entry.stamp, counterpart.stamp,
                                      entry.attributes, counterpart.attributes, STATE_IGNORE);
  }

  const TParameters& parameters_;
  Plan& plan_;
  int32_t index_;
  const STRING& folder_;
  const std::string& counterpart_folder_;
  uint32_t mask_;
  FolderListings* listings_;
  FindingSink* sink_;
  std::vector<ScannedFile>* flat_files_;
  const std::unordered_set<std::string>* scanned_;
  const OwnFiles* own_files_;
  bool counterpart_known_ = true;
  std::unordered_set<std::string> excluded_;
  std::vector<FindEntry> found_;
  std::shared_ptr<const FolderListing> own_listing_;
  std::shared_ptr<const FolderListing> counterpart_listing_;
};

// The counterpart folder of every dirList entry, and the plan of the folder
// reads to come: each folder once as scanned, once as counterpart.
std::vector<std::string> PlanCounterparts(const TParameters& parameters, const Plan& plan,
                                          FolderListings* listings) {
  std::vector<std::string> counterparts;
  std::vector<std::string> uses;
  counterparts.reserve(plan.dirList.size());
  uses.reserve(2 * plan.dirList.size());
  const FolderSpellings spellings(plan.dirList, plan.namesTellCaseApart);
  for (const STRING& folder : plan.dirList) {
    counterparts.push_back(
        spellings.Of(MapCounterpartDirectory(parameters, plan, folder.text(), folder.mark())));
    if (counterparts.back().empty()) continue;  // not scanned: no reads to plan
    uses.push_back(folder.text());
    uses.push_back(counterparts.back());
  }
  listings->PlanUses(uses);
  return counterparts;
}

void ScanFiles(const TParameters& parameters, Plan& plan, SearchProgressView* progress,
               FolderListings* listings, FindingSink* sink, const LinkedFolders& linked,
               std::vector<ScannedFile>* flat_files) {
  const OwnFiles own_files(parameters, Extension.syncStatePath);
  const size_t count = plan.dirList.size();
  ShowPhase(progress, kFileStatus, static_cast<int>(std::min<size_t>(count, INT_MAX)));
  std::vector<std::string> counterparts = PlanCounterparts(parameters, plan, listings);
  // Room for a candidate per entry of the folders listed already: the plan
  // then never moves (a move holds the old and the new list at once, up to
  // twice the plan's size), and room that no candidate takes is never
  // touched, so it costs address space, not memory.
  size_t listed = 0;
  for (const STRING& folder : plan.dirList) listed += listings->KeptEntriesOf(folder.text());
  plan.candidates.reserve(plan.candidates.size() + listed);
  std::unordered_set<std::string> scanned;
  scanned.reserve(count);
  for (const STRING& folder : plan.dirList) scanned.insert(folder.text());
  for (size_t i = 0; i < count; ++i) {
    Sys().PumpStep();
    if (plan.Aborted) return;
    if (progress) progress->SetGaugePosition(static_cast<int>(std::min<size_t>(i + 1, INT_MAX)));
    const STRING& folder = plan.dirList[i];
    plan.counterpartList.emplace_back(std::move(counterparts[i]), folder.mark() == 0 ? 1 : 0);
    // A folder without a known counterpart is left alone: its files could
    // be neither compared nor told from orphans.
    if (plan.counterpartList.back().text().empty()) continue;
    // Neither side is read through a link (the link is reported). A folder
    // whose counterpart is a link copied as a link (a folder on one side, a
    // link on the other) is left alone, and the link reported.
    std::string copied_as_link;
    if (linked.Holds(folder.text(), &copied_as_link) ||
        linked.Holds(plan.counterpartList.back().text(), &copied_as_link)) {
      if (!copied_as_link.empty()) sink->Add(TOLVEX_REPORT_LINK_NOT_FOLLOWED, copied_as_link);
      continue;
    }
    FolderFileScan scan(parameters, plan, static_cast<int32_t>(i), folder,
                        plan.counterpartList.back().text(), listings, sink, flat_files, &scanned,
                        &own_files);
    if (!scan.CollectExcludedNames()) return;
    scan.ScanIncludePatterns();
  }
}

}  // namespace

void ScanTrees(const TParameters& parameters, Plan& plan, SearchProgressView* progress) {
  plan.namesTellCaseApart = false;
  Sys().SetExactNameFolders({});
  FindingSink sink(plan.findings);
  FolderListings listings;
  LinkedFolders linked;
  if (!ScanFolders(parameters, plan, progress, &listings, &sink, &linked)) return;
  const bool flat = parameters.PathMode == TOLVEX_PATH_FLAT;
  std::vector<ScannedFile> flat_files;
  // Each file is decided as the scan meets it (DecideCandidate), then the
  // decided actions are adjusted over the whole plan.
  ScanFiles(parameters, plan, progress, &listings, &sink, linked, flat ? &flat_files : nullptr);
  if (plan.Aborted) return;
  AdjustDecidedActions(parameters, plan, flat ? &flat_files : nullptr, &sink);
}

}  // namespace tolvex
