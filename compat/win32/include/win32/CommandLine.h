#pragma once

#include <QString>
#include <QStringList>

// Splits a Windows command line the way Windows does: the program name ends at the first blank
// outside double quotes (no escapes in it); each later argument follows the C runtime's rules
// (2n backslashes before a quote give n and toggle quoting, 2n+1 give n and a literal quote,
// "" inside quotes is a literal quote, other backslashes are literal).
class CommandLine
{
public:
    static QStringList split(const QString &commandLine);
};
