#include "ZipWriter.h"

#include "ZipCrypt.h"
#include "ZipDeflater.h"
#include "ZipFilePosition.h"
#include "ZipText.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>

DWORD ZipWriter::lastResult = ZIP_OK;

namespace {

const DWORD kBufferSize = 16384;
const size_t kMaxName = 260;
const LONGLONG kEpochDelta = 116444736000000000LL;
const uint64_t kMax32 = 0xFFFFFFFFu;
const size_t kMaxEntries = 0xFFFF;
const unsigned kLocalHeaderSize = 30, kLocalExtraSize = 17, kCentralHeaderSize = 46, kCentralExtraSize = 9;
const unsigned kDescriptorSize = 16, kEndRecordSize = 22, kCryptHeaderSize = 12;

void put16(unsigned char *&p, unsigned v)
{
    *p++ = static_cast<unsigned char>(v & 0xFF);
    *p++ = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void put32(unsigned char *&p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p, v >> 16);
}

LONGLONG ticksOf(const FILETIME &ft) { return LONGLONG((ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime); }

// Unix seconds as the 32-bit field of the timestamp extra, clamped rather than wrapped.
uint32_t unixOf(const FILETIME &ft)
{
    LONGLONG t = (ticksOf(ft) - kEpochDelta) / 10000000LL;
    t = std::max<LONGLONG>(std::min<LONGLONG>(t, 0x7FFFFFFF), -0x7FFFFFFFLL - 1);
    return uint32_t(int32_t(t));
}

// DOS date and time fields; dates outside 1980-2107 are clamped to the ends of that range.
void dosOf(const SYSTEMTIME &st, uint16_t &date, uint16_t &time)
{
    SYSTEMTIME t = st;
    if (t.wYear < 1980) {
        t = SYSTEMTIME{1980, 1, 0, 1, 0, 0, 0, 0};
    } else if (t.wYear > 2107) {
        t = SYSTEMTIME{2107, 12, 0, 31, 23, 59, 58, 0};
    }
    date = uint16_t((((t.wYear - 1980) & 0x7F) << 9) | ((t.wMonth & 0x0F) << 5) | (t.wDay & 0x1F));
    time = uint16_t(((t.wHour & 0x1F) << 11) | ((t.wMinute & 0x3F) << 5) | (t.wSecond / 2));
}

// A file time as local DOS fields, as readers of the format expect them.
void dosOfFileTime(const FILETIME &ft, uint16_t &date, uint16_t &time)
{
    FILETIME local;
    SYSTEMTIME st;
    if (FileTimeToLocalFileTime(&ft, &local) && FileTimeToSystemTime(&local, &st))
        dosOf(st, date, time);
    else
        dosOf(SYSTEMTIME{1980, 1, 0, 1, 0, 0, 0, 0}, date, time);
}

bool storedByName(const std::wstring &name)
{
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    std::wstring ext = name.substr(dot);
    for (wchar_t &c : ext)
        c = wchar_t(std::towlower(wint_t(c)));
    for (const wchar_t *s : {L".z", L".zip", L".zoo", L".arc", L".lzh", L".arj", L".gz", L".tgz"})
        if (ext == s)
            return true;
    return false;
}

// UTF-8 cut to at most max bytes without splitting a character.
std::string utf8Name(const std::wstring &name)
{
    std::string s = ZipText::toUtf8(name);
    if (s.size() > kMaxName) {
        size_t n = kMaxName;
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
            --n;
        s.resize(n);
    }
    return s;
}

// The executable test of a Windows program image: MZ, and a new header the file really holds.
bool looksExecutable(HANDLE file, uint64_t size)
{
    if (size <= 40)
        return false;
    unsigned char head[64] = {};
    DWORD got = 0;
    if (!ReadFile(file, head, sizeof head, &got, nullptr) || got < 2 || head[0] != 0x4D || head[1] != 0x5A)
        return false;
    if (got < 64)
        return false;
    uint32_t offset = uint32_t(head[60]) | uint32_t(head[61]) << 8 | uint32_t(head[62]) << 16 | uint32_t(head[63]) << 24;
    if (uint64_t(offset) + 52 >= size || !ZipFilePosition::set(file, offset))
        return false;
    unsigned char sig[4] = {};
    if (!ReadFile(file, sig, 4, &got, nullptr) || got < 4)
        return false;
    unsigned short w = uint16_t(sig[0] | (sig[1] << 8));
    return w == 0x5A4D || w == 0x454E || w == 0x454C || (w == 0x4550 && sig[2] == 0 && sig[3] == 0);
}

// Whether two handles reach the same file (volume and file index, as the system tells them).
bool sameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y)
        && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh
        && x.nFileIndexLow == y.nFileIndexLow;
}

} // namespace

