#include "model/ordering.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "platform/text_rules.h"

namespace tolvex {

namespace {

enum : int32_t {
  kByPath = TOLVEX_SORT_BY_FOLDER,
  kByName = TOLVEX_SORT_BY_NAME,
  kByType = TOLVEX_SORT_BY_TYPE,
  kBySize = TOLVEX_SORT_BY_SIZE,
  kByDate = TOLVEX_SORT_BY_DATE,
};

// Sizes of 1 000 000 000 bytes and more form one group, however many digits
// a 64-bit size has.
constexpr int kLargestSizeClass = 9;

bool IsKnownSortMode(int32_t mode) { return mode >= kByPath && mode <= kByDate; }

template <typename T>
int ThreeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Negative when a comes before b in the mode's own direction (Reverse off).
int KeyOrder(const CANDIDATE& a, const CANDIDATE& b, int32_t sort_mode) {
  switch (sort_mode) {
    case kByPath: return ThreeWay(a.dirIndex, b.dirIndex);
    case kByName: return CompareText(a.name, b.name);
    case kByType: return CompareText(a.extension, b.extension);
    case kBySize: return ThreeWay(b.size, a.size);    // largest first
    case kByDate: return ThreeWay(b.stamp, a.stamp);  // newest first
    default: return 0;
  }
}

// What decides group membership: `text` in the name and type modes (the
// upper-cased initial, the upper-cased extension), `number` in the others
// (dirIndex, size class, date word).
struct GroupKey {
  std::string text;
  int64_t number = 0;
};

GroupKey KeyOf(const CANDIDATE& candidate, int32_t sort_mode) {
  GroupKey key;
  switch (sort_mode) {
    case kByPath: key.number = candidate.dirIndex; break;
    case kByName: {
      const std::string upper = Sys().UpperCase(candidate.name);
      key.text = upper.empty() ? upper : upper.substr(0, CharacterLength(upper, 0, kNativeText));
      break;
    }
    case kByType: key.text = Sys().UpperCase(candidate.extension); break;
    case kBySize: key.number = std::min(SizeClass(candidate.size), kLargestSizeClass); break;
    case kByDate: key.number = candidate.stamp >> 16; break;  // time of day ignored
    default: break;
  }
  return key;
}

bool KeysDiffer(const GroupKey& a, const GroupKey& b, int32_t sort_mode) {
  switch (sort_mode) {
    case kByName: return a.text != b.text;
    // The type groups compare their keys the way the system compares texts.
    case kByType: return Sys().CompareExact(a.text, b.text) != 0;
    default: return a.number != b.number;
  }
}

std::string PathTitle(const std::vector<STRING>& dirList, int32_t dir_index) {
  // A candidate always points into dirList; an index outside it still gets
  // a header rather than a read past the list.
  if (dir_index < 0 || static_cast<size_t>(dir_index) >= dirList.size()) return "Path ";
  return "Path " + dirList[static_cast<size_t>(dir_index)].text();
}

std::string TitleOf(const CANDIDATE& candidate, const GroupKey& key, const TParameters& parameters,
                    const Plan& plan) {
  switch (parameters.SortMode) {
    case kByPath: return PathTitle(plan.dirList, candidate.dirIndex);
    case kByName: return key.text.empty() ? "<without name>" : "Name " + key.text + "...";
    case kByType: return key.text.empty() ? "<without type>" : "Type " + key.text;
    case kBySize: return SizeClassTitle(static_cast<int>(key.number));
    case kByDate: return "Of " + StampDateText(candidate.stamp, parameters.DateSeparator);
    default: return std::string();
  }
}

// Each group ends where the next begins; the last ends at the list's end.
void CloseGroups(std::vector<FOLDER>& groups, size_t candidate_count) {
  for (size_t k = 0; k + 1 < groups.size(); ++k) groups[k].last = groups[k + 1].first - 1;
  if (!groups.empty()) groups.back().last = static_cast<int32_t>(candidate_count) - 1;
}

}  // namespace

bool CandidateComesBefore(const CANDIDATE& a, const CANDIDATE& b, int32_t sort_mode,
                          bool reverse) {
  const int order = KeyOrder(a, b, sort_mode);
  return reverse ? order > 0 : order < 0;
}

void OrderCandidates(const TParameters& parameters, Plan& plan) {
  std::vector<CANDIDATE>& candidates = plan.candidates;
  const int32_t sort_mode = parameters.SortMode;
  if (!IsKnownSortMode(sort_mode)) return;
  const bool reverse = parameters.Reverse != 0;
  const auto before = [sort_mode, reverse](const CANDIDATE& a, const CANDIDATE& b) {
    return CandidateComesBefore(a, b, sort_mode, reverse);
  };
  // The scan appends in folder order, which the folder sort keeps.
  if (std::is_sorted(candidates.begin(), candidates.end(), before)) return;
  const size_t n = candidates.size();
  if (n > std::numeric_limits<uint32_t>::max()) {
    std::stable_sort(candidates.begin(), candidates.end(), before);
    return;
  }
  // Positions are sorted, not records: stable_sort's buffer would hold half
  // of the records (over 100 bytes each, a plan's largest single cost),
  // this one half of the positions (4 bytes each).
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&before, &candidates](uint32_t a, uint32_t b) {
    return before(candidates[a], candidates[b]);
  });
  // Position `at` takes the record from order[at]: each cycle of the
  // permutation is walked once, one record held aside.
  for (size_t start = 0; start < n; ++start) {
    if (order[start] == start) continue;
    CANDIDATE held = std::move(candidates[start]);
    size_t at = start;
    for (;;) {
      const size_t from = order[at];
      order[at] = static_cast<uint32_t>(at);
      if (from == start) {
        candidates[at] = std::move(held);
        break;
      }
      candidates[at] = std::move(candidates[from]);
      at = from;
    }
  }
}

