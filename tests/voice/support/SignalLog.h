#pragma once

#include <QList>
#include <QObject>
#include <mutex>
#include <QStringList>
#include <QThread>
#include <QVariantList>

class kivoARTCController;

// Records the controller's signals as they reach this object, and on which thread: across
// threads they arrive queued, as they do for every receiver in the client. Thread-safe, so a
// log moved to another thread can be read from the GUI thread.
class SignalLog : public QObject
{
public:
    struct Entry
    {
        QString name;
        QVariantList args;
        QThread *thread;
    };

    void watch(kivoARTCController *controller);
    int count(const QString &name) const;
    QList<Entry> of(const QString &name) const;
    QStringList names() const;
    // Whether every signal so far reached this object on the application's (GUI) thread.
    bool allOnGuiThread() const;
    void clear();

private:
    void add(const QString &name, const QVariantList &args);
    mutable std::mutex m_lock;
    QList<Entry> m_entries;
};
