// "kxpack extract": writes every member of a package into a new folder, for inspection. A
// package that the setup program would refuse, for an unsafe name or damage, writes nothing,
// and no member is ever written outside that folder.
#pragma once
#include <cstddef>
#include <string>

#include "HostFiles.h"

namespace kx {

// folder must be missing or empty. "" on success, with the count of files written; otherwise
// what stopped the extraction.
std::string ExtractPackage(const std::string& package, const std::string& folder, const HostNames& names,
                           size_t* memberCount);

}  // namespace kx