void GroupCandidates(const TParameters& parameters, Plan& plan) {
  std::vector<CANDIDATE>& candidates = plan.candidates;
  std::vector<FOLDER>& groups = plan.groups;
  groups.clear();
  const int32_t sort_mode = parameters.SortMode;
  if (!IsKnownSortMode(sort_mode)) return;
  uint16_t band = STATE_BAND;
  GroupKey previous;
  bool have_previous = false;
  for (size_t i = 0; i < candidates.size(); ++i) {
    CANDIDATE& candidate = candidates[i];
    GroupKey key = KeyOf(candidate, sort_mode);
    if (!have_previous || KeysDiffer(key, previous, sort_mode)) {
      band ^= STATE_BAND;
      groups.emplace_back(TitleOf(candidate, key, parameters, plan), static_cast<int32_t>(i), 0, 0,
                          0, 0, 0, 0, STATE_NORMAL);
      previous = std::move(key);
      have_previous = true;
    }
    candidate.state = static_cast<uint16_t>((candidate.state & ~STATE_BAND) | band);
  }
  CloseGroups(groups, candidates.size());
}

void OrderAndGroup(const TParameters& parameters, Plan& plan) {
  OrderCandidates(parameters, plan);
  GroupCandidates(parameters, plan);
}

int SizeClass(uint64_t size) {
  if (size == 0) return -1;
  int size_class = 0;
  for (; size >= 10; size /= 10) ++size_class;
  return size_class;
}

std::string SizeClassTitle(int size_class) {
  static const char* const kTitles[] = {
      "0 Byte",
      "1 ... 9 Byte",
      "10 ... 99 Byte",
      "100 ... 999 Byte",
      "1.000 ... 9.999 Byte",
      "10.000 ... 99.999 Byte",
      "100.000 ... 999.999 Byte",
      "1.000.000 ... 9.999.999 Byte",
      "10.000.000 ... 99.999.999 Byte",
      "100.000.000 ... 999.999.999 Byte",
  };
  if (size_class >= kLargestSizeClass) return "Larger than 1000.000.000 Byte";
  return kTitles[size_class < 0 ? 0 : size_class + 1];
}

}  // namespace tolvex
