// Reads a whole package as strictly as the setup program's reader does and says what is
// wrong and where. Used by "kxpack list" and "kxpack verify".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PackageWriter.h"

namespace kx {

struct CheckedMember {
    PackageMember fields;  // everything but data, which stays in the package
    uint64_t entryOffset = 0;
    uint64_t dataOffset = 0;
    uint32_t dataSize = 0;
};

struct PackageReport {
    std::string envelope;  // "PA", "SZ" or what the file begins with
    uint32_t headerLength = 0;
    uint32_t versionCode = 0;
    bool hasVersion = false;
    bool hasChecksum = false;  // the header block carries the tag "CR32" and a CRC-32
    uint32_t storedChecksum = 0;
    uint32_t archiveChecksum = 0;  // computed over every byte after the header block
    int32_t memberCount = 0;
    std::vector<CheckedMember> members;
    // "" when the setup program would extract every member; else "offset N: what", or for a
    // damaged archive "offsets A to B: what", naming the bytes that its checksum covers.
    std::string error;
    std::vector<std::string> notes;  // harmless oddities (bytes after the last member, ...)
};

PackageReport CheckPackage(const std::string& bytes);

}  // namespace kx
