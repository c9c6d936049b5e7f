// Extracts the members of the inner archive "PC" into the install folder under temporary
// names that begin with "_", keeps a MemberRecord for each, and deletes those temporary files
// again at its close. UnPackCopy (VersionedCopy.cpp) runs the whole extract-then-copy pass.
//
// The install folder may be one that other programs of the user can change (one outside Program
// Files inherits that right from the drive's root), and the setup program runs as administrator.
// So each "_" file is held through the one handle that created it, sharing reading only, until
// the copy pass has read what it compares, put the file in its place by renaming it through that
// handle, or deleted it through that handle: nothing can change a member between its check and
// its place, and no name is opened a second time (on Windows every open passes the virus
// scanner). A package holds at most 500 members, so at most 500 handles are held.
#pragma once
#include <windows.h>

#include <cstdint>

#include "util/PathUtil.h"

class PackageDigestCheck;
class StringPool;

// One extracted member, stored whole as one byte block in PackageReader::members.
struct MemberRecord {
    int32_t optionLength;
    int32_t copyMode;  // 1 version, 2 date, 3 follow, 4 ask, other: replace
    int32_t optionByte1;
    int32_t groupFlag;  // 0: this member's decision is the one that mode 3 follows
    char subfolder[51];
    char fileName[261];
};

class PackageReader {
public:
    static const int32_t kMaxMembers = 500;
    // Member data streams through one buffer of this size. Large enough that a big member
    // costs few system calls; fixed, so memory does not grow with the package.
    static const uint32_t kChunkSize = 64 * 1024;
    static const uint32_t kMaxOptionLength = 256;

    PackageReader();
    ~PackageReader();

    // openArchive: the archive already open at its start, which the reader takes over (and closes),
    // so that it reads the very bytes that its writer checked; INVALID_HANDLE_VALUE opens
    // archivePath. 0, or -1 after a message.
    int UnPackOpen(const char* archivePath, const char* targetFolder, HANDLE openArchive = INVALID_HANDLE_VALUE);
    int UnPackRead(int prefixFlag);  // 1 a member written, 0 none left, -1 failure
    void UnPackClose();              // also deletes every "_" file written so far
    // digest: the check of a program bound to its package, whose verdict the copy pass waits for
    // before it changes anything; NULL for none.
    int UnPackCopy(const char* archivePath, const char* targetFolder, HANDLE openArchive = INVALID_HANDLE_VALUE,
                   PackageDigestCheck* digest = NULL);

    // The records of the extracted members, kept until UnPackClose. RecordAt copies the record
    // at index out of the pool (whose bytes carry no alignment): 1, or 0 past the last one.
    int32_t RecordCount() const;
    int RecordAt(int32_t index, MemberRecord* record) const;

    void WriteTrace(const char* text);
    static uint32_t ReadBlock(HANDLE file, void* buffer, uint32_t byteCount);  // bytes read; 0 on failure
    // Bytes written; 0 on failure, shown first as a system error when reportFlag is 1.
    static uint32_t WriteBlock(HANDLE file, const void* buffer, uint32_t byteCount, int reportFlag);

    int32_t nextIndex;
    HANDLE packageFile;  // INVALID_HANDLE_VALUE when closed
    int32_t memberCount;
    uint32_t memberSizes[512];
    // Per member: the held handle of its "_" file; INVALID_HANDLE_VALUE once the file is in its
    // place or deleted, and for files written without the prefix, which are not held.
    HANDLE temporaryFiles[512];
    // Per member: the member whose handle holds its "_" file. A name listed twice leads to one
    // file, which holds the data of its last listing: earlier listings use that one's handle.
    // Only that last listing deletes the file, so a closed handle of an owner that a member still
    // looks to means that an earlier listing has put the file in its place.
    int32_t temporaryOwner[512];
    char baseFolder[264];  // ends in a backslash once set; empty when closed
    StringPool* members;
    char currentSubfolder[51];
    // The folders that this extraction made, parents first: a package that a bound program refuses
    // leaves none of them.
    StringPool* createdFolders;
    char tracePath[261];  // empty: no trace

    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

private:
    int ReadEntryFields(FILETIME* fileTime, MemberRecord* record);
    void EnterSubfolder(const char* subfolder);
    int ExtractData(const char* outputPath, const FILETIME& fileTime, int prefixFlag);
    HANDLE CreateOutputFile(const char* outputPath, int prefixFlag);
    int32_t EarlierListingOf(const char* outputPath) const;
    void RemoveCreatedFolders();
    void ReleaseTemporaryFile(int32_t index, bool deleteIt);
    int CopyPass();
    bool PlaceMember(int32_t index, const MemberRecord& record, int previousDecision, int* decision);
    int MemberPath(const MemberRecord& record, const char* prefix, char* path, size_t pathSize) const;

    char dataBuffer[kChunkSize];
};
