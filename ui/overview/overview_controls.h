// The controls of the overview dialog, by the ids of its template (1000).
// The presenter, the Win32 dialog and the terminal view all name a control
// by these ids, which come from the template's own header.
#pragma once

#include "resources/overview_ids.h"

namespace tolvex::overview {

enum ControlId : int {
  kOk = 1,      // IDOK
  kCancel = 2,  // IDCANCEL
  kHelp = IDC_HELP_BUTTON,
  // The indicator bar: owner-drawn statics that do not notify.
  kIndicatorGroupView = IDC_GROUP_VIEW,     // DisplayMode 0
  kIndicatorCompactView = IDC_COMPACT_VIEW,   // DisplayMode 2
  kIndicatorDetailedView = IDC_DETAILED_VIEW,  // DisplayMode 1
  kIndicatorSortFirst = IDC_SORT_FOLDER,     // SortMode 0 (folder) ... 1009 (date)
  kIndicatorSortLast = IDC_SORT_DATE,
  kIndicatorReverseOff = IDC_REVERSE_OFF,
  kIndicatorReverseOn = IDC_REVERSE_ON,
  kIndicatorSizeFilter = IDC_SIZE_FILTER,
  kIndicatorDoubleFilter = IDC_DOUBLE_FILTER,
  kIndicatorFirst = kIndicatorGroupView,
  kIndicatorLast = kIndicatorDoubleFilter,
  // Statistics texts.
  kToDestinationCounts = IDC_TO_DEST_COUNTS,  // beside the white page
  kToSourceCounts = IDC_TO_SOURCE_COUNTS,       // beside the black page
  kSpaceText = IDC_SPACE_TEXT,
  kList = IDC_PLAN_LIST,
  // Push buttons.
  kNormal = IDC_NORMAL,
  kIgnore = IDC_IGNORE,
  kErase = IDC_ERASE,
  kInvert = IDC_INVERT,
  kView = IDC_VIEW,
  kPreviousBlock = IDC_PREVIOUS_BLOCK,
  kNextBlock = IDC_NEXT_BLOCK,
  kPrint = IDC_PRINT,
  // Pictures without a control id of their own.
  kWhitePageBitmap = IDB_WHITE_PAGE,
  kBlackPageBitmap = IDB_BLACK_PAGE,
  // Image strips.
  kIndicatorStrip = IDB_INDICATOR_STRIP,
  kRowStrip = IDB_ROW_STRIP,
};

// The views (DisplayMode values).
inline constexpr int kGroupView = 0;
inline constexpr int kDetailedView = 1;
inline constexpr int kCompactView = 2;

// The help file and topic of the Help button.
inline constexpr const char kHelpFile[] = "Tolvex32.hlp";
inline constexpr unsigned kHelpContext = 4320;

// Where the dialog's position is kept between runs.
inline constexpr const char kProfileFile[] = "Tolvex32.ini";
inline constexpr const char kProfileSection[] = "Overview Dialog";

}  // namespace tolvex::overview
