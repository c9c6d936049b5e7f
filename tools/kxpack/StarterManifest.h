// "kxpack init": a manifest to start from for the files below a folder. One folder line packs
// them all with the date check; files with a version resource get the version check instead.
#pragma once
#include <string>

namespace kx {

// "" and the manifest's text; otherwise what could not be read.
std::string StarterManifest(const std::string& folder, std::string* manifest);

// Whether the bytes are a Windows program or library that carries a version resource with
// fixed file information, which is what the version check of the setup program reads.
bool HasVersionResource(const std::string& bytes);

}  // namespace kx
