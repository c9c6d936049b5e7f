// The frame every page shares, on the program's own templates: header text and bold title read
// back from the rich-edit control, centring, icons, and the buttons of the page protocol.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PageScript.h"
#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/PageFrame.h"
#include "shell/SetupInfo.h"
#include "shell/WizardState.h"

namespace {

struct HeaderCharacter {
    std::string text;
    bool bold = false;
    LONG height = 0;
};

// Steps through the header one position at a time. The control counts positions in bytes or
// in characters (a double-byte character then being one); its length, which may include a
// final paragraph mark, tells which.
std::vector<HeaderCharacter> ReadHeader(HWND header) {
    std::string text = WindowTextOf(header);
    std::vector<std::string> units;
    for (const char* p = text.c_str(); *p != '\0'; p = CharNextA(p))
        units.push_back(std::string(p, CharNextA(p) - p));
    CHARRANGE all = {0, -1};
    SendMessageA(header, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    SendMessageA(header, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&all));
    if (all.cpMax >= static_cast<LONG>(text.size())) {
        units.clear();
        for (char byte : text)
            units.push_back(std::string(1, byte));
    }
    EXPECT_LE(static_cast<LONG>(units.size()), all.cpMax);
    EXPECT_GE(static_cast<LONG>(units.size()) + 2, all.cpMax) << "positions are neither bytes nor characters";
    std::vector<HeaderCharacter> characters;
    for (LONG i = 0; i < all.cpMax && i < static_cast<LONG>(units.size()); ++i) {
        CHARRANGE one = {i, i + 1};
        SendMessageA(header, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
        CHARFORMATA format;
        ZeroMemory(&format, sizeof format);
        format.cbSize = sizeof format;
        SendMessageA(header, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        HeaderCharacter character;
        character.text = units[i];
        character.bold = (format.dwMask & CFM_BOLD) && (format.dwEffects & CFE_BOLD);
        character.height = format.yHeight;
        characters.push_back(character);
    }
    return characters;
}

std::string BoldText(const std::vector<HeaderCharacter>& characters) {
    std::string bold;
    for (const HeaderCharacter& c : characters) {
        if (c.bold && c.text != "\r" && c.text != "\n" && c.text != "\r\n") bold += c.text;
    }
    return bold;
}

struct FrameSeen {
    std::string header;
    std::vector<HeaderCharacter> characters;
    RECT frame = {0, 0, 0, 0};
    HICON small = NULL;
    HICON big = NULL;
    HWND current = NULL;
};

class PageFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        richEdit_ = LoadLibraryA("RICHED32.DLL");
        ASSERT_TRUE(richEdit_ != NULL);
        appInstance = GetModuleHandleA(NULL);
        smallIcon = static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 16, 16, 0));
        largeIcon = static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 32, 32, 0));
        // The welcome page looks beside the setup program for its package, as the driver's record tells.
        setupInfo = new SetupInfo();
    }
    void TearDown() override {
        delete setupInfo;
        setupInfo = NULL;
        FreeLibrary(richEdit_);
    }

    // Runs one page modally, with `action` applied once it opened; returns the dialog's result.
    INT_PTR RunPage(const char* name, DLGPROC procedure, int pageNumber, PageAction action, FrameSeen* seen = NULL) {
        nextPage = pageNumber;
        PageScript pages;
        pages.Then([&](HWND page) {
            if (seen != NULL) {
                seen->header = WindowTextOf(GetDlgItem(page, IDC_HEADER));
                seen->characters = ReadHeader(GetDlgItem(page, IDC_HEADER));
                GetWindowRect(page, &seen->frame);
                seen->small = reinterpret_cast<HICON>(SendMessageA(page, WM_GETICON, ICON_SMALL, 0));
                seen->big = reinterpret_cast<HICON>(SendMessageA(page, WM_GETICON, ICON_BIG, 0));
                seen->current = currentPageWindow;
            }
            action(page);
        });
        return DialogBoxParamA(appInstance, name, NULL, procedure, 0);
    }

    HMODULE richEdit_ = NULL;
};

const char kQuestion[] = "処理を中止します。よろしいですか？";

}  // namespace

TEST_F(PageFrameTest, HeaderHoldsTitleInBoldAndSubtitleIndented) {
    FrameSeen seen;
    EXPECT_EQ(1, RunPage("IDD_LAST", CompletionPageProc, 4, PageScript::Click(IDC_NEXT), &seen));
    EXPECT_EQ("\r\n　■完　了\r\n　　　　　インストールが完了しました。", seen.header);
    EXPECT_EQ("■完　了", BoldText(seen.characters));
    ASSERT_GT(seen.characters.size(), 10u);
    LONG normal = seen.characters.back().height;
    for (const HeaderCharacter& c : seen.characters) {
        if (c.text == "■") {
            EXPECT_EQ(normal + 25, c.height) << "the title grows by 25 twips";
        }
    }
    EXPECT_FALSE(seen.characters[2].bold) << "the indent before the title stays plain";
    EXPECT_EQ(smallIcon, seen.small);
    EXPECT_EQ(largeIcon, seen.big);
    EXPECT_TRUE(seen.current != NULL);
    // Centred on the screen.
    int width = seen.frame.right - seen.frame.left;
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - width) / 2, seen.frame.left);
}

