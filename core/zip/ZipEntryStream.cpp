#include "ZipEntryStream.h"

#include "ZipHandle.h"

#include <unzip.h>

#include <algorithm>

namespace {
const unsigned kInputSize = 16384;
unzFile archiveOf(void *p) { return static_cast<unzFile>(p); }
}

ZipEntryStream::ZipEntryStream() : m_input(kInputSize) {}

ZipEntryStream::~ZipEntryStream() { close(); }

unsigned long ZipEntryStream::open(void *archive, const Info &info, const char *password)
{
    close();
    m_archive = archive;
    m_info = info;
    m_rawLeft = info.compressedSize;
    m_produced = 0;
    m_crc = crc32(0L, Z_NULL, 0);
    m_atEnd = false;
    m_error = ZIP_OK;
    if (info.method != 0 && info.method != Z_DEFLATED)
        return ZIP_FLATION;
    if (encrypted() && !password)
        return ZIP_PASSWORD;
    int rc = unzOpenCurrentFile3(archiveOf(archive), nullptr, nullptr, 1, nullptr);
    if (rc == UNZ_BADZIPFILE)
        return ZIP_CORRUPT;
    if (rc != UNZ_OK)
        return ZIP_READ_FAILED;
    m_open = true;
    if (encrypted()) {
        // The twelfth header byte tells a wrong password before any data is read.
        unsigned char header[12];
        if (m_rawLeft < 12 || unzReadCurrentFile(archiveOf(archive), header, 12) != 12) {
            close();
            return ZIP_CORRUPT;
        }
        m_rawLeft -= 12;
        m_crypt.reset(password);
        for (unsigned char &b : header)
            b = m_crypt.decrypt(b);
        if (header[11] != ZipCrypt::checkByte(info.flags, info.crc, info.dosTime)) {
            close();
            return ZIP_PASSWORD;
        }
    }
    if (info.method == Z_DEFLATED) {
        m_z = z_stream{};
        if (inflateInit2(&m_z, -MAX_WBITS) != Z_OK) {
            close();
            return ZIP_NO_MEMORY;
        }
        m_inflating = true;
    }
    return ZIP_OK;
}

bool ZipEntryStream::refill()
{
    unsigned want = unsigned(std::min<uint64_t>(m_rawLeft, kInputSize));
    if (want == 0)
        return false;
    int n = unzReadCurrentFile(archiveOf(m_archive), m_input.data(), want);
    if (n <= 0)
        return false;
    m_rawLeft -= unsigned(n);
    if (encrypted())
        for (int i = 0; i < n; ++i)
            m_input[size_t(i)] = m_crypt.decrypt(m_input[size_t(i)]);
    m_z.next_in = m_input.data();
    m_z.avail_in = unsigned(n);
    return true;
}

long ZipEntryStream::read(void *buffer, unsigned long length)
{
    if (!m_open || m_error != ZIP_OK)
        return -1;
    auto *out = static_cast<unsigned char *>(buffer);
    unsigned long done = 0;
    const unsigned long failure = encrypted() ? DWORD(ZIP_PASSWORD) : DWORD(ZIP_FLATION);
    while (done < length && !m_atEnd) {
        // Never more than the declared size: data beyond it is a mismatch, not more output.
        const uint64_t room = m_info.uncompressedSize - m_produced;
        if (!m_inflating) {
            if (room == 0 && m_rawLeft > 0) {
                m_error = mismatch();
                return -1;
            }
            unsigned want = unsigned(std::min<uint64_t>(std::min<uint64_t>(m_rawLeft, length - done), 0x7FFFFFFF));
            want = unsigned(std::min<uint64_t>(want, room));
            if (want == 0) {
                m_atEnd = true;
                break;
            }
            int n = unzReadCurrentFile(archiveOf(m_archive), out + done, want);
            if (n <= 0) {
                m_error = ZIP_FLATION;
                return -1;
            }
            m_rawLeft -= unsigned(n);
            if (encrypted())
                for (int i = 0; i < n; ++i)
                    out[done + unsigned(i)] = m_crypt.decrypt(out[done + unsigned(i)]);
            m_crc = uint32_t(crc32(m_crc, out + done, unsigned(n)));
            done += unsigned(n);
            m_produced += unsigned(n);
            if (m_rawLeft == 0)
                m_atEnd = true;
            continue;
        }
        if (m_z.avail_in == 0 && !refill()) {
            m_error = m_rawLeft == 0 ? failure : static_cast<unsigned long>(ZIP_FLATION); // truncated stream or short read
            return -1;
        }
        // At the declared size one probe byte tells whether the stream really ends there.
        unsigned char probe;
        const unsigned space = unsigned(std::min<uint64_t>(std::min<uint64_t>(length - done, 0x7FFFFFFF), room));
        m_z.next_out = space > 0 ? out + done : &probe;
        m_z.avail_out = space > 0 ? space : 1;
        const unsigned offered = m_z.avail_out;
        int rc = inflate(&m_z, Z_NO_FLUSH);
        unsigned long got = offered - m_z.avail_out;
        if (space == 0 && got > 0) {
            m_error = mismatch();
            return -1;
        }
        m_crc = uint32_t(crc32(m_crc, out + done, unsigned(got)));
        done += got;
        m_produced += got;
        if (rc == Z_STREAM_END) {
            m_atEnd = true;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            m_error = failure;
            return -1;
        }
    }
    return long(done);
}

unsigned long ZipEntryStream::mismatch() const
{
    return encrypted() ? ZIP_PASSWORD : ZIP_CORRUPT;
}

unsigned long ZipEntryStream::finish()
{
    if (m_error != ZIP_OK)
        return m_error;
    if (m_crc != m_info.crc || m_produced != m_info.uncompressedSize)
        return mismatch();
    return ZIP_OK;
}

void ZipEntryStream::close()
{
    if (m_inflating)
        inflateEnd(&m_z);
    m_inflating = false;
    if (m_open)
        unzCloseCurrentFile(archiveOf(m_archive));
    m_open = false;
}
