#include "pages/WelcomeLogic.h"

#include <cstdint>
#include <cstdlib>

#include "shell/SetupInfo.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/FileHandle.h"
#include "util/PathUtil.h"
#include "util/StringPool.h"

namespace {
const uint32_t kVersionOffset = 4;  // in the header block: the version code, 4 bytes
const int kRecordFolderLine = 5;
}  // namespace

static bool ReadExactly(HANDLE file, void* bytes, DWORD count) {
    DWORD got = 0;
    return ReadFile(file, bytes, count, &got, NULL) && got == count;
}

static uint32_t LittleEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The package may lie on read-only media: it is opened shared, for reading only.
int ReadPackageVersionFrom(const char* packagePath, char* versionText) {
    versionText[0] = '\0';
    FileHandle file(
        CreateFileA(packagePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsOpen()) return -1;
    char magic[2];
    if (!ReadExactly(file.Get(), magic, sizeof magic) || magic[0] != 'P' || magic[1] != 'A') return -1;
    unsigned char lengthBytes[4];
    if (!ReadExactly(file.Get(), lengthBytes, sizeof lengthBytes)) return -1;
    // A header block that would not fit the page's text buffer, or that ends before the
    // version, names no version we could trust.
    uint32_t headerLength = LittleEndian32(lengthBytes);
    if (headerLength < kVersionOffset + 4 || headerLength > static_cast<uint32_t>(kTextBufferBytes)) return -1;
    unsigned char header[kTextBufferBytes];
    if (!ReadExactly(file.Get(), header, headerLength)) return -1;
    uint32_t version = LittleEndian32(header + kVersionOffset);
    wsprintfA(versionText, "%d.%d.%d.%d", static_cast<int>(version >> 24 & 0xFF),
              static_cast<int>(version >> 16 & 0xFF), static_cast<int>(version >> 8 & 0xFF),
              static_cast<int>(version & 0xFF));
    return 0;
}

int ReadPackageVersion() {
    char packagePath[kMaxPathBytes];
    if (!CopyBounded(packagePath, sizeof packagePath, setupInfo->PathBesideSetup("kx.pac"))) {
        packageVersionText[0] = '\0';
        return -1;
    }
    return ReadPackageVersionFrom(packagePath, packageVersionText);
}

// Leading blanks and a sign are allowed and the number ends at the first non-digit; strtol
// rather than atoi, because a damaged record may hold a number too large for an int.
static WORD RecordNumber(const char* text) {
    return static_cast<WORD>(strtol(text, NULL, 10));
}

void ReadInstallRecord(const char* recordPath, SYSTEMTIME* date, char* folder, size_t folderSize) {
    ZeroMemory(date, sizeof *date);
    folder[0] = '\0';
    StringPool* record = new StringPool(2048);
    if (record->LoadTextFile(recordPath) > 0) {
        date->wYear = RecordNumber(record->Text(0));
        date->wMonth = RecordNumber(record->Text(1));
        date->wDay = RecordNumber(record->Text(2));
        // A folder cut to fit would be another folder: a line too long is not offered at all.
        if (!CopyBounded(folder, folderSize, record->Text(kRecordFolderLine))) folder[0] = '\0';
    }
    delete record;
}

void BuildWelcomeSubtitle(const char* versionText, char* out) {
    if (versionText[0] == '\0') {
        lstrcpyA(out, "ここでは『Korvanto』のインストールまたはバージョンアップを行います。");
        return;
    }
    // The version text is at most 15 bytes, so the sentence always fits the 1024 of out.
    wsprintfA(out, "ここでは『Korvanto %s』のインストールまたはバージョンアップを行います。", versionText);
}

// Without an application-data folder there is no record to read: "\korvex_inst.dat" alone
// would name a file at the root of whatever drive is current.
void ReadPreviousInstallation() {
    char recordPath[kMaxPathBytes];
    AppDataFolder* records = new AppDataFolder();
    bool located = CopyBounded(recordPath, sizeof recordPath, records->Locate("morvel", "inst", 0));
    delete records;
    if (!located || recordPath[0] == '\0' || !AppendBounded(recordPath, sizeof recordPath, "\\korvex_inst.dat")) {
        ZeroMemory(&previousInstallDate, sizeof previousInstallDate);
        installFolder[0] = '\0';
        return;
    }
    ReadInstallRecord(recordPath, &previousInstallDate, installFolder, sizeof installFolder);
}
