// Stand-in definitions of the shared wizard variables until the shell's own arrive.
#include "shell/WizardState.h"

HINSTANCE appInstance;
HANDLE instanceMutex;
HMODULE richEditLibrary;
SetupInfo* setupInfo;
CursorSet* cursorSet;
HICON smallIcon;
HICON largeIcon;
HWND currentPageWindow;
int nextPage;
char textBuffer[kTextBufferBytes];
char installFolder[kInstallFolderBytes];
int desktopShortcut;
int startMenuShortcut;
int dataBesideProgram;
int versionUp;
SYSTEMTIME previousInstallDate;
char packageVersionText[kVersionTextBytes];
