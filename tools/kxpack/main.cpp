// kxpack: makes, lists and checks the package "kx.pac" that the setup program installs from.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <iconv.h>
#endif

#include "Manifest.h"
#include "PackageCheck.h"
#include "PackageFormat.h"
#include "PackageWriter.h"

static const char kUsage[] =
    "usage:\n"
    "  kxpack build MANIFEST FOLDER OUTPUT [--utf8]\n"
    "      makes a \"PA\" package of the files below FOLDER that MANIFEST lists\n"
    "  kxpack list PACKAGE [--utf8]\n"
    "      shows the envelope, the version and every member\n"
    "  kxpack verify PACKAGE\n"
    "      checks the package as strictly as the setup program reads it\n"
    "  kxpack --help\n"
    "\n"
    "MANIFEST: one directive per line, fields separated by tabs, '#' starts a comment line:\n"
    "  version<TAB>1.2.0.3\n"
    "  file<TAB>SUBFOLDER<TAB>NAME[<TAB>MODE[<TAB>OPTION1[<TAB>GROUP[<TAB>TIME]]]]\n"
    "SUBFOLDER \".\" is the install folder itself. MODE: 1 version check, 2 date check, 3 follow,\n"
    "4 ask, 0 or other: replace without asking (default 0). GROUP 0 (default) makes the member's\n"
    "decision the one that later mode-3 members follow. TIME: \"-\" (default) for the file's\n"
    "last-write time, a decimal Windows file time, or YYYY-MM-DDTHH:MM:SSZ.\n"
    "Names are stored as the manifest's bytes (Shift-JIS). --utf8 (Linux build only) reads a\n"
    "UTF-8 manifest, stores the names in Shift-JIS and finds the source files by their UTF-8 names.\n";

static int Fail(const std::string& what) {
    std::fprintf(stderr, "kxpack: %s\n", what.c_str());
    return 1;
}

static bool ReadFile(const std::string& path, std::string* bytes) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *bytes = buffer.str();
    return !in.bad();
}

static bool Recode(const std::string& text, const char* from, const char* to, std::string* out) {
#if defined(_WIN32)
    (void)text, (void)from, (void)to, (void)out;
    return false;
#else
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> result(text.size() * 4 + 4);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = result.data();
    size_t outLeft = result.size();
    size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
    out->assign(result.data(), outPtr);
    return true;
#endif
}

static uint64_t LastWriteFileTime(const std::string& path, bool* ok) {
    struct stat info;
    *ok = stat(path.c_str(), &info) == 0;
    if (!*ok) return 0;
    return (static_cast<uint64_t>(info.st_mtime) + 11644473600ULL) * 10000000ULL;
}

static std::string SourcePath(const std::string& folder, const kx::ManifestEntry& entry) {
    std::string path = folder;
    if (!entry.subfolder.empty()) {
        path += '/';
        for (size_t i = 0; i < entry.subfolder.size(); ++i) {
            char c = entry.subfolder[i];
            // A Shift-JIS trail byte may be 0x5C; only a single-byte backslash separates.
            if (kx::IsShiftJisLeadByte(static_cast<unsigned char>(c)) && i + 1 < entry.subfolder.size()) {
                path += c;
                path += entry.subfolder[++i];
            } else {
                path += c == '\\' ? '/' : c;
            }
        }
    }
    return path + '/' + entry.name;
}

