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

// The copy pass first extracts every member under its "_" name, and a member listed again under
// the same path writes over the earlier one's file: each member of a path is then decided from
// the version and time of the last one, which is also what it places.
std::map<std::string, size_t> LastMemberOfEachPath(const PackageReport& report) {
    std::map<std::string, size_t> last;
    for (size_t i = 0; i < report.members.size(); ++i)
        last[CaselessPathKey(InstallPath(report.members[i].fields))] = i;
    return last;
}

// Goes through the new package's members as the copy pass does. A file that a member surely
// places is what a later member listed under the same path finds.
Preview Decide(const PackageReport& newReport, const std::string& newPackage, InstalledFiles installed) {
    Preview preview;
    GroupDecision group;
    std::map<std::string, size_t> lastOfPath = LastMemberOfEachPath(newReport);
    for (size_t i = 0; i < newReport.members.size(); ++i) {
        const PackageMember& member = newReport.members[i].fields;
        std::string path = InstallPath(member);
        size_t extractedIndex = lastOfPath[CaselessPathKey(path)];
        const CheckedMember& extracted = newReport.members[extractedIndex];
        InstalledFiles::const_iterator found = installed.find(CaselessPathKey(path));
        MemberFacts facts;
        facts.copyMode = static_cast<int8_t>(member.copyMode);
        facts.installed = found != installed.end();
        facts.packageTime = extracted.fields.fileTime;
        facts.packageVersion = VersionOf(newPackage, extracted.dataOffset, extracted.dataSize);
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
        if (extractedIndex != i) line.why += " (the file of the later member under this path)";
        if (IsQuestion(step)) ++preview.questions;
        // The answer that a question recommends is No; the decision itself is not needed here.
        group.Record(static_cast<int32_t>(i), static_cast<int8_t>(member.groupFlag), certain ? 1 : 0);
        if (certain) installed[CaselessPathKey(path)] = {facts.packageVersion, facts.packageTime};
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
        installed[CaselessPathKey(InstallPath(checked.fields))] = {
            VersionOf(oldPackage, checked.dataOffset, checked.dataSize), checked.fields.fileTime};
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
        installed[CaselessPathKey(InstallPath(checked.fields))] = file;
    }
    return Decide(newReport, newPackage, installed);
}

}  // namespace kx
