// The files of the machine that kxpack runs on, Linux or Windows: whole-file reads and writes,
// last-write times, folders and the walk below a folder. Paths take "/" between levels.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Windows file times (100 ns since 1601-01-01 UTC); on Linux in whole seconds.
bool LastWriteFileTime(const std::string& path, uint64_t* fileTime);
bool SetLastWriteFileTime(const std::string& path, uint64_t fileTime);
// To the 100 ns that the file system keeps: what the setup program compares.
bool ExactLastWriteFileTime(const std::string& path, uint64_t* fileTime);

bool IsFolder(const std::string& path);
// Makes the folder, whose parent must exist; true when it is a folder afterwards.
bool MakeFolder(const std::string& path);
// True when nothing is at path, or an empty folder.
bool IsMissingOrEmptyFolder(const std::string& path);

// Every file below folder, at any depth, as paths relative to it with "/" between levels, in
// no particular order. "" on success; otherwise what could not be read.
std::string ListFilesBelow(const std::string& folder, std::vector<std::string>* files);

// Names as the package stores them (Shift-JIS bytes) and as this machine's files carry them:
// the same bytes, or with --utf8 (Linux build only) UTF-8.
// The file that a member (stored names) would be installed as below folder, as this machine
// names it: on Linux by its UTF-8 name or by the stored bytes, on Windows by the stored bytes;
// in either case whatever the case of the letters of its name and folders, as Windows finds
// it. false when no file is there.
bool FindMemberFile(const std::string& folder, const std::string& subfolder, const std::string& name,
                    std::string* path);

// True when every character of text is one of code page 932 (Shift-JIS), as Windows maps them.
bool IsShiftJisText(const std::string& text);

// Stored bytes (Shift-JIS) as the terminal shows them: UTF-8 on Linux, the console's code page
// on Windows. Bytes that are not Shift-JIS stay as they are.
std::string ForTerminal(const std::string& stored);

class HostNames {
public:
    explicit HostNames(bool utf8) : utf8_(utf8) {}
    bool Utf8() const { return utf8_; }
    bool ToStored(const std::string& host, std::string* stored) const;  // false: no Shift-JIS for it
    bool ToHost(const std::string& stored, std::string* host) const;    // false: not Shift-JIS
    // A host-form name with "\" between levels, as the manifest writes subfolders, with "/".
    // In Shift-JIS a trail byte may be 0x5C; in UTF-8 every 0x5C separates.
    std::string WithSlashes(const std::string& host) const;

private:
    bool utf8_;
};

}  // namespace kx
