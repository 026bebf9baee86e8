// POSIX implementation of the file, mapping, time and text calls of win32/file.h.
#include "win32/file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local DWORD g_lastError = 0;

enum class Kind { File, Mapping };

struct HandleObject {
    Kind kind;
    int fd;
    void *view;
    size_t size;
    int views;
    bool closed;
    // A file opened by path for reading or writing: its identity and what it allows others.
    bool tracked = false;
    dev_t device = 0;
    ino_t inode = 0;
    DWORD access = 0;
    DWORD share = 0;
};

std::mutex g_mapMutex;
std::map<const void *, HandleObject *> g_views;

// Every open of a file by path in the process, so that share modes hold between them.
std::mutex g_shareMutex;
std::multimap<std::pair<dev_t, ino_t>, HandleObject *> g_opens;

const LONGLONG kEpochDelta = 116444736000000000LL; // 1601-01-01 to 1970-01-01 in 100 ns
const LONGLONG kTicksPerSecond = 10000000LL;

HandleObject *fileObject(HANDLE h)
{
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return nullptr;
    auto *o = static_cast<HandleObject *>(h);
    return o->kind == Kind::File ? o : nullptr;
}

DWORD errorFromErrno(int e)
{
    switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    default: return 0x1F; // ERROR_GEN_FAILURE
    }
}

void fail(int e) { g_lastError = errorFromErrno(e); }

void appendUtf8(std::string &out, uint32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i]; malformed input yields U+FFFD and consumes one byte.
uint32_t decodeUtf8(const unsigned char *text, size_t length, size_t &i)
{
    unsigned char b = text[i];
    int extra;
    uint32_t c;
    if (b < 0x80) { ++i; return b; }
    if ((b & 0xE0) == 0xC0) { extra = 1; c = b & 0x1F; }
    else if ((b & 0xF0) == 0xE0) { extra = 2; c = b & 0x0F; }
    else if ((b & 0xF8) == 0xF0) { extra = 3; c = b & 0x07; }
    else { ++i; return 0xFFFD; }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= length || (text[i + k] & 0xC0) != 0x80) { ++i; return 0xFFFD; }
        c = (c << 6) | (text[i + k] & 0x3F);
    }
    static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (c < minimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) { ++i; return 0xFFFD; }
    i += extra + 1;
    return c;
}

// A wide path as a POSIX path: UTF-8, with backslashes taken as separators.
std::string posixPath(LPCWSTR path)
{
    std::string out;
    for (; *path; ++path)
        appendUtf8(out, *path == L'\\' ? uint32_t('/') : uint32_t(*path));
    return out;
}

