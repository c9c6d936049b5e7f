// CRC-32 as zip and PNG compute it (reflected polynomial 0xEDB88320): the checksum that
// "kx.pac" carries over its inner archive. Portable C++ without Win32, so that the package
// builder computes exactly what the setup program checks.
#pragma once
#include <cstddef>
#include <cstdint>

struct Crc32Tables {
    uint32_t slice[8][256];
};

// Eight tables, so that eight bytes cost eight look-ups and no loop of bit steps: the setup
// program sums the archive while it copies it, and that copy is most of an installation.
constexpr Crc32Tables MakeCrc32Tables() {
    Crc32Tables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        tables.slice[0][i] = value;
    }
    for (int s = 1; s < 8; ++s)
        for (uint32_t i = 0; i < 256; ++i)
            tables.slice[s][i] = (tables.slice[s - 1][i] >> 8) ^ tables.slice[0][tables.slice[s - 1][i] & 0xFF];
    return tables;
}

inline constexpr Crc32Tables kCrc32Tables = MakeCrc32Tables();

inline uint32_t LoadLittleEndian32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The checksum of count more bytes after those already summed in crc; start with 0.
inline uint32_t UpdateCrc32(uint32_t crc, const void* bytes, size_t count) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    const uint32_t(*t)[256] = kCrc32Tables.slice;
    crc = ~crc;
    for (; count >= 8; count -= 8, p += 8) {
        uint32_t low = crc ^ LoadLittleEndian32(p);
        uint32_t high = LoadLittleEndian32(p + 4);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; count > 0; --count, ++p)
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
    return ~crc;
}
