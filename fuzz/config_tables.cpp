// The JSON documents the client reads from outside into its stores: the "sdkinit" handshake
// reply and the two configuration files (QuadrelConfig), the data tables under res/dataTable/
// and their versions (Quadrel). The last byte picks the document, the input starts with a key
// to look up (up to a lone backslash), and the rest is the document. Every row a table holds is
// looked up by its own key; a value set in the configuration reads back after a reload.
#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "QuadrelConfig.h"
#include "VDataTable.h"
#include "VDataTableMgr.h"
#include "VGiftListMgr.h"
#include "VMedalMgr.h"
#include "VPublicConfigMgr.h"
#include "VSystemConfigMgr.h"
#include "vH5WebConfigMgr.h"
#include "vNoblePrivilegeMgr.h"

namespace {

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

[[noreturn]] void fail(const char *what, const QString &key)
{
    std::fprintf(stderr, "fuzz_config_tables: %s %s\n", what, key.toUtf8().constData());
    std::abort();
}

// The public and the system configuration tables: entries by define.
template <typename Table>
void readDefines(Table *table, const QJsonArray &rows, int number)
{
    table->reload();
    for (const QJsonValue &row : rows)
        table->getInfoByDefine(VDataTable::integer(row.toObject(), QStringLiteral("define")));
    table->getInfoByDefine(number);
}

// Looks up every row of a table by the key it is stored under, and the input's key.
void readTable(EDataTable::EDataTableType type, const QString &key)
{
    const QJsonArray rows = VDataTable::readRows(VDataTableMgr::getTableFileName(type));
    const int number = key.toInt();
    switch (type) {
    case EDataTable::giftList:
        VGiftListMgr::getInstance()->reload();
        for (const QJsonValue &row : rows) {
            VGiftListMgr::getInstance()->getGiftImagePathById(VDataTable::text(row.toObject(), QStringLiteral("id")));
            VGiftListMgr::getInstance()->getGiftImageUrlById(VDataTable::text(row.toObject(), QStringLiteral("id")));
        }
        VGiftListMgr::getInstance()->getGiftImagePathById(key);
        return;
    case EDataTable::noblePrivilege:
        vNoblePrivilegeMgr::getInstance()->reload();
        for (const QJsonValue &row : rows) {
            const int level = VDataTable::integer(row.toObject(), QStringLiteral("level"));
            const QString name = VDataTable::text(row.toObject(), QStringLiteral("key"));
            vNoblePrivilegeMgr::getInstance()->getNobilityImagePathById(level, name);
            vNoblePrivilegeMgr::getInstance()->getNobilityImageUrlById(level, name);
        }
        vNoblePrivilegeMgr::getInstance()->getNobilityImagePathById(number, key);
        return;
    case EDataTable::medal:
        VMedalMgr::getInstance()->reload();
        for (const QJsonValue &row : rows)
            VMedalMgr::getInstance()->getShouHuMedalImagePathById(VDataTable::text(row.toObject(), QStringLiteral("id")));
        VMedalMgr::getInstance()->getShouHuMedalImagePathById(key);
        return;
    case EDataTable::publicConfig:
        readDefines(VPublicConfigMgr::getInstance(), rows, number);
        return;
    case EDataTable::systemConfig:
        readDefines(VSystemConfigMgr::getInstance(), rows, number);
        return;
    case EDataTable::h5WebConfig:
        vH5WebConfigMgr::getInstance()->reload();
        for (const QJsonValue &row : rows) {
            const int define = VDataTable::integer(row.toObject(), QStringLiteral("define"));
            vH5WebConfigMgr::getInstance()->getAppURLByDefine(define, QStringLiteral("ImageResServer"));
        }
        vH5WebConfigMgr::getInstance()->getAppURLByDefine(number, key);
        return;
    }
}

void readConfig(const QString &key)
{
    QuadrelConfig *config = QuadrelConfig::getInstance();
    config->getConfig(key);
    config->getCefUrl(key, QStringLiteral("?a=1"));
    config->getAgoraAPPKey();
    config->getSDKInit();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(silent);
    static int argc = 1;
    static char name[] = "fuzz_config_tables";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives as long as the process
    static QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        fail("cannot make a working folder", work.path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QMetaEnum tables = QMetaEnum::fromType<EDataTable::EDataTableType>();
    // 0: the handshake reply; 1, 2: the two configuration files; then each table; last: versions.
    const int which = in.ConsumeIntegralInRange<int>(0, tables.keyCount() + 3);
    const QString key = QString::fromStdString(in.ConsumeRandomLengthString(64));
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray document(rest.data(), int(rest.size()));
    if (hasDuplicateKeys(document))
        return 0;

    QuadrelConfig *config = QuadrelConfig::getInstance();
    QString written;
    if (which == 0) {
        config->parseSDKInit(document);
        readConfig(key);
    } else if (which <= 2) {
        written = which == 1 ? QuadrelConfig::defaultsPath() : QuadrelConfig::localPath();
        writeFile(written, document);
        config->reload();
        readConfig(key);
        // Whatever the file held, what the store writes it reads back.
        config->setConfig(key, QStringLiteral("set by the fuzzer"));
        config->reload();
        if (config->getConfig(key) != QStringLiteral("set by the fuzzer"))
            fail("a value set does not read back after a reload:", key);
        QFile::remove(QuadrelConfig::localPath());
    } else if (which < tables.keyCount() + 3) {
        const auto type = EDataTable::EDataTableType(tables.value(which - 3));
        written = VDataTable::folder() + VDataTableMgr::getTableFileName(type);
        writeFile(written, document);
        readTable(type, key);
    } else {
        written = VDataTable::folder() + QStringLiteral("version.json");
        writeFile(written, document);
        VDataTableMgr::getInstance()->loadLocalVersion();
        for (int i = 0; i < tables.keyCount(); ++i)
            VDataTableMgr::getInstance()->getLocalVersion(EDataTable::EDataTableType(tables.value(i)));
    }
    // The next input starts from no files and no handshake values.
    if (!written.isEmpty())
        QFile::remove(written);
    config->reload();
    return 0;
}
