#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "win32api.h"

struct stat;

// One cleaning pass over the client's log and resource-cache folders: optionally measures the
// program's folder and the free disk space and asks, then deletes what was last read a week ago
// or longer. Symbolic links are never followed: a link is judged, and removed, as itself. The walk
// goes from directory descriptors, so a folder swapped for a link during the pass is not followed
// either.
class VCheckFileCacheHandler : public QObject
{
public:
    struct CacheFolderEntry
    {
        QString path;  // relative to the current directory
        int fileDepth; // files above this depth stay
        int dirDepth;  // directories above this depth stay and are walked into
    };

    static constexpr qint64 kSizeCap = 21474836480LL;        // 20 GiB
    static constexpr qint64 kFreeSpaceThreshold = 1073741824LL; // 1 GiB
    static constexpr qint64 kExpirySeconds = 604800;          // 7 days

    // Seams, so a pass can run without a person, a real clock or a real disk.
    using Clock = std::function<QDateTime()>;
    using FreeSpaceQuery = std::function<BOOL(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER)>;
    using Question = std::function<QMessageBox::StandardButton(const QString &title, const QString &text)>;

    VCheckFileCacheHandler();

    // The first argument after the program name reading as the decimal integer 1.
    static bool forceFromArguments(const QStringList &arguments);

    void setForce(bool force) { m_force = force; }
    bool force() const { return m_force; }
    const QVector<CacheFolderEntry> &folders() const { return m_folders; }

    void run();
    void checkNeedClear();
    qint64 dirSize(const QString &path);
    void processEntry(const QFileInfo &info, int fileDepth, int dirDepth, int depth);
    bool isExpired(const QFileInfo &info);
    void deleteFileOrDir(const QFileInfo &info);

    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setFreeSpaceQuery(FreeSpaceQuery query) { m_freeSpace = std::move(query); }
    void setQuestion(Question question) { m_question = std::move(question); }
    void setOutput(std::ostream *out) { m_out = out; }
    // The folder that is measured and whose volume is queried; the program's folder by default.
    void setProgramDir(const QString &dir) { m_programDir = dir; }

private:
    // The same operations on the entry called name in the directory open as dirFd, whose path
    // (for the report) is dir.
    void processEntry(int dirFd, const QString &dir, const std::string &name, int fileDepth, int dirDepth,
                      int depth);
    bool isExpired(int dirFd, const QString &dir, const std::string &name);
    void deleteFileOrDir(int dirFd, const QString &dir, const std::string &name);
    qint64 dirSize(int dirFd);
    void write(const char *label, const QString &path, bool ending);
    bool isStale(const struct stat &st) const;
    QString programDir() const;

    QVector<CacheFolderEntry> m_folders;
    bool m_force = false;
    Clock m_clock;
    FreeSpaceQuery m_freeSpace;
    Question m_question;
    std::ostream *m_out;
    QString m_programDir;
    // Set when a staleness test met a folder it could not open or list.
    bool m_unread = false;
};
