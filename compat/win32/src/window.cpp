#include "win32/window.h"

#include <atomic>

namespace {
std::atomic<unsigned> simulatedVersion{0}; // major << 8 | minor
}

void setSimulatedWindowsVersion(WORD majorVersion, WORD minorVersion)
{
    simulatedVersion = (unsigned(majorVersion) << 8) | (minorVersion & 0xffu);
}

BOOL IsWindowsVersionOrGreater(WORD majorVersion, WORD minorVersion, WORD)
{
    const unsigned running = simulatedVersion;
    if (running == 0)
        return FALSE;
    return running >= ((unsigned(majorVersion) << 8) | (minorVersion & 0xffu)) ? TRUE : FALSE;
}

BOOL IsWindows7OrGreater()
{
    return IsWindowsVersionOrGreater(6, 1, 0);
}

BOOL IsWindows8OrGreater()
{
    return IsWindowsVersionOrGreater(6, 2, 0);
}
