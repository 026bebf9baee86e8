#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Counts a duration down, reporting what is left once a second.
class vCountdownTime : public QObject
{
    Q_OBJECT
public:
    explicit vCountdownTime(QObject *parent = nullptr);

    void start(int msec);
    void stop();
    bool isActive() const;

    // Test seam: milliseconds since start() come from this function while it is set.
    void setElapsedSource(std::function<qint64()> elapsed) { m_elapsedSource = std::move(elapsed); }

signals:
    void sigLeftTime(int mSec);
    void sigLeftTimeSec(int sec);
    void sigFinished();

public slots:
    void sltTimeout();

private:
    QTimer m_tickTimer;
    // Monotonic, so a countdown over midnight or a clock change keeps its length.
    QElapsedTimer m_startTime;
    int m_duration = 0;
    std::function<qint64()> m_elapsedSource;
};
