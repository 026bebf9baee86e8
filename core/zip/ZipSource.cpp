#include "ZipSource.h"

#include "ZipFilePosition.h"

#include <cstring>

namespace {

ZipSource *self(voidpf opaque) { return static_cast<ZipSource *>(opaque); }

voidpf ZCALLBACK openFunc(voidpf opaque, const void *, int) { return opaque; }

uLong ZCALLBACK readFunc(voidpf opaque, voidpf, void *buf, uLong size)
{
    return self(opaque)->read(buf, DWORD(size));
}

uLong ZCALLBACK writeFunc(voidpf, voidpf, const void *, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellFunc(voidpf opaque, voidpf)
{
    LONGLONG pos = self(opaque)->tell();
    return pos < 0 ? ZPOS64_T(-1) : ZPOS64_T(pos);
}

long ZCALLBACK seekFunc(voidpf opaque, voidpf, ZPOS64_T offset, int origin)
{
    return self(opaque)->seek(LONGLONG(offset), origin) ? 0 : -1;
}

int ZCALLBACK closeFunc(voidpf, voidpf) { return 0; }

int ZCALLBACK errorFunc(voidpf opaque, voidpf) { return self(opaque)->readError() ? 1 : 0; }

} // namespace

ZipSource *ZipSource::fromHandle(HANDLE handle, bool ownsHandle)
{
    auto *s = new ZipSource;
    s->m_isFile = true;
    s->m_handle = handle;
    s->m_ownsHandle = ownsHandle;
    s->m_canSeek = ZipFilePosition::getMovable(handle, s->m_baseOffset);
    return s;
}

ZipSource *ZipSource::fromMemory(const void *block, DWORD length)
{
    auto *s = new ZipSource;
    s->m_block = static_cast<const unsigned char *>(block);
    s->m_length = length;
    s->m_canSeek = true;
    return s;
}

ZipSource::~ZipSource()
{
    if (m_isFile && m_ownsHandle)
        CloseHandle(m_handle);
}

DWORD ZipSource::read(void *buffer, DWORD size)
{
    if (m_isFile) {
        DWORD done = 0;
        // A file delivers less than asked only at its end or on failure.
        while (done < size) {
            DWORD got = 0;
            if (!ReadFile(m_handle, static_cast<char *>(buffer) + done, size - done, &got, nullptr)) {
                m_readError = true;
                break;
            }
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }
    DWORD n = size < m_length - m_position ? size : m_length - m_position;
    std::memcpy(buffer, m_block + m_position, n);
    m_position += n;
    return n;
}

bool ZipSource::seek(LONGLONG offset, int origin)
{
    if (m_isFile) {
        if (!m_canSeek)
            return false;
        if (origin == ZLIB_FILEFUNC_SEEK_SET)
            return ZipFilePosition::set(m_handle, LONGLONG(m_baseOffset) + offset, FILE_BEGIN);
        return ZipFilePosition::set(m_handle, offset, origin == ZLIB_FILEFUNC_SEEK_CUR ? FILE_CURRENT : FILE_END);
    }
    LONGLONG target = origin == ZLIB_FILEFUNC_SEEK_SET ? offset
        : origin == ZLIB_FILEFUNC_SEEK_CUR ? LONGLONG(m_position) + offset
                                           : LONGLONG(m_length) + offset;
    if (target < 0 || target > LONGLONG(m_length))
        return false;
    m_position = DWORD(target);
    return true;
}

LONGLONG ZipSource::tell() const
{
    if (!m_isFile)
        return m_position;
    ULONGLONG pos;
    if (!m_canSeek || !ZipFilePosition::get(m_handle, pos))
        return -1;
    return LONGLONG(pos - m_baseOffset);
}

zlib_filefunc64_def ZipSource::fileFunctions()
{
    zlib_filefunc64_def f;
    f.zopen64_file = openFunc;
    f.zread_file = readFunc;
    f.zwrite_file = writeFunc;
    f.ztell64_file = tellFunc;
    f.zseek64_file = seekFunc;
    f.zclose_file = closeFunc;
    f.zerror_file = errorFunc;
    f.opaque = this;
    return f;
}
