// Shortcut files in the prefix's real Desktop and Start-menu folders, read back through the
// shell's own link object.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestFiles.h"
#include "install/Shortcut.h"

namespace {

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path))) return "";
    return path;
}

struct LinkContents {
    bool loaded = false;
    std::string target, workingDirectory, arguments, description;
};

LinkContents ReadLink(const std::string& linkPath) {
    LinkContents contents;
    CoInitialize(NULL);
    IShellLinkA* link = NULL;
    IPersistFile* file = NULL;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = "";
        contents.loaded = true;
        link->GetPath(text, sizeof text, NULL, SLGP_RAWPATH);
        contents.target = text;
        text[0] = '\0';
        link->GetWorkingDirectory(text, sizeof text);
        contents.workingDirectory = text;
        text[0] = '\0';
        link->GetArguments(text, sizeof text);
        contents.arguments = text;
        text[0] = '\0';
        link->GetDescription(text, sizeof text);
        contents.description = text;
    }
    if (file != NULL) file->Release();
    if (link != NULL) link->Release();
    CoUninitialize();
    return contents;
}

}  // namespace

TEST(ShortcutTest, DesktopAndStartMenuLinksPointAtTheProgram) {
    std::string desktop = KnownFolder(CSIDL_DESKTOPDIRECTORY);
    std::string programs = KnownFolder(CSIDL_PROGRAMS);
    ASSERT_FALSE(desktop.empty());
    ASSERT_FALSE(programs.empty());
    std::string menuFolder = programs + "\\Korvanto";
    RemoveTree(menuFolder);
    DeleteFileA((desktop + "\\Korvanto.lnk").c_str());

    // The targets need not exist; double-byte names pass through unchanged.
    const char* program = "C:\\Program Files\\表計算\\korvex.exe";
    const char* help = "C:\\Program Files\\表計算\\korvex.chm";
    EXPECT_EQ(1, CreateShortcut(0, "Korvanto", program, NULL));
    EXPECT_EQ(1, CreateShortcut(3, "Korvanto", program, "Korvanto"));
    EXPECT_EQ(1, CreateShortcut(3, "Korvantoヘルプ", help, "Korvanto"));

    struct Expected {
        std::string path;
        const char* target;
    } links[] = {{desktop + "\\Korvanto.lnk", program},
                 {menuFolder + "\\Korvanto.lnk", program},
                 {menuFolder + "\\Korvantoヘルプ.lnk", help}};
    for (const Expected& link : links) {
        LinkContents contents = ReadLink(link.path);
        ASSERT_TRUE(contents.loaded) << link.path;
        EXPECT_EQ(link.target, contents.target) << link.path;
        EXPECT_EQ("", contents.workingDirectory) << link.path;
        EXPECT_EQ("", contents.arguments) << link.path;
        EXPECT_EQ("", contents.description) << link.path;
    }
    EXPECT_FALSE(PathExists(desktop + "\\Korvanto")) << "no folder on the Desktop";
    // A second run writes into the existing folder and replaces the links.
    EXPECT_EQ(1, CreateShortcut(3, "Korvanto", help, "Korvanto"));
    EXPECT_EQ(help, ReadLink(menuFolder + "\\Korvanto.lnk").target);

    RemoveTree(menuFolder);
    DeleteFileA((desktop + "\\Korvanto.lnk").c_str());
}

TEST(ShortcutTest, UnknownFolderOrOverlongPathWritesNothing) {
    EXPECT_EQ(0, CreateShortcut(6, "Korvanto", "C:\\korvex.exe", "Korvanto"));

    std::string programs = KnownFolder(CSIDL_PROGRAMS);
    std::string subfolder = "kxtest-" + std::to_string(GetCurrentProcessId());
    std::string folder = programs + "\\" + subfolder;
    RemoveTree(folder);
    // Folder + "\" + name + ".lnk" exactly 259 bytes is written; one byte more is refused,
    // and the subfolder is then not even created.
    std::string name(259 - folder.size() - 1 - 4, 'n');
    EXPECT_EQ(1, CreateShortcut(3, name.c_str(), "C:\\korvex.exe", subfolder.c_str()));
    EXPECT_EQ("C:\\korvex.exe", ReadLink(folder + "\\" + name + ".lnk").target);
    RemoveTree(folder);
    std::string longer = name + "n";
    EXPECT_EQ(0, CreateShortcut(3, longer.c_str(), "C:\\korvex.exe", subfolder.c_str()));
    EXPECT_FALSE(PathExists(folder));

    // A link path longer than the wide buffer is refused, not cut to another name.
    TempFolder temp;
    std::string deep = temp.Path(std::string(300, 'd') + ".lnk");
    EXPECT_EQ(0, SaveShellLink(deep.c_str(), NULL, "C:\\korvex.exe", "", ""));
    EXPECT_EQ(0, SaveShellLink(temp.Path("missing\\a.lnk").c_str(), NULL, "C:\\korvex.exe", "", ""));
    EXPECT_EQ(1, SaveShellLink(temp.Path("a.lnk").c_str(), "説明", "C:\\korvex.exe", "C:\\", "-x"));
    LinkContents contents = ReadLink(temp.Path("a.lnk"));
    EXPECT_EQ("説明", contents.description);
    EXPECT_EQ("C:\\", contents.workingDirectory);
    EXPECT_EQ("-x", contents.arguments);
}
