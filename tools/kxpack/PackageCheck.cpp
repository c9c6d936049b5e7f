#include "PackageCheck.h"

#include <cstdio>

#include "ByteBuffer.h"
#include "PackageFormat.h"
#include "util/Crc32.h"

namespace kx {

namespace {

// Walks the bytes front to back like the reader; the first problem ends the walk.
class Walker {
public:
    Walker(const std::string& bytes, size_t start, PackageReport* report)
        : bytes_(bytes), offset_(start), report_(report) {}

    bool Fail(const std::string& what) { return Fail(offset_, what); }
    bool Fail(size_t at, const std::string& what) {
        report_->error = "offset " + std::to_string(at) + ": " + what;
        return false;
    }
    bool U32(const char* field, uint32_t* value) {
        if (!ReadU32(bytes_, offset_, value)) return Fail(std::string(field) + " cut off by the end of the file");
        offset_ += 4;
        return true;
    }
    bool U64(const char* field, uint64_t* value) {
        if (!ReadU64(bytes_, offset_, value)) return Fail(std::string(field) + " cut off by the end of the file");
        offset_ += 8;
        return true;
    }
    bool Bytes(const char* field, uint64_t count, std::string* out) {
        if (bytes_.size() - offset_ < count) return Fail(std::string(field) + " cut off by the end of the file");
        *out = bytes_.substr(offset_, static_cast<size_t>(count));
        offset_ += static_cast<size_t>(count);
        return true;
    }
    bool Skip(const char* field, uint64_t count) {
        if (bytes_.size() - offset_ < count) return Fail(std::string(field) + " cut off by the end of the file");
        offset_ += static_cast<size_t>(count);
        return true;
    }
    size_t Offset() const { return offset_; }
    size_t Left() const { return bytes_.size() - offset_; }

private:
    const std::string& bytes_;
    size_t offset_;
    PackageReport* report_;
};

// A stored name: its length field counts the terminator, which must close the bytes.
bool ReadName(Walker& walk, const char* field, uint32_t maxLength, bool isSubfolder, std::string* name) {
    uint32_t length = 0;
    if (!walk.U32(field, &length)) return false;
    size_t at = walk.Offset();
    if (length == 0 || length > maxLength)
        return walk.Fail(at - 4, std::string(field) + " length " + std::to_string(length) + " outside 1 to " +
                                     std::to_string(maxLength));
    std::string stored;
    if (!walk.Bytes(field, length, &stored)) return false;
    if (stored.back() != '\0') return walk.Fail(at, std::string(field) + " not ended by its zero byte");
    *name = stored.substr(0, stored.find('\0'));
    std::string problem = NameProblem(*name, isSubfolder);
    if (!problem.empty()) return walk.Fail(at, std::string(field) + " " + problem);
    return true;
}

bool ReadEntry(Walker& walk, uint32_t dataSize, CheckedMember* member) {
    member->entryOffset = walk.Offset();
    uint32_t reserved = 0, optionLength = 0;
    if (!walk.U32("reserved field", &reserved) || !walk.U64("file time", &member->fields.fileTime)) return false;
    if (!walk.U32("option length", &optionLength)) return false;
    if (optionLength < kMinOptionLength || optionLength > kMaxOptionLength)
        return walk.Fail(walk.Offset() - 4, "option length " + std::to_string(optionLength) + " outside " +
                                                std::to_string(kMinOptionLength) + " to " +
                                                std::to_string(kMaxOptionLength));
    std::string options;
    if (!walk.Bytes("option bytes", optionLength, &options)) return false;
    member->fields.copyMode = static_cast<uint8_t>(options[0]);
    member->fields.optionByte1 = static_cast<uint8_t>(options[1]);
    member->fields.groupFlag = static_cast<uint8_t>(options[2]);
    if (!ReadName(walk, "subfolder", kMaxSubfolderLength, true, &member->fields.subfolder)) return false;
    if (!ReadName(walk, "file name", kMaxNameLength, false, &member->fields.name)) return false;
    member->dataOffset = walk.Offset();
    member->dataSize = dataSize;
    return walk.Skip("member data", dataSize);
}

}  // namespace

static void CheckArchive(const std::string& bytes, size_t start, PackageReport* report) {
    Walker walk(bytes, start, report);
    std::string magic;
    if (!walk.Bytes("archive magic", 2, &magic)) return;
    if (magic != "PC") {
        walk.Fail(start, "the archive does not begin with \"PC\"");
        return;
    }
    uint32_t count = 0;
    if (!walk.U32("member count", &count)) return;
    report->memberCount = static_cast<int32_t>(count);
    if (report->memberCount > kMaxMembers) {
        walk.Fail(walk.Offset() - 4,
                  "member count " + std::to_string(report->memberCount) + " above " + std::to_string(kMaxMembers));
        return;
    }
    if (report->memberCount < 0) report->notes.push_back("negative member count: the reader extracts nothing");
    std::vector<uint32_t> sizes(report->memberCount > 0 ? report->memberCount : 0);
    for (uint32_t& size : sizes)
        if (!walk.U32("size table", &size)) return;
    for (uint32_t size : sizes) {
        CheckedMember member;
        if (!ReadEntry(walk, size, &member)) return;
        report->members.push_back(member);
    }
    if (walk.Left() > 0)
        report->notes.push_back(std::to_string(walk.Left()) + " bytes after the last member are never read");
}

static std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The setup program checks the sum before it reads a member, so a damaged archive is named
// first; a fault of the structure found as well follows it.
static void CheckChecksum(const std::string& bytes, const std::string& header, size_t archiveStart,
                          PackageReport* report) {
    report->hasChecksum = header.size() >= kChecksumHeaderLength &&
                          header.compare(kChecksumTagOffset, 4, kChecksumTag) == 0 &&
                          ReadU32(header, kChecksumTagOffset + 4, &report->storedChecksum);
    if (!report->hasChecksum) {
        report->notes.push_back("no checksum in the header block: damage shows only when a member fails to read");
        return;
    }
    report->archiveChecksum = UpdateCrc32(0, bytes.data() + archiveStart, bytes.size() - archiveStart);
    if (report->archiveChecksum == report->storedChecksum) return;
    size_t last = bytes.size() > archiveStart ? bytes.size() - 1 : archiveStart;
    std::string damage = "offsets " + std::to_string(archiveStart) + " to " + std::to_string(last) +
                         " (the inner archive, to the end of the file): CRC-32 " + Hex(report->archiveChecksum) +
                         ", the header block says " + Hex(report->storedChecksum) + "; the package is damaged";
    report->error = report->error.empty() ? damage : damage + "; also at " + report->error;
}

PackageReport CheckPackage(const std::string& bytes) {
    PackageReport report;
    Walker walk(bytes, 0, &report);
    if (!walk.Bytes("package magic", 2, &report.envelope)) return report;
    if (report.envelope == "SZ") {
        CheckArchive(bytes, 0, &report);  // the reader gets the whole file and wants "PC"
        return report;
    }
    if (report.envelope != "PA") {
        walk.Fail(0, "the package begins with neither \"PA\" nor \"SZ\"");
        return report;
    }
    if (!walk.U32("header length", &report.headerLength)) return report;
    if (report.headerLength < kMinHeaderLength || report.headerLength > kMaxHeaderLength) {
        walk.Fail(2, "header length " + std::to_string(report.headerLength) + " outside " +
                         std::to_string(kMinHeaderLength) + " to " + std::to_string(kMaxHeaderLength));
        return report;
    }
    std::string header;
    if (!walk.Bytes("header block", report.headerLength, &header)) return report;
    report.hasVersion = ReadU32(header, kVersionOffset, &report.versionCode);
    CheckArchive(bytes, walk.Offset(), &report);
    CheckChecksum(bytes, header, walk.Offset(), &report);
    return report;
}

}  // namespace kx