static int Build(const std::string& manifestPath, const std::string& folder, const std::string& output, bool utf8) {
    std::string text;
    if (!ReadFile(manifestPath, &text)) return Fail("cannot read the manifest " + manifestPath);
    kx::Manifest manifest;
    std::string problem = kx::ParseManifest(text, &manifest);
    if (!problem.empty()) return Fail(manifestPath + ": " + problem);
    if (manifest.entries.size() > static_cast<size_t>(kx::kMaxMembers))
        return Fail(manifestPath + ": " + std::to_string(manifest.entries.size()) + " files; a package holds at most " +
                    std::to_string(kx::kMaxMembers));
    std::vector<kx::PackageMember> members;
    for (const kx::ManifestEntry& entry : manifest.entries) {
        std::string where = manifestPath + ": line " + std::to_string(entry.line) + ": ";
        kx::PackageMember member;
        member.subfolder = entry.subfolder;
        member.name = entry.name;
        if (utf8 && (!Recode(entry.subfolder, "UTF-8", "CP932", &member.subfolder) ||
                     !Recode(entry.name, "UTF-8", "CP932", &member.name)))
            return Fail(where + "the names cannot be written in Shift-JIS");
        member.copyMode = entry.copyMode;
        member.optionByte1 = entry.optionByte1;
        member.groupFlag = entry.groupFlag;
        problem = kx::MemberProblem(member);
        if (!problem.empty()) return Fail(where + problem);
        std::string source = SourcePath(folder, entry);
        if (!ReadFile(source, &member.data)) return Fail(where + "cannot read " + source);
        bool timeKnown = true;
        member.fileTime = entry.hasTime ? entry.fileTime : LastWriteFileTime(source, &timeKnown);
        if (!timeKnown) return Fail(where + "cannot read the time of " + source);
        if (member.data.size() > 0xFFFFFFFFu) return Fail(where + source + " is 4 GiB or larger");
        members.push_back(member);
    }
    std::string package = kx::BuildEnvelope(manifest.versionCode, kx::BuildArchive(members));
    std::ofstream out(output.c_str(), std::ios::binary | std::ios::trunc);
    out.write(package.data(), static_cast<std::streamsize>(package.size()));
    out.close();
    if (!out) {
        std::remove(output.c_str());
        return Fail("cannot write " + output);
    }
    std::printf("%s: %zu members, version %s, %zu bytes\n", output.c_str(), members.size(),
                kx::VersionText(manifest.versionCode).c_str(), package.size());
    return 0;
}

static std::string Shown(const std::string& sjis, bool utf8) {
    std::string text;
    if (utf8 && Recode(sjis, "CP932", "UTF-8", &text)) return text;
    return sjis;
}

static int List(const std::string& path, bool utf8) {
    std::string bytes;
    if (!ReadFile(path, &bytes)) return Fail("cannot read " + path);
    kx::PackageReport report = kx::CheckPackage(bytes);
    std::printf("envelope %s", report.envelope.c_str());
    if (report.envelope == "PA") std::printf(", header block %u bytes", report.headerLength);
    if (report.hasVersion) std::printf(", version %s", kx::VersionText(report.versionCode).c_str());
    std::printf("\nmembers %d\n", report.memberCount);
    std::printf("%5s %10s %-28s %4s %4s %5s  %s\n", "#", "size", "time (UTC)", "mode", "opt1", "group", "path");
    for (size_t i = 0; i < report.members.size(); ++i) {
        const kx::PackageMember& m = report.members[i].fields;
        std::string where = m.subfolder.empty() ? m.name : m.subfolder + "\\" + m.name;
        std::printf("%5zu %10u %-28s %4u %4u %5u  %s\n", i, report.members[i].dataSize,
                    kx::FileTimeText(m.fileTime).c_str(), m.copyMode, m.optionByte1, m.groupFlag,
                    Shown(where, utf8).c_str());
    }
    for (const std::string& note : report.notes)
        std::printf("note: %s\n", note.c_str());
    if (!report.error.empty()) return Fail(path + ": " + report.error);
    return 0;
}

static int Verify(const std::string& path) {
    std::string bytes;
    if (!ReadFile(path, &bytes)) return Fail("cannot read " + path);
    kx::PackageReport report = kx::CheckPackage(bytes);
    for (const std::string& note : report.notes)
        std::printf("note: %s\n", note.c_str());
    if (!report.error.empty()) return Fail(path + ": " + report.error);
    std::printf("%s: ok, %zu members\n", path.c_str(), report.members.size());
    return 0;
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool utf8 = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--utf8") {
            utf8 = true;
            args.erase(args.begin() + static_cast<long>(i--));
        }
    }
#if defined(_WIN32)
    if (utf8) return Fail("--utf8 is only available in the Linux build");
#endif
    if (args.empty()) return Fail("no command given (try --help)");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "build" && args.size() == 4) return Build(args[1], args[2], args[3], utf8);
    if (command == "list" && args.size() == 2) return List(args[1], utf8);
    if (command == "verify" && args.size() == 2) return Verify(args[1]);
    return Fail("bad command line (try --help)");
}