struct ZipWriter::Source {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool ownsHandle = false;
    const unsigned char *block = nullptr;
    DWORD blockLength = 0;
    DWORD blockPosition = 0;
    LONGLONG expected = -1;
    uint32_t attributes = 0x80000000u;
    uint32_t atime = 0, mtime = 0, ctime = 0;
    uint16_t dosDate = 0, dosTime = 0;
    uint32_t crc = 0;
    uint64_t count = 0;
    bool readFailed = false;

    ~Source()
    {
        if (ownsHandle)
            CloseHandle(handle);
    }
    void close()
    {
        if (ownsHandle)
            CloseHandle(handle);
        ownsHandle = false;
        handle = INVALID_HANDLE_VALUE;
    }
    // Times of now: local DOS fields, true Unix seconds.
    void stampNow()
    {
        SYSTEMTIME local;
        GetLocalTime(&local);
        dosOf(local, dosDate, dosTime);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        atime = mtime = ctime = unixOf(now);
    }
    long read(char *buffer, unsigned size)
    {
        DWORD got = 0;
        if (block) {
            got = std::min<DWORD>(size, blockLength - blockPosition);
            std::memcpy(buffer, block + blockPosition, got);
            blockPosition += got;
        } else if (!ReadFile(handle, buffer, size, &got, nullptr)) {
            readFailed = true;
            return -1;
        }
        crc = uint32_t(crc32(crc, reinterpret_cast<const Bytef *>(buffer), got));
        count += got;
        return long(got);
    }
};

ZipWriter::ZipWriter() : m_crypt(new ZipCrypt) {}

ZipWriter::~ZipWriter() { close(); }

DWORD ZipWriter::createFile(const wchar_t *path, const char *password)
{
    if (isSetUp())
        return ZIP_NOT_INITIALISED;
    if (!path || !*path)
        return ZIP_ARGS;
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ZIP_NO_FILE;
    m_handle = h;
    m_isFile = true;
    m_ownsHandle = true;
    m_canSeek = true;
    m_baseOffset = 0;
    m_password = password ? password : "";
    return ZIP_OK;
}

DWORD ZipWriter::createHandle(HANDLE file, const char *password)
{
    if (isSetUp())
        return ZIP_NOT_INITIALISED;
    if (file == nullptr || file == INVALID_HANDLE_VALUE)
        return ZIP_ARGS;
    m_handle = file;
    m_isFile = true;
    m_ownsHandle = false;
    m_canSeek = ZipFilePosition::getMovable(file, m_baseOffset);
    if (!m_canSeek)
        m_baseOffset = 0;
    m_password = password ? password : "";
    return ZIP_OK;
}

DWORD ZipWriter::createMemory(void *block, DWORD capacity, const char *password)
{
    if (isSetUp())
        return ZIP_NOT_INITIALISED;
    if (capacity == 0)
        return ZIP_MEMORY_SIZE;
    if (block) {
        m_memory = static_cast<unsigned char *>(block);
    } else {
        m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, capacity, nullptr);
        if (!m_mapping)
            return ZIP_NO_MEMORY;
        m_memory = static_cast<unsigned char *>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, capacity));
        if (!m_memory) {
            CloseHandle(m_mapping);
            m_mapping = nullptr;
            return ZIP_NO_MEMORY;
        }
    }
    m_capacity = capacity;
    m_canSeek = true;
    m_password = password ? password : "";
    return ZIP_OK;
}

bool ZipWriter::writeTarget(const void *data, DWORD length)
{
    if (m_memory) {
        // The last byte of the block is never used: a write must end below the capacity.
        if (uint64_t(m_position) + length >= m_capacity) {
            if (!m_error)
                m_error = ZIP_MEMORY_SIZE;
            return false;
        }
        std::memcpy(m_memory + m_position, data, length);
        m_position += length;
        m_memoryLength = std::max(m_memoryLength, m_position);
        return true;
    }
    DWORD written = 0;
    return WriteFile(m_handle, data, length, &written, nullptr) && written == length;
}

