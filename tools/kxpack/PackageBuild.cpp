#include "PackageBuild.h"

#include <algorithm>
#include <map>
#include <vector>

#include "Manifest.h"
#include "PackageFormat.h"
#include "PackageWriter.h"

namespace kx {

namespace {

struct PlannedMember {
    PackageMember member;  // names as stored and options; the data is read last
    std::string source;    // the file on this machine
    bool hasTime = false;
    int line = 0;
    bool fromFolder = false;
    int optionsLine = 0;  // the file line that set the options of a folder line's file
};

std::string At(int line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

std::string StoredPath(const PackageMember& member) {
    return member.subfolder.empty() ? member.name : member.subfolder + "\\" + member.name;
}

std::string JoinHost(const std::string& folder, const std::string& relative) {
    return relative.empty() ? folder : folder + "/" + relative;
}

void TakeOptions(const ManifestEntry& entry, PlannedMember* planned) {
    planned->member.copyMode = entry.copyMode;
    planned->member.optionByte1 = entry.optionByte1;
    planned->member.groupFlag = entry.groupFlag;
    planned->member.fileTime = entry.fileTime;
    planned->hasTime = entry.hasTime;
}

std::string PlanFile(const ManifestEntry& entry, const std::string& folder, const HostNames& names,
                     std::vector<PlannedMember>* plan) {
    PlannedMember planned;
    TakeOptions(entry, &planned);
    planned.line = entry.line;
    if (!names.ToStored(entry.subfolder, &planned.member.subfolder) ||
        !names.ToStored(entry.name, &planned.member.name))
        return At(entry.line, "the names cannot be written in Shift-JIS");
    planned.source = JoinHost(JoinHost(folder, names.WithSlashes(entry.subfolder)), entry.name);
    plan->push_back(planned);
    return "";
}

// A file found at relative ("/" between levels) below the source of a folder line that packs
// into the stored subfolder base.
std::string PlanFound(const ManifestEntry& entry, const std::string& source, const std::string& base,
                      const std::string& relative, const HostNames& names, PlannedMember* planned) {
    TakeOptions(entry, planned);
    planned->line = entry.line;
    planned->fromFolder = true;
    planned->source = source + "/" + relative;
    std::string stored;
    if (!names.ToStored(relative, &stored)) return At(entry.line, planned->source + ": no Shift-JIS for this name");
    // Shift-JIS has no trail byte 0x2F: every "/" here is a level of the walk.
    size_t cut = stored.rfind('/');
    planned->member.name = cut == std::string::npos ? stored : stored.substr(cut + 1);
    std::string below = cut == std::string::npos ? "" : stored.substr(0, cut);
    std::replace(below.begin(), below.end(), '/', '\\');
    planned->member.subfolder = base.empty() ? below : below.empty() ? base : base + "\\" + below;
    return "";
}

std::string PlanFolder(const ManifestEntry& entry, const std::string& folder, const HostNames& names,
                       std::vector<PlannedMember>* plan) {
    std::string source = JoinHost(folder, names.WithSlashes(entry.source));
    std::vector<std::string> files;
    std::string problem = ListFilesBelow(source, &files);
    if (!problem.empty()) return At(entry.line, problem);
    if (files.empty()) return At(entry.line, "no file below " + source);
    std::string base;
    if (!names.ToStored(entry.subfolder, &base)) return At(entry.line, "the subfolder cannot be written in Shift-JIS");
    std::vector<PlannedMember> found(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        problem = PlanFound(entry, source, base, files[i], names, &found[i]);
        if (!problem.empty()) return problem;
    }
    // The order of the stored paths, whatever order the machine lists its files in: the same
    // folder always gives the same package.
    std::sort(found.begin(), found.end(), [](const PlannedMember& a, const PlannedMember& b) {
        return StoredPath(a.member) < StoredPath(b.member);
    });
    plan->insert(plan->end(), found.begin(), found.end());
    return "";
}

// A file line for a path that a folder line packs sets that file's options and adds no member.
std::string ApplyFileLines(std::vector<PlannedMember>* plan) {
    std::map<std::string, size_t> packed;  // stored path of a folder line's file -> its place in plan
    for (size_t i = 0; i < plan->size(); ++i) {
        const PlannedMember& planned = (*plan)[i];
        if (!planned.fromFolder) continue;
        auto placed = packed.emplace(StoredPath(planned.member), i);
        if (!placed.second)
            return At(planned.line, planned.source + " goes where line " +
                                        std::to_string((*plan)[placed.first->second].line) + " already puts " +
                                        (*plan)[placed.first->second].source);
    }
    std::vector<bool> consumed(plan->size(), false);
    for (size_t i = 0; i < plan->size(); ++i) {
        const PlannedMember& planned = (*plan)[i];
        auto found = planned.fromFolder ? packed.end() : packed.find(StoredPath(planned.member));
        if (found == packed.end()) continue;
        PlannedMember& target = (*plan)[found->second];
        if (target.optionsLine != 0)
            return At(planned.line,
                      "line " + std::to_string(target.optionsLine) + " already sets the options of " + target.source);
        target.optionsLine = planned.line;
        target.member.copyMode = planned.member.copyMode;
        target.member.optionByte1 = planned.member.optionByte1;
        target.member.groupFlag = planned.member.groupFlag;
        target.member.fileTime = planned.member.fileTime;
        target.hasTime = planned.hasTime;
        consumed[i] = true;
    }
    std::vector<PlannedMember> kept;
    for (size_t i = 0; i < plan->size(); ++i)
        if (!consumed[i]) kept.push_back(std::move((*plan)[i]));
    plan->swap(kept);
    return "";
}

std::string ReadMembers(std::vector<PlannedMember>* plan, std::vector<PackageMember>* members) {
    for (PlannedMember& planned : *plan) {
        std::string problem = MemberProblem(planned.member);
        if (!problem.empty()) return At(planned.line, planned.source + ": " + problem);
        if (!ReadWholeFile(planned.source, &planned.member.data))
            return At(planned.line, "cannot read " + planned.source);
        if (!planned.hasTime && !LastWriteFileTime(planned.source, &planned.member.fileTime))
            return At(planned.line, "cannot read the time of " + planned.source);
        if (planned.member.data.size() > 0xFFFFFFFFu) return At(planned.line, planned.source + " is 4 GiB or larger");
        members->push_back(std::move(planned.member));
    }
    return "";
}

}  // namespace

std::string BuildPackage(const std::string& manifestText, const std::string& folder, const HostNames& names,
                         BuiltPackage* package) {
    std::string problem = names.Utf8() ? "" : Utf8ManifestProblem(manifestText);
    if (!problem.empty()) return problem;
    Manifest manifest;
    problem = ParseManifest(names.Utf8() ? WithoutUtf8Mark(manifestText) : manifestText, &manifest);
    if (!problem.empty()) return problem;
    std::vector<PlannedMember> plan;
    for (const ManifestEntry& entry : manifest.entries) {
        problem = entry.isFolder ? PlanFolder(entry, folder, names, &plan) : PlanFile(entry, folder, names, &plan);
        if (!problem.empty()) return problem;
    }
    problem = ApplyFileLines(&plan);
    if (!problem.empty()) return problem;
    if (plan.size() > static_cast<size_t>(kMaxMembers))
        return std::to_string(plan.size()) + " files; a package holds at most " + std::to_string(kMaxMembers);
    std::vector<PackageMember> members;
    problem = ReadMembers(&plan, &members);
    if (!problem.empty()) return problem;
    package->bytes = BuildEnvelope(manifest.versionCode, BuildArchive(members));
    package->memberCount = members.size();
    package->versionCode = manifest.versionCode;
    return "";
}

}  // namespace kx
