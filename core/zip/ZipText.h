#pragma once

#include <string>

// UTF-8 and wide text through the Windows UTF-8 code page.
class ZipText
{
public:
    static std::wstring toWide(const std::string &utf8);
    static std::string toUtf8(const std::wstring &wide);
};
