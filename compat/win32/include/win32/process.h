#pragma once

#include "win32/types.h"

// Process start-up and process counters.

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#ifndef ERROR_FILE_NOT_FOUND
#define ERROR_FILE_NOT_FOUND 2u
#endif
#ifndef ERROR_PATH_NOT_FOUND
#define ERROR_PATH_NOT_FOUND 3u
#endif
#ifndef ERROR_BAD_FORMAT
#define ERROR_BAD_FORMAT 11u
#endif

typedef struct _PROCESS_MEMORY_COUNTERS {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize;
    SIZE_T WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage;
    SIZE_T QuotaPagedPoolUsage;
    SIZE_T QuotaPeakNonPagedPoolUsage;
    SIZE_T QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage;
    SIZE_T PeakPagefileUsage;
} PROCESS_MEMORY_COUNTERS, *PPROCESS_MEMORY_COUNTERS;

typedef struct _PROCESS_MEMORY_COUNTERS_EX {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize;
    SIZE_T WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage;
    SIZE_T QuotaPagedPoolUsage;
    SIZE_T QuotaPeakNonPagedPoolUsage;
    SIZE_T QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage;
    SIZE_T PeakPagefileUsage;
    SIZE_T PrivateUsage;
} PROCESS_MEMORY_COUNTERS_EX, *PPROCESS_MEMORY_COUNTERS_EX;

// Starts the program of a Windows command line, detached. Returns a value above 31 when it
// started, ERROR_FILE_NOT_FOUND when the program cannot be found or has no interpreter here
// (a .bat/.cmd file), ERROR_BAD_FORMAT for an empty line. The show mode is ignored.
UINT WinExec(LPCSTR lpCmdLine, UINT uCmdShow);

// Looks for a file as the standard search does: a name with a folder as it stands, a bare name in
// the program's folder, the current folder, then PATH (the order WinExec uses). Only the standard
// search is offered: lpPath and lpExtension must be null. Returns the length of the absolute
// path written to lpBuffer, the size needed (terminator included) when it does not fit, or 0
// with ERROR_FILE_NOT_FOUND.
DWORD SearchPathW(LPCWSTR lpPath, LPCWSTR lpFileName, LPCWSTR lpExtension, DWORD nBufferLength, LPWSTR lpBuffer,
                  LPWSTR *lpFilePart);

// A pseudo handle meaning "this process", as on Windows.
HANDLE GetCurrentProcess();

// Fills the counters of this process from /proc/self. Fields beyond cb bytes are left alone;
// fails when cb is smaller than PROCESS_MEMORY_COUNTERS or the handle is not this process.
BOOL GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb);
BOOL K32GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb);
