#include "MiniDmpSender.h"

static std::wstring text(LPCWSTR value)
{
    return value ? std::wstring(value) : std::wstring();
}

MiniDmpSender::MiniDmpSender(LPCWSTR database, LPCWSTR application, LPCWSTR version,
                             LPCWSTR locale, DWORD flags)
    : m_database(text(database)),
      m_application(text(application)),
      m_version(text(version)),
      m_locale(text(locale)),
      m_hasLocale(locale != nullptr),
      m_flags(flags)
{
}

void MiniDmpSender::setGuardByteBufferSize(int bytes)
{
    m_guardBytes = bytes;
}

void MiniDmpSender::setCallback(Callback callback)
{
    m_callback = callback;
}

void MiniDmpSender::setDefaultUserName(LPCWSTR name)
{
    m_userName = text(name);
}

void MiniDmpSender::setDefaultUserEmail(LPCWSTR email)
{
    m_userEmail = text(email);
}

void MiniDmpSender::setDefaultUserDescription(LPCWSTR description)
{
    m_userDescription = text(description);
}

void MiniDmpSender::sendAdditionalFile(LPCWSTR path)
{
    if (path && *path)
        m_files.push_back(path);
}

bool MiniDmpSender::raiseCallback(UINT code, LPVOID first, LPVOID second)
{
    return m_callback ? m_callback(code, first, second) : false;
}