bool ZipWriter::writeData(const void *data, DWORD length)
{
    if (!m_encrypting)
        return writeTarget(data, length);
    const auto *p = static_cast<const unsigned char *>(data);
    unsigned char chunk[4096];
    while (length > 0) {
        DWORD n = std::min<DWORD>(length, sizeof chunk);
        for (DWORD i = 0; i < n; ++i)
            chunk[i] = m_crypt->encrypt(p[i]);
        if (!writeTarget(chunk, n))
            return false;
        p += n;
        length -= n;
    }
    return true;
}

bool ZipWriter::seekTarget(ULONGLONG position)
{
    if (m_memory) {
        if (position > m_capacity) {
            if (!m_error)
                m_error = ZIP_MEMORY_SIZE;
            return false;
        }
        m_position = DWORD(position);
        return true;
    }
    return m_canSeek && ZipFilePosition::set(m_handle, m_baseOffset + position);
}

DWORD ZipWriter::storeData(Source &source, uint64_t &written)
{
    for (;;) {
        long n = source.read(m_buffer.data(), kBufferSize);
        if (n < 0)
            return ZIP_WRITE_FAILED;
        if (n == 0)
            return ZIP_OK;
        if (m_written + written + uint64_t(n) > kMax32)
            return ZIP_WRITE_FAILED; // past what 32-bit offsets can describe
        if (!writeData(m_buffer.data(), DWORD(n)))
            return m_error ? m_error : DWORD(ZIP_WRITE_FAILED);
        written += uint64_t(n);
    }
}

DWORD ZipWriter::deflateData(Source &source, uint16_t &flags, uint64_t &written)
{
    if (!m_deflater)
        m_deflater.reset(new ZipDeflater);
    bool writeFailed = false;
    uint64_t out = 0;
    m_deflater->reset(
        8, flags, [&source](char *buf, unsigned size) { return source.read(buf, size); },
        [&](const char *buf, unsigned length) {
            if (writeFailed)
                return false;
            if (m_written + out + length > kMax32 || !writeData(buf, length)) {
                writeFailed = true;
                return false;
            }
            out += length;
            return true;
        },
        m_buffer.data());
    uint64_t size = m_deflater->deflate();
    if (writeFailed)
        return m_error ? m_error : DWORD(ZIP_WRITE_FAILED);
    if (m_deflater->error() || source.readFailed || size != out)
        return ZIP_WRITE_FAILED;
    written = out;
    return ZIP_OK;
}

