#include "platform/name_case.h"

#include "platform/text_rules.h"

namespace tolvex {

// The POSIX back end finds a name in another case by ASCII letters only.
std::string NameCaseKey(std::string_view name) { return AsciiUpperText(name); }

}  // namespace tolvex
