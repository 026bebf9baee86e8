#pragma once

#include <QList>
#include <QObject>
#include <mutex>
#include <QStringList>
#include <QThread>
#include <QVariantList>

class kivoARTCController;

// Records the controller's signals as they reach this object (across threads queued, as for every
// receiver in the client) with the thread that emitted them, seen through a direct connection.
// Thread-safe.
class SignalLog : public QObject
{
public:
    struct Entry
    {
        QString name;
        QVariantList args;
        QThread *thread; // the emitting thread
    };

    void watch(kivoARTCController *controller);
    int count(const QString &name) const;
    QList<Entry> of(const QString &name) const;
    QStringList names() const;
    // Whether no signal so far was emitted on the application's (GUI) thread, as none of the
    // engine's events may be.
    bool noneEmittedOnGuiThread() const;
    void clear();

private:
    // Runs on the emitting thread.
    void add(const QString &name, const QVariantList &args);
    mutable std::mutex m_lock;
    QList<Entry> m_entries;
};
