#pragma once

#include "ZipHandle.h"

#include <memory>
#include <string>
#include <vector>

class ZipDeflater;

// Builds a zip archive (no ZIP64) into a file, a handle or memory: stored or deflated entries,
// optional traditional encryption, an extended-timestamp extra field per entry.
class ZipWriter
{
public:
    ZipWriter();
    ~ZipWriter();

    DWORD createFile(const wchar_t *path, const char *password);
    DWORD createHandle(HANDLE file, const char *password);
    DWORD createMemory(void *block, DWORD capacity, const char *password);

    DWORD addFile(const wchar_t *name, const wchar_t *sourcePath);
    // length: the size known in advance for a handle that cannot seek, or -1.
    DWORD addHandle(const wchar_t *name, HANDLE file, LONGLONG length);
    DWORD addMemory(const wchar_t *name, const void *block, DWORD length);
    DWORD addFolder(const wchar_t *name);
    DWORD getMemory(void **block, DWORD *length);
    // Ends the archive if needed and releases the target; returns the result of ending.
    DWORD close();

    static DWORD lastResult;

private:
    struct Source;
    struct CentralRecord {
        std::string name;
        uint16_t flags, method, dosTime, dosDate;
        uint32_t crc, compressedSize, uncompressedSize, externalAttributes, offset, mtime;
    };

    bool isSetUp() const { return m_isFile || m_memory; }
    DWORD add(const wchar_t *name, Source &source, bool folder);
    DWORD end();
    bool writeTarget(const void *data, DWORD length);
    bool writeData(const void *data, DWORD length);  // writes, encrypting while the data is encrypted
    bool seekTarget(ULONGLONG position);
    DWORD storeData(Source &source, uint64_t &written);
    DWORD deflateData(Source &source, uint16_t &flags, uint64_t &written);

    std::string m_password;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_isFile = false;
    bool m_ownsHandle = false;
    unsigned char *m_memory = nullptr;
    HANDLE m_mapping = nullptr;
    DWORD m_capacity = 0;
    DWORD m_position = 0;
    DWORD m_memoryLength = 0;
    bool m_canSeek = false;
    ULONGLONG m_baseOffset = 0;
    uint64_t m_written = 0;  // kept wide so that passing 4 GiB is seen, not wrapped
    DWORD m_error = 0;
    bool m_ended = false;
    DWORD m_endResult = 0;
    bool m_encrypting = false;
    std::unique_ptr<class ZipCrypt> m_crypt;
    std::vector<CentralRecord> m_entries;
    std::unique_ptr<ZipDeflater> m_deflater;
    std::vector<char> m_buffer;
};

ZipHandle *zipWriterCreateFile(const wchar_t *path, const char *password);
ZipHandle *zipWriterCreateHandle(HANDLE file, const char *password);
ZipHandle *zipWriterCreateMemory(void *block, DWORD capacity, const char *password);
DWORD zipWriterAddFile(ZipHandle *handle, const wchar_t *name, const wchar_t *sourcePath);
DWORD zipWriterAddHandle(ZipHandle *handle, const wchar_t *name, HANDLE file);
DWORD zipWriterAddHandleSized(ZipHandle *handle, const wchar_t *name, HANDLE file, DWORD length);
DWORD zipWriterAddMemory(ZipHandle *handle, const wchar_t *name, const void *block, DWORD length);
DWORD zipWriterAddFolder(ZipHandle *handle, const wchar_t *name);
DWORD zipWriterGetMemory(ZipHandle *handle, void **block, DWORD *length);
DWORD zipWriterClose(ZipHandle *handle);
// Writes the text of code (1: the last result) truncated to the buffer; returns its full length.
DWORD zipWriterMessage(DWORD code, char *buffer, DWORD length);
bool isZipWriterHandle(ZipHandle *handle);
