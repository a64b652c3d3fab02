#include "ui/overview/overview_warning.h"

#include <utility>

namespace tolvex::overview {

namespace {

WarningSource& Source() {
  static WarningSource source;
  return source;
}

WarningSource& QuestionSource() {
  static WarningSource source;
  return source;
}

}  // namespace

void SetOverviewWarningSource(WarningSource source) { Source() = std::move(source); }

const WarningSource& OverviewWarningSource() { return Source(); }

void SetOverviewQuestionSource(WarningSource source) { QuestionSource() = std::move(source); }

const WarningSource& OverviewQuestionSource() { return QuestionSource(); }

}  // namespace tolvex::overview
