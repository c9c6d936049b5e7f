// The whole installation run, in process, from packages built byte by byte: real files in a
// temporary setup folder and install folder, the real temporary folder, the real application-data
// record folder and the real Desktop and Start menu of the Wine prefix.
#include "install/Installation.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "ByteBuffer.h"
#include "FileHolder.h"
#include "MessageBoxObserver.h"
#include "PackageBuild.h"
#include "PackageWriter.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "TestPackages.h"
#include "convert/CurrentLayout.h"
#include "convert/FieldDefList.h"
#include "convert/RecordTable.h"
#include "install/PackageReader.h"
#include "shell/SetupInfo.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/GlobalMemory.h"

namespace {

const char kNotAPackage[] = "異なる形式のファイルを読込ました。";

std::string U32(uint32_t value) {
    std::string bytes;
    return kx::AppendU32(bytes, value);
}

std::string RecordPath() {
    AppDataFolder folder;
    return std::string(folder.Locate("morvel", "inst", 0)) + "\\korvex_inst.dat";
}

std::string ShellPath(unsigned int kind, const char* suffix) {
    ShellFolder folder;
    return folder.Locate(kind, suffix);
}

FieldDef TextField(const char* name, int32_t width) {
    FieldDef field;
    ZeroMemory(&field, sizeof field);
    lstrcpyA(field.name, name);
    field.type = kFieldTypeText;
    field.width = width;
    return field;
}

// An address file of an earlier version: two fields, one record.
bool WriteOldAddressFile(const std::string& path, const char* name, const char* zip) {
    FieldDefList list;
    list.Add(TextField("名前", 40));
    list.Add(TextField("郵便番号", 8));
    RecordTable table;
    table.SetFields(list);
    table.ClearValues();
    table.SetValue(0, name);
    table.SetValue(1, zip);
    table.StoreRecord();
    return table.Save(path.c_str()) == 0;
}

class InstallationTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        CreateDirectoryA(Path("setup").c_str(), NULL);
        setupInfo = new SetupInfo();
        FreeLocked(setupInfo->setupFolder);
        std::string folder = Path("setup\\");
        setupInfo->setupFolder = static_cast<char*>(AllocateLocked(folder.size() + 1));
        lstrcpyA(setupInfo->setupFolder, folder.c_str());
        lstrcpyA(installFolder, Path("app\\").c_str());
        dataBesideProgram = 0;
        desktopShortcut = 0;
        startMenuShortcut = 0;
        ZeroMemory(&previousInstallDate, sizeof previousInstallDate);
        DeleteFileA(RecordPath().c_str());
        RemoveRunFolders();
    }

    void TearDown() override {
        delete setupInfo;
        setupInfo = NULL;
        DeleteFileA(RecordPath().c_str());
        RemoveRunFolders();
        TempFolderTest::TearDown();
    }

    void WritePackage(const std::vector<kx::PackageMember>& members, uint64_t packageTime = kStoredTime) {
        ASSERT_TRUE(WriteBytes(Path("setup\\kx.pac"), kx::BuildEnvelope(0x01020304, kx::BuildArchive(members))));
        ASSERT_TRUE(SetLastWriteTime(Path("setup\\kx.pac"), packageTime));
    }

    int Install() {
        PackageReader* reader = new PackageReader();
        int result = RunInstallation(reader);
        delete reader;
        return result;
    }

    // A run that stops after this one warning, and no other box.
    void InstallRefusedWith(const char* message) {
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(-1, Install());
        ASSERT_EQ(1u, boxes.Count());
        ExpectWarningBox(boxes[0], message);
    }

    std::vector<kx::PackageMember> Application() {
        return {Member("", "korvex.exe", "MZ program"), Member("help", "Korvex.txt", "help text"),
                Member("help", "empty.dat", "")};
    }
};

