#include "PackagePreview.h"

#include <map>

#include "HostFiles.h"
#include "Manifest.h"
#include "PackageCheck.h"
#include "PackageFormat.h"
#include "install/CopyDecision.h"
#include "install/ImageVersion.h"

namespace kx {

namespace {

// What the copy pass would find at one final path.
struct InstalledFile {
    uint32_t version = 0;
    uint64_t time = 0;
};

// Install paths compare as the file system does: letters without case, and a Shift-JIS trail
// byte is never taken for a letter.
std::string PathKey(const std::string& path) {
    std::string key;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsShiftJisLeadByte(c) && i + 1 < path.size()) {
            key += path[i];
            key += path[++i];
        } else {
            key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    return key;
}

std::string InstallPath(const PackageMember& member) {
    return member.subfolder.empty() ? member.name : member.subfolder + "\\" + member.name;
}

uint32_t VersionOf(const std::string& bytes, uint64_t offset, uint32_t size) {
    return ImageFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()) + offset, size);
}

std::string VersionShown(uint32_t code) {
    return code == 0 ? "none" : VersionText(code);
}

std::string Why(CopyStep step, const MemberFacts& facts, int32_t copyMode) {
    switch (step) {
        case CopyStep::kPlaceNew:
            return "not installed";
        case CopyStep::kAskVersion:
            return "version " + VersionShown(facts.packageVersion) + ", installed " +
                   VersionShown(facts.installedVersion);
        case CopyStep::kAskDate:
            return "time " + FileTimeText(facts.packageTime) + ", installed " + FileTimeText(facts.installedTime);
        case CopyStep::kAskAlways:
            return "mode 4 asks whenever the file is installed";
        default:
            break;
    }
    if (copyMode == 1)
        return "version " + VersionShown(facts.packageVersion) + ", installed " + VersionShown(facts.installedVersion);
    if (copyMode == 2)
        return "time " + FileTimeText(facts.packageTime) + ", installed " + FileTimeText(facts.installedTime);
    if (copyMode == 3) return "mode 3, and no earlier member with group flag 0 decides";
    return "mode " + std::to_string(copyMode) + " replaces without asking";
}

const char* ActionName(CopyStep step) {
    switch (step) {
        case CopyStep::kPlaceNew:
            return "new";
        case CopyStep::kAskVersion:
            return "ask-version";
        case CopyStep::kAskDate:
            return "ask-date";
        case CopyStep::kAskAlways:
            return "ask-always";
        case CopyStep::kFollowGroup:
            return "follows";
        default:
            return "replace";
    }
}

typedef std::map<std::string, InstalledFile> InstalledFiles;

// Goes through the new package's members as the copy pass does. A file that a member surely
// places is what a later member listed under the same path finds.
Preview Decide(const PackageReport& newReport, const std::string& newPackage, InstalledFiles installed) {
    Preview preview;
    GroupDecision group;
    for (size_t i = 0; i < newReport.members.size(); ++i) {
        const CheckedMember& checked = newReport.members[i];
        const PackageMember& member = checked.fields;
        std::string path = InstallPath(member);
        InstalledFiles::const_iterator found = installed.find(PathKey(path));
        MemberFacts facts;
        facts.copyMode = static_cast<int8_t>(member.copyMode);
        facts.installed = found != installed.end();
        facts.packageTime = member.fileTime;
        facts.packageVersion = VersionOf(newPackage, checked.dataOffset, checked.dataSize);
        if (facts.installed) {
            facts.installedVersion = found->second.version;
            facts.installedTime = found->second.time;
        }
        CopyStep step = DecideCopy(facts);
        bool certain = step == CopyStep::kPlaceNew || step == CopyStep::kReplace;
        PreviewLine line{ActionName(step), path, Why(step, facts, facts.copyMode)};
        if (step == CopyStep::kFollowGroup) {
            if (group.Leader() >= 0)
                line.why = "decision of " + InstallPath(newReport.members[static_cast<size_t>(group.Leader())].fields);
            else
                line = {"replace", path, Why(CopyStep::kReplace, facts, facts.copyMode)};
        }
        if (IsQuestion(step)) ++preview.questions;
        // The answer that a question recommends is No; the decision itself is not needed here.
        group.Record(static_cast<int32_t>(i), static_cast<int8_t>(member.groupFlag), certain ? 1 : 0);
        if (certain) installed[PathKey(path)] = {facts.packageVersion, facts.packageTime};
        preview.lines.push_back(line);
    }
    return preview;
}

bool CheckNew(const std::string& newPackage, PackageReport* report, Preview* preview) {
    *report = CheckPackage(newPackage);
    if (report->error.empty()) return true;
    preview->error = "the new package is refused: " + report->error;
    return false;
}

}  // namespace

Preview PreviewOverPackage(const std::string& newPackage, const std::string& oldPackage) {
    Preview preview;
    PackageReport newReport, oldReport = CheckPackage(oldPackage);
    if (!CheckNew(newPackage, &newReport, &preview)) return preview;
    if (!oldReport.error.empty()) {
        preview.error = "the earlier package is refused: " + oldReport.error;
        return preview;
    }
    // A clean installation leaves each file as the last member of its path stored it: the copy
    // keeps the stored time.
    InstalledFiles installed;
    for (const CheckedMember& checked : oldReport.members)
        installed[PathKey(InstallPath(checked.fields))] = {VersionOf(oldPackage, checked.dataOffset, checked.dataSize),
                                                           checked.fields.fileTime};
    return Decide(newReport, newPackage, installed);
}

Preview PreviewOverFolder(const std::string& newPackage, const std::string& folder) {
    Preview preview;
    PackageReport newReport;
    if (!CheckNew(newPackage, &newReport, &preview)) return preview;
    if (!IsFolder(folder)) {
        preview.error = "cannot read the folder " + folder;
        return preview;
    }
    // Only the files that the new package names are looked at.
    InstalledFiles installed;
    for (const CheckedMember& checked : newReport.members) {
        std::string hostPath;
        if (!FindMemberFile(folder, checked.fields.subfolder, checked.fields.name, &hostPath)) continue;
        std::string bytes;
        InstalledFile file;
        if (ReadWholeFile(hostPath, &bytes))
            file.version = ImageFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        ExactLastWriteFileTime(hostPath, &file.time);
        installed[PathKey(InstallPath(checked.fields))] = file;
    }
    return Decide(newReport, newPackage, installed);
}

}  // namespace kx
