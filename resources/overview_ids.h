// Resource and control ids of the overview dialog (template 1000). Read by
// the resource compiler and by the dialog's code, so both always agree.
#pragma once

#define IDD_OVERVIEW 1000

// The indicator bar: owner-drawn statics that do not notify.
#define IDC_GROUP_VIEW 1002
#define IDC_COMPACT_VIEW 1003
#define IDC_DETAILED_VIEW 1004
#define IDC_SORT_FOLDER 1005
#define IDC_SORT_NAME 1006
#define IDC_SORT_TYPE 1007
#define IDC_SORT_SIZE 1008
#define IDC_SORT_DATE 1009
#define IDC_REVERSE_OFF 1010
#define IDC_REVERSE_ON 1011
#define IDC_SIZE_FILTER 1012
#define IDC_DOUBLE_FILTER 1013

// Statistics texts and the list.
#define IDC_TO_DEST_COUNTS 1015
#define IDC_TO_SOURCE_COUNTS 1016
#define IDC_SPACE_TEXT 1017
#define IDC_PLAN_LIST 1018

// Push buttons; each button's glyph has the button's id, its disabled
// glyph the next number.
#define IDC_NORMAL 1020
#define IDB_NORMAL_DISABLED 1021
#define IDC_IGNORE 1022
#define IDB_IGNORE_DISABLED 1023
#define IDC_ERASE 1024
#define IDB_ERASE_DISABLED 1025
#define IDC_INVERT 1026
#define IDB_INVERT_DISABLED 1027
#define IDC_VIEW 1028
#define IDB_VIEW_DISABLED 1029
#define IDC_PREVIOUS_BLOCK 1030
#define IDC_NEXT_BLOCK 1032
#define IDC_PRINT 1035
#define IDB_PRINT_DISABLED 1036
#define IDC_HELP_BUTTON 9
#define IDB_OK 1
#define IDB_HELP 9

// Image strips and pictures.
#define IDB_INDICATOR_STRIP 1041
#define IDB_ROW_STRIP 1042
#define IDB_WHITE_PAGE 1043
#define IDB_BLACK_PAGE 1044