TEST_F(InstallationTest, FirstInstallationPutsEveryFileInPlaceAndWritesTheRecord) {
    // A low half of 2^31 or more is written as a negative number.
    WritePackage(Application(), 0x01DC1234F0000000ull);
    ASSERT_TRUE(WriteBytes(Path("setup\\Readme.txt"), "read me\r\n"));
    dataBesideProgram = 1;

    ASSERT_EQ(0, Install());

    EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    EXPECT_EQ("help text", ReadBytes(Path("app\\help\\Korvex.txt")));
    EXPECT_TRUE(PathExists(Path("app\\help\\empty.dat")));
    EXPECT_EQ(kStoredTime, LastWriteTime(Path("app\\korvex.exe")));
    EXPECT_EQ(kStoredTime, LastWriteTime(Path("app\\help\\empty.dat")));
    EXPECT_FALSE(PathExists(Path("app\\_korvex.exe")));
    EXPECT_FALSE(PathExists(Path("app\\help\\_Korvex.txt")));
    EXPECT_TRUE(RunFolders().empty()) << "the temporary archive goes with its folder";
    EXPECT_TRUE(PathExists(Path("app\\korvex.ini")));
    EXPECT_EQ("", ReadBytes(Path("app\\korvex.ini")));
    EXPECT_EQ("read me\r\n", ReadBytes(Path("app\\Readme.txt")));

    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[64];
    wsprintfA(date, "%d\r\n%d\r\n%d\r\n", today.wYear, today.wMonth, today.wDay);
    EXPECT_EQ(std::string(date) + "31199796\r\n-268435456\r\n" + Path("app\\") + "\r\n", ReadBytes(RecordPath()));
}

TEST_F(InstallationTest, FolderWithoutBackslashInstallsToTheSamePlaceAndKeepsTheSettingsFile) {
    WritePackage(Application());
    CreateDirectoryA(Path("app").c_str(), NULL);
    ASSERT_TRUE(WriteBytes(Path("app\\korvex.ini"), "[user]\r\n"));
    lstrcpyA(installFolder, Path("app").c_str());
    dataBesideProgram = 1;

    ASSERT_EQ(0, Install());

    EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    EXPECT_EQ("[user]\r\n", ReadBytes(Path("app\\korvex.ini")));
    EXPECT_FALSE(PathExists(Path("app\\Readme.txt"))) << "no read-me beside the setup program";
    std::string record = ReadBytes(RecordPath());
    EXPECT_EQ("\r\n" + Path("app") + "\r\n", record.substr(record.size() - Path("app").size() - 4));

    // Without the data choice an existing settings file stays, and none is made.
    dataBesideProgram = 0;
    ASSERT_EQ(0, Install());
    EXPECT_EQ("[user]\r\n", ReadBytes(Path("app\\korvex.ini")));
    lstrcpyA(installFolder, Path("other").c_str());
    ASSERT_EQ(0, Install());
    EXPECT_FALSE(PathExists(Path("other\\korvex.ini")));
}

TEST_F(InstallationTest, ShortcutsPointAtTheInstalledProgramAndHelp) {
    WritePackage(Application());
    desktopShortcut = 1;
    startMenuShortcut = 1;
    std::string desktopLink = ShellPath(0, "Korvanto.lnk");
    std::string menuFolder = ShellPath(3, "Korvanto");

    ASSERT_EQ(0, Install());

    EXPECT_TRUE(PathExists(desktopLink));
    EXPECT_TRUE(PathExists(menuFolder + "\\Korvanto.lnk"));
    EXPECT_TRUE(PathExists(menuFolder + "\\Korvantoヘルプ.lnk")) << "made whether or not the help file exists";
    DeleteFileA(desktopLink.c_str());
    RemoveTree(menuFolder);
}

TEST_F(InstallationTest, OldAddressFileIsConvertedOnVersionUp) {
    WritePackage(Application());
    CreateDirectoryA(Path("app").c_str(), NULL);
    ASSERT_TRUE(WriteOldAddressFile(Path("app\\Korvex.ndb"), "山田太郎", "100-0001"));
    std::string old = ReadBytes(Path("app\\Korvex.ndb"));

    ASSERT_EQ(0, Install());

    RecordTable table;
    ASSERT_EQ(0, table.Load(Path("app\\Korvex.ndb").c_str()));
    EXPECT_EQ(kCurrentFieldCount, table.FieldCount());
    ASSERT_EQ(1, table.RecordCount());
    EXPECT_STREQ("山田太郎", table.GetFieldText(table.FindField("名前"), 0));
    EXPECT_STREQ("100-0001", table.GetFieldText(table.FindField("郵便番号"), 0));
    EXPECT_EQ(old, ReadBytes(Path("app\\Korvex_Conv.bak")));
}

