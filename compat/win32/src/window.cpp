#include "win32/window.h"

#include <QByteArray>
#include <QtGlobal>

#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<unsigned> simulatedVersion{0}; // major << 8 | minor

// The one window station there is.
char g_station;

// Qt's platform: "name:options"; the one Qt picks without one is xcb.
QByteArray platformName()
{
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const int options = platform.indexOf(':');
    if (options >= 0)
        platform.truncate(options);
    platform = platform.trimmed();
    return platform.isEmpty() ? QByteArrayLiteral("xcb") : platform;
}

bool stationVisible()
{
    const QByteArray platform = platformName();
    if (platform == "xcb")
        return !qEnvironmentVariableIsEmpty("DISPLAY");
    if (platform.startsWith("wayland"))
        return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return platform != "offscreen" && platform != "minimal" && platform != "minimalegl";
}
} // namespace

BOOL IsWindow(HWND hWnd)
{
    const auto id = reinterpret_cast<quintptr>(hWnd);
    if (id == 0)
        return FALSE;
    if (platformName() != "xcb")
        return TRUE;
    if (id > 0xffffffffu)
        return FALSE;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    bool exists = false;
    if (!xcb_connection_has_error(connection)) {
        xcb_generic_error_t *error = nullptr;
        xcb_get_window_attributes_reply_t *reply = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, xcb_window_t(id)), &error);
        exists = reply != nullptr;
        std::free(reply);
        std::free(error);
    }
    xcb_disconnect(connection);
    return exists ? TRUE : FALSE;
}

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
