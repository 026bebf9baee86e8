#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariantList>

class kivoARTCController;

// Records the controller's signals as they reach this (GUI-thread) object: across threads
// they arrive queued, as they do for every receiver in the client.
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
    // Whether every signal so far ran on the thread of this object.
    bool allOnGuiThread() const;
    void clear() { m_entries.clear(); }

private:
    void add(const QString &name, const QVariantList &args);
    QList<Entry> m_entries;
};
