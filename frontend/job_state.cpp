#include "frontend/job_state.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "frontend/job_file.h"
#include "frontend/value_forms.h"
#include "include/tolvex32.h"
#include "platform/dos_stamp.h"

namespace tolvex::frontend {

namespace {

constexpr const char kStateSection[] = "State";
constexpr const char kGenerationsSection[] = "Generations";
// The key of Destination itself (VaryMode none) in [Generations].
constexpr const char kDestinationItself[] = "Destination";
constexpr const char kStateKey[] = "LastUpdate";
constexpr std::string_view kUtcSuffix = " UTC";

std::chrono::year_month_day DateOf(int year, int month, int day) {
  return std::chrono::year_month_day{std::chrono::year{year},
                                     std::chrono::month{static_cast<unsigned>(month)},
                                     std::chrono::day{static_cast<unsigned>(day)}};
}

// The stamp `minutes` later (earlier when negative), on the calendar.
uint32_t ShiftStamp(uint32_t stamp, int32_t minutes) {
  if (!IsValidStamp(stamp) || minutes == 0) return stamp;
  const LocalTime t = UnpackStamp(stamp);
  using namespace std::chrono;
  const sys_seconds moment = sys_days{DateOf(t.year, t.month, t.day)} + hours{t.hour} +
                             std::chrono::minutes{t.minute + minutes} + seconds{t.second};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss<seconds> clock{moment - day};
  LocalTime shifted;
  shifted.year = static_cast<int>(date.year());
  shifted.month = static_cast<int>(static_cast<unsigned>(date.month()));
  shifted.day = static_cast<int>(static_cast<unsigned>(date.day()));
  shifted.hour = static_cast<int>(clock.hours().count());
  shifted.minute = static_cast<int>(clock.minutes().count());
  shifted.second = static_cast<int>(clock.seconds().count());
  return PackStamp(shifted);
}

void ResolveLastUpdate(Job* job) {
  Setting& last_update = job->Get("LastUpdate");
  if (last_update.line != 0) return;
  const std::string state_path = StatePathOf(job->path);
  std::string warning;
  const auto recorded = ReadStateLastUpdate(state_path, &warning);
  if (recorded) {
    last_update.number = *recorded;
    last_update.note = "from " + state_path;
  } else {
    last_update.number = 0;
    last_update.note = warning.empty() ? "no earlier run recorded" : warning;
  }
}

void ResolveMidnight(Job* job, const LocalTime& now) {
  Setting& midnight = job->Get("Midnight");
  if (!midnight.is_auto) return;
  const bool set = IsShortlyAfterMidnight(now, job->Get("LastUpdate").number);
  midnight.number = set ? 1 : 0;
  midnight.note = set ? "auto: before 01:00, last update yesterday" : "auto";
}

void ResolveWeekday(Job* job, const LocalTime& now) {
  Setting& weekday = job->Get("Weekday");
  if (weekday.line != 0) return;
  weekday.text = WeekdayName(now.weekday);
  weekday.note = "today";
}

// The engine tells of a failed copy through CopyErrorProc only when asked
// to; the command always asks, so that it learns of every failure whatever
// the log does, and answers skip where the job did not ask to be consulted.
void ResolveWarnings(Job* job) {
  Setting& warnings = job->Get("Warnings");
  job->silent_copy_errors = (warnings.number & TOLVEX_WARN_ASK) == 0;
  if (job->silent_copy_errors) {
    warnings.number |= TOLVEX_WARN_ASK;
    warnings.note = "0x40 added: the command hears of each failed copy and skips it";
  }
}

}  // namespace

std::string StatePathOf(const std::string& job_path) { return job_path + ".state"; }

std::string SyncStatePathOf(const std::string& job_path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(job_path + ".sync", error);
  return error ? job_path + ".sync" : absolute.lexically_normal().string();
}

std::optional<uint32_t> ReadStateLastUpdate(const std::string& state_path, std::string* warning) {
  std::string text;
  if (!ReadWholeFile(state_path, &text)) return std::nullopt;
  std::vector<IniSection> sections;
  JobErrors faults;
  ReadIni(state_path, text, &sections, &faults);
  if (faults.empty()) {
    for (const IniSection& section : sections) {
      if (section.name != kStateSection) continue;
      for (const IniLine& line : section.lines) {
        if (line.key != kStateKey) continue;
        // Recorded in UTC since the time zone of a run may change (a
        // timer with another TZ, travel); older files hold local time.
        std::string value = line.value;
        const bool utc = value.size() > kUtcSuffix.size() &&
                         value.compare(value.size() - kUtcSuffix.size(), kUtcSuffix.size(),
                                       kUtcSuffix) == 0;
        if (utc) value.resize(value.size() - kUtcSuffix.size());
        if (const auto stamp = ParseDate(value)) {
          return utc ? ShiftStamp(*stamp, Sys().LocalOffsetMinutes()) : *stamp;
        }
      }
    }
  }
  *warning = state_path + " holds no LastUpdate; every pair counts as changed";
  return std::nullopt;
}

namespace {

// The state file's sections as read (none when there is no file or it cannot
// be understood).
std::vector<IniSection> ReadStateSections(const std::string& state_path) {
  std::string text;
  std::vector<IniSection> sections;
  if (!ReadWholeFile(state_path, &text)) return sections;
  JobErrors faults;
  ReadIni(state_path, text, &sections, &faults);
  if (!faults.empty()) sections.clear();
  return sections;
}

// The value of `key` in `section`, as written ("" when absent).
std::string RawValue(const std::vector<IniSection>& sections, const char* section,
                     const char* key) {
  for (const IniSection& each : sections) {
    if (each.name != section) continue;
    for (const IniLine& line : each.lines) {
      if (line.key == key) return line.value;
    }
  }
  return "";
}

std::string UtcText(uint32_t local_stamp) {
  return FormatStamp(ShiftStamp(local_stamp, -Sys().LocalOffsetMinutes())) + std::string(kUtcSuffix);
}

// Writes the whole state file under a temporary name and renames it.
// `last_update` as written ("" leaves the key out); `generations` as key =
// value lines.
bool WriteStateFile(const std::string& state_path, const std::string& last_update,
                    const std::vector<std::pair<std::string, std::string>>& generations,
                    std::string* error) {
  const std::string temporary = state_path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << "; Written by tolvex after each run of the job beside it that completed with nothing failed.\n"
        << "[" << kStateSection << "]\n";
    if (!last_update.empty()) out << kStateKey << " = " << last_update << "\n";
    if (!generations.empty()) {
      out << "; When a run last completed into each generation folder (tolvex list).\n"
          << "[" << kGenerationsSection << "]\n";
      for (const auto& [name, value] : generations) out << name << " = " << value << "\n";
    }
    out.close();
    if (!out) {
      *error = "cannot write " + temporary;
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code rename_error;
  std::filesystem::rename(temporary, state_path, rename_error);  // replaces on Windows too
  if (rename_error) {
    *error = "cannot rename " + temporary + " to " + state_path;
    return false;
  }
  return true;
}

std::vector<std::pair<std::string, std::string>> GenerationLines(
    const std::vector<IniSection>& sections) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const IniSection& section : sections) {
    if (section.name != kGenerationsSection) continue;
    for (const IniLine& line : section.lines) {
      if (line.has_equals) lines.emplace_back(line.key, line.value);
    }
  }
  return lines;
}

}  // namespace

