#pragma once

#include "win32api.h"

#include <string>

// Catches a crash nothing else handles, writes a dump of the process into the dump folder and
// packs every file of that folder into one zip archive next to the dump. Paths are relative to the
// current directory. The dump's name is fixed when the collector is installed.
class VDmpCollect
{
public:
    static VDmpCollect *instance();
    virtual ~VDmpCollect();

    // Both UTF-8; nothing happens when either is missing.
    void init(const char *dumpDir, const char *prefix);
    static bool writeDump(EXCEPTION_POINTERS *pointers, const wchar_t *path);
    void packDumps();
    void removeDumpFolder();
    bool hasNoZip();

    const std::string &dumpDir() const { return m_dumpDir; }
    const std::string &dumpPath() const { return m_dumpPath; }
    // dumpPath with its first ".dmp" turned into ".zip".
    std::string zipPath() const;

private:
    VDmpCollect() = default;

    std::string m_dumpDir;
    std::string m_dumpPath;
};

// The process's unhandled-exception filter: always lets the system's handling go on.
LONG dumpExceptionFilter(EXCEPTION_POINTERS *pointers);
void installDumpCollector();
