#include "scan/folder_listings.h"

#include <algorithm>

#include "platform/text_rules.h"

namespace tolvex {

namespace {

bool HasHighByte(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

FolderListing::FolderListing(std::vector<FindEntry> entries, std::vector<std::string> unusable,
                             bool readable)
    : entries_(std::move(entries)), unusable_(std::move(unusable)), readable_(readable) {}

void FolderListing::IndexNames() const {
  by_name_.Reset(entries_.size());
  const auto name_of = [this](uint32_t i) -> std::string_view { return entries_[i].name; };
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    if (by_name_.InsertAndTellAlike(i, entries_[i].name, name_of)) has_case_twins_ = true;
  }
  indexed_ = true;
}

template <typename Visit>
void FolderListing::VisitSpellings(const std::string& name, Visit visit) const {
  if (!indexed_) IndexNames();
  by_name_.ForEachMatch(
      name, [this](uint32_t i) -> std::string_view { return entries_[i].name; },
      [&](uint32_t i) { visit(&entries_[i]); });
}

bool FolderListing::HoldsCaseTwinsOf(const std::string& name) const {
  if (!indexed_) IndexNames();
  if (!has_case_twins_) return false;
  int spellings = 0;
  VisitSpellings(name, [&spellings](const FindEntry*) { ++spellings; });
  return spellings > 1;
}

std::vector<const FindEntry*> FolderListing::Spellings(const std::string& name) const {
  std::vector<const FindEntry*> spellings;
  VisitSpellings(name, [&spellings](const FindEntry* entry) { spellings.push_back(entry); });
  std::sort(spellings.begin(), spellings.end(),
            [](const FindEntry* a, const FindEntry* b) { return a->name < b->name; });
  return spellings;
}

const FindEntry* FolderListing::FindName(const std::string& name, uint32_t mask,
                                         bool* answered) const {
  *answered = false;
  if (name.empty() || name.back() == '.' || name.back() == ' ') return nullptr;
  // The name as spelled, else the first of its spellings in byte order.
  const FindEntry* found = nullptr;
  bool exact = false;
  VisitSpellings(name, [&](const FindEntry* entry) {
    if (exact) return;
    exact = entry->name == name;
    if (exact || found == nullptr || entry->name < found->name) found = entry;
  });
  if (found == nullptr) {
    *answered = !HasHighByte(name);
    return nullptr;
  }
  *answered = true;
  return PassesAttributeMask(found->attributes, mask) ? found : nullptr;
}

bool FolderListing::HoldsUnusableAlike(const std::string& name) const {
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
  // Nothing found and a missing folder both leave the listing empty.
  const uint32_t result = Sys().FindEntries(folder + "*.*", kEveryEntryMask, &entries, &unusable);
  return std::make_shared<const FolderListing>(std::move(entries), std::move(unusable),
                                               TellsContent(result));
}

std::shared_ptr<const FolderListing> FolderListings::Get(const std::string& folder) {
  const auto kept = kept_.find(folder);
  if (kept != kept_.end()) return kept->second;
  std::shared_ptr<const FolderListing> listing = ReadFolderListing(folder);
  ++reads_;
  const size_t size = listing->entries().size();
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
  kept_entries_ -= kept->second->entries().size();
  kept_.erase(kept);
}

}  // namespace tolvex
