// A version-up stopped dead at each of its file-changing calls in turn, as a power cut or a
// forced shutdown stops it, and then run again: the second run goes to the end, and what the
// user had comes out as an uninterrupted run makes it, whole, with nothing temporary left.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "AddressFileBytes.h"
#include "PackageWriter.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "TestPackages.h"

namespace {

const DWORD kKilled = 99;
const DWORD kNotStarted = 0xFFFFFFFF;
const char kStartedEvent[] = "KX_STARTED_EVENT";
const char kRecordFolder[] = "\\morvel\\inst";
// The install folder and the two user folders that its user list names.
const char* const kDataFolders[] = {"", "u1\\", "ユーザー2\\"};

std::string AppDataFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, 0, path);
    return path;
}

std::string BigFile() {
    std::string bytes;
    for (uint32_t i = 0; bytes.size() < 3u * 1024 * 1024; ++i)
        bytes += std::to_string(i * 2654435761u) + ",";
    return bytes;
}

std::string OldBook(const std::string& owner) {
    return AddressFileBytes(TextFields({"名前", "住所２", "旧分類"}, 100),
                            {RecordImage({owner, "東京都", "友人"}), RecordImage({"消えた人", "", ""}, 0x80)});
}

// Every file below folder whose name starts with "_" or is the replacement file.
void FindLeftovers(const std::string& folder, std::vector<std::string>* found) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            FindLeftovers(folder + "\\" + name, found);
        else if (name[0] == '_' || name == "~kx.tmp")
            found->push_back(folder + "\\" + name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

struct Outcome {
    std::vector<std::string> books;    // each data folder's address file
    std::vector<std::string> backups;  // and its backup
    std::vector<std::string> others;   // .np2 copies, rep lists, program files
};

class KillPointTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(Path("disc").c_str(), NULL));
        child_ = Path("disc\\kx_killable_install.exe");
        ASSERT_TRUE(CopyFileA(BesideTestProgram("kx_killable_install.exe").c_str(), child_.c_str(), FALSE));
        // Replaced: a higher version, a later date (several MiB, so that it is written in many
        // calls). Kept by the answer No: a lower version, an earlier date, an always-ask member.
        std::vector<kx::PackageMember> members = {
            Member("", "korvex.exe", ReadBytes(BesideTestProgram("version_2_1_0_3.dll")), 1),
            Member("", "helper.dll", ReadBytes(BesideTestProgram("version_1_0_0_0.dll")), 1),
            Member("data", "big.bin", BigFile(), 2), Member("", "korvex.chm", "new help", 2),
            Member("templates", "blank.ndb", "template", 4)};
        ASSERT_TRUE(WriteBytes(Path("disc\\kx.pac"), kx::BuildEnvelope(0x02000000, kx::BuildArchive(members))));
        ASSERT_TRUE(WriteBytes(Path("disc\\Readme.txt"), "read me\r\n"));
        std::string eventName = "kx_killable_install started " + std::to_string(GetCurrentProcessId());
        started_ = CreateEventA(NULL, TRUE, FALSE, eventName.c_str());
        ASSERT_TRUE(started_ != NULL) << "CreateEventA: error " << GetLastError();
        SetEnvironmentVariableA(kStartedEvent, eventName.c_str());
        recordFolder_ = AppDataFolder() + kRecordFolder;
        savedRecord_ = ReadBytes(recordFolder_ + "\\korvex_inst.dat");
    }
    void TearDown() override {
        std::string record = recordFolder_ + "\\korvex_inst.dat";
        if (savedRecord_.empty())
            DeleteFileA(record.c_str());
        else
            WriteBytes(record, savedRecord_);
        SetEnvironmentVariableA(kStartedEvent, NULL);
        if (started_ != NULL) CloseHandle(started_);
        TempFolderTest::TearDown();
    }

    // The earlier installation, its data and its record from an earlier day, laid anew.
    void LayEarlierInstallation() {
        RemoveTree(Path("inst"));
        RemoveTree(Path("tmp"));
        ASSERT_TRUE(CreateDirectoryA(Path("tmp").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(Path("inst").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(Path("inst\\templates").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(Path("inst\\data").c_str(), NULL));
        ASSERT_TRUE(WriteBytes(Path("inst\\korvex.exe"), ReadBytes(BesideTestProgram("version_1_0_0_0.dll"))));
        ASSERT_TRUE(WriteBytes(Path("inst\\helper.dll"), ReadBytes(BesideTestProgram("version_2_1_0_3.dll"))));
        ASSERT_TRUE(WriteBytes(Path("inst\\data\\big.bin"), "the old big file"));
        ASSERT_TRUE(SetLastWriteTime(Path("inst\\data\\big.bin"), kStoredTime - 1));
        ASSERT_TRUE(WriteBytes(Path("inst\\korvex.chm"), "help the user edited"));
        ASSERT_TRUE(SetLastWriteTime(Path("inst\\korvex.chm"), kStoredTime + 1));
        ASSERT_TRUE(WriteBytes(Path("inst\\templates\\blank.ndb"), "the user's own template"));
        ASSERT_TRUE(WriteBytes(Path("inst\\KorvexUserList.dat"), "u1\r\nユーザー2\r\n"));
        for (const char* data : kDataFolders) {
            std::string folder = Path("inst\\") + data;
            CreateDirectoryA(folder.c_str(), NULL);
            ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldBook(std::string("持ち主") + data)));
            ASSERT_TRUE(WriteBytes(folder + "group.ndp", std::string("groups of ") + data));
            ASSERT_TRUE(WriteBytes(folder + "KorvexRepList.dat", "keep\r\n*drop\r\nkeep too\r\n"));
        }
        CreateDirectoryA((AppDataFolder() + "\\morvel").c_str(), NULL);
        CreateDirectoryA(recordFolder_.c_str(), NULL);
        ASSERT_TRUE(
            WriteBytes(recordFolder_ + "\\korvex_inst.dat", "2020\r\n5\r\n1\r\n0\r\n0\r\n" + Path("inst") + "\r\n"));
    }

    // One launch of the child; started tells whether it reached its own code, which it says
    // through the event named in its environment.
    struct Launch {
        bool started;
        DWORD exitCode;
        std::string what;  // how the launch went, for a failure's message
    };

    Launch LaunchChild(long killAt) {
        std::string commandLine =
            "\"" + child_ + "\" " + std::to_string(killAt) + " \"" + Path("report.txt") + "\" \"" + Path("tmp") + "\"";
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        ResetEvent(started_);
        if (!CreateProcessA(child_.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, Path("disc").c_str(), &startup,
                            &process)) {
            DWORD error = GetLastError();
            return {false, 0, "CreateProcessA failed with error " + std::to_string(error)};
        }
        bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
        if (!ended) TerminateProcess(process.hProcess, 1);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        char hex[16];
        wsprintfA(hex, "0x%08lX", code);
        Launch launch = {WaitForSingleObject(started_, 0) == WAIT_OBJECT_0, code, std::string("exit code ") + hex};
        if (!ended) launch.what = "still running after 60 s, terminated";
        if (!launch.started) launch.what += ", and the child never reached its own code";
        return launch;
    }

    // The child's exit code; calls receives the number of file-changing calls it made. A launch
    // that never reached the child's code cannot tell anything of the program, and is tried once
    // more, saying so; describes how the last launch went.
    DWORD RunChild(long killAt, long* calls = NULL) {
        DeleteFileA(Path("report.txt").c_str());
        Launch launch = LaunchChild(killAt);
        if (!launch.started) {
            std::cout << "kill point " << killAt << ": the launch failed (" << launch.what << "); launching once more"
                      << std::endl;
            launch = LaunchChild(killAt);
        }
        lastLaunch_ = "kill point " + std::to_string(killAt) + ": " + launch.what;
        if (!launch.started) return kNotStarted;
        if (calls != NULL) *calls = std::atol(ReadBytes(Path("report.txt")).substr(6).c_str());
        return launch.exitCode;
    }

    Outcome Observe() {
        Outcome outcome;
        for (const char* data : kDataFolders) {
            std::string folder = Path("inst\\") + data;
            outcome.books.push_back(ReadBytes(folder + "Korvex.ndb"));
            outcome.backups.push_back(ReadBytes(folder + "Korvex_Conv.bak"));
            outcome.others.push_back(ReadBytes(folder + "group.np2"));
            outcome.others.push_back(ReadBytes(folder + "KorvexRepList.dat"));
        }
        for (const char* file :
             {"korvex.exe", "helper.dll", "data\\big.bin", "korvex.chm", "templates\\blank.ndb", "Readme.txt"})
            outcome.others.push_back(ReadBytes(Path("inst\\") + file));
        return outcome;
    }

    std::vector<std::string> Leftovers() {
        std::vector<std::string> found;
        FindLeftovers(Path("inst"), &found);
        FindLeftovers(recordFolder_, &found);
        // Nothing of the killed run's temporary archive, nor of its folder, stays for good.
        for (const std::string& name : TreeBelow(Path("tmp")))
            found.push_back(Path("tmp\\") + name);
        return found;
    }

    std::string child_;
    HANDLE started_ = NULL;
    std::string lastLaunch_;
    std::string recordFolder_;
    std::string savedRecord_;
};

}  // namespace

