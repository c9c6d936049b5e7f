// The folder page on its real template: what it offers, what Next accepts, what Back and
// Cancel keep, and the real folder browser.
#include <shlobj.h>

#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PageBench.h"
#include "TestFiles.h"
#include "pages/FolderCheck.h"
#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/WizardState.h"

namespace {

class FolderPageTest : public PageTest {
protected:
    INT_PTR Run(PageAction action) { return RunPage("IDD_FOLDER", FolderPageProc, 1, action); }
    // The settings choices as the user left them on an earlier visit.
    void LeaveSettingsChanged() {
        dataBesideProgram = 1;
        desktopShortcut = 0;
        startMenuShortcut = 0;
    }
    void ExpectSettingsDefaults() {
        EXPECT_EQ(0, dataBesideProgram);
        EXPECT_EQ(1, desktopShortcut);
        EXPECT_EQ(1, startMenuShortcut);
    }
};

TEST_F(FolderPageTest, OffersTheFolderAndAcceptsANewOneWithTheSettingsDefaults) {
    lstrcpyA(installFolder, "C:\\Program Files\\Korvanto");
    LeaveSettingsChanged();
    versionUp = 1;
    std::string target = Path("new folder");
    EXPECT_EQ(1, Run([&](HWND page) {
                  EXPECT_EQ("Korvantoセットアップ(2/4)", WindowTextOf(page));
                  EXPECT_EQ("C:\\Program Files\\Korvanto", ItemText(page, IDC_FOLDER_EDIT));
                  EXPECT_EQ(190, SendDlgItemMessageA(page, IDC_FOLDER_EDIT, EM_GETLIMITTEXT, 0, 0));
                  EXPECT_NE(std::string::npos, ItemText(page, IDC_HEADER).find("■インストール先の設定"));
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, target.c_str());
                  Click(page, IDC_NEXT);
              }));
    EXPECT_EQ(2, nextPage);
    EXPECT_EQ(target, installFolder);
    EXPECT_EQ(0, versionUp);
    ExpectSettingsDefaults();
    EXPECT_FALSE(PathExists(target));
}

TEST_F(FolderPageTest, AnInstalledFolderIsAVersionUp) {
    std::string installed = Path("installed");
    ASSERT_TRUE(CreateDirectoryA(installed.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(installed + "\\korvex.exe", "MZ"));
    lstrcpyA(installFolder, (installed + "\\").c_str());
    EXPECT_EQ(1, Run([&](HWND page) { Click(page, IDC_NEXT); }));
    EXPECT_EQ(2, nextPage);
    EXPECT_EQ(1, versionUp);
    EXPECT_EQ(installed + "\\", installFolder) << "kept as typed, backslash and all";
}

TEST_F(FolderPageTest, RefusedFoldersKeepThePageWithTheTextAsTyped) {
    std::string busy = Path("busy");
    ASSERT_TRUE(CreateDirectoryA(busy.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(busy + "\\other.txt", "x"));
    LeaveSettingsChanged();
    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDOK).Answer(IDNO).Answer(IDOK).Answer(IDYES);
    EXPECT_EQ(1, Run([&](HWND page) {
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, "");
                  Click(page, IDC_NEXT);
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, "\\\\server\\share\\Korvanto");
                  Click(page, IDC_NEXT);
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, busy.c_str());
                  Click(page, IDC_NEXT);
                  EXPECT_EQ(busy, ItemText(page, IDC_FOLDER_EDIT));
                  EXPECT_EQ(1, nextPage);
                  // More bytes than any path holds: refused, never cut to another folder.
                  std::string tooLong = "C:\\" + Repeat('a', 300);
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, tooLong.c_str());
                  Click(page, IDC_NEXT);
                  EXPECT_EQ(busy, installFolder);
                  EXPECT_EQ(1, nextPage);
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, busy.c_str());
                  Click(page, IDC_NEXT);
              }));
    EXPECT_EQ(2, nextPage);
    ExpectSettingsDefaults();
    ASSERT_EQ(5u, boxes.Count());
    EXPECT_EQ("フォルダを選択して下さい。", boxes[0].text);
    EXPECT_EQ("ドライブからのパスでフォルダを選択して下さい。", boxes[1].text);
    EXPECT_EQ("指定したフォルダには既にファイルが存在します。\nインストール先に指定してよろしいですか？",
              boxes[2].text);
    EXPECT_EQ("フォルダ名が長すぎます。", boxes[3].text);
    EXPECT_EQ("注意", boxes[3].caption);
    EXPECT_EQ("確認", boxes[4].caption);
}

