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
    int32_t memberCount = 0;
    std::vector<CheckedMember> members;
    std::string error;               // "" when the reader would extract every member; else "offset N: what"
    std::vector<std::string> notes;  // harmless oddities (bytes after the last member, ...)
};

PackageReport CheckPackage(const std::string& bytes);

}  // namespace kx
