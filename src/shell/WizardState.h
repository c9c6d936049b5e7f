// The shared wizard variables: one instance each for the whole process, read and written
// directly by the driver, the pages and the installation run. Defined in WizardState.cpp.
#pragma once
#include <windows.h>

class SetupInfo;
class CursorSet;

const int kTextBufferBytes = 1024;
const int kInstallFolderBytes = 264;
const int kVersionTextBytes = 16;

extern HINSTANCE appInstance;
extern HANDLE instanceMutex;  // null once released before the completion page
extern HMODULE richEditLibrary;
extern SetupInfo* setupInfo;  // owned by the driver
extern CursorSet* cursorSet;  // owned by the driver
extern HICON smallIcon;
extern HICON largeIcon;
extern HWND currentPageWindow;
extern int nextPage;  // 0..4 a page; -1 (or anything else) ends the wizard
extern char textBuffer[kTextBufferBytes];
extern char installFolder[kInstallFolderBytes];  // may end in a backslash
extern int desktopShortcut;
extern int startMenuShortcut;
extern int dataBesideProgram;
extern int versionUp;
extern SYSTEMTIME previousInstallDate;  // only year, month and day are filled
extern char packageVersionText[kVersionTextBytes];
