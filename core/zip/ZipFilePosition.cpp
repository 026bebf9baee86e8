#include "ZipFilePosition.h"

bool ZipFilePosition::get(HANDLE file, ULONGLONG &position)
{
    LONG high = 0;
    SetLastError(0);
    DWORD low = SetFilePointer(file, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != 0)
        return false;
    position = (ULONGLONG(DWORD(high)) << 32) | low;
    return true;
}

bool ZipFilePosition::set(HANDLE file, LONGLONG position, DWORD method)
{
    LONG high = LONG(ULONGLONG(position) >> 32);
    SetLastError(0);
    DWORD low = SetFilePointer(file, LONG(DWORD(ULONGLONG(position) & 0xFFFFFFFFu)), &high, method);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != 0);
}

bool ZipFilePosition::getMovable(HANDLE file, ULONGLONG &position)
{
    return get(file, position) && set(file, LONGLONG(position));
}
