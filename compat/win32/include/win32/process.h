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

// A pseudo handle meaning "this process", as on Windows.
HANDLE GetCurrentProcess();

// Fills the counters of this process from /proc/self. Fields beyond cb bytes are left alone;
// fails when cb is smaller than PROCESS_MEMORY_COUNTERS or the handle is not this process.
BOOL GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb);
BOOL K32GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb);
