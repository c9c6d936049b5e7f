// Brings the address files of an earlier version, in the install folder and in every listed
// user folder, to the current layout. Called once by every installation run.
#pragma once

// targetFolder has no trailing backslash; refreshBackup 0 keeps a backup made earlier today.
// Non-zero on success, 0 on failure (after a message).
int ConvertUserData(const char* targetFolder, int refreshBackup);
