#include "LoginFail.h"
#include "ui_LoginFail.h"

#include "Tamsel.h"
#include "VImMgr.h"
#include "VStaticWidgets.h"
#include "kivoARTCController.h"
#include "win32api.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>
#include <QtDebug>

namespace {

QPointer<LoginFail> g_instance;
std::function<void(QProcess *)> g_pingSeam;

const int kRingSize = 20;

// A host goes to "cmd /k ping <host>", whose command line cmd parses again: only name,
// address and port characters may reach it.
bool isPlainHost(const QString &host)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._:\\[\\]-]+$"));
    return plain.match(host).hasMatch();
}

} // namespace

LoginFail *LoginFail::instance()
{
    if (!g_instance) {
        g_instance = new LoginFail;
        VStaticWidgets::deleteWithApp(g_instance);
    }
    return g_instance;
}

bool LoginFail::isNull()
{
    return g_instance.isNull();
}

void LoginFail::setPingSeam(std::function<void(QProcess *)> seam)
{
    g_pingSeam = std::move(seam);
}

LoginFail::LoginFail() : QWidget(nullptr), ui(new Ui::LoginFail), m_recentTexts(kRingSize)
{
    ui->setupUi(this);

    const QString path = QDir::fromNativeSeparators(QCoreApplication::applicationFilePath());
    GetFileVersionAttr(path.toLocal8Bit().toStdString(), m_softwareVersion, 9);
    m_imVersion = VImMgr::getInstance()->version();
    m_rtcVersion = kivoARTCController::getInstance()->version();

    connect(ui->pushButton_check, &QPushButton::clicked, this, &LoginFail::openCheckUrl);
    connect(ui->pushButton_ping, &QPushButton::clicked, this, &LoginFail::pingHosts);
}

LoginFail::~LoginFail()
{
    delete ui;
}

void LoginFail::onLoginResult(bool failed)
{
    if (failed) {
        setSaveLastLog(true);
        ++m_failCount;
    }
    if (m_failCount < 3)
        return;
    setAttribute(Qt::WA_AlwaysStackOnTop);
    fillSysInfo();
    show();
}

void LoginFail::resetFailures()
{
    setSaveLastLog(false);
    m_failCount = 0;
}

void LoginFail::fillSysInfo()
{
    QString text = QStringLiteral("软件版本：%1\nIM SDK版本：%2\nARTC SDK版本：%3\n最近日志：")
                       .arg(m_softwareVersion, m_imVersion, m_rtcVersion);
    const QVector<QString> lines = getLastLog();
    for (int i = 0; i < lines.size(); ++i)
        text += QStringLiteral("\nline(%1):%2").arg(i + 1).arg(lines.at(i));
    ui->textBrowser_sysInfo->setText(text);
}

void LoginFail::addRecentText(const QString &text)
{
    if (text.trimmed().isEmpty())
        return;
    if (m_recentPos == m_recentTexts.size())
        m_recentPos = 0;
    m_recentTexts[m_recentPos] = text;
    ++m_recentPos;
}

void LoginFail::addHostsFromUrl(const QString &url)
{
    for (const char *scheme : {"wss://", "ws://", "http://", "https://"}) {
        const QString prefix = QLatin1String(scheme);
        if (!url.startsWith(prefix))
            continue;
        const int end = url.indexOf(QLatin1Char('/'), prefix.size());
        const QString host = url.mid(prefix.size(), end < 0 ? -1 : end - prefix.size());
        if (!isPlainHost(host)) {
            qWarning() << "LoginFail: no host to ping in" << url;
            continue;
        }
        m_hosts.insert(host);
    }
}

int LoginFail::hostCount() const
{
    return m_hosts.size();
}

void LoginFail::openCheckUrl()
{
    QDesktopServices::openUrl(QUrl(ui->lineEdit_url->text()));
}

void LoginFail::pingHosts()
{
    for (const QString &host : qAsConst(m_hosts)) {
        auto *process = new QProcess(this);
        process->setProgram(QStringLiteral("cmd"));
        process->setArguments({QStringLiteral("/k"), QStringLiteral("ping"), host});
        // Bright green on black; the console stays open after ping ends.
        SetProcessNewConsole(process, FOREGROUND_GREEN | FOREGROUND_INTENSITY);
        if (g_pingSeam)
            g_pingSeam(process);
        else
            process->start(QIODevice::ReadWrite);
    }
}
