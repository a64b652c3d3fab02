// Resource and control ids of the search dialog (template 2000) and the
// copy dialog (template 3000). Read by the resource compiler and by the
// dialogs' code, so both always agree.
#pragma once

#define IDD_SEARCH_PROGRESS 2000
#define IDC_SEARCH_STATUS 2001
#define IDC_PROGRESS_BAR 2002
#define IDB_CANCEL 2

#define IDD_COPY_PROGRESS 3000
#define IDC_COPY_PATH 3001
#define IDC_COPY_TO_PATH 3002
#define IDC_COPY_SIZE 3003
#define IDC_COPY_TO_SIZE 3004
#define IDC_COPY_STAMP 3005
#define IDC_COPY_TO_STAMP 3006
#define IDC_INTERRUPT 2003
#define IDB_INTERRUPT 2003
