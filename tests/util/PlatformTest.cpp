// The bench itself: these pass only where the code really runs on Win32 with code page 932.
#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "TempFolder.h"
#include "TestFiles.h"

TEST(PlatformTest, RunsWithShiftJisAsTheAnsiCodePage) {
    EXPECT_EQ(932u, GetACP());
    // 表 is 0x95 0x5C: a lead byte followed by a trail byte that looks like a backslash.
    const char* hyo = "表";
    ASSERT_EQ(2u, strlen(hyo));
    EXPECT_EQ('\x95', hyo[0]);
    EXPECT_EQ('\\', hyo[1]);
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
    EXPECT_FALSE(IsDBCSLeadByte('\\'));
    EXPECT_EQ(hyo + 2, CharNextA(hyo));
    const char* path = "C:\\表\\";
    EXPECT_EQ(path + 3, CharNextA(path + 2)) << "the separator after the drive";
    EXPECT_EQ(path + 5, CharNextA(path + 3)) << "表 steps as one character";
}

TEST(PlatformTest, ObserverRecordsAndAnswersRealBoxes) {
    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDOK);
    EXPECT_EQ(IDNO, MessageBoxA(NULL, "処理を中止します。よろしいですか？", "確認",
                                MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TASKMODAL));
    EXPECT_EQ(IDOK, MessageBoxA(NULL, "本文", "題", MB_OK | MB_ICONWARNING));
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_EQ("処理を中止します。よろしいですか？", boxes[0].text);
    EXPECT_EQ("確認", boxes[0].caption);
    EXPECT_EQ(MB_ICONQUESTION, boxes[0].icon);
    EXPECT_EQ(std::vector<int>({IDYES, IDNO}), boxes[0].buttons);
    EXPECT_EQ(IDNO, boxes[0].focusedButton);
    EXPECT_TRUE(boxes[0].taskModal);
    EXPECT_FALSE(boxes[0].hasOwner);
    EXPECT_EQ(MB_ICONWARNING, boxes[1].icon);
    EXPECT_EQ(std::vector<int>({IDOK}), boxes[1].buttons);
    EXPECT_FALSE(boxes[1].taskModal);
}

TEST(PlatformTest, TempFolderIsSeenFromBothSides) {
    TempFolder temp;
    ASSERT_TRUE(WriteBytes(temp.Path("a.bin"), std::string("x\0y", 3)));
    EXPECT_EQ(std::string("x\0y", 3), ReadBytes(temp.Path("a.bin")));
    ASSERT_FALSE(temp.UnixPath().empty());
    EXPECT_EQ('/', temp.UnixPath()[0]);
    // Wine's drive Z: is the Linux root: the same file must be there under the Linux path.
    std::string viaRoot = "Z:" + temp.UnixPath() + "/a.bin";
    for (char& c : viaRoot)
        c = c == '/' ? '\\' : c;
    EXPECT_EQ(std::string("x\0y", 3), ReadBytes(viaRoot));
}

TEST(PlatformTest, UnexpectedBoxesFailTheTestInsteadOfHangingIt) {
    EXPECT_NONFATAL_FAILURE(MessageBoxA(NULL, "想定外", "注意", MB_OK | MB_ICONWARNING), "unexpected message box");
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxScript boxes;
            boxes.Answer(IDYES);
            MessageBoxA(NULL, "本文", "題", MB_OK);
        },
        "is not a button of the box");
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxScript boxes;
            boxes.Answer(IDOK);
        },
        "not used");
}
