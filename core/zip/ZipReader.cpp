#include "ZipReader.h"

#include "ZipSource.h"
#include "ZipText.h"

#include <unzip.h>

#include <algorithm>
#include <cstring>

DWORD ZipReader::lastResult = ZIP_OK;

namespace {

const DWORD kCopyBufferSize = 16384;
const size_t kMaxName = 260;
const LONGLONG kEpochDelta = 116444736000000000LL;

unzFile archiveOf(void *p) { return static_cast<unzFile>(p); }

FILETIME fileTimeFromUnix(LONGLONG seconds)
{
    ULONGLONG t = ULONGLONG(seconds * 10000000LL + kEpochDelta);
    FILETIME ft;
    ft.dwLowDateTime = DWORD(t & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(t >> 32);
    return ft;
}

bool isSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

bool isAbsolute(const std::wstring &p)
{
    return (!p.empty() && isSeparator(p[0])) || (p.size() > 1 && p[1] == L':');
}

uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Applies the first extended-timestamp block ("UT") of a local extra field. Every block's declared
// size is checked against what remains, so a lying size ends the walk instead of reading past it.
void applyExtendedTimestamp(const std::vector<unsigned char> &extra, ZipEntry &e)
{
    size_t pos = 0;
    while (extra.size() - pos > 4) {
        uint16_t tag = le16(&extra[pos]);
        size_t size = le16(&extra[pos + 2]);
        if (size > extra.size() - pos - 4)
            return;
        if (tag == 0x5455 && size >= 1) {
            const unsigned char *data = &extra[pos + 4];
            unsigned char flags = data[0];
            size_t off = 1;
            FILETIME *targets[3] = {&e.mtime, &e.atime, &e.ctime};
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1 << bit)))
                    continue;
                if (off + 4 > size)
                    break;
                *targets[bit] = fileTimeFromUnix(int32_t(le32(data + off)));
                off += 4;
            }
            return;
        }
        pos += 4 + size;
    }
}

} // namespace

ZipReader::ZipReader() = default;

ZipReader::~ZipReader() { close(); }

DWORD ZipReader::open(ZipSource *source, const char *password)
{
    if (m_archive) {
        delete source;
        return ZIP_NOT_INITIALISED;
    }
    m_source = source;
    zlib_filefunc64_def functions = source->fileFunctions();
    m_archive = unzOpen2_64("", &functions);
    if (!m_archive) {
        delete m_source;
        m_source = nullptr;
        return ZIP_NO_FILE;
    }
    unz_global_info64 info;
    if (unzGetGlobalInfo64(archiveOf(m_archive), &info) != UNZ_OK) {
        close();
        return ZIP_NO_FILE;
    }
    m_count = int(std::min<ZPOS64_T>(info.number_entry, 0x7FFFFFFF));
    m_current = 0;
    m_hasPassword = password != nullptr;
    m_password = password ? password : "";
    // A working folder that does not fit leaves no base: relative targets then fail instead of
    // landing in the root.
    wchar_t cwd[MAX_PATH + 1] = {};
    DWORD n = GetCurrentDirectoryW(MAX_PATH, cwd);
    m_baseDir = n > 0 && n < MAX_PATH ? std::wstring(cwd, n) : std::wstring();
    if (!m_baseDir.empty() && !isSeparator(m_baseDir.back()))
        m_baseDir += L'/';
    return ZIP_OK;
}

void ZipReader::close()
{
    closeOpenEntry();
    if (m_archive)
        unzClose(archiveOf(m_archive));
    m_archive = nullptr;
    delete m_source;
    m_source = nullptr;
    m_password.clear();
    m_copyBuffer.clear();
    m_copyBuffer.shrink_to_fit();
}

void ZipReader::closeOpenEntry()
{
    if (m_openIndex != -1)
        m_stream.close();
    m_openIndex = -1;
}

