#include "ByteBuffer.h"

namespace kx {

static std::string& AppendLittleEndian(std::string& out, uint64_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string& AppendU8(std::string& out, uint8_t value) {
    return AppendLittleEndian(out, value, 1);
}
std::string& AppendU16(std::string& out, uint16_t value) {
    return AppendLittleEndian(out, value, 2);
}
std::string& AppendU32(std::string& out, uint32_t value) {
    return AppendLittleEndian(out, value, 4);
}
std::string& AppendU64(std::string& out, uint64_t value) {
    return AppendLittleEndian(out, value, 8);
}

static bool ReadLittleEndian(const std::string& in, size_t offset, int byteCount, uint64_t* value) {
    if (offset > in.size() || in.size() - offset < static_cast<size_t>(byteCount)) return false;
    uint64_t result = 0;
    for (int i = byteCount - 1; i >= 0; --i)
        result = (result << 8) | static_cast<uint8_t>(in[offset + i]);
    *value = result;
    return true;
}

bool ReadU32(const std::string& in, size_t offset, uint32_t* value) {
    uint64_t wide = 0;
    if (!ReadLittleEndian(in, offset, 4, &wide)) return false;
    *value = static_cast<uint32_t>(wide);
    return true;
}

bool ReadU64(const std::string& in, size_t offset, uint64_t* value) {
    return ReadLittleEndian(in, offset, 8, value);
}

}  // namespace kx
