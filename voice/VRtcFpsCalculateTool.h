#pragma once

#include <mutex>
#include <QObject>
#include <QString>

#include <functional>

// Measures how often a repeated step runs and logs, about once a second, the frames per second
// and the intervals. Off unless the configuration value "isOpenFpsCalculate" is "1".
class VRtcFpsCalculateTool : public QObject
{
    Q_OBJECT
public:
    explicit VRtcFpsCalculateTool(QObject *parent = nullptr);

    void start();
    void record(int kind);

    // Milliseconds since system start; tools made afterwards read this clock instead.
    // An empty function restores the system's tick count.
    static void setClockSeam(std::function<quint64()> clock);

private:
    const bool m_enabled;
    std::function<quint64()> m_clock;
    // The frame observer's tool is used from the engine's threads.
    std::mutex m_lock;
    quint64 m_lastStart = 0;
    quint64 m_accumulated = 0;
    qint64 m_interval = 0;
    QString m_intervals;
    int m_count = 0;
};
