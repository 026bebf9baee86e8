#pragma once

#include <cstddef>
#include <cstdint>

// The traditional PKWARE stream cipher: three 32-bit keys driven by the plain bytes.
class ZipCrypt
{
public:
    explicit ZipCrypt(const char *password = nullptr);

    void reset(const char *password);
    unsigned char encrypt(unsigned char plain);
    unsigned char decrypt(unsigned char cipher);
    void encryptBuffer(unsigned char *data, size_t length);

    // The byte that the twelfth header byte must decrypt to: the high byte of the DOS time when
    // a data descriptor follows the data, of the CRC otherwise.
    static unsigned char checkByte(uint16_t flags, uint32_t crc, uint16_t dosTime);
    static uint32_t crc32Byte(uint32_t crc, unsigned char b);

private:
    void update(unsigned char plain);
    unsigned char keyByte() const;

    uint32_t m_keys[3];
};
