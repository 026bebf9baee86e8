#include "FuzzSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QVector>
#include <QTemporaryDir>

#include <cstdlib>

#include <sanitizer/lsan_interface.h>

#include "AmbrelResources.h"
#include "VCefProcessItem.h"
#include "VCefProcessManager.h"

namespace {

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

// A JSON string from its opening quote at `at`, decoded as Qt's parser decodes it; false when
// it does not end properly.
bool readString(const QByteArray &json, int &at, QString &out)
{
    out.clear();
    QByteArray run; // UTF-8 up to the next escape
    for (++at; at < json.size(); ++at) {
        const char c = json.at(at);
        if (c == '"') {
            ++at;
            out += QString::fromUtf8(run);
            return true;
        }
        if (c != '\\') {
            run += c;
            continue;
        }
        out += QString::fromUtf8(run);
        run.clear();
        if (++at >= json.size())
            return false;
        switch (json.at(at)) {
        case 'u': {
            bool ok = false;
            const ushort unit = json.mid(at + 1, 4).toUShort(&ok, 16);
            if (!ok || at + 4 >= json.size())
                return false;
            out += QChar(unit);
            at += 4;
            break;
        }
        case 'b': out += QLatin1Char('\b'); break;
        case 'f': out += QLatin1Char('\f'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        default: out += QLatin1Char(json.at(at)); break;
        }
    }
    return false;
}

} // namespace

void startPageApplication(const char *name)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(silent);
    static int argc = 1;
    static QByteArray program(name);
    static char *argv[] = {program.data(), nullptr};
    new QApplication(argc, argv); // lives as long as the process
    ambrelInitResources();

    static QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        std::abort();
    for (int kind : {0, 1}) {
        VCefProcessManager::getInstance()->processItem(kind)->setProgram(
            QStringLiteral("sh -c \"exec cat >/dev/null 2>&1\""));
    }
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        std::abort();
}

void settle()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void checkLeaksAtExit()
{
    // Once exit() has begun Qt's per-thread data is gone, so neither the application nor the
    // widgets kept in statics can be destroyed then: the leak check runs and the process ends
    // with the status libFuzzer gave.
    on_exit(
        [](int status, void *) {
            __lsan_do_leak_check();
            std::_Exit(status);
        },
        nullptr);
}

bool hasDuplicateKeys(const QByteArray &json)
{
    // One entry per open object or array: the keys seen (objects), whether a key comes next.
    struct Level
    {
        bool object;
        bool keyNext;
        QSet<QString> keys;
    };
    QVector<Level> levels;
    QString text;
    for (int at = 0; at < json.size();) {
        const char c = json.at(at);
        if (c == '"') {
            if (!readString(json, at, text))
                return true;
            if (!levels.isEmpty() && levels.last().object && levels.last().keyNext) {
                if (levels.last().keys.contains(text))
                    return true;
                levels.last().keys.insert(text);
                levels.last().keyNext = false;
            }
            continue;
        }
        if (c == '{' || c == '[')
            levels.append(Level{c == '{', c == '{', {}});
        else if (c == '}' || c == ']')
            levels.isEmpty() ? void() : levels.removeLast();
        else if (c == ',' && !levels.isEmpty() && levels.last().object)
            levels.last().keyNext = true;
        ++at;
    }
    return false;
}
