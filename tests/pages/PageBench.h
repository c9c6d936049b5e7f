// Runs one wizard page at a time on the program's own templates, with the setup program's
// folder and the application-data folder inside the test's own temporary folder.
#pragma once
#include <windows.h>

#include <string>

#include "PageScript.h"
#include "ShellFolderRedirect.h"
#include "TempFolder.h"

class PageTest : public TempFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows the page modally as the driver does; action runs once the page has opened and must
    // end it. Returns the dialog's result.
    INT_PTR RunPage(const char* templateName, DLGPROC procedure, int pageNumber, PageAction action);

    std::string SetupFolder() const { return Path("setup") + "\\"; }  // where kx.pac lies
    std::string RecordPath() const { return Path("appdata\\morvel\\inst\\korvex_inst.dat"); }
    std::string ProgramFilesPrefix() const { return Path("").substr(0, 2) + "\\Program Files\\"; }
    ShellFolderRedirect& ShellFolders() { return *folders_; }

private:
    HMODULE richEdit_ = NULL;
    ShellFolderRedirect* folders_ = NULL;
};

// A user's click on a button of the page, handled before this returns.
void Click(HWND page, int controlId);
std::string ItemText(HWND page, int controlId);
bool IsItemEnabled(HWND page, int controlId);
bool IsChecked(HWND page, int controlId);
