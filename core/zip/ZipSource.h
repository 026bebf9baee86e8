#pragma once

#include "win32api.h"

#include <ioapi.h>

// The reader's source layer: an open file handle or a memory block, read through minizip's
// file functions. Every offset is relative to the position the handle had at opening.
class ZipSource
{
public:
    static ZipSource *fromHandle(HANDLE handle, bool ownsHandle);
    static ZipSource *fromMemory(const void *block, DWORD length);
    ~ZipSource();

    bool canSeek() const { return m_canSeek; }
    bool readError() const { return m_readError; }
    DWORD read(void *buffer, DWORD size);
    // origin: ZLIB_FILEFUNC_SEEK_SET/CUR/END; false when the source cannot go there.
    bool seek(LONGLONG offset, int origin);
    LONGLONG tell() const;
    // minizip's file functions over this source.
    zlib_filefunc64_def fileFunctions();

private:
    ZipSource() = default;

    bool m_isFile = false;
    bool m_canSeek = false;
    bool m_ownsHandle = false;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    ULONGLONG m_baseOffset = 0;
    bool m_readError = false;
    const unsigned char *m_block = nullptr;
    DWORD m_length = 0;
    DWORD m_position = 0;
};