TEST_F(KillPointTest, EveryKilledRunIsFollowedByARunThatEndsWithTheDataWhole) {
    LayEarlierInstallation();
    long killPoints = 0;
    ASSERT_EQ(0u, RunChild(0, &killPoints)) << "an uninterrupted version-up; " << lastLaunch_;
    Outcome expected = Observe();
    ASSERT_GT(killPoints, 20);
    ASSERT_NE(expected.books[0], OldBook("持ち主")) << "the address books were converted";
    ASSERT_EQ(BigFile(), ReadBytes(Path("inst\\data\\big.bin"))) << "the later file replaced the installed one";
    ASSERT_EQ("help the user edited", ReadBytes(Path("inst\\korvex.chm"))) << "No kept the later installed file";
    std::cout << "kill points: " << killPoints << std::endl;

    for (long killAt = 1; killAt <= killPoints; ++killAt) {
        LayEarlierInstallation();
        ASSERT_EQ(kKilled, RunChild(killAt)) << "kill point " << killAt << " was not reached; " << lastLaunch_;
        ASSERT_EQ(0u, RunChild(0)) << "the run after kill point " << killAt << "; " << lastLaunch_;
        Outcome outcome = Observe();
        for (size_t i = 0; i < expected.books.size(); ++i) {
            EXPECT_SAME_BYTES(expected.books[i], outcome.books[i]) << "kill point " << killAt << ", folder " << i;
            // A kill after the book was replaced leaves it current: the next run's refresh then
            // backs up the converted book, as any later run does.
            if (outcome.backups[i] != expected.books[i]) {
                EXPECT_SAME_BYTES(expected.backups[i], outcome.backups[i]) << "kill point " << killAt;
            }
        }
        EXPECT_EQ(expected.others, outcome.others) << "kill point " << killAt;
        EXPECT_EQ(std::vector<std::string>(), Leftovers()) << "kill point " << killAt;
        if (HasFailure()) break;
    }
}
