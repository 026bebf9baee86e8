#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "AmbrelResources.h"
#include "PelorinEndpoint.h"
#include "SdkInitServer.h"
#include "ServiceControl.h"
#include "ServiceLog.h"
#include "ServiceScript.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// The defaults are the ports the client is configured for (config/ambrel.json of the working
// directory), else 18611 and 18612.
void configuredPorts(int &http, int &ws)
{
    http = 18611;
    ws = 18612;
    QFile file(QStringLiteral("config/ambrel.json"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject config = QJsonDocument::fromJson(file.readAll()).object();
    const QString sdkinit = config.value("sdkinit").toString().section(QLatin1Char(','), 0, 0);
    http = QUrl(sdkinit).port(http);
    ws = QUrl(config.value("PelorinServer").toString()).port(ws);
}

QString optionOrEnv(const QCommandLineParser &parser, const QString &option, const char *env)
{
    return parser.isSet(option) ? parser.value(option) : QString::fromLocal8Bit(qgetenv(env));
}

bool portValue(const QCommandLineParser &parser, const QString &option, int &port)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    port = parser.value(option).toInt(&ok);
    return ok && port >= 0 && port <= 65535;
}

} // namespace

// ambrel-service: the stand-in server for whole-program runs and end-to-end tests.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ambrelInitResources();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in sdkinit, pages and Pelorin server on loopback."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("http-port"), QStringLiteral("sdkinit HTTP port, 0 = any free port"), QStringLiteral("port")},
        {QStringLiteral("ws-port"), QStringLiteral("Pelorin WebSocket port, 0 = any free port"), QStringLiteral("port")},
        {QStringLiteral("script"), QStringLiteral("JSON script (env AMBREL_SERVICE_SCRIPT)"), QStringLiteral("file")},
        {QStringLiteral("log"), QStringLiteral("JSON-lines log (env AMBREL_SERVICE_LOG)"), QStringLiteral("file")},
        {QStringLiteral("control"), QStringLiteral("control socket name (env AMBREL_SERVICE_CONTROL)"), QStringLiteral("name")},
        {QStringLiteral("ports-file"), QStringLiteral("file to write the bound ports to (env AMBREL_SERVICE_PORTS)"), QStringLiteral("file")},
    });
    parser.process(app);

    int httpPort = 0;
    int wsPort = 0;
    configuredPorts(httpPort, wsPort);
    if (!portValue(parser, QStringLiteral("http-port"), httpPort) || !portValue(parser, QStringLiteral("ws-port"), wsPort)) {
        std::fprintf(stderr, "ambrel-service: a port is a number from 0 to 65535\n");
        return 2;
    }

    ServiceLog log(optionOrEnv(parser, QStringLiteral("log"), "AMBREL_SERVICE_LOG"));
    ServiceScript script;
    const QString scriptPath = optionOrEnv(parser, QStringLiteral("script"), "AMBREL_SERVICE_SCRIPT");
    QString error;
    if (!scriptPath.isEmpty() && !script.load(scriptPath, error)) {
        log.write({{"event", "scriptError"}, {"error", error}});
        std::fprintf(stderr, "ambrel-service: script %s: %s\n", qPrintable(scriptPath), qPrintable(error));
        return 2;
    }

    SdkInitServer http(script, log);
    PelorinEndpoint endpoint(script, log);
    const int boundHttp = http.start(httpPort);
    const int boundWs = endpoint.listen(wsPort);
    if (boundHttp < 0 || boundWs < 0) {
        std::fprintf(stderr, "ambrel-service: cannot listen on %s port %d\n",
                     boundHttp < 0 ? "http" : "ws", boundHttp < 0 ? httpPort : wsPort);
        return 1;
    }
    const QJsonObject ports{{"http", boundHttp}, {"ws", boundWs}};

    ServiceControl control(endpoint, script, log, ports);
    const QString controlName = optionOrEnv(parser, QStringLiteral("control"), "AMBREL_SERVICE_CONTROL");
    if (!controlName.isEmpty() && !control.listen(controlName)) {
        std::fprintf(stderr, "ambrel-service: cannot listen on control %s\n", qPrintable(controlName));
        return 1;
    }
    http.setControl(&control, [&control](const QByteArray &line) { return control.runLine(line); });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return 1;
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    const QByteArray portsLine = QJsonDocument(ports).toJson(QJsonDocument::Compact) + '\n';
    const QString portsFile = optionOrEnv(parser, QStringLiteral("ports-file"), "AMBREL_SERVICE_PORTS");
    if (!portsFile.isEmpty()) {
        QSaveFile file(portsFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(portsLine) != portsLine.size() || !file.commit())
            std::fprintf(stderr, "ambrel-service: cannot write %s\n", qPrintable(portsFile));
    }
    QJsonObject start = ports;
    start.insert("event", "start");
    log.write(start);
    std::fputs(portsLine.constData(), stdout);
    std::fflush(stdout);

    const int code = app.exec();
    http.stop();
    log.write({{"event", "stop"}});
    return code;
}
