#include "win32/CommandLine.h"

static bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringList CommandLine::split(const QString &line)
{
    QStringList out;
    const int n = line.size();
    int i = 0;
    while (i < n && isBlank(line[i]))
        ++i;
    if (i >= n)
        return out;

    // Program name: quotes only group, they never escape.
    QString program;
    bool quoted = false;
    for (; i < n; ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && isBlank(c))
            break;
        program += c;
    }
    out << program;

    while (true) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        QString arg;
        quoted = false;
        while (i < n) {
            const QChar c = line[i];
            if (c == QLatin1Char('\\')) {
                int slashes = 0;
                while (i < n && line[i] == QLatin1Char('\\')) {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == QLatin1Char('"')) {
                    arg += QString(slashes / 2, QLatin1Char('\\'));
                    if (slashes % 2) {
                        arg += QLatin1Char('"');
                        ++i;
                    }
                    // An even count leaves the quote for the next turn, which toggles quoting.
                } else {
                    arg += QString(slashes, QLatin1Char('\\'));
                }
                continue;
            }
            if (c == QLatin1Char('"')) {
                if (quoted && i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                    arg += QLatin1Char('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && isBlank(c))
                break;
            arg += c;
            ++i;
        }
        out << arg;
    }
    return out;
}
