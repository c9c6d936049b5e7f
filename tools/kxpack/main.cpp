// kxpack: makes, lists, checks and unpacks the package "kx.pac" that the setup program
// installs from, and starts a manifest for a folder.
#include <cstdio>
#include <string>
#include <vector>

#include "HostFiles.h"
#include "Manifest.h"
#include "PackageBuild.h"
#include "PackageCheck.h"
#include "PackageExtract.h"
#include "PackageFormat.h"
#include "PackagePreview.h"
#include "StarterManifest.h"

static const char kUsage[] =
    "usage:\n"
    "  kxpack build MANIFEST FOLDER OUTPUT [--utf8]\n"
    "      makes a \"PA\" package of the files below FOLDER that MANIFEST lists\n"
    "  kxpack list PACKAGE [--utf8]\n"
    "      shows the envelope, the version, the checksum and every member\n"
    "  kxpack verify PACKAGE\n"
    "      checks the package as strictly as the setup program reads it, and its checksum\n"
    "  kxpack extract PACKAGE FOLDER [--utf8]\n"
    "      writes every member into FOLDER (new or empty), refusing what the setup program refuses\n"
    "  kxpack init FOLDER\n"
    "      prints a manifest to start from for every file below FOLDER\n"
    "  kxpack preview NEW --over OLD\n"
    "      what a version-up with the package NEW does to each of its members over OLD (an earlier\n"
    "      package, or the folder of an installation), and how many questions it asks\n"
    "  kxpack --help\n"
    "\n"
    "MANIFEST: one directive per line, fields separated by tabs, '#' starts a comment line:\n"
    "  version<TAB>1.2.0.3\n"
    "  file<TAB>SUBFOLDER<TAB>NAME[<TAB>MODE[<TAB>OPTION1[<TAB>GROUP[<TAB>TIME]]]]\n"
    "  folder<TAB>SOURCE<TAB>SUBFOLDER[<TAB>MODE[<TAB>OPTION1[<TAB>GROUP[<TAB>TIME]]]]\n"
    "SUBFOLDER \".\" is the install folder itself. MODE: 1 version check, 2 date check, 3 follow,\n"
    "4 ask, 0 or other: replace without asking (default 0). GROUP 0 (default) makes the member's\n"
    "decision the one that later mode-3 members follow. TIME: \"-\" (default) for the file's\n"
    "last-write time, a decimal Windows file time, or YYYY-MM-DDTHH:MM:SSZ.\n"
    "A folder line packs every file below FOLDER/SOURCE (\".\" for FOLDER itself) into SUBFOLDER,\n"
    "keeping the levels below it, in the order of the paths' bytes, with its options as defaults;\n"
    "a file line for one of those paths sets that file's options instead.\n"
    "Names are stored as the manifest's bytes (Shift-JIS). --utf8 (Linux build only) reads a\n"
    "UTF-8 manifest (a byte-order mark is skipped), stores the names in Shift-JIS and finds the\n"
    "source files by their UTF-8 names; extract then writes UTF-8 names. kxpack does not guess the\n"
    "encoding: without --utf8, a manifest that is not Shift-JIS but is valid UTF-8, or that begins\n"
    "with a UTF-8 byte-order mark, is refused with its first such line and the advice to build\n"
    "with --utf8. Member names are shown in UTF-8 on Linux and in the console's code page on\n"
    "Windows.\n";

static int Fail(const std::string& what) {
    std::fprintf(stderr, "kxpack: %s\n", what.c_str());
    return 1;
}

static int Build(const std::string& manifestPath, const std::string& folder, const std::string& output,
                 const kx::HostNames& names) {
    std::string text;
    if (!kx::ReadWholeFile(manifestPath, &text)) return Fail("cannot read the manifest " + manifestPath);
    kx::BuiltPackage package;
    std::string problem = kx::BuildPackage(text, folder, names, &package);
    if (!problem.empty()) return Fail(manifestPath + ": " + problem);
    if (!kx::WriteWholeFile(output, package.bytes)) {
        std::remove(output.c_str());
        return Fail("cannot write " + output);
    }
    std::printf("%s: %zu members, version %s, %zu bytes\n", output.c_str(), package.memberCount,
                kx::VersionText(package.versionCode).c_str(), package.bytes.size());
    return 0;
}

