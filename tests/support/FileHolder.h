// Holds a file as a virus scanner or an indexer does on a Windows desktop: open for reading from
// a second thread, sharing reading and writing but not deletion. The hold begins at the moment
// the code under test first makes the watched call on the file, so it meets that very call, and
// it lasts holdMs (INFINITE: until the object dies). One holder at a time.
//
//   FileHolder holder(FileHolder::kRenameOver, Path("app\\Korvex.ndb"), 300);
//   ...the run...
//   EXPECT_GT(holder.Attempts(), 1);   // the call met the hold and was made again
#pragma once
#include <windows.h>

#include <string>

class ImportPatch;

class FileHolder {
public:
    // A "_" file of the extraction is never met: the run holds it with delete access, so that a
    // scanner cannot open it without sharing deletion, and then does not keep it from going.
    enum Moment {
        kRenameOver,  // MoveFileExA, or a rename through a handle, with the file as its target
        kCreate,      // CreateFileA that creates or replaces the file
    };

    // With deleteFirst, the holder shares deletion too and deletes the file at once: the name is
    // then "delete pending" until the hold ends, as when an earlier file went while held.
    FileHolder(Moment moment, const std::string& path, DWORD holdMs, bool deleteFirst = false);
    ~FileHolder();  // ends the hold and waits for the holder

    int Attempts() const;  // the watched calls made on the file so far
    bool Held() const;     // the holder had the file open

    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

private:
    ImportPatch* patches_[2];
};
