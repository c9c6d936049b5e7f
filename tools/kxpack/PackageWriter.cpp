#include "PackageWriter.h"

#include "ByteBuffer.h"
#include "PackageFormat.h"
#include "util/Crc32.h"

namespace kx {

std::string EntryHeader(const PackageMember& member) {
    std::string out;
    AppendU32(out, 0);  // reserved
    AppendU64(out, member.fileTime);
    AppendU32(out, kMinOptionLength);
    AppendU8(AppendU8(AppendU8(out, member.copyMode), member.optionByte1), member.groupFlag);
    AppendU32(out, static_cast<uint32_t>(member.subfolder.size() + 1));
    out.append(member.subfolder).push_back('\0');
    AppendU32(out, static_cast<uint32_t>(member.name.size() + 1));
    out.append(member.name).push_back('\0');
    return out;
}

std::string BuildArchive(const std::vector<PackageMember>& members) {
    std::string out = "PC";
    AppendU32(out, static_cast<uint32_t>(members.size()));
    for (const PackageMember& member : members)
        AppendU32(out, static_cast<uint32_t>(member.data.size()));
    for (const PackageMember& member : members)
        out.append(EntryHeader(member)).append(member.data);
    return out;
}

std::string BuildEnvelope(uint32_t versionCode, const std::string& archive) {
    std::string out = "PA";
    AppendU32(out, kChecksumHeaderLength);
    AppendU32(out, 0);
    AppendU32(out, versionCode);
    out.append(kChecksumTag);
    AppendU32(out, UpdateCrc32(0, archive.data(), archive.size()));
    return out + archive;
}

std::string MemberProblem(const PackageMember& member) {
    if (member.subfolder.size() + 1 > kMaxSubfolderLength)
        return "subfolder is longer than " + std::to_string(kMaxSubfolderLength - 1) + " bytes";
    if (member.name.size() + 1 > kMaxNameLength)
        return "file name is longer than " + std::to_string(kMaxNameLength - 1) + " bytes";
    size_t pathLength = kShortestTargetFolder + (member.subfolder.empty() ? 0 : member.subfolder.size() + 1) + 1 +
                        member.name.size() + 1;
    if (pathLength > kMaxPathLength) return "subfolder and file name together are too long for a path";
    std::string problem = NameProblem(member.subfolder, true);
    if (!problem.empty()) return "subfolder " + problem;
    problem = NameProblem(member.name, false);
    if (!problem.empty()) return "file name " + problem;
    return "";
}

}  // namespace kx
