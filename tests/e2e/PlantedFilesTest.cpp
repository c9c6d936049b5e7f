// The real kx_setup.exe, run as administrator from a folder that other programs write to: DLLs
// under the names of system DLLs beside it, links under the names that it writes, and another
// program that tries to change its temporary archive while the run reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "WizardFixture.h"

namespace {

// The names of system DLLs that programs load and that are not known DLLs, so that Windows looks
// for them beside the program first.
const char* const kSystemDllNames[] = {"version",   "riched32", "riched20", "msftedit", "uxtheme",  "dwmapi",
                                       "cryptbase", "propsys",  "profapi",  "userenv",  "shfolder", "oleacc"};

// Wine told to look for the DLLs of kSystemDllNames beside the program first, as Windows does for
// every DLL that is not a known one: for the programs of this name only, while the object lives.
class SearchBesideProgram {
public:
    explicit SearchBesideProgram(const std::string& program) : key_("Software\\Wine\\AppDefaults\\" + program) {
        HKEY overrides = NULL;
        created_ = RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, NULL, 0, KEY_SET_VALUE,
                                   NULL, &overrides, NULL) == ERROR_SUCCESS;
        for (const char* name : kSystemDllNames)
            created_ =
                created_ && RegSetValueExA(overrides, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                                           sizeof "native,builtin") == ERROR_SUCCESS;
        if (overrides != NULL) RegCloseKey(overrides);
    }
    ~SearchBesideProgram() { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
    bool Created() const { return created_; }

private:
    std::string key_;
    bool created_;
};

std::vector<std::string> MarkersIn(const std::string& folder) {
    std::vector<std::string> markers;
    for (const std::string& name : TreeBelow(folder))
        if (name.size() > 7 && name.compare(name.size() - 7, 7, ".loaded") == 0) markers.push_back(name);
    return markers;
}

TEST_F(WizardEndToEndTest, DllsPlantedBesideTheProgramAreNeverLoaded) {
    std::string disc = Path("disc");
    for (const char* name : kSystemDllNames)
        ASSERT_TRUE(
            CopyFileA(BesideTestProgram("kx_planted.dll").c_str(), (disc + "\\" + name + ".dll").c_str(), FALSE))
            << name << ": error " << GetLastError();
    SearchBesideProgram setupSearch("kx_setup.exe");
    SearchBesideProgram controlSearch("bare_load.exe");
    ASSERT_TRUE(setupSearch.Created() && controlSearch.Created()) << "no DLL overrides in the registry";

    // The control: a program in the same folder that loads DLLs by their bare names runs them.
    ASSERT_TRUE(CopyFileA(BesideTestProgram("kx_bare_load.exe").c_str(), (disc + "\\bare_load.exe").c_str(), FALSE));
    ASSERT_TRUE(RunToItsEnd(disc + "\\bare_load.exe", "version.dll riched32.dll"));
    ASSERT_EQ(std::vector<std::string>({"riched32.dll.loaded", "version.dll.loaded"}), MarkersIn(disc))
        << "planted DLLs are not found beside a program here: the test would prove nothing";
    for (const std::string& marker : MarkersIn(disc))
        DeleteFileA((disc + "\\" + marker).c_str());

    InstallInto(target_);
    EXPECT_EQ("MZ the address book", ReadBytes(target_ + "\\korvex.exe"));
    EXPECT_EQ(std::vector<std::string>(), MarkersIn(disc)) << "the setup program loaded a DLL from beside it";
}

// Links that another program of the user laid, beforehand, under the names that the run writes
// in folders that the user's programs can write: the temporary folder, the Desktop, and a data
// folder that the install folder's user list names. Each points at a file elsewhere, which must
// keep its bytes.
TEST_F(WizardEndToEndTest, LinksLaidUnderTheNamesThatTheRunWritesAreNotWrittenThrough) {
    ASSERT_TRUE(CreateDirectoryA(Path("elsewhere").c_str(), NULL));
    std::string temporary = WindowsTempFolder();
    struct Link {
        std::string path, target, bytes;
    } links[] = {
        {temporary + "kx.pa", Path("elsewhere\\system.dll"), "a file that only administrators may change"},
        {temporary + "kx.pa_", Path("elsewhere\\settings.ini"), "another such file"},
        {desktopLink_, Path("elsewhere\\desktop.ini"), "a fourth one"},
        {target_ + "\\user\\~kx.tmp", Path("elsewhere\\notes.txt"), "a fifth one"},
    };
    for (const Link& link : links)
        ASSERT_TRUE(WriteBytes(link.target, link.bytes));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(LayLink(links[i].path, links[i].target)) << links[i].path;

    InstallInto(target_);
    EXPECT_EQ("MZ the address book", ReadBytes(target_ + "\\korvex.exe")) << "the first installation";

    // A version-up that converts the address book of a data folder named in the user list.
    ASSERT_TRUE(WriteBytes(target_ + "\\KorvexUserList.dat", "user\r\n"));
    ASSERT_TRUE(CreateDirectoryA((target_ + "\\user").c_str(), NULL));
    std::string old = OldAddressFile();
    ASSERT_TRUE(WriteBytes(target_ + "\\user\\Korvex.ndb", old));
    ASSERT_TRUE(LayLink(links[3].path, links[3].target));
    InstallInto(target_);
    EXPECT_EQ(60u, FieldCount(ReadBytes(target_ + "\\user\\Korvex.ndb"))) << "the version-up converted the book";
    EXPECT_EQ(old, ReadBytes(target_ + "\\user\\Korvex_Conv.bak"));

    for (const Link& link : links) {
        EXPECT_EQ(link.bytes, ReadBytes(link.target)) << link.path << " was written through";
        DeleteFileA(link.path.c_str());
    }
}

// A folder that stands under a name that the run creates is never taken for a file and removed:
// the extraction fails as it does at any other obstacle, and the folder stays.
TEST_F(WizardEndToEndTest, AFolderUnderAMembersTemporaryNameStopsTheRunAndStays) {
    ASSERT_TRUE(CreateDirectoryA(Path("target").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(target_.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(target_ + "\\korvex.exe", "MZ the old address book"));
    ASSERT_TRUE(CreateDirectoryA((target_ + "\\_korvex.exe").c_str(), NULL));

    ASSERT_TRUE(setup_.Start(program_));
    HWND confirmation = WalkToConfirmation(target_);
    Next(confirmation);
    ExpectBox("ファイルの書込に失敗しました。", "注意", IDOK);
    EXPECT_EQ(confirmation, Page(4)) << "the page stays";
    EXPECT_TRUE(IsFolder(target_ + "\\_korvex.exe"));
    EXPECT_EQ("MZ the old address book", ReadBytes(target_ + "\\korvex.exe"));
    CancelAndConfirm(confirmation);
}

// Tries, over and over, to open every temporary file of a run for writing or for deletion, or to
// delete it: the archive in the run's folder, and the members' "_" files in the install folder.
// Counts the tries that met such a file and those that got through.
class TemporaryFileChanger {
public:
    explicit TemporaryFileChanger(const std::string& installFolder)
        : installFolder_(installFolder), thread_(CreateThread(NULL, 0, Run, this, 0, NULL)) {}
    ~TemporaryFileChanger() { Stop(); }
    void Stop() {
        if (thread_ == NULL) return;
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = NULL;
    }
    // One round of tries; the number that got through.
    int TryOnce() {
        int through = 0;
        for (const std::string& file : Targets()) {
            if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
            ++met_;
            for (DWORD access : {static_cast<DWORD>(GENERIC_WRITE), static_cast<DWORD>(DELETE)}) {
                HANDLE opened =
                    CreateFileA(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
                if (opened == INVALID_HANDLE_VALUE) continue;
                ++through;
                CloseHandle(opened);
            }
            if (DeleteFileA(file.c_str())) ++through;
        }
        through_ += through;
        return through;
    }
    int Met() const { return met_; }
    int Through() const { return through_; }

private:
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const std::string& folder : RunFolders())
            targets.push_back(ArchiveIn(folder));
        for (const std::string& name : TreeBelow(installFolder_)) {
            size_t slash = name.rfind('\\');
            if (name[slash == std::string::npos ? 0 : slash + 1] == '_')
                targets.push_back(installFolder_ + "\\" + name);
        }
        return targets;
    }
    static DWORD WINAPI Run(void* self) {
        TemporaryFileChanger* changer = static_cast<TemporaryFileChanger*>(self);
        while (!changer->stop_)
            changer->TryOnce();
        return 0;
    }
    std::string installFolder_;
    std::atomic<bool> stop_{false};
    std::atomic<int> met_{0};
    std::atomic<int> through_{0};
    HANDLE thread_;
};

// A version-up into a folder right under C:\, which outside Program Files any signed-in user may
// change: throughout the run another program tries to change the archive and every "_" file. The
// run waits at a question of its copy pass, the first member's, while every other member is still
// under its "_" name and the archive has just been read: a moment in which the tries surely meet
// them all.
TEST_F(WizardEndToEndTest, NoOtherProgramCanChangeTheArchiveOrAMemberWhileTheRunHoldsThem) {
    std::vector<kx::PackageMember> members = {
        Member("", "keep.dat", "packaged", 4),
        Member("", "korvex.exe", "MZ the address book"),
        Member("", "big.dat", Repeat('b', 8 << 20)),
        Member("data", "sample.txt", "sample data", 2),
    };
    ASSERT_TRUE(WriteBytes(Path("disc\\kx.pac"), kx::BuildEnvelope(0x01020304, kx::BuildArchive(members))));
    std::string root = "C:\\kx-e2e-" + std::to_string(GetCurrentProcessId());
    std::string target = root + "\\Korvanto";
    RemoveTree(root);
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(target + "\\korvex.exe", "MZ the old address book"));
    ASSERT_TRUE(WriteBytes(target + "\\keep.dat", "kept"));
    ASSERT_EQ(std::vector<std::string>(), RunFolders()) << "a folder of an earlier run is in the way";

    ASSERT_TRUE(setup_.Start(program_));
    HWND confirmation = WalkToConfirmation(target);
    TemporaryFileChanger changer(target);
    Next(confirmation);
    ForeignBox question = setup_.WaitForBox();
    ASSERT_TRUE(question.window != NULL);
    EXPECT_EQ("既に同じファイルが存在します。上書きしてよろしいですか？", question.text);
    int metBefore = changer.Met();
    EXPECT_EQ(0, changer.TryOnce()) << "a temporary file was changed while the run held it";
    EXPECT_GE(changer.Met(), metBefore + 5) << "the archive and the four members' \"_\" files, met";
    Answer(question, IDNO);
    Next(Page(5));
    EXPECT_EQ(1u, setup_.WaitForExit());
    changer.Stop();

    EXPECT_EQ(0, changer.Through()) << "of " << changer.Met() << " tries on the temporary files";
    EXPECT_EQ("MZ the address book", ReadBytes(target + "\\korvex.exe"));
    EXPECT_TRUE(Repeat('b', 8 << 20) == ReadBytes(target + "\\big.dat")) << "the large member is installed whole";
    EXPECT_EQ("sample data", ReadBytes(target + "\\data\\sample.txt"));
    EXPECT_EQ("kept", ReadBytes(target + "\\keep.dat"));
    EXPECT_EQ(std::vector<std::string>({"Readme.txt", "big.dat", "data", "data\\sample.txt", "keep.dat", "korvex.exe"}),
              TreeBelow(target))
        << "no \"_\" file stays";
    EXPECT_EQ(std::vector<std::string>(), RunFolders()) << "the run's folder goes with it";
    RemoveTree(root);
}

// A released program, bound to its package: another valid package, or its own with one byte
// changed, is refused before anything is written, and its own installs. The release test runs it
// with the released program and package (KX_SETUP_UNDER_TEST, KX_PACKAGE_UNDER_TEST).
TEST_F(WizardEndToEndTest, ABoundProgramInstallsOnlyItsOwnPackage) {
    char bound[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("KX_PACKAGE_UNDER_TEST", bound, sizeof bound);
    if (length == 0 || length >= sizeof bound) GTEST_SKIP() << "the release test runs it, with a bound program";
    std::string own = ReadBytes(bound);
    ASSERT_GT(own.size(), 64u) << bound;
    std::string another = ReadBytes(Path("disc\\kx.pac"));  // valid, and checksummed
    std::string changed = own;
    changed[changed.size() - 3] ^= 0x01;  // in the last member's data
    ASSERT_TRUE(WriteBytes(Path("disc\\kx.pac"), own));

    ASSERT_TRUE(setup_.Start(program_));
    HWND confirmation = WalkToConfirmation(target_);
    for (const std::string* refused : {&another, &changed}) {
        SCOPED_TRACE(refused == &another ? "another package" : "one byte changed");
        ASSERT_TRUE(WriteBytes(Path("disc\\kx.pac"), *refused));
        Next(confirmation);
        ExpectBox("kx.pacが壊れています。", "注意", IDOK);
        EXPECT_EQ(confirmation, Page(4)) << "the page stays";
        EXPECT_EQ(std::vector<std::string>(), TreeBelow(target_)) << "nothing is installed";
        EXPECT_EQ(std::vector<std::string>(), RunFolders()) << "no temporary file stays";
    }
    ASSERT_TRUE(WriteBytes(Path("disc\\kx.pac"), own));
    Next(confirmation);
    Next(Page(5));
    EXPECT_EQ(1u, setup_.WaitForExit());
    EXPECT_FALSE(TreeBelow(target_).empty()) << "its own package installs";
}

}  // namespace
