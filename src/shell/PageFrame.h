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

// What every numbered page does alike, for the messages the page does not handle itself:
// Back (1011) goes one page back, Cancel (1001) and closing the window ask ConfirmCancel, other
// commands are ignored (TRUE); any other message gets the default dialog handling (FALSE). The
// command is compared whole, so only a button click counts.
INT_PTR HandleFrameMessage(HWND page, UINT message, WPARAM wParam);

INT_PTR CALLBACK CompletionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