LONGLONG toTicks(const FILETIME &ft) { return LONGLONG((ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime); }

void fromTicks(LONGLONG ticks, FILETIME &ft)
{
    ft.dwLowDateTime = DWORD(ULONGLONG(ticks) & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(ULONGLONG(ticks) >> 32);
}

FILETIME fromTimespec(const timespec &ts)
{
    FILETIME ft;
    fromTicks(LONGLONG(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100 + kEpochDelta, ft);
    return ft;
}

timespec toTimespec(const FILETIME &ft)
{
    LONGLONG t = toTicks(ft) - kEpochDelta;
    LONGLONG sec = t / kTicksPerSecond, rest = t % kTicksPerSecond;
    if (rest < 0) { --sec; rest += kTicksPerSecond; }
    timespec ts;
    ts.tv_sec = time_t(sec);
    ts.tv_nsec = long(rest * 100);
    return ts;
}

void fillSystemTime(const tm &t, WORD ms, SYSTEMTIME &st)
{
    st.wYear = WORD(t.tm_year + 1900);
    st.wMonth = WORD(t.tm_mon + 1);
    st.wDayOfWeek = WORD(t.tm_wday);
    st.wDay = WORD(t.tm_mday);
    st.wHour = WORD(t.tm_hour);
    st.wMinute = WORD(t.tm_min);
    st.wSecond = WORD(t.tm_sec);
    st.wMilliseconds = ms;
}

tm toTm(const SYSTEMTIME &st)
{
    tm t{};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    t.tm_isdst = -1;
    return t;
}

bool validSystemTime(const SYSTEMTIME &st)
{
    return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1
        && st.wDay <= 31 && st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

HandleObject *newFile(int fd)
{
    return new HandleObject{Kind::File, fd, nullptr, 0, 0, false};
}

bool accessCompatible(DWORD access, DWORD share, const HandleObject &other)
{
    if ((access & GENERIC_READ) && !(other.share & FILE_SHARE_READ))
        return false;
    if ((access & GENERIC_WRITE) && !(other.share & FILE_SHARE_WRITE))
        return false;
    if ((other.access & GENERIC_READ) && !(share & FILE_SHARE_READ))
        return false;
    if ((other.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))
        return false;
    return true;
}

// Records the open unless an earlier one of the same file refuses it (or it refuses that one).
bool registerOpen(HandleObject *o, const struct stat &st, DWORD access, DWORD share)
{
    // An open without data access neither checks nor restricts others.
    if (!(access & (GENERIC_READ | GENERIC_WRITE)))
        return true;
    const auto key = std::make_pair(st.st_dev, st.st_ino);
    std::lock_guard<std::mutex> lock(g_shareMutex);
    auto range = g_opens.equal_range(key);
    for (auto it = range.first; it != range.second; ++it)
        if (!accessCompatible(access, share, *it->second))
            return false;
    o->tracked = true;
    o->device = st.st_dev;
    o->inode = st.st_ino;
    o->access = access;
    o->share = share;
    g_opens.emplace(key, o);
    return true;
}

void unregisterOpen(HandleObject *o)
{
    if (!o->tracked)
        return;
    std::lock_guard<std::mutex> lock(g_shareMutex);
    auto range = g_opens.equal_range(std::make_pair(o->device, o->inode));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == o) {
            g_opens.erase(it);
            break;
        }
    }
    o->tracked = false;
}

} // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, void *, DWORD disposition, DWORD flagsAndAttributes, HANDLE)
{
    if (!path || !*path) {
        g_lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC | O_NOFOLLOW;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    // Truncation waits until the share modes allow the open: a refused open leaves the file as it was.
    bool truncate = false;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT; truncate = true; break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: truncate = true; break;
    case OPEN_EXISTING: break;
    default: g_lastError = 87; return INVALID_HANDLE_VALUE; // ERROR_INVALID_PARAMETER
    }
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = ::open(posixPath(path).c_str(), flags, mode);
    if (fd < 0) {
        fail(errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        fail(errno);
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        g_lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    HandleObject *o = newFile(fd);
    if (!registerOpen(o, st, access, share)) {
        ::close(fd);
        delete o;
        g_lastError = ERROR_SHARING_VIOLATION;
        return INVALID_HANDLE_VALUE;
    }
    if (truncate && S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        fail(errno);
        unregisterOpen(o);
        ::close(fd);
        delete o;
        return INVALID_HANDLE_VALUE;
    }
    g_lastError = 0;
    return o;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD *read, void *)
{
    if (read)
        *read = 0;
    HandleObject *o = fileObject(file);
    if (!o) {
        g_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    ssize_t n;
    do {
        n = ::read(o->fd, buffer, toRead);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        fail(errno);
        return FALSE;
    }
    if (read)
        *read = DWORD(n);
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void *buffer, DWORD toWrite, DWORD *written, void *)
{
    if (written)
        *written = 0;
    HandleObject *o = fileObject(file);
    if (!o) {
        g_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    const char *p = static_cast<const char *>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        ssize_t n = ::write(o->fd, p + done, toWrite - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
            if (written)
                *written = done;
            return FALSE;
        }
        done += DWORD(n);
    }
    if (written)
        *written = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG *distanceHigh, DWORD method)
{
    HandleObject *o = fileObject(file);
    if (!o) {
        g_lastError = ERROR_INVALID_HANDLE;
        return INVALID_SET_FILE_POINTER;
    }
    off_t offset = distanceHigh ? off_t((uint64_t(uint32_t(*distanceHigh)) << 32) | uint32_t(distance)) : off_t(distance);
    int whence = method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : SEEK_SET;
    if (whence == SEEK_SET && offset < 0) {
        g_lastError = ERROR_NEGATIVE_SEEK;
        return INVALID_SET_FILE_POINTER;
    }
    // A handle opened for appending (a shell's ">>") writes at the end wherever its pointer
    // stands, so a move could only mislead its writer: moves are refused as a pipe's are, and
    // its writer treats it as the stream it is. Asking where it stands is answered.
    const bool asksPosition = whence == SEEK_CUR && offset == 0;
    const int status = asksPosition ? -1 : ::fcntl(o->fd, F_GETFL);
    if (status != -1 && (status & O_APPEND) && (status & O_ACCMODE) != O_RDONLY) {
        fail(ESPIPE);
        return INVALID_SET_FILE_POINTER;
    }
    off_t pos = ::lseek(o->fd, offset, whence);
    if (pos < 0) {
        fail(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = LONG(uint64_t(pos) >> 32);
    else if (uint64_t(pos) > 0xFFFFFFFFu) {
        g_lastError = 87;
        return INVALID_SET_FILE_POINTER;
    }
    g_lastError = 0;
    return DWORD(uint64_t(pos) & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE file, DWORD *sizeHigh)
{
    HandleObject *o = fileObject(file);
    struct stat st;
    if (!o || ::fstat(o->fd, &st) != 0) {
        g_lastError = ERROR_INVALID_HANDLE;
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh)
        *sizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    g_lastError = 0;
    return DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu);
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return FALSE;
    if (creation)
        *creation = info.ftCreationTime;
    if (access)
        *access = info.ftLastAccessTime;
    if (write)
        *write = info.ftLastWriteTime;
    return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME *, const FILETIME *access, const FILETIME *write)
{
    HandleObject *o = fileObject(file);
    if (!o) {
        g_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    // POSIX keeps no settable creation time.
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (access)
        times[0] = toTimespec(*access);
    if (write)
        times[1] = toTimespec(*write);
    if (::futimens(o->fd, times) != 0) {
        fail(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    HandleObject *o = fileObject(file);
    struct stat st;
    if (!o || !info || ::fstat(o->fd, &st) != 0) {
        g_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    std::memset(info, 0, sizeof(*info));
    DWORD attr = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        attr |= FILE_ATTRIBUTE_READONLY;
    info->dwFileAttributes = attr;
    info->ftCreationTime = fromTimespec(st.st_ctim);
    info->ftLastAccessTime = fromTimespec(st.st_atim);
    info->ftLastWriteTime = fromTimespec(st.st_mtim);
    info->dwVolumeSerialNumber = DWORD(st.st_dev);
    info->nFileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    info->nFileSizeLow = DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu);
    info->nNumberOfLinks = DWORD(st.st_nlink);
    info->nFileIndexHigh = DWORD(uint64_t(st.st_ino) >> 32);
    info->nFileIndexLow = DWORD(uint64_t(st.st_ino) & 0xFFFFFFFFu);
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    if (object == nullptr || object == INVALID_HANDLE_VALUE) {
        g_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    auto *o = static_cast<HandleObject *>(object);
    if (o->kind == Kind::File) {
        unregisterOpen(o);
        ::close(o->fd);
        delete o;
        return TRUE;
    }
    std::lock_guard<std::mutex> lock(g_mapMutex);
    o->closed = true;
    if (o->views == 0) {
        ::munmap(o->view, o->size);
        delete o;
    }
    return TRUE;
}

BOOL CreatePipe(HANDLE *readPipe, HANDLE *writePipe, void *, DWORD)
{
    int fds[2];
    if (!readPipe || !writePipe || ::pipe2(fds, O_CLOEXEC) != 0) {
        fail(errno);
        return FALSE;
    }
    *readPipe = newFile(fds[0]);
    *writePipe = newFile(fds[1]);
    return TRUE;
}

HANDLE GetStdHandle(DWORD which)
{
    int fd = which == STD_INPUT_HANDLE ? 0 : which == STD_OUTPUT_HANDLE ? 1 : 2;
    static HandleObject *handles[3] = {newFile(0), newFile(1), newFile(2)};
    return handles[fd];
}

DWORD GetLastError() { return g_lastError; }

void SetLastError(DWORD error) { g_lastError = error; }

BOOL CreateDirectoryW(LPCWSTR path, void *)
{
    if (!path || !*path) {
        g_lastError = ERROR_PATH_NOT_FOUND;
        return FALSE;
    }
    if (::mkdir(posixPath(path).c_str(), 0777) != 0) {
        fail(errno);
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    struct stat st;
    if (!path || ::stat(posixPath(path).c_str(), &st) != 0) {
        fail(path ? errno : ENOENT);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attr = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        attr |= FILE_ATTRIBUTE_READONLY;
    return attr;
}

DWORD GetCurrentDirectoryW(DWORD length, LPWSTR buffer)
{
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) {
        fail(errno);
        return 0;
    }
    int needed = MultiByteToWideChar(CP_UTF8, 0, cwd, -1, nullptr, 0); // with the terminator
    if (!buffer || DWORD(needed) > length)
        return DWORD(needed);
    MultiByteToWideChar(CP_UTF8, 0, cwd, -1, buffer, int(length));
    return DWORD(needed - 1);
}

HANDLE CreateFileMappingW(HANDLE file, void *, DWORD, DWORD sizeHigh, DWORD sizeLow, LPCWSTR)
{
    size_t size = size_t((uint64_t(sizeHigh) << 32) | sizeLow);
    if (file != INVALID_HANDLE_VALUE || size == 0) {
        g_lastError = 87;
        return nullptr;
    }
    void *view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (view == MAP_FAILED) {
        g_lastError = 8; // ERROR_NOT_ENOUGH_MEMORY
        return nullptr;
    }
    return new HandleObject{Kind::Mapping, -1, view, size, 0, false};
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD, DWORD offsetHigh, DWORD offsetLow, SIZE_T)
{
    auto *o = static_cast<HandleObject *>(mapping);
    if (!o || mapping == INVALID_HANDLE_VALUE || o->kind != Kind::Mapping || offsetHigh || offsetLow) {
        g_lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mapMutex);
    ++o->views;
    g_views[o->view] = o;
    return o->view;
}

BOOL UnmapViewOfFile(const void *view)
{
    std::lock_guard<std::mutex> lock(g_mapMutex);
    auto it = g_views.find(view);
    if (it == g_views.end()) {
        g_lastError = 487; // ERROR_INVALID_ADDRESS
        return FALSE;
    }
    HandleObject *o = it->second;
    if (--o->views == 0) {
        g_views.erase(it);
        if (o->closed) {
            ::munmap(o->view, o->size);
            delete o;
        }
    }
    return TRUE;
}

void GetLocalTime(LPSYSTEMTIME time)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm t;
    localtime_r(&now.tv_sec, &t);
    fillSystemTime(t, WORD(now.tv_nsec / 1000000), *time);
}

void GetSystemTime(LPSYSTEMTIME time)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm t;
    gmtime_r(&now.tv_sec, &t);
    fillSystemTime(t, WORD(now.tv_nsec / 1000000), *time);
}

void GetSystemTimeAsFileTime(LPFILETIME time)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    *time = fromTimespec(now);
}

BOOL FileTimeToSystemTime(const FILETIME *fileTime, LPSYSTEMTIME systemTime)
{
    if (!fileTime || !systemTime || toTicks(*fileTime) < 0)
        return FALSE;
    timespec ts = toTimespec(*fileTime);
    tm t;
    if (!gmtime_r(&ts.tv_sec, &t))
        return FALSE;
    fillSystemTime(t, WORD(ts.tv_nsec / 1000000), *systemTime);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, LPFILETIME fileTime)
{
    if (!systemTime || !fileTime || !validSystemTime(*systemTime))
        return FALSE;
    tm t = toTm(*systemTime);
    t.tm_isdst = 0;
    time_t sec = timegm(&t);
    timespec ts{sec, long(systemTime->wMilliseconds) * 1000000L};
    *fileTime = fromTimespec(ts);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME *fileTime, LPFILETIME localFileTime)
{
    if (!fileTime || !localFileTime)
        return FALSE;
    timespec ts = toTimespec(*fileTime);
    tm t;
    if (!localtime_r(&ts.tv_sec, &t))
        return FALSE;
    fromTicks(toTicks(*fileTime) + LONGLONG(t.tm_gmtoff) * kTicksPerSecond, *localFileTime);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME *localFileTime, LPFILETIME fileTime)
{
    SYSTEMTIME st;
    if (!fileTime || !FileTimeToSystemTime(localFileTime, &st))
        return FALSE;
    tm t = toTm(st);
    time_t sec = mktime(&t);
    if (sec == time_t(-1) && !(t.tm_year == 69 && t.tm_mon == 11 && t.tm_mday == 31))
        return FALSE;
    timespec ts{sec, long(st.wMilliseconds) * 1000000L};
    *fileTime = fromTimespec(ts);
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, LPFILETIME fileTime)
{
    SYSTEMTIME st{};
    st.wYear = WORD(1980 + (dosDate >> 9));
    st.wMonth = WORD((dosDate >> 5) & 0x0F);
    st.wDay = WORD(dosDate & 0x1F);
    st.wHour = WORD(dosTime >> 11);
    st.wMinute = WORD((dosTime >> 5) & 0x3F);
    st.wSecond = WORD((dosTime & 0x1F) * 2);
    return SystemTimeToFileTime(&st, fileTime);
}

BOOL FileTimeToDosDateTime(const FILETIME *fileTime, WORD *dosDate, WORD *dosTime)
{
    SYSTEMTIME st;
    if (!dosDate || !dosTime || !FileTimeToSystemTime(fileTime, &st) || st.wYear < 1980 || st.wYear > 2107)
        return FALSE;
    *dosDate = WORD(((st.wYear - 1980) << 9) | (st.wMonth << 5) | st.wDay);
    *dosTime = WORD((st.wHour << 11) | (st.wMinute << 5) | (st.wSecond / 2));
    return TRUE;
}

int MultiByteToWideChar(UINT, DWORD, LPCSTR text, int length, LPWSTR wide, int wideLength)
{
    if (!text)
        return 0;
    size_t n = length < 0 ? std::strlen(text) + 1 : size_t(length);
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    int count = 0;
    for (size_t i = 0; i < n;) {
        uint32_t c = decodeUtf8(bytes, n, i);
        if (wide && wideLength > 0) {
            if (count >= wideLength) {
                g_lastError = 122; // ERROR_INSUFFICIENT_BUFFER
                return 0;
            }
            wide[count] = wchar_t(c);
        }
        ++count;
    }
    return count;
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR wide, int wideLength, LPSTR text, int length, LPCSTR, BOOL *usedDefault)
{
    if (usedDefault)
        *usedDefault = FALSE;
    if (!wide)
        return 0;
    size_t n = wideLength < 0 ? std::wcslen(wide) + 1 : size_t(wideLength);
    std::string out;
    for (size_t i = 0; i < n; ++i)
        appendUtf8(out, uint32_t(wide[i]));
    if (text && length > 0) {
        if (out.size() > size_t(length)) {
            g_lastError = 122;
            return 0;
        }
        std::memcpy(text, out.data(), out.size());
    }
    return int(out.size());
}
