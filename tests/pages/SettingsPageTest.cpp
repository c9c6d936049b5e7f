// The settings page on its real template: the locked data choice and the three choices stored
// whichever way the page is left.
#include <shlobj.h>

#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PageBench.h"
#include "TestFiles.h"
#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/WizardState.h"

namespace {

struct SettingsSeen {
    bool dataChecked = false;
    bool dataEnabled = false;
    bool noteEnabled = false;
    bool desktopChecked = false;
    bool startMenuChecked = false;
};

class SettingsPageTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        // As the folder page leaves them.
        dataBesideProgram = 0;
        desktopShortcut = 1;
        startMenuShortcut = 1;
    }
    INT_PTR Run(PageAction action) { return RunPage("IDD_SETUP", SettingsPageProc, 2, action); }
    static SettingsSeen See(HWND page) {
        SettingsSeen seen;
        seen.dataChecked = IsChecked(page, IDC_SETTINGS_DATA);
        seen.dataEnabled = IsItemEnabled(page, IDC_SETTINGS_DATA);
        seen.noteEnabled = IsItemEnabled(page, IDC_SETTINGS_DATA_NOTE);
        seen.desktopChecked = IsChecked(page, IDC_SETTINGS_DESKTOP);
        seen.startMenuChecked = IsChecked(page, IDC_SETTINGS_START_MENU);
        return seen;
    }
    SettingsSeen OpenAndGoOn() {
        SettingsSeen seen;
        EXPECT_EQ(1, Run([&](HWND page) {
                      seen = See(page);
                      Click(page, IDC_NEXT);
                  }));
        EXPECT_EQ(3, nextPage);
        return seen;
    }
};

TEST_F(SettingsPageTest, ProgramFilesLocksTheDataChoiceOff) {
    for (const std::string& folder : {ProgramFilesPrefix() + "Korvanto", ProgramFilesPrefix() + "KORVANTO\\"}) {
        lstrcpyA(installFolder, folder.c_str());
        dataBesideProgram = 1;  // whatever was left: the lock wins
        SettingsSeen seen = OpenAndGoOn();
        EXPECT_FALSE(seen.dataChecked) << folder;
        EXPECT_FALSE(seen.dataEnabled) << folder;
        EXPECT_FALSE(seen.noteEnabled) << folder;
        EXPECT_TRUE(seen.desktopChecked);
        EXPECT_TRUE(seen.startMenuChecked);
        EXPECT_EQ(0, dataBesideProgram);
        EXPECT_EQ(1, desktopShortcut);
        EXPECT_EQ(1, startMenuShortcut);
    }
    // The Program Files folder itself, typed without its backslash, is not inside it.
    lstrcpyA(installFolder, (ProgramFilesPrefix().substr(0, ProgramFilesPrefix().size() - 1)).c_str());
    EXPECT_TRUE(OpenAndGoOn().dataEnabled);
}

TEST_F(SettingsPageTest, AnExistingSettingsFileLocksTheDataChoiceOn) {
    lstrcpyA(installFolder, (Temp().WindowsPath() + "\\").c_str());
    ASSERT_TRUE(WriteBytes(Path("korvex.ini"), ""));
    SettingsSeen seen = OpenAndGoOn();
    EXPECT_TRUE(seen.dataChecked);
    EXPECT_FALSE(seen.dataEnabled);
    EXPECT_FALSE(seen.noteEnabled);
    EXPECT_EQ(1, dataBesideProgram);
}

TEST_F(SettingsPageTest, AFreeChoiceIsStoredWhicheverWayThePageIsLeft) {
    lstrcpyA(installFolder, Path("Apps\\Korvanto").c_str());
    EXPECT_EQ(1, Run([&](HWND page) {
                  SettingsSeen seen = See(page);
                  EXPECT_TRUE(seen.dataEnabled);
                  EXPECT_TRUE(seen.noteEnabled);
                  EXPECT_FALSE(seen.dataChecked);
                  SendDlgItemMessageA(page, IDC_SETTINGS_DATA, BM_CLICK, 0, 0);
                  SendDlgItemMessageA(page, IDC_SETTINGS_DESKTOP, BM_CLICK, 0, 0);
                  Click(page, IDC_BACK);
              }));
    EXPECT_EQ(1, nextPage);
    EXPECT_EQ(1, dataBesideProgram);
    EXPECT_EQ(0, desktopShortcut);
    EXPECT_EQ(1, startMenuShortcut);

    // Coming back shows the choices as they were left; Cancel answered Yes stores them too.
    MessageBoxScript boxes;
    boxes.Answer(IDYES);
    EXPECT_EQ(1, Run([&](HWND page) {
                  SettingsSeen seen = See(page);
                  EXPECT_TRUE(seen.dataChecked);
                  EXPECT_FALSE(seen.desktopChecked);
                  EXPECT_TRUE(seen.startMenuChecked);
                  SendDlgItemMessageA(page, IDC_SETTINGS_START_MENU, BM_CLICK, 0, 0);
                  Click(page, IDC_CANCEL_WIZARD);
              }));
    EXPECT_EQ(-1, nextPage);
    EXPECT_EQ(1, dataBesideProgram);
    EXPECT_EQ(0, desktopShortcut);
    EXPECT_EQ(0, startMenuShortcut);
    EXPECT_EQ(1u, boxes.Count());
}

TEST_F(SettingsPageTest, AnUnknownProgramFilesFolderLeavesTheDataChoiceFree) {
    ShellFolders().Set(CSIDL_DESKTOPDIRECTORY, "");
    lstrcpyA(installFolder, "C:\\Program Files\\Korvanto");
    EXPECT_EQ(1, Run([&](HWND page) {
                  EXPECT_TRUE(IsItemEnabled(page, IDC_SETTINGS_DATA));
                  SendDlgItemMessageA(page, IDC_SETTINGS_DATA, BM_CLICK, 0, 0);
                  Click(page, IDC_NEXT);
              }));
    EXPECT_EQ(1, dataBesideProgram);
}

}  // namespace
