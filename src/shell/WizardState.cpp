#include "shell/WizardState.h"

HINSTANCE appInstance = NULL;
HANDLE instanceMutex = NULL;
HMODULE richEditLibrary = NULL;
SetupInfo* setupInfo = NULL;
CursorSet* cursorSet = NULL;
HICON smallIcon = NULL;
HICON largeIcon = NULL;
HWND currentPageWindow = NULL;
int nextPage = 0;
char textBuffer[kTextBufferBytes] = "";
char installFolder[kInstallFolderBytes] = "";
int desktopShortcut = 0;
int startMenuShortcut = 0;
int dataBesideProgram = 0;
int versionUp = 0;
SYSTEMTIME previousInstallDate = {0, 0, 0, 0, 0, 0, 0, 0};
char packageVersionText[kVersionTextBytes] = "";
