// What every wizard page shares at its edges: the header band with the bold title, the icons,
// centring, the buttons Next, Back and Cancel, and the cancel question. Pages call these from
// their dialog procedures.
#pragma once
#include <windows.h>

// Stores the page in currentPageWindow, centres it, fills and formats the header (control 1022)
// and sets the page's icons. Called while handling WM_INITDIALOG.
void InitPageFrame(HWND pageWindow, const char* title, const char* subtitle);

// Moves the window to the middle of the primary screen (negative when it is larger).
void CenterWindow(HWND window);

// Asks "処理を中止します。よろしいですか？"; on Yes sets nextPage to -1 and ends currentPageWindow.
void ConfirmCancel();

// nextPage += 1 and the page ends: what Next does once the page's own forward work succeeded.
void GoToNextPage(HWND page);

// The commands every numbered page treats alike: Back (1011) goes one page back, Cancel (1001)
// asks ConfirmCancel; anything else is ignored. The command is compared whole, so only a
// button click counts.
void HandleFrameCommand(HWND page, WPARAM command);

INT_PTR CALLBACK CompletionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
