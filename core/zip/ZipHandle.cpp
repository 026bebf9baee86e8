#include "ZipHandle.h"

const char *zipResultText(DWORD code, bool forReader)
{
    switch (code) {
    case ZIP_OK: return "Success";
    case ZIP_NO_DUPLICATE: return "Culdn't duplicate handle";
    case ZIP_NO_FILE: return "Couldn't create/open file";
    case ZIP_NO_MEMORY: return "Failed to allocate memory";
    case ZIP_WRITE_FAILED: return "Error writing to file";
    case ZIP_NOT_FOUND: return "File not found in the zipfile";
    case ZIP_MORE: return "Still more data to unzip";
    case ZIP_CORRUPT: return "Zipfile is corrupt or not a zipfile";
    case ZIP_READ_FAILED: return "Error reading file";
    case ZIP_PASSWORD: return forReader ? "Correct password required" : "unknown zip result code";
    case ZIP_ARGS: return "Caller: faulty arguments";
    case ZIP_NOT_MEMORY: return "Caller: can only get memory of a memory zipfile";
    case ZIP_MEMORY_SIZE: return "Caller: not enough space allocated for memory zipfile";
    case ZIP_PREVIOUS_ERROR: return "Caller: there was a previous error";
    case ZIP_ENDED: return "Caller: additions to the zip have already been ended";
    case ZIP_SIZE_WRONG: return "Zip-bug: the anticipated size turned out wrong";
    case ZIP_PARTIALLY_UNZIPPED: return "Caller: the file had already been partially unzipped";
    case ZIP_MIXED_MODE: return "Caller: mixing creation and opening of zip";
    case ZIP_NOT_INITIALISED: return "Zip-bug: internal initialisation not completed";
    case ZIP_SEEK_UNSEEKABLE: return "Zip-bug: trying to seek the unseekable";
    case ZIP_NO_CHANGE: return "Zip-bug: tried to change mind, but not allowed";
    case ZIP_FLATION: return "Zip-bug: an internal error during flation";
    default: return "unknown zip result code";
    }
}
