// The layout of "kx.pac" and the rules that every stored name must follow, shared by the
// writer, the checker and the tests. Integers are little-endian; names are Shift-JIS bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

const int32_t kMaxMembers = 500;
const uint32_t kMinHeaderLength = 8;
const uint32_t kMaxHeaderLength = 1024;
// The header block that kxpack writes: 4 bytes zero, the version code, the tag "CR32" and the
// CRC-32 of the inner archive (every byte after the header block). A setup program reads only
// the version and checks the sum when it finds the tag.
const uint32_t kVersionOffset = 4;
const uint32_t kChecksumTagOffset = 8;
const char kChecksumTag[] = "CR32";
const uint32_t kChecksumHeaderLength = 16;
const uint32_t kMinOptionLength = 3;
const uint32_t kMaxOptionLength = 256;     // the reader's option buffer
const uint32_t kMaxSubfolderLength = 51;   // terminator included
const uint32_t kMaxPathLength = 260;       // terminator included
const uint32_t kShortestTargetFolder = 3;  // "C:\"
// The longest stored name (terminator included) that still fits beside the shortest target
// folder, the "_" of the temporary name and the terminator of the path.
const uint32_t kMaxNameLength = kMaxPathLength - kShortestTargetFolder - 1;

// Why the bytes (without terminator) cannot be a stored subfolder or file name; "" when they
// can. A name may never lead outside the target folder: no drive, no root, no "." or ".."
// component, no "/" and, in a file name, no "\" at all (a subfolder may nest with "\").
std::string NameProblem(const std::string& name, bool isSubfolder);

// One byte of a Shift-JIS text that begins a two-byte character.
bool IsShiftJisLeadByte(unsigned char byte);

// The levels of a stored path, split at single-byte "\" only: a trail byte 0x5C belongs to its
// character. problem is set when the bytes end inside a double-byte character.
std::vector<std::string> StoredPathLevels(const std::string& path, std::string* problem);

// A stored path as Windows compares it when it looks for a file: letters without case, and a
// Shift-JIS trail byte never taken for a letter. Two paths name one file when their keys match.
std::string CaselessPathKey(const std::string& path);

// The version code of the header block: "1.2.3.4" packed one byte per part, major on top.
bool ParseVersion(const std::string& text, uint32_t* code);
std::string VersionText(uint32_t code);

}  // namespace kx