// The same day as the recorded installation, an earlier backup is converted again; on another
// day the backup is first refreshed from the address file.
TEST_F(InstallationTest, SecondRunOnTheSameDayKeepsTheEarlierBackup) {
    WritePackage(Application());
    CreateDirectoryA(Path("app").c_str(), NULL);
    ASSERT_TRUE(WriteOldAddressFile(Path("app\\Korvex_Conv.bak"), "backup", "1"));
    ASSERT_TRUE(WriteOldAddressFile(Path("app\\Korvex.ndb"), "current", "2"));
    GetLocalTime(&previousInstallDate);

    ASSERT_EQ(0, Install());
    RecordTable sameDay;
    ASSERT_EQ(0, sameDay.Load(Path("app\\Korvex.ndb").c_str()));
    EXPECT_STREQ("backup", sameDay.GetFieldText(sameDay.FindField("名前"), 0));

    ASSERT_TRUE(WriteOldAddressFile(Path("app\\Korvex.ndb"), "current", "2"));
    previousInstallDate.wDay = previousInstallDate.wDay == 1 ? 2 : 1;
    ASSERT_EQ(0, Install());
    RecordTable otherDay;
    ASSERT_EQ(0, otherDay.Load(Path("app\\Korvex.ndb").c_str()));
    EXPECT_STREQ("current", otherDay.GetFieldText(otherDay.FindField("名前"), 0));
}

TEST_F(InstallationTest, FailedConversionStopsTheRunAfterTheFiles) {
    WritePackage(Application());
    ASSERT_TRUE(WriteBytes(Path("setup\\Readme.txt"), "read me"));
    CreateDirectoryA(Path("app").c_str(), NULL);
    std::string damaged = U32(1) + U32(0xFFFF);
    ASSERT_TRUE(WriteBytes(Path("app\\Korvex.ndb"), damaged));
    dataBesideProgram = 1;
    desktopShortcut = 1;
    std::string desktopLink = ShellPath(0, "Korvanto.lnk");
    DeleteFileA(desktopLink.c_str());

    InstallRefusedWith("データコンバートに失敗しました。");
    EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    EXPECT_EQ(damaged, ReadBytes(Path("app\\Korvex.ndb")));
    EXPECT_FALSE(PathExists(Path("app\\korvex.ini")));
    EXPECT_FALSE(PathExists(Path("app\\Readme.txt")));
    EXPECT_FALSE(PathExists(desktopLink));
    EXPECT_FALSE(PathExists(RecordPath()));
}

TEST_F(InstallationTest, PackageWithoutHeaderIsRefusedByTheArchiveReader) {
    std::string archive = kx::BuildArchive(Application());
    ASSERT_TRUE(WriteBytes(Path("setup\\kx.pac"), "SZ" + archive.substr(2)));

    InstallRefusedWith("形式の異なるファイルを読み込みました。");
    EXPECT_TRUE(RunFolders().empty()) << "a failed run takes its temporary archive and folder with it";
    EXPECT_TRUE(IsFolder(Path("app")));
    EXPECT_FALSE(PathExists(RecordPath()));
}

TEST_F(InstallationTest, MissingOrMalformedPackagesAreRefusedWithTheirMessage) {
    std::string archive = kx::BuildArchive(Application());
    std::string header = U32(0x01020304) + "abcd";
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"one byte", "P", kNotAPackage},
        {"wrong magic", "PX" + archive, kNotAPackage},
        {"lower-case magic", "pa" + archive, kNotAPackage},
        {"header length cut off", "PA\x08", kNotAPackage},
        {"header below 8 bytes", "PA" + U32(4) + "abcd" + archive, kNotAPackage},
        {"header above 1024 bytes", "PA" + U32(1025) + std::string(1025, 'h') + archive, kNotAPackage},
        {"header cut off", "PA" + U32(100) + header, kNotAPackage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteBytes(Path("setup\\kx.pac"), c.bytes));
        InstallRefusedWith(c.message);
        EXPECT_TRUE(RunFolders().empty());
    }

    DeleteFileA(Path("setup\\kx.pac").c_str());
    InstallRefusedWith("kx.pacを読み込むことが出来ません。");
    EXPECT_TRUE(IsFolder(Path("app"))) << "the install folder, once made, stays";
}

