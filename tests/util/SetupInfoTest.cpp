// The setup record: the folder of the running program, and paths of the files beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MessageBoxObserver.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "shell/SetupInfo.h"

namespace {

const char kReportVariable[] = "KX_TEST_REPORT_SETUP_FOLDER";

// Started again as a copy of itself with kReportVariable naming a file, this program only
// writes the setupFolder it sees there and ends, before any test runs.
struct SetupFolderReporter {
    SetupFolderReporter() {
        char report[MAX_PATH];
        DWORD length = GetEnvironmentVariableA(kReportVariable, report, sizeof report);
        if (length == 0 || length >= sizeof report) return;
        SetupInfo info;
        WriteBytes(report, info.setupFolder != NULL ? info.setupFolder : "(null)");
        ExitProcess(0);
    }
} reporter;

std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\') + 1);
}

// Runs a copy of this program as program and returns the setupFolder it reported.
std::string SetupFolderOfCopy(const std::string& program, const std::string& report) {
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    if (!CopyFileA(self, program.c_str(), FALSE)) return "(not copied)";
    SetEnvironmentVariableA(kReportVariable, report.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    BOOL started =
        CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    SetEnvironmentVariableA(kReportVariable, NULL);
    if (!started) return "(not started)";
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ReadBytes(report);
}

// Lends the record a folder of the test's choosing and gives its own back before it dies.
class LentFolder {
public:
    LentFolder(SetupInfo& info, char* folder) : info_(info), own_(info.setupFolder) { info.setupFolder = folder; }
    ~LentFolder() { info_.setupFolder = own_; }

private:
    SetupInfo& info_;
    char* own_;
};

class SetupInfoTest : public TempFolderTest {};

}  // namespace

TEST_F(SetupInfoTest, KnowsTheFolderOfTheRunningProgram) {
    SetupInfo info;
    ASSERT_NE(nullptr, info.setupFolder);
    EXPECT_EQ(OwnFolder(), info.setupFolder);
    EXPECT_EQ('\\', info.setupFolder[lstrlenA(info.setupFolder) - 1]);

    EXPECT_EQ(info.pathBuffer, info.PathBesideSetup("kx.pac"));
    EXPECT_EQ(OwnFolder() + "kx.pac", info.pathBuffer);
    EXPECT_EQ(OwnFolder(), info.PathBesideSetup(""));
    EXPECT_EQ(OwnFolder() + "Readme.txt", info.PathBesideSetup("Readme.txt"));
}

TEST_F(SetupInfoTest, FolderKeepsJapaneseNamesWhole) {
    // ソ and 表 end in the byte 0x5C: only whole characters may be taken for backslashes.
    std::string folder = Path("表ソ");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    EXPECT_EQ(folder + "\\", SetupFolderOfCopy(folder + "\\ソ表.exe", Path("report.txt")));
}

TEST_F(SetupInfoTest, PathTooLongWarnsAndGivesTheNameAlone) {
    SetupInfo info;
    char folder[kMaxPathBytes] = {};
    std::string long250 = "C:\\" + Repeat('a', 246) + "\\";
    ASSERT_EQ(250u, long250.size());
    lstrcpyA(folder, long250.c_str());
    LentFolder lent(info, folder);

    EXPECT_EQ(long250 + "123456789", info.PathBesideSetup("123456789")) << "259 bytes still fit";
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK).Answer(IDOK);
        EXPECT_EQ("kx.pac1234", std::string(info.PathBesideSetup("kx.pac1234")));
        // A name that cannot stand alone either gives the empty text.
        EXPECT_EQ("", std::string(info.PathBesideSetup(Repeat('n', 260).c_str())));
        ASSERT_EQ(2u, boxes.Count());
        ExpectWarningBox(boxes[0], "ファイル名が長すぎます。");
        ExpectWarningBox(boxes[1], "ファイル名が長すぎます。");
    }
    EXPECT_EQ(long250, folder) << "the folder itself is left alone";
}

TEST_F(SetupInfoTest, WithoutAFolderTheNameStandsAlone) {
    SetupInfo info;
    LentFolder lent(info, NULL);
    EXPECT_EQ("kx.pac", std::string(info.PathBesideSetup("kx.pac")));
    EXPECT_EQ("", std::string(info.PathBesideSetup("")));
    std::string longest = Repeat('n', 259);
    EXPECT_EQ(longest, info.PathBesideSetup(longest.c_str()));
}
