// "kxpack preview": what a version-up with a new package would do to each of its members over
// an earlier installation, as the setup program's copy pass decides it, questions included.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

struct PreviewLine {
    std::string action;  // "new", "replace", "ask-version", "ask-date", "ask-always" or "follows"
    std::string path;    // stored bytes: subfolder, "\" and name, or the name alone
    std::string why;     // stored bytes where it names a member
};

struct Preview {
    std::vector<PreviewLine> lines;  // one per member of the new package, in package order
    size_t questions = 0;
    std::string error;  // "" when the preview could be made
};

// The installation that a clean installation of the earlier package leaves.
Preview PreviewOverPackage(const std::string& newPackage, const std::string& oldPackage);

// The installation in a folder of this machine.
Preview PreviewOverFolder(const std::string& newPackage, const std::string& folder);

}  // namespace kx
