// Path helpers: last characters of Shift-JIS paths, bounded copies, the existence test, the
// system error box and folder creation, on real folders and real message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "MessageBoxObserver.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "util/PathUtil.h"

namespace {

// The system's texts end in CR LF, which a message box may or may not keep.
std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

std::string Stripped(std::string path) {
    StripTrailingBackslash(&path[0]);
    return path.c_str();
}

typedef std::set<std::string> Names;

Names NamesIn(const std::string& folder) {
    Names names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class PathUtilTest : public TempFolderTest {};

}  // namespace

TEST(LastCharTest, StepsWholeCharacters) {
    const char* empty = "";
    EXPECT_EQ(empty, LastChar(empty));
    const char* ascii = "C:\\abc";
    EXPECT_EQ(ascii + 5, LastChar(ascii));
    // 表 is 0x95 0x5C: its trail byte is not a backslash.
    const char* hyo = "C:\\表";
    EXPECT_EQ(hyo + 3, LastChar(hyo));
    const char* slash = "C:\\表\\";
    EXPECT_EQ(slash + 5, LastChar(slash));
    const char* kana = "ｱ";  // one single-byte katakana
    EXPECT_EQ(kana, LastChar(kana));

    EXPECT_EQ("C:\\表", Stripped("C:\\表"));
    EXPECT_EQ("C:\\ソ", Stripped("C:\\ソ\\"));
    EXPECT_EQ("C:\\a\\", Stripped("C:\\a\\\\")) << "one backslash only";
    EXPECT_EQ("", Stripped(""));
}

TEST(BoundedCopyTest, RefusesWhatDoesNotFitAndChangesNothing) {
    char buffer[8] = "keep";
    EXPECT_FALSE(CopyBounded(buffer, sizeof buffer, "12345678"));
    EXPECT_STREQ("keep", buffer);
    EXPECT_TRUE(CopyBounded(buffer, sizeof buffer, "1234567"));
    EXPECT_STREQ("1234567", buffer);

    EXPECT_TRUE(CopyBounded(buffer, sizeof buffer, "abc"));
    EXPECT_FALSE(AppendBounded(buffer, sizeof buffer, "defgh"));
    EXPECT_STREQ("abc", buffer);
    EXPECT_TRUE(AppendBounded(buffer, sizeof buffer, "defg"));
    EXPECT_STREQ("abcdefg", buffer);
    EXPECT_FALSE(AppendBounded(buffer, sizeof buffer, "h"));
    EXPECT_TRUE(AppendBounded(buffer, sizeof buffer, ""));
    EXPECT_STREQ("abcdefg", buffer);
}

TEST_F(PathUtilTest, FileExistsOnlyForFiles) {
    ASSERT_TRUE(WriteBytes(Path("kx.pac"), "PA"));
    EXPECT_EQ(1, FileExists(Path("kx.pac").c_str()));
    EXPECT_EQ(0, FileExists(Path("missing.pac").c_str()));
    EXPECT_EQ(0, FileExists(Temp().WindowsPath().c_str()));
    EXPECT_EQ(0, FileExists(""));

    // Install folders run long: the test must see files far beyond 128 bytes.
    std::string folder = Path(Repeat('d', 120));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    std::string longFile = folder + "\\表korvex.exe";
    ASSERT_GT(longFile.size(), 128u);
    ASSERT_TRUE(WriteBytes(longFile, "MZ"));
    EXPECT_EQ(1, FileExists(longFile.c_str()));

    // A file that another program holds without sharing still exists.
    HANDLE held = CreateFileA(Path("kx.pac").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1, FileExists(Path("kx.pac").c_str()));
    CloseHandle(held);
}

TEST(SystemErrorTest, ShowsTheLastErrorsTextWithTheCallersCaption) {
    std::string notFound = SystemErrorText(ERROR_FILE_NOT_FOUND);
    std::string denied = SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(notFound.empty());
    ASSERT_NE(notFound, denied);

    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDOK);
    SetLastError(ERROR_FILE_NOT_FOUND);
    ShowSystemError("インストール処理");
    SetLastError(ERROR_ACCESS_DENIED);
    ShowSystemError("UpPackOpen");
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_EQ("インストール処理", boxes[0].caption);
    EXPECT_EQ(WithoutLineEnd(notFound), WithoutLineEnd(boxes[0].text)) << ToUtf8(boxes[0].text);
    EXPECT_EQ(MB_ICONERROR, boxes[0].icon);
    EXPECT_EQ(std::vector<int>({IDOK}), boxes[0].buttons);
    EXPECT_FALSE(boxes[0].hasOwner);
    EXPECT_TRUE(boxes[0].taskModal) << "no page may take input while it is up";
    EXPECT_EQ("UpPackOpen", boxes[1].caption);
    EXPECT_EQ(WithoutLineEnd(denied), WithoutLineEnd(boxes[1].text)) << ToUtf8(boxes[1].text);
}

