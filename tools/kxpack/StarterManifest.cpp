#include "StarterManifest.h"

#include <algorithm>
#include <vector>

#include "ByteBuffer.h"
#include "HostFiles.h"

namespace kx {

const uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

bool HasVersionResource(const std::string& bytes) {
    if (bytes.compare(0, 2, "MZ") != 0) return false;
    static const char kKey[] = "VS_VERSION_INFO";
    std::string key;
    for (const char* c = kKey; c <= kKey + sizeof kKey - 1; ++c)
        key.append(1, *c).append(1, '\0');  // UTF-16, terminator included
    // The block begins 6 bytes before its key; after the key of 32 bytes, padded to a multiple
    // of 4 from the block's start, comes the fixed file information with its signature.
    for (size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
        uint32_t signature = 0;
        if (ReadU32(bytes, at + key.size() + 2, &signature) && signature == kFixedFileInfoSignature) return true;
    }
    return false;
}

static const char kHead[] =
    "# Fill in the package version. Build with: kxpack build MANIFEST FOLDER kx.pac\n"
    "version\tMAJOR.MINOR.BUILD.REVISION\n"
    "# Every file below FOLDER, in the same subfolders of the install folder. Mode 2: ask\n"
    "# before replacing an installed file that is newer.\n"
    "folder\t.\t.\t2\n";
static const char kVersionedHead[] =
    "# Files with a version resource. Mode 1: ask before replacing an installed file whose\n"
    "# version is higher.\n";

// A manifest line for the file at relative ("/" between levels).
static std::string VersionCheckLine(const std::string& relative) {
    size_t cut = relative.rfind('/');
    std::string subfolder = cut == std::string::npos ? "." : relative.substr(0, cut);
    std::replace(subfolder.begin(), subfolder.end(), '/', '\\');
    std::string name = cut == std::string::npos ? relative : relative.substr(cut + 1);
    return "file\t" + subfolder + "\t" + name + "\t1\n";
}

std::string StarterManifest(const std::string& folder, std::string* manifest) {
    std::vector<std::string> files;
    std::string problem = ListFilesBelow(folder, &files);
    if (!problem.empty()) return problem;
    std::sort(files.begin(), files.end());
    std::string versioned;
    for (const std::string& relative : files) {
        std::string bytes;
        if (!ReadWholeFile(folder + "/" + relative, &bytes)) return "cannot read " + folder + "/" + relative;
        if (HasVersionResource(bytes)) versioned += VersionCheckLine(relative);
    }
    *manifest = "# kxpack init " + folder + "\n" + kHead;
    if (!versioned.empty()) *manifest += kVersionedHead + versioned;
    return "";
}

}  // namespace kx
