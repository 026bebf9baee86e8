#pragma once

#include "win32/types.h"

// Free space of the volume holding a directory. A drive text "X:" (or "X:/rest") names the
// volume of the program's own folder, since POSIX has no drive letters; any other text is a
// path. The counts are bytes; a null pointer skips that count. Returns FALSE when the
// volume cannot be queried.
BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes,
                         PULARGE_INTEGER lpTotalNumberOfFreeBytes);
