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
                             bool readable, bool missing)
    : entries_(std::move(entries)),
      unusable_(std::move(unusable)),
      readable_(readable),
      missing_(missing) {}

void FolderListing::SortNames() const {
  by_name_.resize(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) by_name_[i] = static_cast<uint32_t>(i);
  std::sort(by_name_.begin(), by_name_.end(), [this](uint32_t a, uint32_t b) {
    const int folded = CompareAsciiCaseless(entries_[a].name, entries_[b].name);
    return folded != 0 ? folded < 0 : entries_[a].name < entries_[b].name;
  });
  sorted_ = true;
}

std::pair<std::vector<uint32_t>::const_iterator, std::vector<uint32_t>::const_iterator>
FolderListing::SpellingRange(const std::string& name) const {
  if (!sorted_) SortNames();
  const auto first = std::lower_bound(by_name_.cbegin(), by_name_.cend(), name,
                                      [this](uint32_t i, const std::string& key) {
                                        return CompareAsciiCaseless(entries_[i].name, key) < 0;
                                      });
  auto last = first;
  while (last != by_name_.cend() && CompareAsciiCaseless(entries_[*last].name, name) == 0) ++last;
  return {first, last};
}

std::vector<const FindEntry*> FolderListing::Spellings(const std::string& name) const {
  std::vector<const FindEntry*> spellings;
  const auto [first, last] = SpellingRange(name);
  for (auto it = first; it != last; ++it) spellings.push_back(&entries_[*it]);
  return spellings;
}

const FindEntry* FolderListing::FindName(const std::string& name, uint32_t mask,
                                         bool* answered) const {
  *answered = false;
  if (name.empty() || name.back() == '.' || name.back() == ' ') return nullptr;
  // The spellings of the name, in byte order.
  const auto [first, last] = SpellingRange(name);
  if (first == last) {
    *answered = !HasHighByte(name);
    return nullptr;
  }
  *answered = true;
  const FindEntry* found = &entries_[*first];
  for (auto it = first; it != last; ++it) {
    if (entries_[*it].name == name) {
      found = &entries_[*it];
      break;
    }
  }
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
                                               TellsContent(result), result == kErrPathNotFound);
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
