#pragma once

#include "win32api.h"

// What every zip reader and writer function takes: the kind of object behind it and the object.
struct ZipHandle {
    enum Kind { Reader = 1, Writer = 2 };
    int kind;
    void *object;
};

// Result codes shared by the zip reader and writer.
enum ZipResult : DWORD {
    ZIP_OK = 0,
    ZIP_NO_DUPLICATE = 0x100,
    ZIP_NO_FILE = 0x200,
    ZIP_NO_MEMORY = 0x300,
    ZIP_WRITE_FAILED = 0x400,
    ZIP_NOT_FOUND = 0x500,
    ZIP_MORE = 0x600,
    ZIP_CORRUPT = 0x700,
    ZIP_READ_FAILED = 0x800,
    ZIP_PASSWORD = 0x1000,
    ZIP_ARGS = 0x10000,
    ZIP_NOT_MEMORY = 0x20000,
    ZIP_MEMORY_SIZE = 0x30000,
    ZIP_PREVIOUS_ERROR = 0x40000,
    ZIP_ENDED = 0x50000,
    ZIP_SIZE_WRONG = 0x60000,
    ZIP_PARTIALLY_UNZIPPED = 0x70000,
    ZIP_MIXED_MODE = 0x80000,
    ZIP_NOT_INITIALISED = 0x1000000,
    ZIP_SEEK_UNSEEKABLE = 0x2000000,
    ZIP_NO_CHANGE = 0x4000000,
    ZIP_FLATION = 0x5000000,
};

// The text of a result code; the writer's table has no password entry.
const char *zipResultText(DWORD code, bool forReader);
