#include "AppStartup.h"

#include "KivoWidgetSingletonMgr.h"
#include "MiniDmpSender.h"
#include "MyMessageBox.h"
#include "Pelorin.h"
#include "QuadrelConfig.h"
#include "Tamsel.h"
#include "VBroadCastMgr.h"
#include "VDataTableMgr.h"
#include "VHttpComm.h"
#include "kivoARTCController.h"
#include "kivoUtility.h"
#include "quadrelWidgetManager.h"
#include "win32api.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QIcon>
#include <QtDebug>

#include <cstring>

void startHook()
{
}

int runShroudir()
{
    return static_cast<int>(WinExec("Shroudir.bat", SW_HIDE));
}

void clearOldTarnliveFiles()
{
    const QString folder = QDir(QStringLiteral("./log/tarnlive")).absolutePath();
    const QString command = QStringLiteral("Trimlet.exe clearOldFiles \"%2\"").arg(folder);
    qInfo().noquote() << "WinExec " + command;
    WinExec(command.toLocal8Bit().constData(), SW_HIDE);
}

QString launcherCheckText(int argc, char **argv)
{
    bool ok = false;
    const int serverType = QuadrelConfig::getInstance()->getConfig(QStringLiteral("ServerType")).toInt(&ok, 10);
    if (!ok || serverType != 1002)
        return {};
    if (argc <= 1)
        return QStringLiteral("请使用launcher.exe启动");
    if (std::strcmp(argv[1], "shell") != 0)
        return QStringLiteral("启动参数错误");
    return {};
}

bool launcherRefusesStart(int argc, char **argv)
{
    const QString text = launcherCheckText(argc, argv);
    if (text.isEmpty())
        return false;
    const int result = MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), text, true,
                                                 QStringLiteral("确认"));
    return result == 1024 || result == 4194304;
}

QString diskSizeText(quint64 free)
{
    const quint64 GiB = 1073741824ull;
    const quint64 MiB = 1048576ull;
    if (free >= GiB) {
        const quint64 hundredths = ((free % GiB) / MiB * 100) / 1024;
        return QStringLiteral("%1.%2G").arg(free / GiB).arg(hundredths, 2, 10, QLatin1Char('0'));
    }
    if (free >= MiB)
        return QStringLiteral("%1M").arg(free / MiB);
    if (free >= 1024)
        return QStringLiteral("%1K").arg(free / 1024);
    return QStringLiteral("%1B").arg(free);
}

void checkEnvironment()
{
    QuadrelConfig *config = QuadrelConfig::getInstance();
    QString productVersion, fileVersion;
    kivoUtility::getFileVersionInfo(productVersion, fileVersion);
    config->setConfig(QStringLiteral("ProductVersion"), productVersion);
    config->setConfig(QStringLiteral("appVersion"), fileVersion);
    qInfo() << "PC端版本号:" << productVersion << fileVersion;
    qInfo() << "Windows版本号:" << kivoUtility::getWindowsVersion();

    const QString drive = QStringLiteral("%1:").arg(QCoreApplication::applicationDirPath().left(1));
    const quint64 free = kivoUtility::getDiskFreeSpace(drive);
    qInfo() << QStringLiteral("程序安装磁盘(%1), 剩余可用大小:%2").arg(drive, diskSizeText(free));

    if (!kivoUtility::saveFile(QStringLiteral("%1/testWriteFile").arg(drive), 1048576, true)) {
        MyMessageBox::showMessage(nullptr, QStringLiteral("提示"),
                                  QStringLiteral("磁盘空间不足，请释放空间确保软件功能正常使用。"), false,
                                  QString());
    }
}

QSharedPointer<MiniDmpSender> &crashReporter()
{
    static QSharedPointer<MiniDmpSender> reporter;
    return reporter;
}

void initBugSplat()
{
    const std::wstring version = QuadrelConfig::getInstance()->getConfig(QStringLiteral("appVersion")).toStdWString();
    crashReporter() = QSharedPointer<MiniDmpSender>::create(L"kivolive", L"Ostrevan", version.c_str(), nullptr,
                                                            static_cast<DWORD>(8211));
    crashReporter()->setGuardByteBufferSize(20971520);
    crashReporter()->setCallback(&bugSplatCallback);
}

bool bugSplatCallback(unsigned, void *, void *)
{
    QString user = QuadrelConfig::getInstance()->getConfig(QStringLiteral("userId"));
    if (user.isEmpty())
        user = QStringLiteral("unknown");
    wchar_t userName[MAX_PATH] = {};
    // The user id comes from the server; a long one is cut to the buffer.
    copyToWideBuffer(user, userName, MAX_PATH);
    QSharedPointer<MiniDmpSender> reporter = crashReporter();
    if (!reporter)
        return false;
    reporter->setDefaultUserName(userName);
    reporter->setDefaultUserEmail(L"");
    reporter->setDefaultUserDescription(L"");
    wchar_t logPath[MAX_PATH] = {};
    addLogFileToBugSplat(reporter, logPath,
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd")));
    return false;
}

void initAppSettings()
{
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/login/login/loginLogo.png")));
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    QApplication::setQuitOnLastWindowClosed(false);
}

void initApp()
{
    initVLog(true, true);
    QuadrelConfig::getInstance()->setConfig(QStringLiteral("deviceId"), kivoUtility::GetMACAddress());
    VDataTableMgr::getInstance()->loadLocalVersion();
    // The router's table is complete and connected before the server connection opens.
    VBroadCastMgr::getInstance();
    checkEnvironment();
    initBugSplat();
    initPelorin();
    initAppSettings();
}

static void destroyWindowRegistry()
{
    // Releases the page-process, page-command and page-query managers, and with them the
    // pagewell processes.
    quadrelWidgetManager::getInstance()->destroyAll();
}

static void releaseVoiceEngine()
{
    // Builds the controller (and its engine) first when nothing used it before.
    kivoARTCController::getInstance()->release();
}

static void deleteHttpClient()
{
    if (VHttpComm::hasInit())
        VHttpComm::getInstance()->deleteLater();
}

const QVector<ShutdownStep> &shutdownSteps()
{
    static const QVector<ShutdownStep> steps = {
        {"quadrelWidgetManager::destroyAll", &destroyWindowRegistry},
        {"unInitPelorin", &unInitPelorin},
        {"kivoARTCController::release", &releaseVoiceEngine},
        {"uninitNano", &uninitNano},
        {"VHttpComm::deleteLater", &deleteHttpClient},
    };
    return steps;
}

void unInitApp()
{
    for (const ShutdownStep &step : shutdownSteps()) {
        step.run();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool getSelfProcessCount()
{
    const quint32 pid = QStringLiteral("%1").arg(QCoreApplication::applicationPid()).toUInt();
    const QString name = kivoUtility::getProcessNameById(pid);
    const int count = kivoUtility::getProcessIdNumByName(name.toLocal8Bit().toStdString());
    return count > 10;
}
