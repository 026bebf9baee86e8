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
const int kMaxNameTries = 1000;

bool exists(const std::string &path)
{
    return GetFileAttributesW(ZipText::toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

BOOL VDmpCollect::dumpCallback(void *, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output)
{
    if (!input || !output)
        return FALSE;
    switch (input->CallbackType) {
    case ModuleCallback:
        // Only ntdll keeps its data segments; they tell most about a crash for their size.
        if (output->ModuleWriteFlags & ModuleWriteDataSeg) {
            QString path = QString::fromWCharArray(input->Module.FullPath);
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            const QString base = QFileInfo(path).completeBaseName();
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
    return zipPathOf(m_dumpPath);
}

std::string VDmpCollect::zipPathOf(const std::string &dumpPath)
{
    std::string zip = dumpPath;
    size_t at = zip.find(".dmp");
    if (at != std::string::npos)
        zip.replace(at, 4, ".zip");
    return zip;
}

std::string VDmpCollect::freeDumpPath() const
{
    const size_t dot = m_dumpPath.rfind(".dmp");
    const std::string stem = dot == std::string::npos ? m_dumpPath : m_dumpPath.substr(0, dot);
    const std::string tail = dot == std::string::npos ? std::string() : m_dumpPath.substr(dot);
    std::string path = m_dumpPath;
    for (int n = 1; n <= kMaxNameTries; ++n) {
        if (!exists(zipPathOf(path))) {
            // Created only when new, so that two processes crashing at once cannot pick the same name.
            HANDLE claim = CreateFileW(ZipText::toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (claim != INVALID_HANDLE_VALUE) {
                CloseHandle(claim);
                return path;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                return path; // no folder to write in: the dump fails the same way
        }
        path = stem + "_" + std::to_string(n) + tail;
    }
    return m_dumpPath;
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
    callback.CallbackRoutine = VDmpCollect::dumpCallback;
    callback.CallbackParam = nullptr;
    // The file is kept whatever the dump call made of it.
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &exception, nullptr, &callback);
    CloseHandle(file);
    return true;
}

void VDmpCollect::packDumps()
{
    packDumps(m_dumpPath);
}

void VDmpCollect::packDumps(const std::string &dumpPath)
{
    copyToOtherDir(QString::fromLatin1(kDumpFolder) + "/");
    // Listed before the archive exists: the new dump and every earlier dump and zip go in.
    const QStringList files = QDir(kDumpFolder).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
    ZipHandle *zip = zipWriterCreateFile(ZipText::toWide(zipPathOf(dumpPath)).c_str(), nullptr);
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
    const std::string dumpPath = collector->freeDumpPath();
    if (VDmpCollect::writeDump(pointers, ZipText::toWide(dumpPath).c_str()))
        collector->packDumps(dumpPath);
    return EXCEPTION_CONTINUE_SEARCH;
}

void installDumpCollector()
{
    VDmpCollect::instance()->init("log/dmp", "kivoLive");
}
