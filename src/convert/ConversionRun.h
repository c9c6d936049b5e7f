// Brings the address files of an earlier version, in the install folder and in every listed
// user folder, to the current layout. Called once by every installation run.
#pragma once

// targetFolder has no trailing backslash; refreshBackup 0 keeps a backup made earlier today.
// Non-zero on success, 0 on failure: after a message, except when writing a converted address
// file failed and it was restored from its backup.
int ConvertUserData(const char* targetFolder, int refreshBackup);

// The steps for one data folder, whose path ends in a backslash.
// 1 when the address file was converted, was already current or does not exist; 0 on failure,
// after a message when the backup could not be made or read.
int ConvertAddressFile(const char* folder, int refreshBackup);
// Copies every x.ndp once to x.np2; always 1.
int BackupNdpFiles(const char* folder);
// Removes the first line holding a single-byte asterisk from the rep list; always 1.
int CleanRepList(const char* folder);
