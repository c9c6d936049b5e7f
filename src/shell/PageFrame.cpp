#include "shell/PageFrame.h"

#include <richedit.h>

#include "resources/resource.h"
#include "shell/WizardState.h"
#include "util/Message.h"

const int kHeaderBytes = 1024;
const int kTitleGrowthTwips = 25;

// The title's range is known in bytes of the header text. Some rich-edit versions count
// positions in characters instead (every double-byte character is one): ask the control how
// long it thinks the whole text is (a final paragraph mark may add to it) and translate when
// that falls short of the byte length.
static LONG HeaderPosition(HWND header, const char* text, int byteOffset) {
    CHARRANGE all = {0, -1};
    SendMessageA(header, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    SendMessageA(header, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&all));
    if (all.cpMax >= lstrlenA(text)) return byteOffset;
    LONG characters = 0;
    for (const char* p = text; *p != '\0' && p - text < byteOffset; p = CharNextA(p))
        ++characters;
    return characters;
}

static void EmphasiseTitle(HWND header, const char* text, int titleBytes) {
    CHARRANGE title = {HeaderPosition(header, text, 3), HeaderPosition(header, text, titleBytes + 5)};
    SendMessageA(header, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&title));
    CHARFORMATA format;
    ZeroMemory(&format, sizeof format);
    format.cbSize = sizeof format;
    SendMessageA(header, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    format.dwEffects ^= CFE_BOLD;
    format.dwMask = CFM_BOLD | CFM_SIZE;
    format.yHeight += kTitleGrowthTwips;
    SendMessageA(header, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    CHARRANGE none = {0, 0};
    SendMessageA(header, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
}

void InitPageFrame(HWND pageWindow, const char* title, const char* subtitle) {
    currentPageWindow = pageWindow;
    CenterWindow(pageWindow);
    // wsprintfA never writes more than 1024 bytes, terminator included.
    char header[kHeaderBytes];
    wsprintfA(header, "\r\n　%s\r\n　　　　　%s", title, subtitle);
    HWND headerControl = GetDlgItem(pageWindow, IDC_HEADER);
    SetWindowTextA(headerControl, header);
    EmphasiseTitle(headerControl, header, lstrlenA(title));
    SendMessageA(pageWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageA(pageWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
}

void CenterWindow(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    // Signed division: a window larger than the screen gets a negative position, still centred.
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MoveWindow(window, x, y, width, height, TRUE);
}

void ConfirmCancel() {
    if (AskQuestion("処理を中止します。よろしいですか？", "確認") == IDNO) return;
    nextPage = -1;
    EndDialog(currentPageWindow, 1);
}

void GoToNextPage(HWND page) {
    nextPage += 1;
    EndDialog(page, 1);
}

INT_PTR HandleFrameMessage(HWND page, UINT message, WPARAM wParam) {
    if (message == WM_CLOSE || (message == WM_COMMAND && wParam == IDC_CANCEL_WIZARD)) {
        ConfirmCancel();
    } else if (message == WM_COMMAND && wParam == IDC_BACK) {
        nextPage -= 1;
        EndDialog(page, 1);
    }
    return message == WM_CLOSE || message == WM_COMMAND;
}

// The last page asks nothing: the installation is done, and closing it simply ends the wizard.
INT_PTR CALLBACK CompletionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitPageFrame(page, "■完　了", "インストールが完了しました。");
            return TRUE;
        case WM_COMMAND:
            if (wParam == IDC_NEXT) GoToNextPage(page);
            return TRUE;
        case WM_CLOSE:
            nextPage = -1;
            EndDialog(page, 1);
            return TRUE;
    }
    return FALSE;
}