// One byte of a member changed after the build is found while the archive is copied, before
// anything is extracted, and the earlier installation stays as it was. Header blocks without
// the checksum's tag, from earlier builders or with another tag, install as before.
TEST_F(InstallationTest, DamagedPackageIsRefusedBeforeAnythingIsReplaced) {
    std::string archive = kx::BuildArchive(Application());
    std::string damaged = kx::BuildEnvelope(0x01020304, archive);
    damaged[damaged.find("help text")] ^= 0x20;
    ASSERT_TRUE(WriteBytes(Path("setup\\kx.pac"), damaged));
    CreateDirectoryA(Path("app").c_str(), NULL);
    ASSERT_TRUE(WriteBytes(Path("app\\korvex.exe"), "MZ earlier"));

    InstallRefusedWith("kx.pacが壊れています。");
    EXPECT_EQ("MZ earlier", ReadBytes(Path("app\\korvex.exe")));
    EXPECT_FALSE(PathExists(Path("app\\_korvex.exe")));
    EXPECT_FALSE(PathExists(Path("app\\help")));
    EXPECT_TRUE(RunFolders().empty()) << "the temporary archive goes with its folder";
    EXPECT_FALSE(PathExists(RecordPath()));

    std::string withoutTag = "PA" + U32(8) + U32(0) + U32(0x01020304) + archive;
    std::string otherTag = "PA" + U32(16) + U32(0) + U32(0x01020304) + "CR31" + U32(0) + archive;
    for (const std::string& package : {withoutTag, otherTag}) {
        ASSERT_TRUE(WriteBytes(Path("app\\korvex.exe"), "MZ earlier"));
        ASSERT_TRUE(WriteBytes(Path("setup\\kx.pac"), package));
        EXPECT_EQ(0, Install());
        EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    }
}

// A vendor's folder packed through a folder line: its files come in the order of their paths,
// so a nested folder arrives before any file of its parent, and every level must be made.
TEST_F(InstallationTest, FolderPackedByAFolderLineInstallsEveryLevel) {
    const char* folders[] = {"vendor",     "vendor\\data",  "vendor\\data\\2024", "vendor\\data\\2024\\jan",
                             "vendor\\表", "vendor\\表\\ソ"};
    const char* files[][2] = {
        {"korvex.exe", "MZ program"},
        {"data\\2024\\jan\\a.ndb", "january"},
        {"data\\b.ndb", "b"},
        {"表\\ソ\\x.txt", "both folder names end in the trail byte 0x5C"},
    };
    for (const char* folder : folders)
        ASSERT_TRUE(CreateDirectoryA(Path(folder).c_str(), NULL)) << folder;
    for (const auto& file : files)
        ASSERT_TRUE(WriteBytes(Path(std::string("vendor\\") + file[0]), file[1]));
    kx::BuiltPackage package;
    ASSERT_EQ("",
              kx::BuildPackage("version\t1.2.3.4\nfolder\t.\t.\t2\n", Path("vendor"), kx::HostNames(false), &package));
    ASSERT_TRUE(WriteBytes(Path("setup\\kx.pac"), package.bytes));

    ASSERT_EQ(0, Install());

    for (const auto& file : files)
        EXPECT_EQ(file[1], ReadBytes(Path(std::string("app\\") + file[0]))) << file[0];
}

