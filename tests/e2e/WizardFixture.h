// The fixture of the end-to-end tests: a disc folder with the real kx_setup.exe, a package and a
// read-me, a target folder, and the user profile's shortcuts and record forgotten before and after.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "MessageBoxObserver.h"
#include "PackageWriter.h"
#include "SetupDriver.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "TestPackages.h"
#include "resources/resource.h"

const char kCancelQuestion[] = "処理を中止します。よろしいですか？";

std::string ShellFolder(int csidl);
// The build's own program beside the tests, or the one that KX_SETUP_UNDER_TEST names.
std::string ProgramUnderTest();
// Which program the tests drive, said once for the test command's summary.
void SayWhichProgram(const std::string& program);
// An address file in an earlier layout: three text fields, one of which the current layout lacks.
std::string OldAddressFile();
// The count of field definitions that an address file begins with; 0 when it is too short.
uint32_t FieldCount(const std::string& addressFile);
// The text of one field of the first record of an address file.
std::string FirstRecordField(const std::string& file, uint32_t field);

class WizardEndToEndTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(Path("disc").c_str(), NULL));
        program_ = Path("disc\\kx_setup.exe");
        SayWhichProgram(ProgramUnderTest());
        ASSERT_TRUE(CopyFileA(ProgramUnderTest().c_str(), program_.c_str(), FALSE)) << ProgramUnderTest();
        std::vector<kx::PackageMember> members = {
            Member("", "korvex.exe", "MZ the address book"),
            Member("", "korvex.chm", "help pages"),
            Member("sample", "住所録.txt", "sample data"),
        };
        ASSERT_TRUE(WriteBytes(Path("disc\\kx.pac"), kx::BuildEnvelope(0x01020304, kx::BuildArchive(members))));
        ASSERT_TRUE(WriteBytes(Path("disc\\Readme.txt"), "read me\r\n"));
        target_ = Path("target\\Korvanto");
        recordPath_ = ShellFolder(CSIDL_APPDATA) + "\\morvel\\inst\\korvex_inst.dat";
        desktopLink_ = ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\Korvanto.lnk";
        programsFolder_ = ShellFolder(CSIDL_PROGRAMS) + "\\Korvanto";
        ForgetEarlierInstallations();
    }
    void TearDown() override {
        ForgetEarlierInstallations();
        TempFolderTest::TearDown();
    }
    // The profile is the prefix's own: what one test installs must not steer the next.
    void ForgetEarlierInstallations() {
        DeleteFileA(recordPath_.c_str());
        DeleteFileA(desktopLink_.c_str());
        RemoveTree(programsFolder_);
        RemoveRunFolders();
    }

    HWND Page(int number) {
        HWND page = setup_.WaitForWindow(PageCaption(number));
        EXPECT_TRUE(page != NULL) << "page " << number << " did not appear";
        return page;
    }
    // The next box must be exactly this one; it is answered with button.
    void ExpectBox(const char* text, const char* caption, int button) {
        ForeignBox box = setup_.WaitForBox();
        ASSERT_TRUE(box.window != NULL) << "no box: " << ToUtf8(text);
        EXPECT_EQ(text, box.text) << ToUtf8(box.text);
        EXPECT_EQ(caption, box.caption) << ToUtf8(box.caption);
        Answer(box, button);
        EXPECT_TRUE(WaitUntilClosed(box.window));
    }
    void Next(HWND page) { PostClick(page, IDC_NEXT); }
    void CancelAndConfirm(HWND page) {
        PostClick(page, IDC_CANCEL_WIZARD);
        ExpectBox(kCancelQuestion, "確認", IDYES);
        EXPECT_EQ(1u, setup_.WaitForExit());
    }
    // Welcome, folder (typing the target), settings as offered, confirmation: returns page 4.
    HWND WalkToConfirmation(const std::string& folder) {
        Next(Page(1));
        HWND folderPage = Page(2);
        TypeText(folderPage, IDC_FOLDER_EDIT, folder);
        Next(folderPage);
        Next(Page(3));
        return Page(4);
    }

    // Starts the program and walks every page with the settings as offered into folder; the run
    // must end on the completion page.
    void InstallInto(const std::string& folder) {
        ASSERT_TRUE(setup_.Start(program_));
        Next(WalkToConfirmation(folder));
        Next(Page(5));
        EXPECT_EQ(1u, setup_.WaitForExit());
    }

    SetupProcess setup_;
    std::string program_;
    std::string target_;
    std::string recordPath_;
    std::string desktopLink_;
    std::string programsFolder_;
};