static int List(const std::string& path) {
    std::string bytes;
    if (!kx::ReadWholeFile(path, &bytes)) return Fail("cannot read " + path);
    kx::PackageReport report = kx::CheckPackage(bytes);
    std::printf("envelope %s", report.envelope.c_str());
    if (report.envelope == "PA") std::printf(", header block %u bytes", report.headerLength);
    if (report.hasVersion) std::printf(", version %s", kx::VersionText(report.versionCode).c_str());
    if (report.hasChecksum)
        std::printf(", CRC-32 0x%08X (%s)", report.storedChecksum,
                    report.archiveChecksum == report.storedChecksum ? "matches" : "does not match");
    std::printf("\nmembers %d\n", report.memberCount);
    std::printf("%5s %10s %-28s %4s %4s %5s  %s\n", "#", "size", "time (UTC)", "mode", "opt1", "group", "path");
    for (size_t i = 0; i < report.members.size(); ++i) {
        const kx::PackageMember& m = report.members[i].fields;
        std::string where = m.subfolder.empty() ? m.name : m.subfolder + "\\" + m.name;
        std::printf("%5zu %10u %-28s %4u %4u %5u  %s\n", i, report.members[i].dataSize,
                    kx::FileTimeText(m.fileTime).c_str(), m.copyMode, m.optionByte1, m.groupFlag,
                    kx::ForTerminal(where).c_str());
    }
    for (const std::string& note : report.notes)
        std::printf("note: %s\n", note.c_str());
    if (!report.error.empty()) return Fail(path + ": " + report.error);
    return 0;
}

static int Verify(const std::string& path) {
    std::string bytes;
    if (!kx::ReadWholeFile(path, &bytes)) return Fail("cannot read " + path);
    kx::PackageReport report = kx::CheckPackage(bytes);
    for (const std::string& note : report.notes)
        std::printf("note: %s\n", note.c_str());
    if (!report.error.empty()) return Fail(path + ": " + report.error);
    std::printf("%s: ok, %zu members\n", path.c_str(), report.members.size());
    return 0;
}

static int Extract(const std::string& path, const std::string& folder, const kx::HostNames& names) {
    std::string bytes;
    if (!kx::ReadWholeFile(path, &bytes)) return Fail("cannot read " + path);
    size_t count = 0;
    std::string problem = kx::ExtractPackage(bytes, folder, names, &count);
    if (!problem.empty()) return Fail(path + ": " + problem);
    std::printf("%s: %zu members written below %s\n", path.c_str(), count, folder.c_str());
    return 0;
}

static int Init(const std::string& folder) {
    std::string manifest;
    std::string problem = kx::StarterManifest(folder, &manifest);
    if (!problem.empty()) return Fail(problem);
    std::fputs(manifest.c_str(), stdout);
    return 0;
}

static int Preview(const std::string& newPath, const std::string& oldPath) {
    std::string newBytes, oldBytes;
    if (!kx::ReadWholeFile(newPath, &newBytes)) return Fail("cannot read " + newPath);
    kx::Preview preview;
    if (kx::IsFolder(oldPath))
        preview = kx::PreviewOverFolder(newBytes, oldPath);
    else if (kx::ReadWholeFile(oldPath, &oldBytes))
        preview = kx::PreviewOverPackage(newBytes, oldBytes);
    else
        return Fail("cannot read " + oldPath);
    if (!preview.error.empty()) return Fail(preview.error);
    for (const kx::PreviewLine& line : preview.lines)
        std::printf("%s\t%s\t%s\n", line.action.c_str(), kx::ForTerminal(line.path).c_str(),
                    kx::ForTerminal(line.why).c_str());
    std::printf("%zu %s\n", preview.questions, preview.questions == 1 ? "question" : "questions");
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
    kx::HostNames names(utf8);
    if (command == "build" && args.size() == 4) return Build(args[1], args[2], args[3], names);
    if (command == "list" && args.size() == 2) return List(args[1]);
    if (command == "verify" && args.size() == 2) return Verify(args[1]);
    if (command == "extract" && args.size() == 3) return Extract(args[1], args[2], names);
    if (command == "init" && args.size() == 2) return Init(args[1]);
    if (command == "preview" && args.size() == 4 && args[2] == "--over") return Preview(args[1], args[3]);
    return Fail("bad command line (try --help)");
}
