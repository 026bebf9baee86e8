#pragma once

#include "ZipCrypt.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

// The data of one entry: raw bytes from minizip, decrypted and inflated here, never more than the
// declared size, with the CRC and the size checked at the end.
class ZipEntryStream
{
public:
    struct Info {
        uint16_t flags;
        uint16_t method;
        uint32_t crc;
        uint16_t dosTime;
        uint64_t compressedSize;
        uint64_t uncompressedSize;
    };

    ZipEntryStream();
    ~ZipEntryStream();

    // archive: an unzFile positioned on the entry. Returns a zip result code.
    unsigned long open(void *archive, const Info &info, const char *password);
    // Fills up to length bytes; returns the count, 0 at the end, -1 on failure (see error()).
    long read(void *buffer, unsigned long length);
    bool atEnd() const { return m_atEnd; }
    bool encrypted() const { return m_info.flags & 1; }
    // The result for a failed read, or for the finished entry: CRC or size mismatch.
    unsigned long error() const { return m_error; }
    unsigned long finish();
    void close();

private:
    bool refill();
    // Data that does not match the entry's record: with a password most likely the wrong one.
    unsigned long mismatch() const;

    void *m_archive = nullptr;
    bool m_open = false;
    Info m_info{};
    ZipCrypt m_crypt;
    z_stream m_z{};
    bool m_inflating = false;
    std::vector<unsigned char> m_input;
    uint64_t m_rawLeft = 0;
    uint64_t m_produced = 0;
    uint32_t m_crc = 0;
    bool m_atEnd = false;
    unsigned long m_error = 0;
};
