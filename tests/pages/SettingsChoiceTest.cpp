// When the install folder decides the data choice by itself.
#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestFiles.h"
#include "pages/SettingsChoice.h"

namespace {

class SettingsChoiceTest : public TempFolderTest {};

TEST_F(SettingsChoiceTest, ProgramFilesLocksTheChoiceOff) {
    const char* prefix = "D:\\Program Files\\";
    struct Case {
        const char* folder;
        int locked;
    } cases[] = {
        {"D:\\Program Files\\Korvanto", 1},
        {"d:\\program files\\korvanto\\", 1},
        {"D:\\Program Files\\", 1},
        {"D:\\Program Files", 0},  // the folder itself, without its backslash, is not inside
        {"D:\\Program Filesx\\Korvanto", 0},
        {"D:\\Apps\\Korvanto", 0},
        {"C:\\Program Files\\Korvanto", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        int data = 7;
        EXPECT_EQ(c.locked, LockedDataChoice(c.folder, prefix, &data)) << c.folder;
        EXPECT_EQ(c.locked ? 0 : 7, data) << c.folder;
    }
}

TEST_F(SettingsChoiceTest, AnExistingSettingsFileLocksTheChoiceOn) {
    std::string folder = Temp().WindowsPath();
    ASSERT_TRUE(WriteBytes(Path("korvex.ini"), ""));
    int data = 0;
    // Even inside the Program Files folder the settings file wins.
    std::string prefix = folder.substr(0, 3);
    EXPECT_EQ(1, LockedDataChoice(folder.c_str(), prefix.c_str(), &data));
    EXPECT_EQ(1, data);
    data = 0;
    EXPECT_EQ(1, LockedDataChoice((folder + "\\").c_str(), "", &data));
    EXPECT_EQ(1, data);
}

TEST_F(SettingsChoiceTest, AnUnknownProgramFilesFolderLeavesTheChoiceFree) {
    int data = 1;
    EXPECT_EQ(0, LockedDataChoice("C:\\Program Files\\Korvanto", "", &data));
    EXPECT_EQ(0, LockedDataChoice(Temp().WindowsPath().c_str(), "", &data));
    EXPECT_EQ(1, data);
}

}  // namespace
