#pragma once

#include <QString>

// Texts from the server or a page in log lines: cut to a bound, so that one message cannot
// flood the log, while ordinary texts stay whole.
class VLogText
{
public:
    static constexpr int kMaxChars = 4096;

    // text itself when it has at most keep characters, else its first keep characters followed
    // by "... (<length> characters)"; a surrogate pair is never split.
    static QString cut(const QString &text, int keep = kMaxChars);
};
