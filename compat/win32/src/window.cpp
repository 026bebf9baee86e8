#include "win32/window.h"

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <cstring>

namespace {
std::atomic<unsigned> simulatedVersion{0}; // major << 8 | minor

// The one window station there is.
char g_station;

bool stationVisible()
{
    // "name:options"; the platform Qt picks without one is xcb.
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const int options = platform.indexOf(':');
    if (options >= 0)
        platform.truncate(options);
    platform = platform.trimmed();
    if (platform.isEmpty() || platform == "xcb")
        return !qEnvironmentVariableIsEmpty("DISPLAY");
    if (platform.startsWith("wayland"))
        return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return platform != "offscreen" && platform != "minimal" && platform != "minimalegl";
}
} // namespace

HWINSTA GetProcessWindowStation()
{
    return &g_station;
}

BOOL GetUserObjectInformationW(HANDLE hObj, int nIndex, LPVOID pvInfo, DWORD nLength, DWORD *lpnLengthNeeded)
{
    if (lpnLengthNeeded)
        *lpnLengthNeeded = sizeof(USEROBJECTFLAGS);
    if (hObj != &g_station || nIndex != UOI_FLAGS || !pvInfo || nLength < sizeof(USEROBJECTFLAGS))
        return FALSE;
    USEROBJECTFLAGS flags{};
    flags.dwFlags = stationVisible() ? WSF_VISIBLE : 0;
    std::memcpy(pvInfo, &flags, sizeof(flags));
    return TRUE;
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
