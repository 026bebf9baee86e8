#pragma once

#include "win32api.h"

// 64-bit file positions through SetFilePointer; false where the handle cannot seek.
class ZipFilePosition
{
public:
    static bool get(HANDLE file, ULONGLONG &position);
    static bool set(HANDLE file, LONGLONG position, DWORD method = FILE_BEGIN);
};
