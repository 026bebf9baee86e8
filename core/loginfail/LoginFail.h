#pragma once

#include <QSet>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>

class QProcess;

namespace Ui {
class LoginFail;
}

// Diagnostics for repeated login failures: counts them, keeps recent log lines while they
// last, and from the third one on shows the versions and those lines, with a network-test
// page and a ping of the service's hosts. One window, created on first use.
class LoginFail : public QWidget
{
    Q_OBJECT
public:
    static LoginFail *instance();
    static bool isNull();

    void onLoginResult(bool failed);
    void resetFailures();
    void addRecentText(const QString &text);
    void addHostsFromUrl(const QString &url);
    int hostCount() const;
    // The ring as stored, write order wrapped at 20.
    QVector<QString> recentTexts() const { return m_recentTexts; }

    // Tests take the ping consoles here instead of starting them; the process comes with its
    // program and arguments set. An empty function restores the start.
    static void setPingSeam(std::function<void(QProcess *)> seam);

    ~LoginFail() override;

private:
    LoginFail();
    void fillSysInfo();
    void openCheckUrl();
    void pingHosts();

    Ui::LoginFail *ui;
    QVector<QString> m_recentTexts;
    QSet<QString> m_hosts;
    QString m_softwareVersion;
    QString m_imVersion;
    QString m_rtcVersion;
    int m_recentPos = 0;
    int m_failCount = 0;
};