TEST_F(PathUtilTest, CreateFolderPathMakesEveryMissingLevel) {
    ASSERT_TRUE(CreateDirectoryA(Path("a").c_str(), NULL));
    EXPECT_EQ(1, CreateFolderPath(Path("a\\b\\c").c_str()));
    EXPECT_TRUE(IsFolder(Path("a\\b")));
    EXPECT_TRUE(IsFolder(Path("a\\b\\c")));

    // A trailing backslash is allowed; an existing folder is simply accepted.
    EXPECT_EQ(1, CreateFolderPath(Path("x\\y\\").c_str()));
    EXPECT_TRUE(IsFolder(Path("x\\y")));
    EXPECT_EQ(1, CreateFolderPath(Path("a\\b\\c").c_str()));
    EXPECT_EQ(1, CreateFolderPath(Temp().WindowsPath().substr(0, 3).c_str())) << "a drive root";

    // Double-byte characters whose trail byte is 0x5C are never separators.
    // Taken for one, a trail byte would make a stray folder "新" on the way.
    EXPECT_EQ(1, CreateFolderPath(Path("新表\\ソフト\\").c_str()));
    EXPECT_TRUE(IsFolder(Path("新表\\ソフト")));
    EXPECT_EQ(Names({"a", "x", "新表"}), NamesIn(Temp().WindowsPath()));
    EXPECT_EQ(Names({"ソフト"}), NamesIn(Path("新表")));
}

TEST_F(PathUtilTest, CreateFolderPathRefusesWhatItCannotMake) {
    ASSERT_TRUE(WriteBytes(Path("file"), "x"));
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK).Answer(IDOK).Answer(IDOK);
        EXPECT_EQ(0, CreateFolderPath(Path("file").c_str()));
        EXPECT_EQ(0, CreateFolderPath(Path("file\\").c_str()));
        // A file in the middle of the path stops the creation below it.
        EXPECT_EQ(0, CreateFolderPath(Path("file\\sub\\deeper").c_str()));
        ASSERT_EQ(3u, boxes.Count());
        ExpectWarningBox(boxes[0], "指示先に既にファイルが存在します。");
        ExpectWarningBox(boxes[1], "指示先に既にファイルが存在します。");
        ExpectWarningBox(boxes[2], "指示先のフォルダ作成に失敗しました。");
    }
    EXPECT_EQ("x", ReadBytes(Path("file")));

    // Without a drive nothing is made and nothing is said.
    SetCurrentDirectoryA(Temp().WindowsPath().c_str());
    EXPECT_EQ(0, CreateFolderPath("relative\\folder"));
    EXPECT_FALSE(PathExists(Path("relative")));
    // A drive without a folder path names no place that could be made.
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(0, CreateFolderPath((Temp().WindowsPath().substr(0, 2) + "kx_relative").c_str()));
        ASSERT_EQ(1u, boxes.Count());
        ExpectWarningBox(boxes[0], "指示先のフォルダ作成に失敗しました。");
    }
    EXPECT_FALSE(PathExists(Path("kx_relative")));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    SetCurrentDirectoryA(system);

    // A path that does not fit in 260 bytes is refused whole, never cut.
    std::string tooLong = Path(Repeat('l', 100) + "\\" + Repeat('m', 100) + "\\" + Repeat('n', 100));
    ASSERT_GE(tooLong.size(), 260u);
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(0, CreateFolderPath(tooLong.c_str()));
        ASSERT_EQ(1u, boxes.Count());
        ExpectWarningBox(boxes[0], "指示先のフォルダ作成に失敗しました。");
    }
    EXPECT_FALSE(PathExists(Path(Repeat('l', 100))));
}