// A failed run leaves no temporary file: neither its members' "_" files nor its archive, which
// would pile up, as large as the package and out of the user's reach when elevated. What killed
// runs left (an empty folder; earlier versions, an archive in it) goes at the next run; a folder
// of that kind of name that holds anything else, or that is no run's, stays.
TEST_F(InstallationTest, FailedAndKilledRunsLeaveNoTemporaryFileBehind) {
    // The second member's data is cut short: the reader fails after extracting the first.
    std::vector<kx::PackageMember> members = {Member("", "korvex.exe", "MZ program"),
                                              Member("help", "Korvex.txt", std::string(6000, 'x'))};
    std::string archive = kx::BuildArchive(members);
    ASSERT_TRUE(
        WriteBytes(Path("setup\\kx.pac"), kx::BuildEnvelope(0x01020304, archive.substr(0, archive.size() - 10))));

    InstallRefusedWith("読込に失敗しました。");
    EXPECT_FALSE(PathExists(Path("app\\_korvex.exe")));
    EXPECT_FALSE(PathExists(Path("app\\help\\_Korvex.txt")));
    EXPECT_FALSE(PathExists(Path("app\\korvex.exe"))) << "nothing is copied when extraction fails";
    EXPECT_EQ(std::vector<std::string>(), RunFolders()) << "the failed run's archive and folder are gone at once";

    std::string temporary = WindowsTempFolder();
    const std::string killed = temporary + "kx-0123456789abcdef";
    const std::string failedEarlier = temporary + "kx-fedcba9876543210";
    const std::string somebodys = temporary + "kx-00000000000000aa";
    const std::string notARunsName = temporary + "kx-notours";
    for (const std::string& folder : {killed, failedEarlier, somebodys, notARunsName})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << folder;
    ASSERT_TRUE(WriteBytes(ArchiveIn(failedEarlier), archive));
    ASSERT_TRUE(WriteBytes(somebodys + "\\notes.txt", "not an archive"));
    WritePackage(Application());
    EXPECT_EQ(0, Install());
    EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    std::vector<std::string> left = RunFolders();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(std::vector<std::string>({somebodys, notARunsName}), left);
    EXPECT_EQ("not an archive", ReadBytes(somebodys + "\\notes.txt"));
}