bool WriteState(const std::string& state_path, uint32_t run_start, std::string* error) {
  return WriteStateFile(state_path, UtcText(run_start), GenerationLines(ReadStateSections(state_path)),
                        error);
}

GenerationTimes ReadGenerationTimes(const std::string& state_path) {
  GenerationTimes times;
  for (const auto& [name, value] : GenerationLines(ReadStateSections(state_path))) {
    std::string text = value;
    const bool utc = text.size() > kUtcSuffix.size() &&
                     text.compare(text.size() - kUtcSuffix.size(), kUtcSuffix.size(), kUtcSuffix) == 0;
    if (utc) text.resize(text.size() - kUtcSuffix.size());
    if (const auto stamp = ParseDate(text)) {
      times[name == kDestinationItself ? "" : name] =
          utc ? ShiftStamp(*stamp, Sys().LocalOffsetMinutes()) : *stamp;
    }
  }
  return times;
}

bool WriteGenerationTimes(const std::string& state_path, const GenerationTimes& times,
                          std::string* error) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const auto& [name, stamp] : times) {
    lines.emplace_back(name.empty() ? kDestinationItself : name, UtcText(stamp));
  }
  return WriteStateFile(state_path, RawValue(ReadStateSections(state_path), kStateSection, kStateKey),
                        lines, error);
}

bool IsShortlyAfterMidnight(const LocalTime& now, uint32_t last_update) {
  if (now.hour >= 1 || last_update == 0) return false;
  const LocalTime last = UnpackStamp(last_update);
  const auto yesterday = std::chrono::year_month_day{
      std::chrono::sys_days{DateOf(now.year, now.month, now.day)} - std::chrono::days{1}};
  return DateOf(last.year, last.month, last.day) == yesterday;
}

std::string WeekdayName(int weekday) {
  static const char* names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                "Thursday", "Friday", "Saturday"};
  return weekday >= 0 && weekday < 7 ? names[weekday] : "Sunday";
}

void ResolveRunValues(Job* job, const LocalTime& now) {
  const std::string absolute_job =
      AbsoluteFolderOf(job->path) + "/" + std::filesystem::path(job->path).filename().string();
  for (const std::string& file : {absolute_job, StatePathOf(absolute_job), SyncStatePathOf(absolute_job)}) {
    for (std::string& own : job->drives.DriveFormsOf(file)) job->own_files.push_back(std::move(own));
  }
  ResolveLastUpdate(job);
  ResolveMidnight(job, now);
  ResolveWeekday(job, now);
  ResolveWarnings(job);
}

}  // namespace tolvex::frontend
