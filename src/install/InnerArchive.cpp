#include "install/InnerArchive.h"

#include <cstring>

#include "install/PackageBinding.h"
#include "install/TemporaryArchive.h"
#include "util/Crc32.h"
#include "util/FileHandle.h"
#include "util/Message.h"

namespace {

const DWORD kMaxHeaderBytes = 1024;
const DWORD kMinHeaderBytes = 8;  // the package version sits in bytes 4 to 7
// Bytes 8 to 11 of a longer header block may hold the tag "CR32"; bytes 12 to 15 then hold the
// CRC-32 of the inner archive. Setup programs that know no tag read only the version.
const DWORD kChecksumOffset = 8;
const DWORD kChecksumHeaderBytes = 16;
const char kChecksumTag[] = "CR32";
const char kWrongForm[] = "異なる形式のファイルを読込ました。";
const char kWriteFailed[] = "書込に失敗しました。";

// The bytes before the inner archive: the magic, and for "PA" the header length and block.
struct Envelope {
    unsigned char bytes[2 + 4 + kMaxHeaderBytes];
    DWORD length;
    bool hasHeader;    // "PA": the inner archive follows the header block; "SZ": it is the file
    bool hasChecksum;  // the header block carries the inner archive's CRC-32
    uint32_t checksum;
};

int Refuse(const char* message) {
    ShowWarning(message);
    return -1;
}

bool ReadExactly(HANDLE file, void* buffer, DWORD count) {
    DWORD got = 0;
    return ReadFile(file, buffer, count, &got, NULL) && got == count;
}

// Reads the magic and, for "PA", the header block, leaving the file at the inner archive.
int ReadEnvelope(HANDLE package, Envelope* envelope) {
    unsigned char* magic = envelope->bytes;
    envelope->length = 2;
    envelope->hasHeader = false;
    envelope->hasChecksum = false;
    if (!ReadExactly(package, magic, 2)) return Refuse(kWrongForm);
    if (magic[0] == 'S' && magic[1] == 'Z') return 0;
    if (magic[0] != 'P' || magic[1] != 'A') return Refuse(kWrongForm);
    unsigned char* lengthBytes = magic + 2;
    unsigned char* header = lengthBytes + 4;
    if (!ReadExactly(package, lengthBytes, 4)) return Refuse(kWrongForm);
    DWORD headerLength = LoadLittleEndian32(lengthBytes);
    if (headerLength < kMinHeaderBytes || headerLength > kMaxHeaderBytes ||
        !ReadExactly(package, header, headerLength)) {
        return Refuse(kWrongForm);
    }
    envelope->length += 4 + headerLength;
    envelope->hasHeader = true;
    envelope->hasChecksum = headerLength >= kChecksumHeaderBytes &&
                            memcmp(header + kChecksumOffset, kChecksumTag, sizeof kChecksumTag - 1) == 0;
    if (envelope->hasChecksum) envelope->checksum = LoadLittleEndian32(header + kChecksumOffset + 4);
    return 0;
}

// The CRC-32 of the inner archive, summed from the chunks that the copy writes: no byte is read
// twice.
class ArchiveChecksum {
public:
    ArchiveChecksum() : crc_(0) {}
    void Add(const char* chunk, DWORD count) { crc_ = UpdateCrc32(crc_, chunk, count); }
    bool Matches(const Envelope& envelope) const { return !envelope.hasChecksum || crc_ == envelope.checksum; }

private:
    uint32_t crc_;
};

// For "SZ" the magic begins the archive. A short copy would pass on a cut archive: every failed
// read or write is a failure.
bool CopyPackage(HANDLE package, HANDLE archive, const Envelope& envelope, ArchiveChecksum* checksum) {
    static char chunk[64 * 1024];  // one thread, one copy at a time
    if (!envelope.hasHeader && !WriteAll(archive, envelope.bytes, envelope.length)) return false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(package, chunk, sizeof chunk, &got, NULL)) return false;
        if (got == 0) return true;
        checksum->Add(chunk, got);
        if (!WriteAll(archive, chunk, got)) return false;
    }
}

}  // namespace

int TakeOutInnerArchive(const char* packagePath, TemporaryArchive* archive, FILETIME* packageTime,
                        PackageDigestCheck* digest) {
    FileHandle package(CreateFileA(packagePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!package.IsOpen()) return Refuse("kx.pacを読み込むことが出来ません。");
    if (!GetFileTime(package.Get(), NULL, NULL, packageTime))
        packageTime->dwLowDateTime = 0, packageTime->dwHighDateTime = 0;
    // Bound to a package it cannot hash, the program cannot tell its own.
    if (!digest->Start(package.Get())) return Refuse(kDamagedPackage);
    Envelope envelope;
    if (ReadEnvelope(package.Get(), &envelope) != 0) return -1;
    if (!archive->Create()) return Refuse(kWriteFailed);
    // Found later, a damaged archive would stop the installation half-way.
    ArchiveChecksum checksum;
    const char* refusal = NULL;
    if (!CopyPackage(package.Get(), archive->Handle(), envelope, &checksum))
        refusal = kWriteFailed;
    else if (!checksum.Matches(envelope))
        refusal = kDamagedPackage;
    else if (SetFilePointer(archive->Handle(), 0, NULL, FILE_BEGIN) != 0)
        refusal = kWriteFailed;
    if (refusal == NULL) return 0;
    archive->Remove();
    return Refuse(refusal);
}