DWORD ZipWriter::add(const wchar_t *name, Source &source, bool folder)
{
    std::wstring entryName(name ? name : L"");
    if (entryName.size() > kMaxName)
        entryName.resize(kMaxName);
    if (entryName.empty())
        return ZIP_ARGS;
    std::replace(entryName.begin(), entryName.end(), L'\\', L'/');
    if (folder && entryName.back() != L'/')
        entryName += L'/';
    // Counts and sizes must fit the format's 16 and 32 bits.
    if (m_entries.size() >= kMaxEntries || source.expected > LONGLONG(kMax32) - kCryptHeaderSize)
        return ZIP_ARGS;
    const std::string utf8 = utf8Name(entryName);
    const bool stored = folder || storedByName(entryName);
    const bool encrypting = !m_password.empty() && !folder;
    const unsigned extraBytes = encrypting ? kCryptHeaderSize : 0;
    const uint64_t headerSize = kLocalHeaderSize + utf8.size() + kLocalExtraSize;
    if (m_baseOffset + m_written + headerSize + extraBytes > kMax32)
        return ZIP_ARGS;

    CentralRecord rec;
    rec.name = utf8;
    rec.method = stored ? 0 : 8;
    rec.flags = encrypting ? 9 : 8;
    rec.dosTime = source.dosTime;
    rec.dosDate = source.dosDate;
    rec.crc = 0;
    rec.compressedSize = (!stored || source.expected < 0) ? 0 : uint32_t(source.expected + extraBytes);
    // An unknown size is written as 0: the data descriptor carries the real one.
    rec.uncompressedSize = source.expected < 0 ? 0 : uint32_t(source.expected);
    rec.externalAttributes = source.attributes;
    rec.offset = uint32_t(m_baseOffset + m_written);
    rec.mtime = source.mtime;
    const uint32_t announcedCompressed = rec.compressedSize;

    auto localHeader = [&](std::vector<unsigned char> &out) {
        out.assign(headerSize, 0);
        unsigned char *p = out.data();
        put32(p, 0x04034B50u);
        put16(p, 20);
        put16(p, rec.flags);
        put16(p, rec.method);
        put16(p, rec.dosTime);
        put16(p, rec.dosDate);
        put32(p, rec.crc);
        put32(p, rec.compressedSize);
        put32(p, rec.uncompressedSize);
        put16(p, unsigned(utf8.size()));
        put16(p, kLocalExtraSize);
        std::memcpy(p, utf8.data(), utf8.size());
        p += utf8.size();
        *p++ = 'U';
        *p++ = 'T';
        put16(p, 13);
        *p++ = 7;
        put32(p, source.mtime);
        put32(p, source.atime);
        put32(p, source.ctime);
    };

    std::vector<unsigned char> header;
    localHeader(header);
    if (!writeTarget(header.data(), DWORD(header.size()))) {
        source.close();
        return m_error ? m_error : DWORD(ZIP_WRITE_FAILED);
    }
    m_written += headerSize;

    m_crypt->reset(m_password.c_str());
    if (encrypting) {
        unsigned char crypt[kCryptHeaderSize];
        srand(GetTickCount() ^ unsigned(uintptr_t(this) >> 4));
        for (unsigned i = 0; i < kCryptHeaderSize; ++i)
            crypt[i] = static_cast<unsigned char>(rand() >> 7);
        crypt[11] = static_cast<unsigned char>(rec.dosTime >> 8); // the check byte of descriptor entries
        m_crypt->encryptBuffer(crypt, kCryptHeaderSize);
        if (!writeTarget(crypt, kCryptHeaderSize)) {
            source.close();
            return m_error ? m_error : DWORD(ZIP_WRITE_FAILED);
        }
        m_written += kCryptHeaderSize;
    }

    if (m_buffer.empty())
        m_buffer.resize(kBufferSize);
    uint64_t dataBytes = 0;
    uint16_t deflateFlags = 0;
    DWORD rc = ZIP_OK;
    if (!folder) {
        m_encrypting = encrypting;
        rc = stored ? storeData(source, dataBytes) : deflateData(source, deflateFlags, dataBytes);
        m_encrypting = false;
    }
    source.close();
    m_written += dataBytes;
    if (rc != ZIP_OK) {
        if (!m_error)
            m_error = rc;
        return rc;
    }
    if (source.count > kMax32 || dataBytes + extraBytes > kMax32) {
        m_error = ZIP_WRITE_FAILED;
        return ZIP_WRITE_FAILED;
    }
    rec.crc = source.crc;
    rec.compressedSize = uint32_t(dataBytes + extraBytes);
    rec.uncompressedSize = uint32_t(source.count);

    if (!m_canSeek || encrypting) {
        if (stored && rec.compressedSize != announcedCompressed)
            return ZIP_NO_CHANGE; // a stored entry cannot be found without its size up front
        unsigned char desc[kDescriptorSize];
        unsigned char *p = desc;
        put32(p, 0x08074B50u);
        put32(p, rec.crc);
        put32(p, rec.compressedSize);
        put32(p, rec.uncompressedSize);
        if (m_written + kDescriptorSize > kMax32 || !writeTarget(desc, kDescriptorSize)) {
            if (!m_error)
                m_error = ZIP_WRITE_FAILED;
            return m_error;
        }
        m_written += kDescriptorSize;
    } else {
        rec.flags = uint16_t(stored ? 0 : (deflateFlags & 0x06));
        localHeader(header);
        if (!seekTarget(rec.offset - m_baseOffset))
            return m_error ? m_error : DWORD(ZIP_SEEK_UNSEEKABLE);
        bool ok = writeTarget(header.data(), DWORD(header.size()));
        if (!seekTarget(m_written))
            return m_error ? m_error : DWORD(ZIP_SEEK_UNSEEKABLE);
        if (!ok)
            return m_error ? m_error : DWORD(ZIP_WRITE_FAILED);
    }
    m_entries.push_back(rec);
    return m_error;
}

