// Conflicts: pairs judged from both sides with one stamp and other sizes.
// Each file of such a pair gives a candidate flagged STATE_CONFLICT that
// would copy it over the other; carrying out both destroys one version and
// copies back what was just written.
#pragma once

#include <cstddef>
#include <optional>

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex {

// After the scan. Without confirmation (ConfirmMode 0) no conflict is
// carried out: both candidates get STATE_IGNORE, every run until the pair
// is settled by hand. Each conflict is reported once in `findings` (kind
// TOLVEX_REPORT_CONFLICT) with the path of its source-side file.
void SettleConflicts(const TParameters& parameters, Plan& plan);

// The other candidate of the conflict pair of candidate `index` (the one
// whose file is this candidate's counterpart); nothing when there is none.
// Reads candidates, dirList and counterpartList; the ordering may have
// moved both.
std::optional<size_t> ConflictPartnerOf(const Plan& plan, size_t index);

}  // namespace tolvex
