#include "ui/overview/overview_warning.h"

#include <utility>

namespace tolvex::overview {

namespace {

std::function<std::string()>& Source() {
  static std::function<std::string()> source;
  return source;
}

std::function<std::string()>& QuestionSource() {
  static std::function<std::string()> source;
  return source;
}

}  // namespace

void SetOverviewWarningSource(std::function<std::string()> source) { Source() = std::move(source); }

const std::function<std::string()>& OverviewWarningSource() { return Source(); }

void SetOverviewQuestionSource(std::function<std::string()> source) {
  QuestionSource() = std::move(source);
}

const std::function<std::string()>& OverviewQuestionSource() { return QuestionSource(); }

}  // namespace tolvex::overview