std::wstring ZipReader::safeName(const std::wstring &name)
{
    static const wchar_t *const patterns[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
    std::wstring s = name;
    for (bool changed = true; changed;) {
        changed = false;
        if (s.size() >= 2 && s[1] == L':') {
            s.erase(0, 2);
            changed = true;
        } else if (!s.empty() && isSeparator(s[0])) {
            s.erase(0, 1);
            changed = true;
        } else if (s.size() >= 3 && s[0] == L'.' && s[1] == L'.' && isSeparator(s[2])) {
            s.erase(0, 3);  // a leading "../" would climb out of the base folder
            changed = true;
        } else {
            for (const wchar_t *p : patterns) {
                size_t at = s.find(p);
                if (at != std::wstring::npos) {
                    s.erase(0, at + 4);
                    changed = true;
                    break;
                }
            }
        }
    }
    if (s == L"..")
        s.clear();
    if (s.size() > kMaxName)
        s.resize(kMaxName);
    return s;
}

bool ZipReader::leavesBase(const std::wstring &path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        if (path.compare(start, end - start, L"..") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

DWORD ZipReader::goTo(int index)
{
    unzFile uf = archiveOf(m_archive);
    if (index < m_current) {
        if (unzGoToFirstFile(uf) != UNZ_OK)
            return ZIP_CORRUPT;
        m_current = 0;
    }
    while (m_current < index) {
        if (unzGoToNextFile(uf) != UNZ_OK)
            return ZIP_CORRUPT;
        ++m_current;
    }
    return ZIP_OK;
}

DWORD ZipReader::describeCurrent(int index, ZipEntry *entry)
{
    if (index == m_cachedIndex && m_cachedIndex != -1) {
        *entry = m_cachedEntry;
        return ZIP_OK;
    }
    unzFile uf = archiveOf(m_archive);
    unz_file_info64 info;
    char rawName[kMaxName + 1] = {};
    if (unzGetCurrentFileInfo64(uf, &info, rawName, sizeof rawName, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZIP_CORRUPT;
    rawName[std::min<size_t>(info.size_filename, kMaxName)] = '\0';
    const bool nameCut = info.size_filename > kMaxName;

    int rc = unzOpenCurrentFile3(uf, nullptr, nullptr, 1, nullptr);
    if (rc == UNZ_BADZIPFILE)
        return ZIP_CORRUPT;
    if (rc != UNZ_OK)
        return ZIP_READ_FAILED;
    int extraSize = unzGetLocalExtrafield(uf, nullptr, 0);
    std::vector<unsigned char> extra(size_t(std::max(extraSize, 0)));
    if (extraSize < 0 || (extraSize > 0 && unzGetLocalExtrafield(uf, extra.data(), unsigned(extraSize)) != extraSize)) {
        unzCloseCurrentFile(uf);
        return ZIP_READ_FAILED;
    }
    unzCloseCurrentFile(uf);

    ZipEntry e;
    e.index = index;
    std::wstring name = safeName(ZipText::toWide(rawName));
    std::copy(name.begin(), name.end(), e.name);
    e.name[name.size()] = L'\0';

    DWORD ext = DWORD(info.external_fa);
    unsigned host = unsigned(info.version >> 8) & 0xFF;
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        e.attr = ext & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                        | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE);
    } else {
        e.attr = FILE_ATTRIBUTE_ARCHIVE;
        if (ext & 0x40000000u)
            e.attr |= FILE_ATTRIBUTE_DIRECTORY;
        if (!(ext & 0x00800000u))
            e.attr |= FILE_ATTRIBUTE_READONLY;
    }
    // A name ending in a separator is a folder whatever its attributes say; the end of a cut name
    // says nothing.
    size_t rawLength = std::strlen(rawName);
    if (!nameCut && rawLength > 0 && (rawName[rawLength - 1] == '/' || rawName[rawLength - 1] == '\\'))
        e.attr |= FILE_ATTRIBUTE_DIRECTORY;

    FILETIME local, utc = {0, 0};
    if (DosDateTimeToFileTime(WORD(info.dosDate >> 16), WORD(info.dosDate & 0xFFFF), &local))
        LocalFileTimeToFileTime(&local, &utc);
    e.atime = e.ctime = e.mtime = utc;
    applyExtendedTimestamp(extra, e);

    e.compressedSize = DWORD(std::min<ZPOS64_T>(info.compressed_size, 0xFFFFFFFFu));
    e.uncompressedSize = DWORD(std::min<ZPOS64_T>(info.uncompressed_size, 0xFFFFFFFFu));
    m_cachedIndex = index;
    m_cachedEntry = e;
    *entry = e;
    return ZIP_OK;
}

DWORD ZipReader::getEntry(int index, ZipEntry *entry)
{
    if (!entry || index < -1 || index >= m_count)
        return ZIP_ARGS;
    closeOpenEntry();
    if (index == m_cachedIndex && m_cachedIndex != -1) {
        *entry = m_cachedEntry;
        return ZIP_OK;
    }
    if (index == -1) {
        *entry = ZipEntry();
        entry->index = m_count;
        return ZIP_OK;
    }
    DWORD rc = goTo(index);
    return rc != ZIP_OK ? rc : describeCurrent(index, entry);
}

DWORD ZipReader::findEntry(const wchar_t *name, bool ignoreCase, int *index, ZipEntry *entry)
{
    if (!name)
        return ZIP_ARGS;
    std::string utf8 = ZipText::toUtf8(name);
    if (utf8.size() > kMaxName)
        utf8.resize(kMaxName);
    unzFile uf = archiveOf(m_archive);
    unz64_file_pos pos;
    if (unzLocateFile(uf, utf8.c_str(), ignoreCase ? 2 : 1) != UNZ_OK || unzGetFilePos64(uf, &pos) != UNZ_OK) {
        if (index)
            *index = -1;
        if (entry) {
            *entry = ZipEntry();
            entry->index = -1;
        }
        return ZIP_NOT_FOUND;
    }
    closeOpenEntry();
    m_current = int(pos.num_of_file);
    if (index)
        *index = m_current;
    return entry ? describeCurrent(m_current, entry) : ZIP_OK;
}

DWORD ZipReader::openCurrent()
{
    unzFile uf = archiveOf(m_archive);
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZIP_CORRUPT;
    ZipEntryStream::Info i;
    i.flags = uint16_t(info.flag);
    i.method = uint16_t(info.compression_method);
    i.crc = uint32_t(info.crc);
    i.dosTime = uint16_t(info.dosDate & 0xFFFF);
    i.compressedSize = info.compressed_size;
    i.uncompressedSize = info.uncompressed_size;
    return m_stream.open(m_archive, i, m_hasPassword ? m_password.c_str() : nullptr);
}

DWORD ZipReader::verifyCurrent()
{
    // The header's check byte lets one wrong password in 256 through; only the data's CRC
    // tells for sure. The entry is read through once, kept nowhere, and opened again.
    if (m_copyBuffer.empty())
        m_copyBuffer.resize(kCopyBufferSize);
    DWORD rc = ZIP_OK;
    while (rc == ZIP_OK && !m_stream.atEnd())
        if (m_stream.read(m_copyBuffer.data(), kCopyBufferSize) < 0)
            rc = m_stream.error();
    rc = closeCurrent(rc);
    return rc == ZIP_OK ? openCurrent() : rc;
}

DWORD ZipReader::closeCurrent(DWORD result)
{
    if (result == ZIP_OK)
        result = m_stream.finish();
    m_stream.close();
    return result;
}

DWORD ZipReader::extractCurrent(HANDLE file)
{
    if (m_copyBuffer.empty())
        m_copyBuffer.resize(kCopyBufferSize);
    while (!m_stream.atEnd()) {
        long n = m_stream.read(m_copyBuffer.data(), kCopyBufferSize);
        if (n < 0)
            return m_stream.error();
        DWORD written = 0;
        if (n > 0 && (!WriteFile(file, m_copyBuffer.data(), DWORD(n), &written, nullptr) || written != DWORD(n)))
            return ZIP_WRITE_FAILED;
    }
    return ZIP_OK;
}

void ZipReader::createDirectories(const std::wstring &base, const std::wstring &path)
{
    std::wstring b = base;
    while (!b.empty() && isSeparator(b.back()))
        b.pop_back();
    if (!b.empty() && GetFileAttributesW(b.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(b.c_str(), nullptr);
    std::wstring p = path;
    while (!p.empty() && isSeparator(p.back()))
        p.pop_back();
    if (p.empty())
        return;
    size_t sep = p.find_last_of(L"/\\");
    if (sep != std::wstring::npos && sep > 0)
        createDirectories(base, p.substr(0, sep));
    std::wstring full = base + p;
    if (full.size() <= kMaxName && GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(full.c_str(), nullptr);
}

DWORD ZipReader::extractToFile(int index, const wchar_t *path)
{
    closeOpenEntry();
    if (index < 0 || index >= m_count || !path || !*path)
        return ZIP_ARGS;
    std::wstring target = path;
    bool absolute = isAbsolute(target);
    if (!absolute && leavesBase(target))
        return ZIP_ARGS;
    ZipEntry entry;
    DWORD rc = goTo(index);
    if (rc == ZIP_OK)
        rc = describeCurrent(index, &entry);
    if (rc != ZIP_OK)
        return rc;
    if (!absolute && m_baseDir.empty())
        return ZIP_NO_FILE;
    const std::wstring base = absolute ? std::wstring() : m_baseDir;
    if (entry.attr & FILE_ATTRIBUTE_DIRECTORY) {
        createDirectories(base, target);
        return ZIP_OK;
    }
    std::wstring full = base + target;
    // The path must fit as a whole: a name cut to fit would put the data under another name.
    if (full.size() >= MAX_PATH)
        return ZIP_NO_FILE;
    // The password is checked before the file is replaced, so a wrong one leaves what is there.
    rc = openCurrent();
    if (rc == ZIP_OK && m_stream.encrypted())
        rc = verifyCurrent();
    if (rc != ZIP_OK) {
        m_stream.close();
        return rc;
    }
    size_t sep = target.find_last_of(L"/\\");
    createDirectories(base, sep != std::wstring::npos ? target.substr(0, sep + 1) : std::wstring());
    HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              entry.attr & ~FILE_ATTRIBUTE_DIRECTORY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_stream.close();
        return ZIP_NO_FILE;
    }
    rc = closeCurrent(extractCurrent(file));
    if (rc == ZIP_OK)
        SetFileTime(file, &entry.ctime, &entry.atime, &entry.mtime);
    CloseHandle(file);
    return rc;
}

DWORD ZipReader::extractToHandle(int index, HANDLE file)
{
    closeOpenEntry();
    if (index < 0 || index >= m_count || file == nullptr || file == INVALID_HANDLE_VALUE)
        return ZIP_ARGS;
    ZipEntry entry;
    DWORD rc = goTo(index);
    if (rc == ZIP_OK)
        rc = describeCurrent(index, &entry);
    if (rc != ZIP_OK || (entry.attr & FILE_ATTRIBUTE_DIRECTORY))
        return rc;
    rc = openCurrent();
    return rc == ZIP_OK ? closeCurrent(extractCurrent(file)) : rc;
}

DWORD ZipReader::extractToMemory(int index, void *buffer, DWORD length)
{
    if (!buffer || length == 0)
        return ZIP_ARGS;
    // Checked also when no entry is open: -1 then equals openIndex, yet names no entry.
    if (index < 0 || index >= m_count) {
        closeOpenEntry();
        return ZIP_ARGS;
    }
    if (index != m_openIndex) {
        closeOpenEntry();
        DWORD rc = goTo(index);
        if (rc == ZIP_OK)
            rc = openCurrent();
        if (rc != ZIP_OK)
            return rc;
        m_openIndex = index;
    }
    long n = m_stream.read(buffer, length);
    if (n < 0 || m_stream.atEnd()) {
        m_openIndex = -1;
        return closeCurrent(n < 0 ? DWORD(m_stream.error()) : DWORD(ZIP_OK));
    }
    return ZIP_MORE;
}

DWORD ZipReader::setBaseDir(const wchar_t *dir)
{
    if (!dir)
        return ZIP_ARGS;
    // A folder cut to fit, or none at all, would be another folder: it is refused.
    std::wstring d(dir);
    if (d.empty() || d.size() > MAX_PATH - 1)
        return ZIP_ARGS;
    if (!isSeparator(d.back()))
        d += L'/';
    m_baseDir = d;
    return ZIP_OK;
}

namespace {

DWORD setLast(DWORD rc)
{
    ZipReader::lastResult = rc;
    return rc;
}

ZipReader *readerOf(ZipHandle *handle, DWORD &rc)
{
    if (!handle) {
        rc = ZIP_ARGS;
        return nullptr;
    }
    if (handle->kind != ZipHandle::Reader) {
        rc = ZIP_MIXED_MODE;
        return nullptr;
    }
    rc = ZIP_OK;
    return static_cast<ZipReader *>(handle->object);
}

ZipHandle *openWith(ZipSource *source, const char *password)
{
    auto *reader = new ZipReader;
    DWORD rc = reader->open(source, password);
    setLast(rc);
    if (rc != ZIP_OK) {
        delete reader;
        return nullptr;
    }
    return new ZipHandle{ZipHandle::Reader, reader};
}

} // namespace

ZipHandle *zipReaderOpenFile(const wchar_t *path, const char *password)
{
    if (!path || !*path) {
        setLast(ZIP_ARGS);
        return nullptr;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        setLast(ZIP_NO_FILE);
        return nullptr;
    }
    return openWith(ZipSource::fromHandle(file, true), password);
}

ZipHandle *zipReaderOpenHandle(HANDLE file, const char *password)
{
    if (file == nullptr || file == INVALID_HANDLE_VALUE) {
        setLast(ZIP_ARGS);
        return nullptr;
    }
    ZipSource *source = ZipSource::fromHandle(file, false);
    if (!source->canSeek()) {
        delete source;
        setLast(ZIP_SEEK_UNSEEKABLE);
        return nullptr;
    }
    return openWith(source, password);
}

ZipHandle *zipReaderOpenMemory(const void *block, DWORD length, const char *password)
{
    if (!block || length == 0) {
        setLast(ZIP_ARGS);
        return nullptr;
    }
    return openWith(ZipSource::fromMemory(block, length), password);
}

DWORD zipReaderGetEntry(ZipHandle *handle, int index, ZipEntry *entry)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    return setLast(r ? r->getEntry(index, entry) : rc);
}

DWORD zipReaderFindEntry(ZipHandle *handle, const wchar_t *name, bool ignoreCase, int *index, ZipEntry *entry)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    return setLast(r ? r->findEntry(name, ignoreCase, index, entry) : rc);
}

DWORD zipReaderExtractToFile(ZipHandle *handle, int index, const wchar_t *path)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    return setLast(r ? r->extractToFile(index, path) : rc);
}

DWORD zipReaderExtractToHandle(ZipHandle *handle, int index, HANDLE file)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    return setLast(r ? r->extractToHandle(index, file) : rc);
}

DWORD zipReaderExtractToMemory(ZipHandle *handle, int index, void *buffer, DWORD length)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    return setLast(r ? r->extractToMemory(index, buffer, length) : rc);
}

DWORD zipReaderSetBaseDir(ZipHandle *handle, const wchar_t *dir)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    return setLast(r ? r->setBaseDir(dir) : rc);
}

DWORD zipReaderClose(ZipHandle *handle)
{
    DWORD rc;
    ZipReader *r = readerOf(handle, rc);
    if (!r)
        return setLast(rc);
    delete r;
    delete handle;
    return setLast(ZIP_OK);
}

DWORD zipReaderMessage(DWORD code, wchar_t *buffer, DWORD length)
{
    if (code == 1)
        code = ZipReader::lastResult;
    std::wstring text = ZipText::toWide(zipResultText(code, true));
    if (buffer && length > 0) {
        size_t n = std::min<size_t>(text.size(), length - 1);
        std::copy(text.begin(), text.begin() + long(n), buffer);
        buffer[n] = L'\0';
    }
    return DWORD(text.size());
}

bool isZipReaderHandle(ZipHandle *handle)
{
    return handle && handle->kind == ZipHandle::Reader;
}
