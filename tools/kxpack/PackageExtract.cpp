#include "PackageExtract.h"

#include "PackageCheck.h"

namespace kx {

// Makes the levels of subfolder ("/" between them) below folder; the path of the deepest one,
// or "" when one cannot be made.
static std::string MakeLevels(const std::string& folder, const std::string& subfolder) {
    std::string path = folder;
    size_t start = 0;
    while (start < subfolder.size()) {
        size_t end = subfolder.find('/', start);
        if (end == std::string::npos) end = subfolder.size();
        path += "/" + subfolder.substr(start, end - start);
        if (!MakeFolder(path)) return "";
        start = end + 1;
    }
    return path;
}

static std::string ExtractMember(const std::string& package, const CheckedMember& checked, const std::string& folder,
                                 const HostNames& names) {
    const PackageMember& member = checked.fields;
    std::string where = "the member at offset " + std::to_string(checked.entryOffset);
    // "/" separates levels here. Shift-JIS has no trail byte 0x2F, so one can only hide behind a
    // broken lead byte, where the name check, which steps whole characters, does not look.
    if (member.subfolder.find('/') != std::string::npos || member.name.find('/') != std::string::npos)
        return where + " holds a \"/\" inside a double-byte character";
    std::string subfolder, name;
    if (!names.ToHost(member.subfolder, &subfolder) || !names.ToHost(member.name, &name))
        return where + " has a name that is not Shift-JIS";
    std::string path = MakeLevels(folder, names.WithSlashes(subfolder));
    if (path.empty()) return "cannot make the folders of " + where;
    path += "/" + name;
    if (!WriteWholeFile(path, package.substr(static_cast<size_t>(checked.dataOffset), checked.dataSize)))
        return "cannot write " + path;
    SetLastWriteFileTime(path, member.fileTime);  // whole seconds, and from 1970 on only
    return "";
}

std::string ExtractPackage(const std::string& package, const std::string& folder, const HostNames& names,
                           size_t* memberCount) {
    PackageReport report = CheckPackage(package);
    if (!report.error.empty()) return "refused, nothing written: " + report.error;
    // Into a new folder only: nothing there can be overwritten, and no link made beforehand can
    // lead a member elsewhere.
    if (!IsMissingOrEmptyFolder(folder)) return folder + " exists and is not an empty folder";
    if (!MakeFolder(folder)) return "cannot make the folder " + folder;
    for (const CheckedMember& checked : report.members) {
        std::string problem = ExtractMember(package, checked, folder, names);
        if (!problem.empty()) return problem;
    }
    *memberCount = report.members.size();
    return "";
}

}  // namespace kx