TEST_F(InstallationTest, TemporaryArchiveThatCannotBeWrittenIsReported) {
    WritePackage(Application());
    char temporary[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", temporary, sizeof temporary);
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", Path("missing").c_str())) << "a temporary folder that is not there";

    InstallRefusedWith("書込に失敗しました。");
    SetEnvironmentVariableA("TMP", temporary[0] != '\0' ? temporary : NULL);
    EXPECT_TRUE(RunFolders().empty());
    EXPECT_FALSE(PathExists(Path("app\\korvex.exe")));
}

// Without a writable record folder there is nowhere the record belongs: none is written, not
// even into the root of the drive, and the installation still counts as done.
TEST_F(InstallationTest, UnwritableRecordFolderWritesNoRecordAnywhere) {
    WritePackage(Application());
    std::string recordFolder = RecordPath().substr(0, RecordPath().size() - strlen("\\korvex_inst.dat"));
    RemoveTree(recordFolder);
    ASSERT_TRUE(WriteBytes(recordFolder, "a file where the folder belongs"));
    DeleteFileA("\\korvex_inst.dat");

    EXPECT_EQ(0, Install());

    EXPECT_FALSE(PathExists("\\korvex_inst.dat"));
    EXPECT_FALSE(PathExists(recordFolder + "\\korvex_inst.dat"));
    EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    DeleteFileA(recordFolder.c_str());
}

// An earlier installation that a version-up replaces and converts, a "_" file left by a killed
// run among it, and a package whose last member is asked about and kept.
class HeldFileTest : public InstallationTest {
protected:
    void SetUp() override {
        InstallationTest::SetUp();
        WritePackage({Member("", "korvex.exe", "MZ program"), Member("help", "Korvex.txt", "help text"),
                      Member("", "keep.dat", "packaged", 4)});
    }

    void WriteEarlierInstallation() {
        CreateDirectoryA(Path("app").c_str(), NULL);
        ASSERT_TRUE(WriteBytes(Path("app\\korvex.exe"), "MZ earlier"));
        ASSERT_TRUE(WriteBytes(Path("app\\_korvex.exe"), "MZ cut"));
        ASSERT_TRUE(WriteBytes(Path("app\\keep.dat"), "kept"));
        ASSERT_TRUE(WriteOldAddressFile(Path("app\\Korvex.ndb"), "山田太郎", "100-0001"));
    }

    void ExpectConvertedBook() {
        RecordTable table;
        ASSERT_EQ(0, table.Load(Path("app\\Korvex.ndb").c_str()));
        EXPECT_EQ(kCurrentFieldCount, table.FieldCount());
        EXPECT_STREQ("山田太郎", table.GetFieldText(table.FindField("名前"), 0));
    }

    void ExpectNoTemporaryFile() {
        for (const char* name : {"app\\_korvex.exe", "app\\_keep.dat", "app\\help\\_Korvex.txt", "app\\~kx.tmp"})
            EXPECT_FALSE(PathExists(Path(name))) << name;
    }
};

// A scanner or an indexer opens each file just written or renamed, sharing reading and writing
// but not deletion. Met at any kind of the run's file operations, such a hold is waited for and
// the run goes to the end with every file's right bytes. Wine reproduces the delete-pending name:
// a file deleted while a holder shares deletion keeps its name, which cannot be created anew
// until the holder lets go.
TEST_F(HeldFileTest, AFileHeldForAMomentIsWaitedForAndTheRunGoesToTheEnd) {
    struct Case {
        const char* what;
        FileHolder::Moment moment;
        const char* file;
        bool deletePending;
    } cases[] = {
        {"the rename over an installed program file", FileHolder::kRenameOver, "app\\korvex.exe", false},
        {"the rename over the address book", FileHolder::kRenameOver, "app\\Korvex.ndb", false},
        {"the creation of a \"_\" file whose earlier one is delete pending", FileHolder::kCreate, "app\\_korvex.exe",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteEarlierInstallation();
        MessageBoxScript boxes;
        boxes.Answer(IDNO);
        {
            FileHolder holder(c.moment, Path(c.file), 300, c.deletePending);
            ASSERT_EQ(0, Install());
            EXPECT_TRUE(holder.Held()) << "the holder could not open the file";
            EXPECT_GT(holder.Attempts(), 1) << "the call met the hold and was made again";
        }
        ASSERT_EQ(1u, boxes.Count()) << ToUtf8(boxes[boxes.Count() - 1].text);
        EXPECT_EQ("既に同じファイルが存在します。上書きしてよろしいですか？", boxes[0].text);
        EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
        EXPECT_EQ("help text", ReadBytes(Path("app\\help\\Korvex.txt")));
        EXPECT_EQ("kept", ReadBytes(Path("app\\keep.dat")));
        ExpectConvertedBook();
        ExpectNoTemporaryFile();
    }
}

// A hold that never ends fails the run as before, after the bounded wait, with the same boxes
// and the system's error text; every file keeps its bytes. Once the holder lets go, the next
// press of Install goes to the end.
TEST_F(HeldFileTest, AHoldThatNeverEndsFailsAsBeforeAndTheNextRunGoesToTheEnd) {
    WriteEarlierInstallation();
    std::string book = ReadBytes(Path("app\\Korvex.ndb"));
    {
        FileHolder holder(FileHolder::kRenameOver, Path("app\\korvex.exe"), INFINITE);
        MessageBoxScript boxes;
        boxes.Answer(IDOK).Answer(IDOK);
        EXPECT_EQ(-1, Install());
        ASSERT_EQ(2u, boxes.Count());
        EXPECT_EQ("インストール処理", boxes[0].caption);
        EXPECT_EQ(MB_ICONERROR, boxes[0].icon);
        EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), boxes[0].text) << ToUtf8(boxes[0].text);
        ExpectWarningBox(boxes[1], "インストールに失敗しました。");
        EXPECT_GT(holder.Attempts(), 1);
    }
    EXPECT_EQ("MZ earlier", ReadBytes(Path("app\\korvex.exe")));
    EXPECT_EQ(book, ReadBytes(Path("app\\Korvex.ndb")));
    ExpectNoTemporaryFile();
    {
        FileHolder holder(FileHolder::kRenameOver, Path("app\\Korvex.ndb"), INFINITE);
        MessageBoxScript boxes;
        boxes.Answer(IDNO).Answer(IDOK);
        EXPECT_EQ(-1, Install());
        ASSERT_EQ(2u, boxes.Count());
        ExpectWarningBox(boxes[1], "データコンバートに失敗しました。");
    }
    EXPECT_EQ(book, ReadBytes(Path("app\\Korvex.ndb")));
    EXPECT_EQ(book, ReadBytes(Path("app\\Korvex_Conv.bak")));
    ExpectNoTemporaryFile();

    MessageBoxScript boxes;
    boxes.Answer(IDNO);
    ASSERT_EQ(0, Install());
    EXPECT_EQ("MZ program", ReadBytes(Path("app\\korvex.exe")));
    ExpectConvertedBook();
}

}  // namespace
