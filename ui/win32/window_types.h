// The Windows types that the Win32 views' headers exchange, declared here
// exactly as <windows.h> declares them (handles as distinct pointer types,
// as with STRICT, which MinGW-w64 defines by default). The views' headers
// include this instead of <windows.h>, so that its macros (DeleteFile,
// CopyFile, min, max) reach no file that includes a view; each .cpp that
// calls the API includes <windows.h> itself, and a declaration here that
// differed from it would not compile there.
#pragma once

struct HWND__;
struct HINSTANCE__;
struct HDC__;
struct HBITMAP__;
struct HFONT__;
struct tagDRAWITEMSTRUCT;

typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct HDC__* HDC;
typedef struct HBITMAP__* HBITMAP;
typedef struct HFONT__* HFONT;
typedef struct tagDRAWITEMSTRUCT DRAWITEMSTRUCT;

typedef unsigned long DWORD;
typedef DWORD COLORREF;
typedef unsigned int UINT;
#ifdef _WIN64
typedef long long INT_PTR;
typedef unsigned long long UINT_PTR;
typedef long long LONG_PTR;
#else
typedef int INT_PTR;
typedef unsigned int UINT_PTR;
typedef long LONG_PTR;
#endif
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
