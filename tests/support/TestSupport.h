#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QProcess;
class QWidget;

// Makes a fresh temporary folder the working directory for the life of the object, so that
// everything relative to it (config/, log/, res/) is the test's own.
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    // Writes a file below the folder, creating its parents.
    void write(const QString &relative, const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Runs the event loop (deferred deletes included) until the predicate holds or the time-out passes; returns the predicate.
// The default is generous for a sanitized build on a busy machine: it only bounds a failing wait.
bool waitUntil(const std::function<bool()> &predicate, int timeoutMs = 20000);

// The last item, or a default one when the list is empty: what a test reads from a log or
// another process may not be there, and indexing an empty list is undefined.
template <typename List>
typename List::value_type lastOf(const List &list)
{
    return list.isEmpty() ? typename List::value_type() : list.last();
}

// Declares a widget a fixture makes on first use and keeps for the rest of the test binary, so
// the check for widgets left alive after each test does not count it as that test's leak. Such
// widgets are held to the rule of the application's own kept widgets: one per class and object
// name, and only a few in all.
void keepWidgetForTests(QWidget *widget);
extern const char *const kKeptForTestsProperty;

// build/bin, where the programs are.
QString binDir();

// The objects of a JSON-lines file (the program logs of pagewell.exe and ambrel-service);
// blank lines skipped, nothing when the file is missing.
QList<QJsonObject> jsonLines(const QString &path);

// Starts `ambrel shell` from build/bin in the folder, offscreen unless the extra environment
// names another platform.
void startAmbrelShell(QProcess &ambrel, const TempWorkDir &work, const QMap<QString, QString> &environment);

// Waits for ambrel to end on its own; kills it after the time-out. True when it ended itself.
bool waitForAmbrelExit(QProcess &ambrel, int timeoutMs = 60000);

// No process of that id, or only its zombie.
bool processGone(qint64 pid);

// Environment entries that send the sanitizers' reports of a program and of its children to files
// in folder. pagewell.exe's own standard error goes nowhere: its client does not read it.
QMap<QString, QString> sanitizerReportsTo(const QString &folder);

// Waits up to the time-out for every pagewell.exe that logged to logPath to end, and tells what
// went wrong: each one whose log has no closing "end" line with code 0 (killed, crashed or still
// running), and every sanitizer report in reportFolder. Empty when all ended well.
QString pagewellEndProblems(const QString &logPath, const QString &reportFolder, int timeoutMs = 15000);
