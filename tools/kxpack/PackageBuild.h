// "kxpack build": the package that a manifest describes, made from the files below a folder.
// Folder lines are walked here, each into its files in the order of their stored paths; a file
// line for a path that a folder line packs sets that file's options instead of adding a member.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "HostFiles.h"

namespace kx {

struct BuiltPackage {
    std::string bytes;  // the whole "kx.pac"
    size_t memberCount = 0;
    uint32_t versionCode = 0;
};

// "" on success; otherwise "line N: what", or what else stops the build.
std::string BuildPackage(const std::string& manifestText, const std::string& folder, const HostNames& names,
                         BuiltPackage* package);

}  // namespace kx
