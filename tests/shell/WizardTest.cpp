// The driver in this process, on the test program's copy of the templates and icon: the page
// table, the ways the loop ends, the mutex and what is torn down.
#include <windows.h>

#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PageScript.h"
#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/CursorSet.h"
#include "shell/PageFrame.h"
#include "shell/SetupInfo.h"
#include "shell/Wizard.h"
#include "shell/WizardState.h"

namespace {

SIZE IconSize(HICON icon) {
    SIZE size = {0, 0};
    ICONINFO info;
    if (icon == NULL || !GetIconInfo(icon, &info)) return size;
    BITMAP bitmap;
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    size.cx = bitmap.bmWidth;
    size.cy = bitmap.bmHeight;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

std::string ModuleFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\') + 1);
}

const HINSTANCE kThisProgram = GetModuleHandleA(NULL);

}  // namespace

TEST(WizardTest, WalksThePageTableAndReleasesTheMutexBeforeTheLastPage) {
    struct Seen {
        std::string setupFolder;
        SIZE small, large;
        int startChoices;
        std::string folder;
    } seen = {};
    strcpy(installFolder, "C:\\old");
    desktopShortcut = startMenuShortcut = 1;
    PageScript pages;
    pages
        .Then([&](HWND page) {
            seen.setupFolder = setupInfo != NULL ? setupInfo->setupFolder : "";
            seen.small = IconSize(smallIcon);
            seen.large = IconSize(largeIcon);
            seen.startChoices = nextPage * 100 + desktopShortcut + startMenuShortcut;
            seen.folder = installFolder;
            PageScript::EndWith(1)(page);
        })
        .Then(PageScript::EndWith(2))
        .Then(PageScript::EndWith(3))
        .Then(PageScript::EndWith(4))
        .Then(PageScript::Click(IDC_NEXT));
    EXPECT_EQ(1, RunSetupProgram(kThisProgram));
    const char* captions[] = {"Korvantoセットアップ(1/4)", "Korvantoセットアップ(2/4)", "Korvantoセットアップ(3/4)",
                              "Korvantoセットアップ(4/4)", "Korvantoセットアップ(完了)"};
    LONG_PTR procedures[] = {reinterpret_cast<LONG_PTR>(WelcomePageProc), reinterpret_cast<LONG_PTR>(FolderPageProc),
                             reinterpret_cast<LONG_PTR>(SettingsPageProc),
                             reinterpret_cast<LONG_PTR>(ConfirmationPageProc),
                             reinterpret_cast<LONG_PTR>(CompletionPageProc)};
    ASSERT_EQ(5u, pages.Count());
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(captions[i], pages[i].caption);
        EXPECT_EQ(procedures[i], pages[i].procedure) << i;
        EXPECT_EQ(i < 4, pages[i].mutexExists) << "page " << i;
    }
    EXPECT_EQ(ModuleFolder(), seen.setupFolder);
    // The sizes that the system gives for its DPI: 16 and 32 pixels at 96 DPI, 24 and 48 at 144, 32
    // and 64 at 192 (tests/e2e/pages_at_scale.sh runs this test at those too).
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    EXPECT_EQ(MulDiv(16, dpi, 96), seen.small.cx) << "at " << dpi << " DPI";
    EXPECT_EQ(MulDiv(32, dpi, 96), seen.large.cx) << "at " << dpi << " DPI";
    EXPECT_EQ(0, seen.startChoices) << "page 0, no shortcuts before the first page";
    EXPECT_NE("C:\\old", seen.folder) << "the folder of an earlier run is forgotten; the welcome page chooses afresh";
    // Finish leaves 5, which ends the wizard like -1; everything is gone.
    EXPECT_EQ(-1, nextPage);
    EXPECT_FALSE(MutexExists("Quilmora"));
    EXPECT_TRUE(instanceMutex == NULL);
    EXPECT_TRUE(setupInfo == NULL);
    EXPECT_TRUE(cursorSet == NULL);
    EXPECT_TRUE(richEditLibrary == NULL);
}

TEST(WizardTest, AnyNumberBesidesAPageEndsTheWizard) {
    const int endings[] = {-1, 5, 6, -2, 100000, -100000};
    for (int ending : endings) {
        PageScript pages;
        pages.Then(PageScript::EndWith(1)).Then(PageScript::EndWith(ending));
        EXPECT_EQ(1, RunSetupProgram(kThisProgram)) << ending;
        EXPECT_EQ(2u, pages.Count()) << ending;
        EXPECT_EQ(-1, nextPage) << ending;
        EXPECT_FALSE(MutexExists("Quilmora")) << ending;
    }
}

TEST(WizardTest, BackAndCancelWalkThePages) {
    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDYES);
    PageScript pages;
    pages.Then(PageScript::EndWith(1))
        .Then(PageScript::EndWith(2))
        .Then(PageScript::Click(IDC_BACK))
        .Then([](HWND page) {
            PostClick(page, IDC_CANCEL_WIZARD);
            PostClick(page, IDC_CANCEL_WIZARD);
        });
    EXPECT_EQ(1, RunSetupProgram(kThisProgram));
    ASSERT_EQ(4u, pages.Count());
    EXPECT_EQ("Korvantoセットアップ(2/4)", pages[3].caption);
    EXPECT_EQ(2u, boxes.Count());
    EXPECT_FALSE(MutexExists("Quilmora"));
}

TEST(WizardTest, RefusesToRunBesideAnotherCopy) {
    HANDLE other = CreateMutexA(NULL, TRUE, "Quilmora");
    ASSERT_TRUE(other != NULL);
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    PageScript pages;  // no page may open
    EXPECT_EQ(1, RunSetupProgram(kThisProgram));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("「Korvanto」または「セットアップ」が既に起動されています。", boxes[0].text);
    EXPECT_EQ("Korvantoセットアップ", boxes[0].caption);
    EXPECT_EQ(std::vector<int>({IDOK}), boxes[0].buttons);
    EXPECT_EQ(MB_ICONWARNING, boxes[0].icon);
    EXPECT_FALSE(boxes[0].taskModal);
    EXPECT_FALSE(boxes[0].hasOwner);
    EXPECT_TRUE(setupInfo == NULL);
    EXPECT_TRUE(instanceMutex == NULL);
    ReleaseMutex(other);
    CloseHandle(other);
    EXPECT_FALSE(MutexExists("Quilmora"));
}

// A module without the templates: the first page cannot be created. The wizard must end, not
// try the same page for ever, and say so in its result.
TEST(WizardTest, PageThatCannotBeCreatedEndsTheWizard) {
    EXPECT_EQ(-1, RunSetupProgram(GetModuleHandleA("kernel32.dll")));
    EXPECT_EQ(-1, nextPage);
    EXPECT_FALSE(MutexExists("Quilmora"));
    EXPECT_TRUE(setupInfo == NULL);
}

TEST(WizardTest, CursorSetShowsHourglassAndArrow) {
    CursorSet cursors;
    cursors.Select(-2);
    EXPECT_EQ(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_WAIT)), GetCursor());
    cursors.Select(-3);
    EXPECT_EQ(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_WAIT)), GetCursor());
    cursors.Select(-1);
    EXPECT_EQ(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_ARROW)), GetCursor());
}
