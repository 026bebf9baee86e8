#pragma once

// The one header through which the system calls the Windows API.
// On Windows it is <windows.h>; elsewhere our POSIX implementation of the calls we use.
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#include <dbghelp.h>
#include <windowsx.h>
#include <VersionHelpers.h>
#else
#include "win32/types.h"
#include "win32/process.h"
#include "win32/disk.h"
#include "win32/time.h"
#include "win32/file.h"
#include "win32/dbghelp.h"
#include "win32/window.h"
#include "win32/console.h"
#endif
