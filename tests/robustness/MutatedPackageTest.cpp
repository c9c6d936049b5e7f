// Thousands of mutated variants of a valid archive through the real extract-and-copy pass:
// none may crash or hang the reader, write outside the target folder or leave a "_" file.
// The mutator is seeded, so a failing variant is replayed by its number.
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "SeededRandom.h"
#include "../install/PackageFixture.h"
#include "install/PackageReader.h"

namespace {

struct Base {
    std::string bytes;
    std::vector<size_t> lengthFields;  // offsets of every count and length field
    std::vector<size_t> boundaries;    // offsets where a field begins
};

Base MakeBase() {
    std::vector<kx::PackageMember> members = {Member("", "a.dll", "alpha"), Member("sub", "b.txt", ""),
                                              Member("sub", "c.bin", Repeat('c', 5121)),
                                              Member("ソフト", "表.txt", "x")};
    Base base;
    base.bytes = kx::BuildArchive(members);
    base.lengthFields.push_back(2);
    size_t at = 6;
    for (size_t i = 0; i < members.size(); ++i, at += 4) {
        base.lengthFields.push_back(at);
        base.boundaries.push_back(at);
    }
    for (const kx::PackageMember& m : members) {
        size_t entry = at;
        size_t option = entry + 12, subfolder = option + 7, name = subfolder + 4 + m.subfolder.size() + 1;
        base.lengthFields.insert(base.lengthFields.end(), {option, subfolder, name});
        base.boundaries.insert(base.boundaries.end(),
                               {entry, entry + 4, option, option + 4, subfolder, subfolder + 4, name, name + 4});
        at = name + 4 + m.name.size() + 1;
        base.boundaries.push_back(at);
        at += m.data.size();
    }
    return base;
}

const uint32_t kLengthsAtBounds[] = {0,   1,   2,   3,    4,    50,         51,          52,          256,        257,
                                     259, 260, 261, 5120, 5121, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
const char* const kHostileNames[] = {"..",  ".", "..\\..\\x", "C:\\x", "\\x",  "a/b",        "x:y",
                                     "a\\", "",  "con",       "*",     "\x83", "表\\..\\..", "..\\表"};

void PutU32(std::string* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4 && at + i < bytes->size(); ++i)
        (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

std::string Mutate(const Base& base, SeededRandom& random) {
    std::string bytes = base.bytes;
    switch (random.Below(6)) {
        case 0:  // flip a few bytes anywhere
            for (size_t n = 1 + random.Below(4); n > 0; --n)
                bytes[random.Below(bytes.size())] ^= static_cast<char>(1 + random.Below(255));
            break;
        case 1:  // cut anywhere
            bytes.resize(random.Below(bytes.size()));
            break;
        case 2:  // cut at a field
            bytes.resize(base.boundaries[random.Below(base.boundaries.size())] + random.Below(3));
            break;
        case 3:  // a count or length with a value at or around a bound
            PutU32(&bytes, base.lengthFields[random.Below(base.lengthFields.size())],
                   kLengthsAtBounds[random.Below(sizeof kLengthsAtBounds / sizeof *kLengthsAtBounds)]);
            break;
        case 4: {  // a hostile name in place of one member's subfolder or name, with lengths to match
            std::vector<kx::PackageMember> members = {Member("", "a.dll", "alpha"), Member("sub", "b.txt", "")};
            std::string hostile = kHostileNames[random.Below(sizeof kHostileNames / sizeof *kHostileNames)];
            (random.Below(2) ? members[random.Below(2)].subfolder : members[random.Below(2)].name) = hostile;
            bytes = kx::BuildArchive(members);
            break;
        }
        default:  // random bytes over one field
            for (size_t at = base.boundaries[random.Below(base.boundaries.size())], n = 4; n > 0 && at < bytes.size();
                 --n, ++at)
                bytes[at] = static_cast<char>(random.Next());
            break;
    }
    return bytes;
}

// A name in the tree that is, or lies in, a "_" file; or anything beside the target folder.
std::string Stray(const std::vector<std::string>& tree) {
    for (const std::string& path : tree) {
        if (path == "app" || path == "kx.pa_") continue;
        if (path.compare(0, 4, "app\\") != 0) return path;
        if (path.find("\\_") != std::string::npos) return path;
    }
    return "";
}

// Every box a broken package can bring is one of the reader's or the copy's own.
bool IsKnownBox(const ObservedBox& box) {
    static const char* const kWarnings[] = {"不正なファイルを読込ました。",   "形式の異なるファイルを読み込みました。",
                                            "ファイル数がオーバーしました。", "ファイル名が長すぎます。",
                                            "ファイルの書込に失敗しました。", "読込に失敗しました。",
                                            "インストールに失敗しました。"};
    if (box.caption == "注意") {
        for (const char* text : kWarnings)
            if (box.text == text) return true;
        return false;
    }
    return box.caption == "インストール処理" || box.caption == "上書きしてよろしいですか？" || box.caption == "確認";
}

}  // namespace

class MutatedPackageTest : public PackageTest, public ::testing::WithParamInterface<int> {};

TEST_P(MutatedPackageTest, NeverEscapesTheTargetNorLeavesTemporaryFiles) {
    const int kVariants = 1250;
    Base base = MakeBase();
    SeededRandom random(0x6B78706163ULL + static_cast<uint64_t>(GetParam()));
    MessageBoxScript boxes;
    boxes.DismissTheRest();
    for (int variant = 0; variant < kVariants; ++variant) {
        WriteArchive(Mutate(base, random));
        {
            PackageReader reader;
            reader.UnPackCopy(archive.c_str(), target.c_str());
            EXPECT_EQ(INVALID_HANDLE_VALUE, reader.packageFile);
        }
        std::vector<std::string> tree = Tree();
        ASSERT_EQ("", Stray(tree)) << "seed part " << GetParam() << ", variant " << variant;
        ASSERT_FALSE(PathExists("C:\\x")) << "variant " << variant;
        if (tree.size() > 2) {
            RemoveTree(target);
            CreateDirectoryA(target.c_str(), NULL);
        }
    }
    for (const ObservedBox& box : boxes.Boxes())
        EXPECT_TRUE(IsKnownBox(box)) << ToUtf8(box.caption) << ": " << ToUtf8(box.text);
}

// Eight parts of 1,250 variants, 10,000 in all, so that ctest can run them side by side.
INSTANTIATE_TEST_SUITE_P(Seeds, MutatedPackageTest, ::testing::Range(0, 8));
