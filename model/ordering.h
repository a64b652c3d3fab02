// Ordering and grouping of the update plan: `candidates` is sorted by one key
// (SortMode, Reverse) and then cut into `groups` of consecutive candidates
// that share a key, with alternating band bits. The run does both once after
// the scan; the overview dialog does both again whenever the user changes the
// order.
#pragma once

#include <cstdint>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/records.h"

namespace tolvex {

// The comes-before predicate of the ordering: one key per SortMode, no
// secondary key, a strict weak ordering in every mode.
//   0 path  dirIndex ascending          3 size  size descending (largest first)
//   1 name  name by CompareText         4 date  stamp descending (newest first)
//   2 type  extension by CompareText
// `reverse` inverts the comparison. Any other mode makes no candidate come
// before another.
bool CandidateComesBefore(const CANDIDATE& a, const CANDIDATE& b, int32_t sort_mode,
                          bool reverse);

// Sorts `candidates` with the predicate. The sort is stable, so candidates
// with equal keys keep their relative order (files of one folder stay in scan
// order); an unknown SortMode leaves the list as it is.
void OrderCandidates(const TParameters& parameters, Plan& plan);

// Rebuilds `groups` from the current order of `candidates`: one FOLDER per
// run of equal keys (title, first, last, zero statistics, STATE_NORMAL), and
// STATE_BAND of every candidate rewritten: clear in the first group, set in
// the second, and so on. Actions and order are not touched. Reads `dirList`
// for the path headers. An empty list or an unknown SortMode builds no group.
void GroupCandidates(const TParameters& parameters, Plan& plan);

// OrderCandidates, then GroupCandidates.
void OrderAndGroup(const TParameters& parameters, Plan& plan);

// The size class of a size: -1 for 0 bytes, otherwise the number of decimal
// digits minus 1 (exact at every power of ten; up to 19 for 64-bit sizes).
int SizeClass(uint64_t size);
// The group header of a size class ("0 Byte", "1 ... 9 Byte", ...); classes
// 9 and above share "Larger than 1000.000.000 Byte".
std::string SizeClassTitle(int size_class);

}  // namespace tolvex
