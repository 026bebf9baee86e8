#pragma once

#include "win32api.h"

#include <string>
#include <vector>

// Crash-report sender. Here it keeps what the client configures and raises the client's
// callback on request (raiseCallback), so what the callback does can be checked; it sends
// nothing anywhere.
class MiniDmpSender
{
public:
    typedef bool (*Callback)(UINT code, LPVOID first, LPVOID second);

    MiniDmpSender(LPCWSTR database, LPCWSTR application, LPCWSTR version, LPCWSTR locale,
                  DWORD flags);

    void setGuardByteBufferSize(int bytes);
    void setCallback(Callback callback);
    void setDefaultUserName(LPCWSTR name);
    void setDefaultUserEmail(LPCWSTR email);
    void setDefaultUserDescription(LPCWSTR description);
    // Adds a file to send with the next report.
    void sendAdditionalFile(LPCWSTR path);

    const std::wstring &database() const { return m_database; }
    const std::wstring &application() const { return m_application; }
    const std::wstring &version() const { return m_version; }
    // Null when no locale was given.
    const std::wstring *locale() const { return m_hasLocale ? &m_locale : nullptr; }
    DWORD flags() const { return m_flags; }
    int guardByteBufferSize() const { return m_guardBytes; }
    Callback callback() const { return m_callback; }
    const std::wstring &userName() const { return m_userName; }
    const std::wstring &userEmail() const { return m_userEmail; }
    const std::wstring &userDescription() const { return m_userDescription; }
    const std::vector<std::wstring> &additionalFiles() const { return m_files; }

    // Calls the callback as a crash would; false when none is set.
    bool raiseCallback(UINT code = 0, LPVOID first = nullptr, LPVOID second = nullptr);

private:
    std::wstring m_database;
    std::wstring m_application;
    std::wstring m_version;
    std::wstring m_locale;
    bool m_hasLocale = false;
    DWORD m_flags = 0;
    int m_guardBytes = 0;
    Callback m_callback = nullptr;
    std::wstring m_userName;
    std::wstring m_userEmail;
    std::wstring m_userDescription;
    std::vector<std::wstring> m_files;
};