DWORD ZipWriter::addFile(const wchar_t *name, const wchar_t *sourcePath)
{
    if (m_error)
        return ZIP_PREVIOUS_ERROR;
    if (m_ended)
        return ZIP_ENDED;
    if (!name || !*name || !sourcePath || !*sourcePath)
        return ZIP_ARGS;
    HANDLE h = CreateFileW(sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ZIP_NO_FILE;
    DWORD rc = addHandle(name, h, -1);
    CloseHandle(h);
    return rc;
}

DWORD ZipWriter::addHandle(const wchar_t *name, HANDLE file, LONGLONG length)
{
    if (m_error)
        return ZIP_PREVIOUS_ERROR;
    if (m_ended)
        return ZIP_ENDED;
    if (file == nullptr || file == INVALID_HANDLE_VALUE)
        return ZIP_ARGS;
    // A target given as a handle holds no share mode that would keep the archive from being read
    // while it grows, so the archive is refused as a source here, as its share mode refuses it.
    if (m_isFile && sameFile(file, m_handle))
        return ZIP_NO_FILE;
    Source source;
    source.handle = file;
    ULONGLONG pos;
    BY_HANDLE_FILE_INFORMATION info;
    if (ZipFilePosition::getMovable(file, pos) && GetFileInformationByHandle(file, &info)) {
        const uint64_t size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        const DWORD win = info.dwFileAttributes & 0x37;
        const bool readOnly = win & FILE_ATTRIBUTE_READONLY;
        const bool dir = win & FILE_ATTRIBUTE_DIRECTORY;
        ZipFilePosition::set(file, 0);
        const bool exe = looksExecutable(file, size);
        ZipFilePosition::set(file, 0);
        source.attributes = win | (dir ? 0x40000000u : 0x80000000u) | 0x01000000u | (readOnly ? 0u : 0x00800000u)
            | (exe ? 0x00400000u : 0u);
        source.expected = LONGLONG(size);
        source.atime = unixOf(info.ftLastAccessTime);
        source.mtime = unixOf(info.ftLastWriteTime);
        source.ctime = unixOf(info.ftCreationTime);
        dosOfFileTime(info.ftLastWriteTime, source.dosDate, source.dosTime);
    } else {
        source.expected = length;
        source.stampNow();
    }
    return add(name, source, false);
}

DWORD ZipWriter::addMemory(const wchar_t *name, const void *block, DWORD length)
{
    if (m_error)
        return ZIP_PREVIOUS_ERROR;
    if (m_ended)
        return ZIP_ENDED;
    if (!block || length == 0)
        return ZIP_ARGS;
    Source source;
    source.block = static_cast<const unsigned char *>(block);
    source.blockLength = length;
    source.expected = length;
    source.stampNow();
    return add(name, source, false);
}

DWORD ZipWriter::addFolder(const wchar_t *name)
{
    if (m_error)
        return ZIP_PREVIOUS_ERROR;
    if (m_ended)
        return ZIP_ENDED;
    Source source;
    source.attributes = 0x41C00010u;
    source.expected = 0;
    source.stampNow();
    return add(name, source, true);
}

DWORD ZipWriter::end()
{
    if (m_ended)
        return m_endResult;
    m_ended = true;
    const uint64_t start = m_written;
    bool ok = true;
    for (const CentralRecord &rec : m_entries) {
        std::vector<unsigned char> h(kCentralHeaderSize + rec.name.size() + kCentralExtraSize);
        unsigned char *p = h.data();
        put32(p, 0x02014B50u);
        put16(p, 0x0B17);
        put16(p, 20);
        put16(p, rec.flags);
        put16(p, rec.method);
        put16(p, rec.dosTime);
        put16(p, rec.dosDate);
        put32(p, rec.crc);
        put32(p, rec.compressedSize);
        put32(p, rec.uncompressedSize);
        put16(p, unsigned(rec.name.size()));
        put16(p, kCentralExtraSize);
        put16(p, 0);
        put16(p, 0);
        put16(p, 0);
        put32(p, rec.externalAttributes);
        put32(p, rec.offset);
        std::memcpy(p, rec.name.data(), rec.name.size());
        p += rec.name.size();
        *p++ = 'U';
        *p++ = 'T';
        put16(p, 5);
        *p++ = 7;
        put32(p, rec.mtime);
        if (m_baseOffset + m_written + h.size() + kEndRecordSize > kMax32 || !writeTarget(h.data(), DWORD(h.size()))) {
            ok = false;
            break;
        }
        m_written += h.size();
    }
    if (ok) {
        unsigned char e[kEndRecordSize];
        unsigned char *p = e;
        put32(p, 0x06054B50u);
        put16(p, 0);
        put16(p, 0);
        put16(p, unsigned(m_entries.size()));
        put16(p, unsigned(m_entries.size()));
        put32(p, uint32_t(m_written - start));
        put32(p, uint32_t(m_baseOffset + start));
        put16(p, 0);
        ok = writeTarget(e, kEndRecordSize);
        if (ok)
            m_written += kEndRecordSize;
    }
    m_endResult = ok ? DWORD(ZIP_OK) : (m_error ? m_error : DWORD(ZIP_WRITE_FAILED));
    return m_endResult;
}

DWORD ZipWriter::getMemory(void **block, DWORD *length)
{
    if (!m_memory)
        return ZIP_NOT_MEMORY;
    DWORD rc = end();
    if (block)
        *block = m_memory;
    if (length)
        *length = m_memoryLength;
    return rc;
}

DWORD ZipWriter::close()
{
    DWORD rc = isSetUp() ? end() : DWORD(ZIP_OK);
    if (m_isFile && m_ownsHandle)
        CloseHandle(m_handle);
    m_isFile = false;
    m_ownsHandle = false;
    m_handle = INVALID_HANDLE_VALUE;
    if (m_mapping) {
        UnmapViewOfFile(m_memory);
        CloseHandle(m_mapping);
        m_mapping = nullptr;
    }
    m_memory = nullptr;
    return rc;
}

namespace {

DWORD setLast(DWORD rc)
{
    ZipWriter::lastResult = rc;
    return rc;
}

ZipWriter *writerOf(ZipHandle *handle, DWORD &rc)
{
    if (!handle) {
        rc = ZIP_ARGS;
        return nullptr;
    }
    if (handle->kind != ZipHandle::Writer) {
        rc = ZIP_MIXED_MODE;
        return nullptr;
    }
    rc = ZIP_OK;
    return static_cast<ZipWriter *>(handle->object);
}

ZipHandle *created(ZipWriter *writer, DWORD rc)
{
    setLast(rc);
    if (rc != ZIP_OK) {
        delete writer;
        return nullptr;
    }
    return new ZipHandle{ZipHandle::Writer, writer};
}

} // namespace

ZipHandle *zipWriterCreateFile(const wchar_t *path, const char *password)
{
    auto *w = new ZipWriter;
    return created(w, w->createFile(path, password));
}

ZipHandle *zipWriterCreateHandle(HANDLE file, const char *password)
{
    auto *w = new ZipWriter;
    return created(w, w->createHandle(file, password));
}

ZipHandle *zipWriterCreateMemory(void *block, DWORD capacity, const char *password)
{
    auto *w = new ZipWriter;
    return created(w, w->createMemory(block, capacity, password));
}

DWORD zipWriterAddFile(ZipHandle *handle, const wchar_t *name, const wchar_t *sourcePath)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    return setLast(w ? w->addFile(name, sourcePath) : rc);
}

