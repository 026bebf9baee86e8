#pragma once

#include "win32/types.h"

// Milliseconds since the system started (monotonic).
ULONGLONG GetTickCount64();
DWORD GetTickCount();
