#include "scan/folder_listings.h"

#include <algorithm>

#include "platform/name_case.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

bool HasHighByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

FolderListing::FolderListing(const std::vector<FindEntry>& entries,
                             std::vector<std::string> unusable, bool readable, bool missing)
    : unusable_(std::move(unusable)), readable_(readable), missing_(missing) {
  size_t name_bytes = 0;
  for (const FindEntry& entry : entries) name_bytes += entry.name.size();
  names_.reserve(name_bytes);
  records_.reserve(entries.size());
  for (const FindEntry& entry : entries) {
    records_.push_back(Record{static_cast<uint32_t>(names_.size()),
                              static_cast<uint32_t>(entry.name.size()), entry.size,
                              entry.attributes, entry.stamp, entry.fraction, entry.mode});
    names_.append(entry.name);
  }
}

void FolderListing::IndexNames() const {
  by_name_.Reset(records_.size());
  const auto name_of = [this](uint32_t i) { return NameOf(i); };
  for (uint32_t i = 0; i < records_.size(); ++i) {
    if (by_name_.InsertAndTellAlike(i, NameOf(i), name_of)) has_case_twins_ = true;
  }
  indexed_ = true;
  // Where letters beyond ASCII fold ("\xC4.txt" and "\xE4.txt" are one name
  // on Windows), a folder holding such letters is looked up by the file
  // system's own keys; other folders need no key.
  if (!kNamesFoldBeyondAscii) return;
  bool beyond_ascii = false;
  for (uint32_t i = 0; i < records_.size() && !beyond_ascii; ++i) beyond_ascii = HasHighByte(NameOf(i));
  if (!beyond_ascii) return;
  by_key_.reserve(records_.size());
  for (uint32_t i = 0; i < records_.size(); ++i) {
    std::vector<uint32_t>& spellings = by_key_[NameCaseKey(NameOf(i))];
    spellings.push_back(i);
    if (spellings.size() > 1) has_case_twins_ = true;
  }
  keyed_ = true;
}

template <typename Visit>
void FolderListing::VisitSpellings(std::string_view name, Visit visit) const {
  if (!indexed_) IndexNames();
  if (keyed_) {
    const auto spellings = by_key_.find(NameCaseKey(name));
    if (spellings == by_key_.end()) return;
    for (const uint32_t i : spellings->second) visit(i);
    return;
  }
  by_name_.ForEachMatch(
      name, [this](uint32_t i) { return NameOf(i); }, visit);
}

bool FolderListing::HoldsCaseTwinsOf(std::string_view name) const {
  if (!indexed_) IndexNames();
  if (!has_case_twins_) return false;
  int spellings = 0;
  VisitSpellings(name, [&spellings](uint32_t) { ++spellings; });
  return spellings > 1;
}

std::vector<ListedEntry> FolderListing::Spellings(std::string_view name) const {
  std::vector<ListedEntry> spellings;
  VisitSpellings(name, [&](uint32_t i) { spellings.push_back(entry(i)); });
  std::sort(spellings.begin(), spellings.end(),
            [](const ListedEntry& a, const ListedEntry& b) { return a.name < b.name; });
  return spellings;
}

std::optional<ListedEntry> FolderListing::FindName(std::string_view name, uint32_t mask,
                                                   bool exact, bool* answered) const {
  *answered = false;
  if (name.empty() || name.back() == '.' || name.back() == ' ') return std::nullopt;
  // The name as spelled, else (unless `exact`) the first of its spellings
  // in byte order.
  constexpr uint32_t kNone = 0xFFFFFFFF;
  uint32_t found = kNone;
  bool as_spelled = false;
  VisitSpellings(name, [&](uint32_t i) {
    if (as_spelled) return;
    as_spelled = NameOf(i) == name;
    if (exact && !as_spelled) return;
    if (as_spelled || found == kNone || NameOf(i) < NameOf(found)) found = i;
  });
  if (found == kNone) {
    // An exact miss is a miss whatever the letters.
    *answered = exact || !HasHighByte(name);
    return std::nullopt;
  }
  *answered = true;
  if (!PassesAttributeMask(records_[found].attributes, mask)) return std::nullopt;
  return entry(found);
}

bool FolderListing::HoldsUnusableAlike(std::string_view name) const {
  if (!alike_built_) {
    for (const std::string& path : unusable_) {
      // The platform reports native paths; the name is after the last
      // separator of either kind.
      const size_t slash = path.find_last_of("/\\");
      std::string unusable_name = slash == std::string::npos ? path : path.substr(slash + 1);
      if (unusable_name.empty()) continue;
      const char last = unusable_name.back();
      if (last != '.' && last != ' ') continue;
      while (!unusable_name.empty() && (unusable_name.back() == '.' || unusable_name.back() == ' ')) {
        unusable_name.pop_back();
      }
      unusable_alike_.insert(AsciiUpperText(unusable_name));
    }
    alike_built_ = true;
  }
  return !unusable_alike_.empty() && unusable_alike_.count(AsciiUpperText(name)) != 0;
}

std::shared_ptr<const FolderListing> ReadFolderListing(const std::string& folder) {
  std::vector<FindEntry> entries;
  std::vector<std::string> unusable;
  const uint32_t result = Sys().FindEntries(folder + "*.*", kEveryEntryMask, &entries, &unusable);
  // Nothing found and a missing folder both leave the listing empty.
  return std::make_shared<const FolderListing>(entries, std::move(unusable), TellsContent(result),
                                               result == kErrPathNotFound);
}

std::shared_ptr<const FolderListing> FolderListings::Get(const std::string& folder) {
  const auto kept = kept_.find(folder);
  if (kept != kept_.end()) return kept->second;
  std::shared_ptr<const FolderListing> listing = ReadFolderListing(folder);
  ++reads_;
  const size_t size = listing->size();
  bool wanted = true;
  if (planned_) {
    // The use at hand is one of the planned ones.
    const auto uses = uses_.find(folder);
    wanted = uses != uses_.end() && uses->second > 1;
  }
  if (wanted && kept_entries_ + size <= max_entries_) {
    kept_.emplace(folder, listing);
    kept_entries_ += size;
  }
  return listing;
}

void FolderListings::PlanUses(const std::vector<std::string>& folders) {
  uses_.clear();
  for (const std::string& folder : folders) ++uses_[folder];
  planned_ = true;
  std::vector<std::string> unused;
  for (const auto& [folder, listing] : kept_) {
    if (uses_.count(folder) == 0) unused.push_back(folder);
  }
  for (const std::string& folder : unused) Drop(folder);
}

void FolderListings::UseDone(const std::string& folder) {
  const auto uses = uses_.find(folder);
  if (uses == uses_.end()) return;
  if (--uses->second > 0) return;
  uses_.erase(uses);
  Drop(folder);
}

void FolderListings::Drop(const std::string& folder) {
  const auto kept = kept_.find(folder);
  if (kept == kept_.end()) return;
  kept_entries_ -= kept->second->size();
  kept_.erase(kept);
}

}  // namespace tolvex
