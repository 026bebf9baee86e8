#pragma once

#include "win32/types.h"

#include <cstdint>

// The window messages, hit-test codes and version checks of frameless windows.
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void *HWND;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_POWERBROADCAST 0x0218

#define PBT_APMSUSPEND 0x0004
#define PBT_APMRESUMEAUTOMATIC 0x0012

#define HTCLIENT 1
#define HTLEFT 10
#define HTRIGHT 11
#define HTTOP 12
#define HTTOPLEFT 13
#define HTTOPRIGHT 14
#define HTBOTTOM 15
#define HTBOTTOMLEFT 16
#define HTBOTTOMRIGHT 17

#define LOWORD(l) (static_cast<WORD>(static_cast<uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<uintptr_t>(l) >> 16) & 0xffff))
#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))

// Whether the handle names a window. Here: with Qt on X11 (xcb), whether the id names a window on
// the display in DISPLAY, asked over a connection of its own so that a wrong id brings no error
// to Qt's; on other platforms any non-zero id, leaving the judgement to Qt.
BOOL IsWindow(HWND hWnd);

// Version helpers; here no Windows version is running (0.0) unless one is simulated.
BOOL IsWindowsVersionOrGreater(WORD majorVersion, WORD minorVersion, WORD servicePackMajor);
BOOL IsWindows7OrGreater();
BOOL IsWindows8OrGreater();

// Stand-in only: the Windows version the helpers above report (0, 0 = not Windows).
void setSimulatedWindowsVersion(WORD majorVersion, WORD minorVersion);

// The window station of the process and whether it is visible, that is whether a window shown
// by the process can be seen and answered (not so for a service or a scheduled task). Here the
// station is visible when Qt's platform can show windows to a person: the X11 default with
// DISPLAY set, Wayland with WAYLAND_DISPLAY set, or another on-screen platform named by
// QT_QPA_PLATFORM; the offscreen and minimal platforms are not.
typedef void *HWINSTA;
#define UOI_FLAGS 1
#define WSF_VISIBLE 0x0001u

typedef struct tagUSEROBJECTFLAGS {
    BOOL fInherit;
    BOOL fReserved;
    DWORD dwFlags;
} USEROBJECTFLAGS, *PUSEROBJECTFLAGS;

HWINSTA GetProcessWindowStation();
// Only UOI_FLAGS of the process's window station is known; anything else fails.
BOOL GetUserObjectInformationW(HANDLE hObj, int nIndex, LPVOID pvInfo, DWORD nLength, DWORD *lpnLengthNeeded);
