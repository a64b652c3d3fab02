#include "frontend/job_report.h"

#include <cstdio>
#include <iomanip>
#include <variant>

#include "frontend/value_forms.h"

namespace tolvex::frontend {

namespace {

constexpr int kNameColumn = 20;

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// What the engine value means, where a number alone does not say it.
std::string Meaning(const Setting& setting, const DriveMap& drives) {
  switch (setting.rule->form) {
    case ValueForm::kFolderPath:
    case ValueForm::kFilePath:
      return setting.text.empty() ? "" : drives.ToNative(setting.text);
    case ValueForm::kDate: return FormatStamp(setting.number);
    case ValueForm::kColour: return FormatColour(setting.number);
    case ValueForm::kSeparator: return std::string("'") + static_cast<char>(setting.number) + "'";
    case ValueForm::kNumber:
    case ValueForm::kBits: return NameOfValue(*setting.rule, setting.number);
    case ValueForm::kEraseLimit:
      return "MaxErase " + FormatEraseLimit(EraseLimit{static_cast<int32_t>(setting.number),
                                                       setting.percent});
    default: return "";
  }
}

void Line(std::ostream& out, const std::string& call, const std::string& value,
          const std::string& comment) {
  if (value.empty()) {
    out << call << "\n";
    return;
  }
  out << std::left << std::setw(kNameColumn) << call << value;
  if (!comment.empty()) out << "   ; " << comment;
  out << "\n";
}

}  // namespace

std::string EngineValueText(const Setting& setting) {
  switch (setting.rule->kind()) {
    case SetterKind::kText: return "\"" + setting.text + "\"";
    case SetterKind::kUnsigned: return Hex(setting.number, 8);
    case SetterKind::kEraseLimit:
      return std::to_string(static_cast<int32_t>(setting.number)) + ", " +
             std::to_string(setting.percent);
    case SetterKind::kInt:
      if (setting.rule->key == std::string("Attributes") ||
          setting.rule->key == std::string("Warnings")) {
        return Hex(setting.number, 2);
      }
      return std::to_string(static_cast<int32_t>(setting.number));
  }
  return "";
}

void PrintResolvedJob(const Job& job, std::ostream& out) {
  out << "; Job " << job.path << " as the engine gets it\n";
#if !defined(_WIN32)
  out << "; TOLVEX_DRIVES=" << job.drives.EnvironmentValue() << "\n";
  for (const Drive& drive : job.drives.drives()) {
    out << ";   " << drive.letter << ": = " << drive.folder
        << (drive.automatic ? "   (file system of a path in the job)" : "   ([Drives])") << "\n";
  }
#endif
  for (int list = 0; list < kListCount; ++list) {
    const bool folders = list == kDIncl || list == kDExcl;
    Line(out, ExportName(kListExports[list].clear), "", "");
    for (const std::string& entry : job.lists[list]) {
      Line(out, ExportName(kListExports[list].add), "\"" + entry + "\"",
           folders ? job.drives.ToNative(entry) : "");
    }
  }
  for (const Setting& setting : job.settings) {
    std::string comment = Meaning(setting, job.drives);
    const std::string origin =
        setting.line > 0 ? "line " + std::to_string(setting.line) : setting.note;
    if (!origin.empty()) comment += (comment.empty() ? "" : ", ") + origin;
    const char* setter = std::visit([](auto slot) { return ExportName(slot); }, setting.rule->setter);
    Line(out, setter, EngineValueText(setting), comment);
  }
}

}  // namespace tolvex::frontend