TEST_F(PageFrameTest, EveryPageTitleIsBoldWithItsSubtitleBelow) {
    struct Page {
        const char* name;
        DLGPROC procedure;
        const char* title;
        const char* subtitle;
    } pages[] = {
        {"IDD_FOLDER", FolderPageProc, "■インストール先の設定",
         "インストール先、バージョンアップ元のフォルダを選択します。"},
        {"IDD_SETUP", SettingsPageProc, "■各種設定", "ショートカット、保存先などの設定を行います。"},
        {"IDD_SURE", ConfirmationPageProc, "■インストール確認", "設定した内容の確認を行い、インストールを実行します。"},
    };
    for (const Page& page : pages) {
        FrameSeen seen;
        EXPECT_EQ(1, RunPage(page.name, page.procedure, 2, PageScript::Click(IDC_BACK), &seen));
        EXPECT_EQ(std::string("\r\n　") + page.title + "\r\n　　　　　" + page.subtitle, seen.header) << page.name;
        EXPECT_EQ(page.title, BoldText(seen.characters)) << page.name;
    }
}

// Any procedure serves where the frame is called directly, as a page would call it. A named
// CALLBACK, not a lambda: on i686 a dialog procedure is stdcall.
static INT_PTR CALLBACK IdleDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

TEST_F(PageFrameTest, EmptyTitleLeavesTheSubtitlePlain) {
    HWND window = CreateDialogParamA(appInstance, "IDD_LAST", NULL, IdleDialogProc, 0);
    ASSERT_TRUE(window != NULL);
    InitPageFrame(window, "", "副題");
    EXPECT_EQ(window, currentPageWindow);
    EXPECT_EQ("\r\n　\r\n　　　　　副題", WindowTextOf(GetDlgItem(window, IDC_HEADER)));
    EXPECT_EQ("", BoldText(ReadHeader(GetDlgItem(window, IDC_HEADER))));
    DestroyWindow(window);
}

TEST_F(PageFrameTest, WindowLargerThanTheScreenIsCentredAtNegativePosition) {
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    struct Size {
        int width, height;
    } sizes[] = {{screenWidth + 1000, screenHeight + 600}, {screenWidth + 1, screenHeight + 3}, {200, 101}};
    for (const Size& size : sizes) {
        HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 5, 7, size.width, size.height, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(window != NULL);
        CenterWindow(window);
        RECT frame;
        GetWindowRect(window, &frame);
        // Truncated towards zero: one pixel too wide still sits at 0, not at -1.
        EXPECT_EQ((screenWidth - size.width) / 2, frame.left) << size.width;
        EXPECT_EQ((screenHeight - size.height) / 2, frame.top) << size.height;
        EXPECT_EQ(size.width, frame.right - frame.left);
        EXPECT_EQ(size.height, frame.bottom - frame.top);
        DestroyWindow(window);
    }
}

// Esc is command 2, which no page handles; Cancel answered No keeps the page; the close box
// asks the same question, and Yes ends the wizard.
TEST_F(PageFrameTest, CancelAsksAndOnlyYesEndsTheWizard) {
    struct Page {
        const char* name;
        DLGPROC procedure;
    } pages[] = {{"IDD_HAZIME", WelcomePageProc},
                 {"IDD_FOLDER", FolderPageProc},
                 {"IDD_SETUP", SettingsPageProc},
                 {"IDD_SURE", ConfirmationPageProc}};
    for (const Page& page : pages) {
        MessageBoxScript boxes;
        boxes.Answer(IDNO).Answer(IDYES);
        INT_PTR result = RunPage(page.name, page.procedure, 2, [](HWND window) {
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            PostClick(window, IDC_CANCEL_WIZARD);
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(1, result) << page.name;
        EXPECT_EQ(-1, nextPage) << page.name;
        ASSERT_EQ(2u, boxes.Count()) << page.name;
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(kQuestion, boxes[i].text);
            EXPECT_EQ("確認", boxes[i].caption);
            EXPECT_EQ(MB_ICONQUESTION, boxes[i].icon);
            EXPECT_EQ(std::vector<int>({IDYES, IDNO}), boxes[i].buttons);
            EXPECT_TRUE(boxes[i].taskModal);
            EXPECT_FALSE(boxes[i].hasOwner);
        }
    }
}

TEST_F(PageFrameTest, BackAndNextMoveOnePageAndEndWithOne) {
    struct Page {
        const char* name;
        DLGPROC procedure;
        int number;
    } pages[] = {
        {"IDD_FOLDER", FolderPageProc, 1}, {"IDD_SETUP", SettingsPageProc, 2}, {"IDD_SURE", ConfirmationPageProc, 3}};
    for (const Page& page : pages) {
        EXPECT_EQ(1, RunPage(page.name, page.procedure, page.number, PageScript::Click(IDC_BACK)));
        EXPECT_EQ(page.number - 1, nextPage) << page.name;
    }
    // A notification other than a click (high word not 0) is no command.
    EXPECT_EQ(1, RunPage("IDD_SETUP", SettingsPageProc, 2, [](HWND window) {
                  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_BACK, BN_SETFOCUS), 0);
                  PostClick(window, IDC_NEXT);
              }));
    EXPECT_EQ(3, nextPage);
}

TEST_F(PageFrameTest, CompletionPageFinishesOrClosesWithoutAsking) {
    MessageBoxScript boxes;  // no box expected
    EXPECT_EQ(1, RunPage("IDD_LAST", CompletionPageProc, 4, PageScript::Click(IDC_NEXT)));
    EXPECT_EQ(5, nextPage);
    EXPECT_EQ(1, RunPage("IDD_LAST", CompletionPageProc, 4, [](HWND window) {
                  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                  PostMessageA(window, WM_CLOSE, 0, 0);
              }));
    EXPECT_EQ(-1, nextPage);
    EXPECT_EQ(0u, boxes.Count());
}
