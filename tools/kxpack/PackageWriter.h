// Writes packages: the "PC" archive of members and the "PA" envelope with its header block.
// Same members in, same bytes out.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

struct PackageMember {
    std::string subfolder;  // below the target folder, without terminator; "" for the folder itself
    std::string name;       // file name without terminator
    uint64_t fileTime = 0;  // Windows file time (100 ns since 1601-01-01 UTC)
    uint8_t copyMode = 0;   // 1 version, 2 date, 3 follow, 4 ask, other: replace
    uint8_t optionByte1 = 0;
    uint8_t groupFlag = 0;
    std::string data;
};

// The entry fields that precede a member's data.
std::string EntryHeader(const PackageMember& member);

// The inner archive "PC": count, size table, then each entry followed by its data.
std::string BuildArchive(const std::vector<PackageMember>& members);

// The envelope "PA" around an archive, with a header block of 16 bytes holding the version code
// and the archive's checksum.
std::string BuildEnvelope(uint32_t versionCode, const std::string& archive);

// Why the member cannot go into a package; "" when it can.
std::string MemberProblem(const PackageMember& member);

}  // namespace kx
