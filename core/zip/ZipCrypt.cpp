#include "ZipCrypt.h"

#include <zlib.h>

namespace {
const z_crc_t *crcTable() { return get_crc_table(); }
}

ZipCrypt::ZipCrypt(const char *password) { reset(password); }

void ZipCrypt::reset(const char *password)
{
    m_keys[0] = 0x12345678u;
    m_keys[1] = 0x23456789u;
    m_keys[2] = 0x34567890u;
    if (password)
        for (const char *p = password; *p; ++p)
            update(static_cast<unsigned char>(*p));
}

uint32_t ZipCrypt::crc32Byte(uint32_t crc, unsigned char b)
{
    return crcTable()[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

void ZipCrypt::update(unsigned char plain)
{
    m_keys[0] = crc32Byte(m_keys[0], plain);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = crc32Byte(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
}

unsigned char ZipCrypt::keyByte() const
{
    // Unsigned throughout: the product of two 16-bit values overflows an int.
    const uint32_t t = (m_keys[2] & 0xFFFFu) | 2u;
    return static_cast<unsigned char>((t * (t ^ 1u)) >> 8);
}

unsigned char ZipCrypt::encrypt(unsigned char plain)
{
    unsigned char c = plain ^ keyByte();
    update(plain);
    return c;
}

unsigned char ZipCrypt::decrypt(unsigned char cipher)
{
    unsigned char p = cipher ^ keyByte();
    update(p);
    return p;
}

void ZipCrypt::encryptBuffer(unsigned char *data, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        data[i] = encrypt(data[i]);
}

unsigned char ZipCrypt::checkByte(uint16_t flags, uint32_t crc, uint16_t dosTime)
{
    return (flags & 0x08) ? static_cast<unsigned char>(dosTime >> 8) : static_cast<unsigned char>(crc >> 24);
}
