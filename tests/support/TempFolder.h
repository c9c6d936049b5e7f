// A fresh folder under the Windows temporary folder for one test, removed with everything in
// it when the object dies. Known both as a Windows path and as the Linux path Wine maps it to.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& WindowsPath() const { return windowsPath_; }  // no trailing backslash
    const std::string& UnixPath() const { return unixPath_; }
    std::string Path(const std::string& relative) const { return windowsPath_ + "\\" + relative; }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

private:
    std::string windowsPath_;
    std::string unixPath_;
};

// A test with its own TempFolder, made in SetUp and removed in TearDown.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override { temp_ = new TempFolder(); }
    void TearDown() override {
        delete temp_;
        temp_ = NULL;
    }
    std::string Path(const std::string& relative) const { return temp_->Path(relative); }
    const TempFolder& Temp() const { return *temp_; }

private:
    TempFolder* temp_ = NULL;
};

// Every file and folder below folder, relative to it ("sub\\name"), in a stable order.
std::vector<std::string> TreeBelow(const std::string& windowsPath);

// The Windows temporary folder, ending in a backslash.
std::string WindowsTempFolder();

// Deletes a folder and everything below it, read-only and hidden files included.
void RemoveTree(const std::string& windowsPath);

// The Linux path behind a Windows path ("" when Wine cannot map it).
std::string UnixPathOf(const std::string& windowsPath);

// The folders that installation runs made for their temporary archive in the Windows temporary
// folder, as full paths, and the archive inside one of them.
std::vector<std::string> RunFolders();
std::string ArchiveIn(const std::string& runFolder);
// Removes them all: a failed run leaves its archive, which must not steer the next test.
void RemoveRunFolders();

// Starts program (a full path) with arguments and waits for it to end; false when it would not start
// or did not end within 30 s.
bool RunToItsEnd(const std::string& program, const std::string& arguments);

// Lays a link at linkPath that points at targetPath, in place of whatever stands there, as another
// program of the user can; under Wine a Unix symbolic link stands for the links of Windows. False
// when none could be laid.
bool LayLink(const std::string& linkPath, const std::string& targetPath);