DWORD zipWriterAddHandle(ZipHandle *handle, const wchar_t *name, HANDLE file)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    return setLast(w ? w->addHandle(name, file, -1) : rc);
}

DWORD zipWriterAddHandleSized(ZipHandle *handle, const wchar_t *name, HANDLE file, DWORD length)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    return setLast(w ? w->addHandle(name, file, LONGLONG(length)) : rc);
}

DWORD zipWriterAddMemory(ZipHandle *handle, const wchar_t *name, const void *block, DWORD length)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    return setLast(w ? w->addMemory(name, block, length) : rc);
}

DWORD zipWriterAddFolder(ZipHandle *handle, const wchar_t *name)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    return setLast(w ? w->addFolder(name) : rc);
}

DWORD zipWriterGetMemory(ZipHandle *handle, void **block, DWORD *length)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    return setLast(w ? w->getMemory(block, length) : rc);
}

DWORD zipWriterClose(ZipHandle *handle)
{
    DWORD rc;
    ZipWriter *w = writerOf(handle, rc);
    if (!w)
        return setLast(rc);
    rc = w->close();
    delete w;
    delete handle;
    return setLast(rc);
}

DWORD zipWriterMessage(DWORD code, char *buffer, DWORD length)
{
    if (code == 1)
        code = ZipWriter::lastResult;
    const char *text = zipResultText(code, false);
    const DWORD n = DWORD(std::strlen(text));
    if (buffer && length > 0) {
        DWORD k = std::min<DWORD>(n, length - 1);
        std::memcpy(buffer, text, k);
        buffer[k] = '\0';
    }
    return n;
}

bool isZipWriterHandle(ZipHandle *handle)
{
    return handle && handle->kind == ZipHandle::Writer;
}
