// kxpack's preview against the real copy pass: an earlier package is installed, the version-up
// with the new one is run with every question answered No, and the preview over the earlier
// package and over the installed folder must name exactly the questions that appeared, in order.
#include <gtest/gtest.h>

#include "ImageFixtures.h"
#include "MessageBoxObserver.h"
#include "PackageFixture.h"
#include "PackagePreview.h"
#include "install/PackageReader.h"

namespace {

const uint64_t kEarlier = kStoredTime - 10000000;  // a second before
const uint64_t kLater = kStoredTime + 10000000;

kx::PackageMember Dated(kx::PackageMember member, uint64_t time) {
    member.fileTime = time;
    return member;
}

struct VersionUp {
    const char* what;
    std::vector<kx::PackageMember> earlier;
    std::vector<kx::PackageMember> next;
};

std::vector<VersionUp> VersionUps() {
    std::string v1 = FixtureImage("version_1_0_0_0.dll"), v1Wide = FixtureImage("version_1_0_256_0.dll"),
                v2 = FixtureImage("version_2_1_0_3.dll"), none = FixtureImage(kUnversionedFixture);
    return {
        {"versions",
         {Member("", "lower.dll", v2, 1), Member("", "higher.dll", v1, 1), Member("", "none.dll", none, 1),
          Member("", "equal.dll", v1, 1), Member("", "follower.dll", v1, 3)},
         {Member("", "lower.dll", v1, 1), Member("", "follower.dll", v2, 3), Member("", "higher.dll", v2, 1),
          Member("", "none.dll", v1, 1), Member("", "equal.dll", v1Wide, 1), Member("", "added.dll", none, 1)}},
        {"dates and groups",
         {Member("", "first.txt", "f", 3), Dated(Member("", "later.txt", "l", 2), kLater),
          Member("", "same.txt", "s", 2), Member("", "grouped.txt", "g", 3), Member("", "asked.txt", "a", 4),
          Member("", "kept.txt", "k", 3)},
         {Member("", "first.txt", "F", 3), Member("", "later.txt", "L", 2, 0), Member("", "grouped.txt", "G", 3, 1),
          Dated(Member("", "same.txt", "S", 2, 1), kStoredTime), Member("", "kept.txt", "K", 3),
          Dated(Member("", "asked.txt", "A", 2), kLater), Member("", "asked2.txt", "B", 4)}},
        {"subfolders, Japanese names and a plain question",
         {Dated(Member("データ", "表.txt", "old", 2), kLater), Member("sub", "plain.ini", "p", 0),
          Member("sub", "ask.ini", "q", 4)},
         {Dated(Member("データ", "表.txt", "new", 2), kEarlier), Member("SUB", "ask.ini", "Q", 4),
          Member("sub", "plain.ini", "P", 4), Member("新規", "追加.txt", "n", 2)}},
    };
}

// The question that the copy pass shows for a preview line, as "caption|text"; "" for none.
std::string QuestionFor(const kx::PreviewLine& line, const std::string& fileName) {
    static const char kVersion[] =
        "『%s』は既に最新版がインストールされています。\n上書きしてよろしいですか？\n"
        "（通常は「いいえ」とし、上書きしないようにして下さい。）";
    static const char kDate[] =
        "『%s』は既に最新の日付のファイルがインストールされています。\n上書きしてよろしいですか？\n"
        "（通常は「いいえ」とし、上書きしないようにして下さい。）";
    char text[1024];
    if (line.action == "ask-version")
        return "上書きしてよろしいですか？|" + std::string(text, wsprintfA(text, kVersion, fileName.c_str()));
    if (line.action == "ask-date")
        return "上書きしてよろしいですか？|" + std::string(text, wsprintfA(text, kDate, fileName.c_str()));
    if (line.action == "ask-always") return "確認|既に同じファイルが存在します。上書きしてよろしいですか？";
    return "";
}

std::string Questions(const kx::Preview& preview, const std::vector<kx::PackageMember>& next) {
    std::string questions;
    EXPECT_EQ(next.size(), preview.lines.size()) << preview.error;
    for (size_t i = 0; i < preview.lines.size() && i < next.size(); ++i) {
        std::string question = QuestionFor(preview.lines[i], next[i].name);
        if (!question.empty()) questions += question + "\n";
    }
    return questions;
}

}  // namespace

class PreviewDifferentialTest : public PackageTest {
protected:
    int Run(const std::vector<kx::PackageMember>& members) {
        WriteMembers(members);
        PackageReader reader;
        return reader.UnPackCopy(archive.c_str(), target.c_str());
    }
};

TEST_F(PreviewDifferentialTest, PreviewNamesExactlyTheQuestionsOfTheVersionUp) {
    for (const VersionUp& up : VersionUps()) {
        SCOPED_TRACE(up.what);
        RemoveTree(target);
        ASSERT_TRUE(CreateDirectoryA(target.c_str(), NULL)) << "error " << GetLastError();
        ASSERT_EQ(0, Run(up.earlier)) << "the earlier package does not install";
        std::string earlier = kx::BuildEnvelope(0x01000000, kx::BuildArchive(up.earlier));
        std::string next = kx::BuildEnvelope(0x02000000, kx::BuildArchive(up.next));
        kx::Preview overPackage = kx::PreviewOverPackage(next, earlier);
        kx::Preview overFolder = kx::PreviewOverFolder(next, target);
        std::string asked;
        size_t askedCount = 0;
        {
            MessageBoxScript boxes;
            boxes.DismissTheRest();  // every question answered No, as it recommends
            ASSERT_EQ(0, Run(up.next)) << "the version-up fails";
            askedCount = boxes.Count();
            for (const ObservedBox& box : boxes.Boxes())
                asked += box.caption + "|" + box.text + "\n";
        }
        EXPECT_NE("", asked) << "every version-up here asks something";
        EXPECT_EQ(ToUtf8(asked), ToUtf8(Questions(overPackage, up.next))) << "over the package";
        EXPECT_EQ(ToUtf8(asked), ToUtf8(Questions(overFolder, up.next))) << "over the folder";
        EXPECT_EQ(overPackage.questions, askedCount);
        for (size_t i = 0; i < overPackage.lines.size() && i < overFolder.lines.size(); ++i)
            EXPECT_EQ(overPackage.lines[i].action + " " + overPackage.lines[i].why,
                      overFolder.lines[i].action + " " + overFolder.lines[i].why)
                << ToUtf8(overPackage.lines[i].path);
    }
}
