#pragma once

#include "win32api.h"

#include <string>

// Catches a crash nothing else handles, writes a dump of the process into the dump folder and
// packs every file of that folder into one zip archive next to the dump. Paths are relative to the
// current directory. The dump's name is fixed when the collector is installed; at the crash it is
// numbered when that name is already taken.
class VDmpCollect
{
public:
    static VDmpCollect *instance();
    virtual ~VDmpCollect();

    // Both UTF-8; nothing happens when either is missing.
    void init(const char *dumpDir, const char *prefix);
    static bool writeDump(EXCEPTION_POINTERS *pointers, const wchar_t *path);
    // Packs the dump folder into zipPath().
    void packDumps();
    // Packs the dump folder into the zip of the given dump path.
    void packDumps(const std::string &dumpPath);
    void removeDumpFolder();
    bool hasNoZip();

    const std::string &dumpDir() const { return m_dumpDir; }
    const std::string &dumpPath() const { return m_dumpPath; }
    // dumpPath with its first ".dmp" turned into ".zip".
    std::string zipPath() const;
    static std::string zipPathOf(const std::string &dumpPath);
    // dumpPath, or when it or its zip is taken (another process installed in the same second),
    // the first free "<name>_<n>.dmp"; the dump file is claimed on the way.
    std::string freeDumpPath() const;

    // The dump callback: only ntdll keeps its data segments.
    static BOOL dumpCallback(void *param, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output);

private:
    VDmpCollect() = default;

    std::string m_dumpDir;
    std::string m_dumpPath;
};

// The process's unhandled-exception filter: always lets the system's handling go on.
LONG dumpExceptionFilter(EXCEPTION_POINTERS *pointers);
void installDumpCollector();
