// What stands between the run and a name that another program may have laid in its way: a plain
// file under the name goes, wherever the folder lies (a drive's root, a drive letter that leads
// into a folder); a folder or a link stays, and so does whatever a link points at.
#include "util/FreshFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestFiles.h"
#include "util/FileHandle.h"

namespace {

// A drive letter that leads into a folder, as subst makes one; Wine's drive letters are links in
// the prefix's dosdevices folder. Gone with the object.
class MappedDrive {
public:
    explicit MappedDrive(const std::string& folder) {
        std::string cDrive = UnixPathOf("C:\\");  // ".../dosdevices/c:/"
        size_t cut = cDrive.rfind("/c:");
        if (cut == std::string::npos) return;
        for (char letter = 'R'; letter <= 'Y' && root_.empty(); ++letter) {
            std::string root = std::string(1, letter) + ":\\";
            if (GetDriveTypeA(root.c_str()) != DRIVE_NO_ROOT_DIR) continue;
            unixLink_ = cDrive.substr(0, cut) + "/" + static_cast<char>(letter + ('a' - 'A')) + ":";
            RunToItsEnd("Z:\\bin\\ln", "-sfn \"" + UnixPathOf(folder) + "\" \"" + unixLink_ + "\"");
            for (int waited = 0; waited < 10000 && root_.empty(); waited += 10, Sleep(10))
                if (GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES) root_ = root;
        }
    }
    ~MappedDrive() {
        if (!unixLink_.empty()) RunToItsEnd("Z:\\bin\\rm", "-f \"" + unixLink_ + "\"");
    }
    const std::string& Root() const { return root_; }  // "X:\", or "" when none could be made

private:
    std::string root_;
    std::string unixLink_;
};

TEST(FreshFileTest, RemovesAPlainFileAtADriveRootAndThroughADriveLetterThatLeadsIntoAFolder) {
    TempFolder temp;
    ASSERT_TRUE(CreateDirectoryA(temp.Path("sub").c_str(), NULL));
    MappedDrive drive(temp.WindowsPath());
    ASSERT_FALSE(drive.Root().empty()) << "no drive letter could be mapped to " << temp.WindowsPath();
    std::string atCRoot = "C:\\kx-fresh-" + std::to_string(GetCurrentProcessId()) + ".tmp";
    for (const std::string& path : {atCRoot, drive.Root() + "plain.txt", drive.Root() + "sub\\plain.txt"}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(WriteBytes(path, "left by an earlier run"));
        EXPECT_TRUE(RemovePlainFilePatiently(path.c_str())) << "error " << GetLastError();
        EXPECT_FALSE(PathExists(path));
        FileHandle created(CreateFreshFilePatiently(path.c_str(), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL));
        EXPECT_TRUE(created.IsOpen()) << "error " << GetLastError();
        created.Close();
        EXPECT_TRUE(RemovePlainFilePatiently(path.c_str()));
    }
    EXPECT_TRUE(RemovePlainFilePatiently((drive.Root() + "missing.txt").c_str())) << "nothing there is no failure";
}

TEST(FreshFileTest, LeavesAFolderOrALinkUnderTheNameAndWhatTheLinkPointsAt) {
    TempFolder temp;
    ASSERT_TRUE(CreateDirectoryA(temp.Path("folder").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(temp.Path("elsewhere").c_str(), NULL));
    ASSERT_TRUE(WriteBytes(temp.Path("elsewhere\\target.txt"), "another program's file"));
    ASSERT_TRUE(LayLink(temp.Path("file-link"), temp.Path("elsewhere\\target.txt")));
    ASSERT_TRUE(LayLink(temp.Path("folder-link"), temp.Path("elsewhere")));
    for (const char* name : {"folder", "file-link", "folder-link"}) {
        SCOPED_TRACE(name);
        std::string path = temp.Path(name);
        EXPECT_FALSE(RemovePlainFilePatiently(path.c_str()));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
        EXPECT_EQ(INVALID_HANDLE_VALUE,
                  CreateFreshFilePatiently(path.c_str(), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
        EXPECT_TRUE(PathExists(path));
    }
    EXPECT_EQ("another program's file", ReadBytes(temp.Path("elsewhere\\target.txt")));

    // A folder is removed as the run's own only where it stands itself, not through a link.
    FileHandle link(OpenPlainFolderForRemoval(temp.Path("folder-link").c_str()));
    EXPECT_FALSE(link.IsOpen());
    FileHandle folder(OpenPlainFolderForRemoval(temp.Path("folder").c_str()));
    ASSERT_TRUE(folder.IsOpen()) << "error " << GetLastError();
    EXPECT_TRUE(DeleteThroughHandle(folder.Get()));
    folder.Close();
    EXPECT_FALSE(PathExists(temp.Path("folder")));
    EXPECT_TRUE(IsFolder(temp.Path("elsewhere")));
}

}  // namespace
