// The controls of the overview dialog, by the ids of its template (1000).
// The presenter, the Win32 dialog and the terminal view all name a control
// by these ids; the template in resources/ carries the same numbers.
#pragma once

namespace tolvex::overview {

enum ControlId : int {
  kOk = 1,
  kCancel = 2,
  kHelp = 9,
  // The indicator bar: owner-drawn statics that do not notify.
  kIndicatorGroupView = 1002,     // DisplayMode 0
  kIndicatorCompactView = 1003,   // DisplayMode 2
  kIndicatorDetailedView = 1004,  // DisplayMode 1
  kIndicatorSortFirst = 1005,     // SortMode 0 (folder) ... 1009 (date)
  kIndicatorSortLast = 1009,
  kIndicatorReverseOff = 1010,
  kIndicatorReverseOn = 1011,
  kIndicatorSizeFilter = 1012,
  kIndicatorDoubleFilter = 1013,
  kIndicatorFirst = kIndicatorGroupView,
  kIndicatorLast = kIndicatorDoubleFilter,
  // Statistics texts.
  kToDestinationCounts = 1015,  // beside the white page
  kToSourceCounts = 1016,       // beside the black page
  kSpaceText = 1017,
  kList = 1018,
  // Push buttons.
  kNormal = 1020,
  kIgnore = 1022,
  kErase = 1024,
  kInvert = 1026,
  kView = 1028,
  kPreviousBlock = 1030,
  kNextBlock = 1032,
  kPrint = 1035,
  // Pictures without a control id of their own.
  kWhitePageBitmap = 1043,
  kBlackPageBitmap = 1044,
  // Image strips.
  kIndicatorStrip = 1041,
  kRowStrip = 1042,
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
