#include "VDmpCollect.h"

#include "Tamsel.h"
#include "ZipText.h"
#include "ZipWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <ctime>

namespace {

const char *const kDumpFolder = "log/dmp";

BOOL dumpCallback(void *, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output)
{
    if (!input || !output)
        return FALSE;
    switch (input->CallbackType) {
    case ModuleCallback:
        // Only ntdll keeps its data segments; they tell most about a crash for their size.
        if (output->ModuleWriteFlags & ModuleWriteDataSeg) {
            const QString base = QFileInfo(QString::fromWCharArray(input->Module.FullPath)).completeBaseName();
            if (base.compare(QLatin1String("ntdll"), Qt::CaseInsensitive) != 0)
                output->ModuleWriteFlags &= ~ULONG(ModuleWriteDataSeg);
        }
        return TRUE;
    case ThreadCallback:
    case ThreadExCallback:
    case IncludeThreadCallback:
    case IncludeModuleCallback:
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

VDmpCollect *VDmpCollect::instance()
{
    static VDmpCollect collector;
    return &collector;
}

VDmpCollect::~VDmpCollect() = default;

void VDmpCollect::init(const char *dumpDir, const char *prefix)
{
    if (!dumpDir || !prefix)
        return;
    const time_t now = time(nullptr);
    const tm *date = localtime(&now);
    SYSTEMTIME clock;
    GetLocalTime(&clock);
    char dateText[40], timeText[24], name[600];
    std::snprintf(dateText, sizeof dateText, "%04d%02d%02d", date->tm_year + 1900, date->tm_mon + 1, date->tm_mday);
    std::snprintf(timeText, sizeof timeText, "%02d_%02d_%02d", clock.wHour, clock.wMinute, clock.wSecond);
    std::snprintf(name, sizeof name, "%s_%s_%s.dmp", prefix, dateText, timeText);
    m_dumpDir = dumpDir;
    m_dumpPath = m_dumpDir + "/" + name;
    SetUnhandledExceptionFilter(dumpExceptionFilter);
}

std::string VDmpCollect::zipPath() const
{
    std::string zip = m_dumpPath;
    size_t at = zip.find(".dmp");
    if (at != std::string::npos)
        zip.replace(at, 4, ".zip");
    return zip;
}

bool VDmpCollect::writeDump(EXCEPTION_POINTERS *pointers, const wchar_t *path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    MINIDUMP_EXCEPTION_INFORMATION exception;
    exception.ThreadId = GetCurrentThreadId();
    exception.ExceptionPointers = pointers;
    exception.ClientPointers = FALSE;
    MINIDUMP_CALLBACK_INFORMATION callback;
    callback.CallbackRoutine = dumpCallback;
    callback.CallbackParam = nullptr;
    // The file is kept whatever the dump call made of it.
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &exception, nullptr, &callback);
    CloseHandle(file);
    return true;
}

void VDmpCollect::packDumps()
{
    copyToOtherDir(QString::fromLatin1(kDumpFolder) + "/");
    // Listed before the archive exists: the new dump and every earlier dump and zip go in.
    const QStringList files = QDir(kDumpFolder).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
    ZipHandle *zip = zipWriterCreateFile(ZipText::toWide(zipPath()).c_str(), nullptr);
    for (const QString &name : files) {
        const std::string source = std::string(kDumpFolder) + "/" + name.toStdString();
        zipWriterAddFile(zip, ZipText::toWide(name.toStdString()).c_str(), ZipText::toWide(source).c_str());
    }
    zipWriterClose(zip);
}

void VDmpCollect::removeDumpFolder()
{
    QDir(kDumpFolder).removeRecursively();
}

bool VDmpCollect::hasNoZip()
{
    return QDir(kDumpFolder).entryList({"*.zip"}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted).isEmpty();
}

LONG dumpExceptionFilter(EXCEPTION_POINTERS *pointers)
{
    if (!pointers)
        return EXCEPTION_CONTINUE_SEARCH;
    VDmpCollect *collector = VDmpCollect::instance();
    const std::wstring dir = ZipText::toWide(collector->dumpDir());
    // One level only: the parent "log" must already exist.
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(dir.c_str(), nullptr);
    if (VDmpCollect::writeDump(pointers, ZipText::toWide(collector->dumpPath()).c_str()))
        collector->packDumps();
    return EXCEPTION_CONTINUE_SEARCH;
}

void installDumpCollector()
{
    VDmpCollect::instance()->init("log/dmp", "kivoLive");
}
