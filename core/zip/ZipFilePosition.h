#pragma once

#include "win32api.h"

// 64-bit file positions through SetFilePointer; false where the handle cannot seek.
class ZipFilePosition
{
public:
    static bool get(HANDLE file, ULONGLONG &position);
    // The position, where the handle can also be moved: an appending handle tells its position
    // but refuses every move, as a pipe does.
    static bool getMovable(HANDLE file, ULONGLONG &position);
    static bool set(HANDLE file, LONGLONG position, DWORD method = FILE_BEGIN);
};
