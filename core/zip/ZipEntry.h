#pragma once

#include "win32api.h"

// The description of one archive entry, as the reader's get and find fill it.
struct ZipEntry {
    int index = -1;
    wchar_t name[MAX_PATH + 1] = {};  // at most 260 characters, made safe for extraction
    DWORD attr = 0;                   // Windows attribute bits
    FILETIME atime = {0, 0};          // UTC
    FILETIME ctime = {0, 0};
    FILETIME mtime = {0, 0};
    DWORD compressedSize = 0;
    DWORD uncompressedSize = 0;
};
