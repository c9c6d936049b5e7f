#include "PageBench.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shell/CursorSet.h"
#include "shell/SetupInfo.h"
#include "shell/WizardState.h"
#include "util/GlobalMemory.h"

namespace {
const UINT_PTR kStuckTimer = 0x4B58;
const UINT kStuckMilliseconds = 5000;

// A page the test forgot to end would wait for a user for ever: end it and fail instead.
void CALLBACK EndStuckPage(HWND page, UINT, UINT_PTR timer, DWORD) {
    KillTimer(page, timer);
    ADD_FAILURE() << "the page stayed open after the test's action";
    nextPage = -1;
    EndDialog(page, -99);
}

// The setup program "lies" in folder: the pages find kx.pac and korvex.exe there.
void MoveSetupFolder(const std::string& folder) {
    FreeLocked(setupInfo->setupFolder);
    setupInfo->setupFolder = static_cast<char*>(AllocateLocked(folder.size() + 2));
    lstrcpyA(setupInfo->setupFolder, folder.c_str());
}
}  // namespace

void PageTest::SetUp() {
    TempFolderTest::SetUp();
    richEdit_ = LoadLibraryA("RICHED32.DLL");
    ASSERT_TRUE(richEdit_ != NULL);
    appInstance = GetModuleHandleA(NULL);
    smallIcon = static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 16, 16, 0));
    largeIcon = static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 32, 32, 0));
    ASSERT_TRUE(CreateDirectoryA(Path("setup").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(Path("appdata").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(Path("desktop").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(Path("programs").c_str(), NULL));
    setupInfo = new SetupInfo();
    MoveSetupFolder(SetupFolder());
    cursorSet = new CursorSet();
    folders_ = new ShellFolderRedirect();
    ASSERT_TRUE(folders_->Applied());
    folders_->Set(CSIDL_APPDATA, Path("appdata"));
    folders_->Set(CSIDL_DESKTOPDIRECTORY, Path("desktop"));
    folders_->Set(CSIDL_PROGRAMS, Path("programs"));
    installFolder[0] = '\0';
    textBuffer[0] = '\0';
    packageVersionText[0] = '\0';
    ZeroMemory(&previousInstallDate, sizeof previousInstallDate);
    versionUp = 0;
    dataBesideProgram = 0;
    desktopShortcut = 0;
    startMenuShortcut = 0;
}

void PageTest::TearDown() {
    delete folders_;
    folders_ = NULL;
    delete cursorSet;
    cursorSet = NULL;
    delete setupInfo;
    setupInfo = NULL;
    if (richEdit_ != NULL) FreeLibrary(richEdit_);
    TempFolderTest::TearDown();
}

INT_PTR PageTest::RunPage(const char* templateName, DLGPROC procedure, int pageNumber, PageAction action) {
    nextPage = pageNumber;
    PageScript pages;
    pages.Then([&](HWND page) {
        SetTimer(page, kStuckTimer, kStuckMilliseconds, EndStuckPage);
        action(page);
    });
    return DialogBoxParamA(appInstance, templateName, NULL, procedure, 0);
}

void Click(HWND page, int controlId) {
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, controlId)));
}

std::string ItemText(HWND page, int controlId) {
    char text[2048] = "";
    GetDlgItemTextA(page, controlId, text, sizeof text);
    return text;
}

bool IsItemEnabled(HWND page, int controlId) {
    return IsWindowEnabled(GetDlgItem(page, controlId)) != FALSE;
}

bool IsChecked(HWND page, int controlId) {
    return IsDlgButtonChecked(page, controlId) == BST_CHECKED;
}
