// Little-endian byte strings: how the package format and the address files store integers,
// whatever the host's byte order or pointer size.
#pragma once
#include <cstdint>
#include <string>

namespace kx {

// Appends to and returns out, so writes chain: AppendU32(AppendU16(s, 1), 2).
std::string& AppendU8(std::string& out, uint8_t value);
std::string& AppendU16(std::string& out, uint16_t value);
std::string& AppendU32(std::string& out, uint32_t value);
std::string& AppendU64(std::string& out, uint64_t value);

// Reads at offset; false (and value untouched) when the bytes run past the end.
bool ReadU32(const std::string& in, size_t offset, uint32_t* value);
bool ReadU64(const std::string& in, size_t offset, uint64_t* value);

}  // namespace kx
