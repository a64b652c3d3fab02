#include "ui/overview/overview_statistics.h"

#include <cstdio>
#include <utility>

namespace tolvex::overview {

namespace {

constexpr double kMegabyte = 1048576.0;

std::string CountsText(uint32_t count, uint32_t new_files) {
  char text[48];
  std::snprintf(text, sizeof text, "%lu / %lu", static_cast<unsigned long>(count),
                static_cast<unsigned long>(new_files));
  return text;
}

// How the figures of the space text are written: at most `digits` before
// the point in a unit (0: no limit, megabytes only), else in the next one
// (MB, GB, TB), with `copyDecimals` and `driveDecimals` after it.
struct SpaceForm {
  int digits;
  int copyDecimals;
  int driveDecimals;
};

constexpr SpaceForm kFullForm = {0, 3, 1};
constexpr SpaceForm kShorterForms[] = {{4, 3, 1}, {3, 3, 1}, {3, 1, 0}};

int DigitsBeforePoint(const char* text) {
  int digits = 0;
  for (const char* c = text; *c && *c != '.'; ++c) digits += *c >= '0' && *c <= '9' ? 1 : 0;
  return digits;
}

// A figure of `megabytes` in the first unit where it fits `digits`: the
// copy's "%.3lf MB", a drive's signed "%+.1lfMB", with the form's decimals.
std::string FigureText(double megabytes, int digits, int decimals, bool drive) {
  static const char* const kUnits[] = {"MB", "GB", "TB"};
  double value = megabytes;
  for (int unit = 0;; ++unit) {
    char text[64];
    std::snprintf(text, sizeof text, drive ? "%+.*f" : "%.*f", decimals, value);
    if (digits == 0 || unit == 2 || DigitsBeforePoint(text) <= digits) {
      return std::string(text) + (drive ? "" : " ") + kUnits[unit];
    }
    value /= 1024.0;
  }
}

std::string DriveSpaceText(char drive, int64_t available, int64_t needed, const SpaceForm& form) {
  // Both figures are far below 2^62, so the difference cannot overflow.
  const double keeps = static_cast<double>(available - needed) / kMegabyte;
  return std::string("   ") + drive + ": " + FigureText(keeps, form.digits, form.driveDecimals, true);
}

std::string SpaceText(const Plan& p, const SpaceForm& form) {
  std::string text =
      FigureText(static_cast<double>(p.CopyBytes) / kMegabyte, form.digits, form.copyDecimals, false);
  if (p.SourceDrive != p.DestinationDrive) {
    text += DriveSpaceText(p.SourceDrive, p.AvailSrc, p.NeedSrc, form);
  }
  return text + DriveSpaceText(p.DestinationDrive, p.AvailDest, p.NeedDest, form);
}

// The first action bit set, tested in the order Ignore, Erase, Normal,
// Invert; 0 when none is.
uint16_t CountingAction(uint16_t state) {
  for (uint16_t action : {STATE_IGNORE, STATE_ERASE, STATE_NORMAL, STATE_INVERT}) {
    if (state & action) return action;
  }
  return 0;
}

}  // namespace

std::string MegabytesText(uint64_t bytes) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3lf MB", static_cast<double>(bytes) / kMegabyte);
  return text;
}

std::string TotalText(int32_t total, int32_t orphans) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld Total, %ld Orphans", static_cast<long>(total),
                static_cast<long>(orphans));
  return text;
}

StatisticsTexts StatisticsTextsOf(const Plan& p) {
  StatisticsTexts texts;
  texts.toDestination = CountsText(p.CountToDest, p.NewOnDest);
  texts.toSource = CountsText(p.CountToSrc, p.NewOnSrc);
  texts.space = SpaceText(p, kFullForm);
  for (const SpaceForm& form : kShorterForms) {
    std::string shorter = SpaceText(p, form);
    const std::string& before = texts.shorterSpaces.empty() ? texts.space : texts.shorterSpaces.back();
    if (shorter != before) texts.shorterSpaces.push_back(std::move(shorter));
  }
  return texts;
}

std::string SpaceTextThatFits(const StatisticsTexts& texts, TextMeasure& measure, int room) {
  if (measure.Width(texts.space) <= room) return texts.space;
  for (const std::string& shorter : texts.shorterSpaces) {
    if (measure.Width(shorter) <= room) return shorter;
  }
  return texts.shorterSpaces.empty() ? texts.space : texts.shorterSpaces.back();
}

void CountGroupStatistics(std::vector<FOLDER>& folders, const std::vector<CANDIDATE>& plan) {
  const int32_t n = static_cast<int32_t>(plan.size());
  for (FOLDER& g : folders) {
    int32_t forward = 0, backward = 0, forward_orphans = 0, backward_orphans = 0;
    uint64_t bytes = 0;
    for (int32_t i = g.first < 0 ? 0 : g.first; i <= g.last && i < n; ++i) {
      const CANDIDATE& c = plan[i];
      const uint16_t action = CountingAction(c.state);
      if (action != STATE_NORMAL && action != STATE_INVERT) continue;
      const bool dest_side = (c.state & STATE_DEST_SIDE) != 0;
      const bool into_destination = (action == STATE_NORMAL) != dest_side;
      const bool orphan = c.counterSize == 0;
      if (into_destination) {
        ++forward;
        if (orphan) ++forward_orphans;
      } else {
        ++backward;
        if (orphan) ++backward_orphans;
      }
      // The bytes of the file that is copied: the scanned-side file for
      // Normal, the counterpart for Invert. (Adding `size` forward and
      // `counterSize` backward would show 0 MB for a group of files found
      // only in the destination tree and copied back.)
      bytes += action == STATE_NORMAL ? c.size : c.counterSize;
    }
    g.SetStatistics(forward, backward, forward_orphans, backward_orphans, bytes);
  }
}

}  // namespace tolvex::overview
