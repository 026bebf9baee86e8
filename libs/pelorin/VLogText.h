#pragma once

#include <QString>

// Texts in log lines (what the server or a page sent, and the client's own URLs, paths and
// error texts): cut to a bound, so that one message cannot flood the log, while ordinary texts
// stay whole. The bound counts what the line will hold: a quoted log line writes a control
// character as an escape of up to six characters, so the cut is made on the text as written, not
// on its characters. Each source's texts add at most kBytesPerSecond to the log in any one
// second, short ones too, so a flood of lines cannot grow it without end; past that, that
// source's texts are left out of their lines for the rest of the second, each line still saying
// how long its text was. A flood from one source never blanks another's texts, nor the client's
// own. Thread-safe.
class VLogText
{
public:
    static constexpr int kMaxChars = 4096;
    static constexpr qint64 kBytesPerSecond = 32 * 1024;

    enum Source
    {
        Own,    // the client's own: its URLs, paths, error texts
        Server, // what the server sends
        Page,   // what pages send
    };

    // text itself when written it takes at most keep characters (and the second's bytes of its
    // source allow it), else its longest beginning that does followed by
    // "... (<length> characters)"; a surrogate pair is never split.
    static QString cut(const QString &text, Source from, int keep = kMaxChars);
    static QString cut(const QString &text, int keep = kMaxChars) { return cut(text, Own, keep); }

    // text itself when it has at most keep characters, else its first keep characters followed
    // by "... (<length> characters)": for texts that are not written to the client's log.
    static QString shorten(const QString &text, int keep);

    // A fresh second with the whole budget, for every source (tests start each case with it).
    static void resetBudget();
};
