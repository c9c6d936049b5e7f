// The manifest that "kxpack build" reads: a text file, one line per directive, fields
// separated by tabs (a tab never occurs inside a Shift-JIS character, spaces may occur in names).
//
//   # comment; blank lines are skipped
//   version<TAB>1.2.0.3
//   file<TAB>subfolder<TAB>name[<TAB>mode[<TAB>option1[<TAB>group[<TAB>time]]]]
//   folder<TAB>source<TAB>subfolder[<TAB>mode[<TAB>option1[<TAB>group[<TAB>time]]]]
//
// subfolder "." is the install folder itself; nested subfolders use "\". mode defaults to 0
// (replace without asking), option1 and group to 0. time is "-" or missing for the source
// file's last-write time, a decimal Windows file time, or "YYYY-MM-DDTHH:MM:SSZ" (UTC).
// A folder line packs every file below source ("." for the folder given to kxpack build) into
// subfolder, keeping the levels below it, with its options as every file's defaults.
// Names are taken as the bytes that stand in the manifest: write it in Shift-JIS.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

struct ManifestEntry {
    bool isFolder = false;  // a folder line: every file below source
    std::string source;     // folder lines: below the build's folder ("" for that folder itself)
    std::string subfolder;  // as stored ("" for the install folder)
    std::string name;       // file lines only
    uint8_t copyMode = 0;
    uint8_t optionByte1 = 0;
    uint8_t groupFlag = 0;
    bool hasTime = false;
    uint64_t fileTime = 0;
    int line = 0;
};

struct Manifest {
    uint32_t versionCode = 0;
    std::vector<ManifestEntry> entries;
};

// "" on success; otherwise "line N: what".
std::string ParseManifest(const std::string& text, Manifest* manifest);

// kxpack does not guess a manifest's encoding. "" when text may be read as Shift-JIS as it stands;
// otherwise, when it is UTF-8 instead (valid UTF-8 that is not valid Shift-JIS, or a UTF-8
// byte-order mark), "line N ..." naming the first line that is not Shift-JIS, with the advice to
// build with --utf8. Text that is neither is left to the parser, which names what it meets.
std::string Utf8ManifestProblem(const std::string& text);

// The text without a UTF-8 byte-order mark at its start.
std::string WithoutUtf8Mark(const std::string& text);

// "YYYY-MM-DDTHH:MM:SSZ" or a decimal file time; false when it is neither.
bool ParseFileTime(const std::string& text, uint64_t* fileTime);
std::string FileTimeText(uint64_t fileTime);  // "YYYY-MM-DDTHH:MM:SS.fffffffZ"

}  // namespace kx
