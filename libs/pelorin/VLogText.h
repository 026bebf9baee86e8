#pragma once

#include <QString>

// Texts from the server or a page in log lines: cut to a bound, so that one message cannot
// flood the log, while ordinary texts stay whole. The bound counts what the line will hold:
// a quoted log line writes a control character as an escape of up to six characters, so the
// cut is made on the text as written, not on its characters. Together, in any one second, the
// texts add at most kBytesPerSecond to the log (a flood of lines cannot grow it without end);
// past that, texts longer than kSmallBytes are left out of their lines for the rest of the
// second, each line still saying how long its text was. Thread-safe.
class VLogText
{
public:
    static constexpr int kMaxChars = 4096;
    static constexpr qint64 kBytesPerSecond = 64 * 1024;
    // Texts this short cost no more than the note that would stand for them: never cut.
    static constexpr int kSmallBytes = 64;

    // text itself when written it takes at most keep characters (and the second's bytes allow
    // it), else its longest beginning that does followed by "... (<length> characters)"; a
    // surrogate pair is never split.
    static QString cut(const QString &text, int keep = kMaxChars);

    // text itself when it has at most keep characters, else its first keep characters followed
    // by "... (<length> characters)": for texts that are not written to the client's log.
    static QString shorten(const QString &text, int keep);

    // A fresh second with the whole budget (tests start each case with it).
    static void resetBudget();
};
