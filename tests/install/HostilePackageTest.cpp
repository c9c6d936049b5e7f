// Malformed and hostile archives: each is refused with a message, nothing lands outside the
// target folder, and the close still removes the temporary file of the member before it.
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PackageFixture.h"
#include "PackageCheck.h"
#include "PackageFormat.h"
#include "install/PackageReader.h"

namespace {

// One entry with well-formed lengths around the given name bytes (terminators added).
std::string Entry(const std::string& subfolder, const std::string& name, uint32_t optionLength = 3) {
    std::string out = RawEntryStart(optionLength, static_cast<uint32_t>(subfolder.size() + 1), subfolder + '\0');
    kx::AppendU32(out, static_cast<uint32_t>(name.size() + 1));
    return out + name + '\0';
}

std::string U32(uint32_t value) {
    std::string out;
    return kx::AppendU32(out, value);
}

struct HostileCase {
    const char* what;
    std::string entry;  // the second member's entry; its data size is 1
};

std::vector<HostileCase> HostileCases() {
    std::string full = Entry("", "x.txt");
    std::vector<HostileCase> cases = {
        {"option length 2", Entry("", "x.txt", 2)},
        {"option length above the buffer", Entry("", "x.txt", 257)},
        {"option length 2^32-1", RawEntryStart(0xFFFFFFFFu, 1, std::string(1, '\0')) + U32(2) + "x" + '\0'},
        {"subfolder length 0", RawEntryStart(3, 0, "") + U32(2) + "x" + '\0'},
        {"subfolder length 52", RawEntryStart(3, 52, std::string(51, 's') + '\0') + U32(2) + "x" + '\0'},
        {"subfolder not terminated", RawEntryStart(3, 3, "abc") + U32(2) + "x" + '\0'},
        {"name length 0", RawEntryStart(3, 1, std::string(1, '\0')) + U32(0)},
        {"name not terminated", RawEntryStart(3, 1, std::string(1, '\0')) + U32(3) + "abc"},
        {"empty name", Entry("", "")},
        {"subfolder ..", Entry("..", "x.txt")},
        {"subfolder ..\\..", Entry("..\\..", "x.txt")},
        {"subfolder a\\..", Entry("a\\..", "x.txt")},
        {"subfolder .", Entry(".", "x.txt")},
        {"subfolder of dots and spaces", Entry(". .", "x.txt")},
        {"subfolder from the root", Entry("\\evil", "x.txt")},
        {"subfolder with a drive", Entry("C:\\evil", "x.txt")},
        {"subfolder with a drive only", Entry("C:", "x.txt")},
        {"subfolder with a slash", Entry("a/../..", "x.txt")},
        {"subfolder with an empty component", Entry("a\\\\b", "x.txt")},
        {"subfolder with a trailing separator", Entry("a\\", "x.txt")},
        {"subfolder ending in a lead byte", Entry("a\x83", "x.txt")},
        {"name ..", Entry("", "..")},
        {"name .", Entry("", ".")},
        {"name leading up", Entry("", "..\\x.txt")},
        {"name with a separator", Entry("", "a\\x.txt")},
        {"name from the root", Entry("", "\\x.txt")},
        {"name with a slash", Entry("", "../x.txt")},
        {"name with a drive", Entry("", "C:x.txt")},
        {"name with a stream", Entry("", "x.txt:s")},
        {"name with a wildcard", Entry("", "*.txt")},
        {"name with a control byte", Entry("", "x\ty")},
        {"device name", Entry("", "NUL")},
        {"device name with an extension", Entry("", "con.txt")},
        {"numbered device name", Entry("", "Com1")},
        {"device name with spaces before the extension", Entry("", "lpt9 .log")},
        {"device subfolder", Entry("aux", "x.txt")},
        {"nested device subfolder", Entry("a\\Prn.dir", "x.txt")},
        {"console device", Entry("", "CONOUT$")},
    };
    // Every field cut off by the end of the file, up to the last byte of the name.
    for (size_t cut : {0u, 2u, 4u, 10u, 12u, 14u, 16u, 18u, 19u, 21u, 23u, 24u, 26u, 28u, 31u})
        cases.push_back({"entry cut off", full.substr(0, cut)});
    return cases;
}

}  // namespace

using HostilePackageTest = PackageTest;

TEST_F(HostilePackageTest, RefusesEachWithoutWritingOutsideTheTarget) {
    for (const HostileCase& c : HostileCases()) {
        std::string entries = Entry("", "good.txt") + "g" + c.entry + "x";
        WriteArchive(RawArchive(2, {1, 1}, entries));
        PackageReader reader;
        ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str())) << c.what;
        EXPECT_EQ(1, reader.UnPackRead(1)) << c.what;
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(-1, reader.UnPackRead(1)) << c.what;
        ASSERT_EQ(1u, boxes.Count()) << c.what;
        EXPECT_EQ("不正なファイルを読込ました。", boxes[0].text) << c.what << ": " << ToUtf8(boxes[0].text);
        EXPECT_EQ("注意", boxes[0].caption);
        reader.UnPackClose();
        EXPECT_EQ(std::vector<std::string>({"app", "kx.pa_"}), Tree()) << c.what;
        EXPECT_FALSE(PathExists("C:\\evil")) << c.what;
        EXPECT_FALSE(PathExists("\\_x.txt")) << c.what;
    }
}

TEST_F(HostilePackageTest, UnPackCopyCopiesNothingFromAPackageWithAHostileMember) {
    WriteArchive(RawArchive(2, {1, 1}, Entry("", "good.txt") + "g" + Entry("..", "x.txt") + "x"));
    PackageReader reader;
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackCopy(archive.c_str(), target.c_str()));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("不正なファイルを読込ました。", boxes[0].text);
    EXPECT_EQ(std::vector<std::string>({"app", "kx.pa_"}), Tree());
}

// kxpack verify must be as strict as the reader: what one refuses, the other refuses too.
TEST(PackageCheckTest, RefusesWhatTheReaderRefuses) {
    std::string good = Entry("", "good.txt") + "g";
    kx::PackageReport report = kx::CheckPackage(kx::BuildEnvelope(0x01020003, RawArchive(1, {1}, good)));
    EXPECT_EQ("", report.error);
    EXPECT_EQ("1.2.0.3", kx::VersionText(report.versionCode));
    ASSERT_EQ(1u, report.members.size());
    EXPECT_EQ("good.txt", report.members[0].fields.name);
    for (const HostileCase& c : HostileCases()) {
        report = kx::CheckPackage(kx::BuildEnvelope(1, RawArchive(2, {1, 1}, good + c.entry + "x")));
        EXPECT_NE("", report.error) << c.what;
        EXPECT_EQ(1u, report.members.size()) << c.what;
    }
    EXPECT_NE("", kx::CheckPackage("SZ" + RawArchive(0, {}, "")).error) << "the inner reader wants \"PC\"";
    for (const char* name : {"CONSOLE.txt", "COM10", "nul_x", "lpt", ".con", "表CON"})
        EXPECT_EQ("", kx::NameProblem(name, false)) << name << " names no device";
    EXPECT_NE("", kx::CheckPackage(kx::BuildEnvelope(1, RawArchive(501, std::vector<uint32_t>(501, 0), ""))).error);
    EXPECT_NE("", kx::CheckPackage(kx::BuildEnvelope(1, RawArchive(2, {0}, ""))).error) << "short size table";
}
