#pragma once

#include "ZipEntry.h"
#include "ZipEntryStream.h"
#include "ZipHandle.h"

#include <string>
#include <vector>

class ZipSource;

// Reads a zip archive from a file, a handle or memory through minizip's unzip layer.
class ZipReader
{
public:
    ZipReader();
    ~ZipReader();

    DWORD open(ZipSource *source, const char *password);
    DWORD getEntry(int index, ZipEntry *entry);
    DWORD findEntry(const wchar_t *name, bool ignoreCase, int *index, ZipEntry *entry);
    DWORD extractToFile(int index, const wchar_t *path);
    DWORD extractToHandle(int index, HANDLE file);
    DWORD extractToMemory(int index, void *buffer, DWORD length);
    DWORD setBaseDir(const wchar_t *dir);
    void close();

    // Cuts drive letters, leading separators and "../" steps so that a name stays below the
    // folder it is extracted into.
    static std::wstring safeName(const std::wstring &name);
    // True when a relative path could step out of its base folder.
    static bool leavesBase(const std::wstring &path);

    static DWORD lastResult;

private:
    void closeOpenEntry();
    DWORD goTo(int index);
    DWORD describeCurrent(int index, ZipEntry *entry);
    DWORD openCurrent();
    // Reads an opened encrypted entry through to its CRC, then opens it again.
    DWORD verifyCurrent();
    DWORD extractCurrent(HANDLE file);
    DWORD closeCurrent(DWORD result);
    void createDirectories(const std::wstring &base, const std::wstring &path);

    void *m_archive = nullptr;  // unzFile
    ZipSource *m_source = nullptr;
    int m_count = 0;
    int m_current = 0;
    int m_openIndex = -1;
    int m_cachedIndex = -1;
    ZipEntry m_cachedEntry;
    bool m_hasPassword = false;
    std::string m_password;
    ZipEntryStream m_stream;
    std::vector<char> m_copyBuffer;
    std::wstring m_baseDir;
};

ZipHandle *zipReaderOpenFile(const wchar_t *path, const char *password);
ZipHandle *zipReaderOpenHandle(HANDLE file, const char *password);
ZipHandle *zipReaderOpenMemory(const void *block, DWORD length, const char *password);
DWORD zipReaderGetEntry(ZipHandle *handle, int index, ZipEntry *entry);
DWORD zipReaderFindEntry(ZipHandle *handle, const wchar_t *name, bool ignoreCase, int *index, ZipEntry *entry);
DWORD zipReaderExtractToFile(ZipHandle *handle, int index, const wchar_t *path);
DWORD zipReaderExtractToHandle(ZipHandle *handle, int index, HANDLE file);
DWORD zipReaderExtractToMemory(ZipHandle *handle, int index, void *buffer, DWORD length);
DWORD zipReaderSetBaseDir(ZipHandle *handle, const wchar_t *dir);
DWORD zipReaderClose(ZipHandle *handle);
// Writes the text of code (1: the last result) truncated to the buffer; returns its full length.
DWORD zipReaderMessage(DWORD code, wchar_t *buffer, DWORD length);
bool isZipReaderHandle(ZipHandle *handle);