TEST_F(FolderPageTest, BackAndCancelKeepTheTypedFolderUnchecked) {
    LeaveSettingsChanged();
    EXPECT_EQ(1, Run([&](HWND page) {
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, "not a path");
                  Click(page, IDC_BACK);
              }));
    EXPECT_EQ(0, nextPage);
    EXPECT_STREQ("not a path", installFolder);
    EXPECT_EQ(1, dataBesideProgram) << "only Next resets the settings";

    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDYES);
    EXPECT_EQ(1, Run([&](HWND page) {
                  EXPECT_EQ("not a path", ItemText(page, IDC_FOLDER_EDIT));
                  SetDlgItemTextA(page, IDC_FOLDER_EDIT, "D:\\typed");
                  Click(page, IDC_CANCEL_WIZARD);
                  EXPECT_EQ(1, nextPage);
                  EXPECT_EQ("D:\\typed", ItemText(page, IDC_FOLDER_EDIT));
                  SendMessageA(page, WM_CLOSE, 0, 0);
              }));
    EXPECT_EQ(-1, nextPage);
    EXPECT_STREQ("D:\\typed", installFolder);
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_EQ("処理を中止します。よろしいですか？", boxes[1].text);
}

// Presses a button of the shell's folder browser as soon as it is active.
class BrowserAnswer {
public:
    explicit BrowserAnswer(int button) {
        button_ = button;
        hook_ = SetWindowsHookExA(WH_CBT, OnCbt, NULL, GetCurrentThreadId());
    }
    ~BrowserAnswer() { UnhookWindowsHookEx(hook_); }
    static int Seen() { return seen_; }

private:
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_ACTIVATE && FindWindowExA(window, NULL, "SysTreeView32", NULL) != NULL) {
            ++seen_;
            char title[256] = "";
            GetDlgItemTextA(window, 0x3742, title, sizeof title);  // the browser's title line
            title_ = title;
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }
    static int button_;
    static int seen_;
    HHOOK hook_;

public:
    static std::string title_;
};
int BrowserAnswer::button_ = 0;
int BrowserAnswer::seen_ = 0;
std::string BrowserAnswer::title_;

TEST_F(FolderPageTest, BrowsingSuggestsASubfolderBesideOtherFiles) {
    std::string data = Path("Data");
    ASSERT_TRUE(CreateDirectoryA(data.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(data + "\\memo.txt", "x"));
    std::string installed = Path("installed");
    ASSERT_TRUE(CreateDirectoryA(installed.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(installed + "\\korvex.exe", "MZ"));
    int before = BrowserAnswer::Seen();
    {
        BrowserAnswer cancel(IDCANCEL);
        EXPECT_EQ(1, Run([&](HWND page) {
                      // A cancelled browser leaves the field, and the suggestion still looks at it.
                      SetDlgItemTextA(page, IDC_FOLDER_EDIT, data.c_str());
                      Click(page, IDC_FOLDER_BROWSE);
                      EXPECT_EQ(data + "\\Korvanto", ItemText(page, IDC_FOLDER_EDIT));
                      SetDlgItemTextA(page, IDC_FOLDER_EDIT, (installed + "\\").c_str());
                      Click(page, IDC_FOLDER_BROWSE);
                      EXPECT_EQ(installed + "\\", ItemText(page, IDC_FOLDER_EDIT));
                      Click(page, IDC_BACK);
                  }));
    }
    EXPECT_EQ(before + 2, BrowserAnswer::Seen()) << "the real browser was shown each time";
    EXPECT_EQ("フォルダの選択", BrowserAnswer::title_);
    EXPECT_EQ(installed + "\\", installFolder);
}

TEST_F(FolderPageTest, ChoosingInTheBrowserFillsTheField) {
    // The browser opens on the user's Desktop, which OK chooses.
    char desktop[MAX_PATH] = "";
    ASSERT_EQ(S_OK, SHGetFolderPathA(NULL, CSIDL_DESKTOPDIRECTORY, NULL, 0, desktop));
    std::string expected = desktop;
    if (FolderHasEntries(desktop)) expected += "\\Korvanto";
    std::string chosen;
    {
        BrowserAnswer ok(IDOK);
        EXPECT_EQ(1, Run([&](HWND page) {
                      SetDlgItemTextA(page, IDC_FOLDER_EDIT, "");
                      Click(page, IDC_FOLDER_BROWSE);
                      chosen = ItemText(page, IDC_FOLDER_EDIT);
                      Click(page, IDC_BACK);
                  }));
    }
    EXPECT_EQ(expected, chosen);
    EXPECT_EQ(expected, installFolder);
}

}  // namespace
