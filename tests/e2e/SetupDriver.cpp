#include "SetupDriver.h"

#include "resources/resource.h"

namespace {

const DWORD kPollMilliseconds = 20;
const UINT kMessageTimeout = 5000;

struct Search {
    DWORD processId;
    std::string caption;  // for pages
    bool wantBox;
    HWND found;
};

bool IsPage(HWND window) {
    return GetDlgItem(window, IDC_HEADER) != NULL;
}

bool ReadBox(HWND window, ForeignBox* box) {
    if (!ReadMessageBox(window, box)) return false;
    box->window = window;
    box->caption = TextOf(window);
    return true;
}

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (search->wantBox) {
        ForeignBox box;
        if (!ReadBox(window, &box)) return TRUE;
    } else if (!IsPage(window) || !IsWindowEnabled(window) || TextOf(window) != search->caption) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

}  // namespace

// WM_GETTEXT is carried across processes; the buffer is larger than any text the program shows.
std::string TextOf(HWND window) {
    char text[4096] = "";
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        kMessageTimeout, &copied);
    return text;
}

SetupProcess::~SetupProcess() {
    if (process_.hProcess == NULL) return;
    if (IsRunning()) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, kPatience);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool SetupProcess::Start(const std::string& program) {
    std::string folder = program.substr(0, program.rfind('\\'));
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup,
                          &process_) != FALSE;
}

HWND SetupProcess::WaitForWindow(const std::string& caption, DWORD timeoutMs) const {
    Search search = {process_.dwProcessId, caption, false, NULL};
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMilliseconds) {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL) return search.found;
        if (!IsRunning()) return NULL;
        Sleep(kPollMilliseconds);
    }
    return NULL;
}

ForeignBox SetupProcess::WaitForBox(DWORD timeoutMs) const {
    Search search = {process_.dwProcessId, "", true, NULL};
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMilliseconds) {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        ForeignBox box;
        if (search.found != NULL && ReadBox(search.found, &box)) return box;
        search.found = NULL;
        if (!IsRunning()) break;
        Sleep(kPollMilliseconds);
    }
    return ForeignBox();
}

DWORD SetupProcess::WaitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool SetupProcess::IsRunning() const {
    return process_.hProcess != NULL && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::string PageCaption(int page) {
    if (page == 5) return "Korvantoセットアップ(完了)";
    char caption[64];
    wsprintfA(caption, "Korvantoセットアップ(%d/4)", page);
    return caption;
}

void ClickCheckBox(HWND dialog, int controlId) {
    PostMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

void Answer(const ForeignBox& box, int buttonId) {
    PostClick(box.window, buttonId);
}

bool ClickWithMouse(HWND dialog, int controlId, HWND cover) {
    HWND control = GetDlgItem(dialog, controlId);
    RECT area, covered = {0, 0, 0, 0};
    if (control == NULL || !GetWindowRect(control, &area)) return false;
    POINT middle = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    if (cover != NULL && GetWindowRect(cover, &covered) && PtInRect(&covered, middle)) return false;
    if (!SetCursorPos(middle.x, middle.y)) return false;
    INPUT clicks[2];
    ZeroMemory(clicks, sizeof clicks);
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, clicks, sizeof clicks[0]) == 2;
}

void TypeText(HWND dialog, int controlId, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, kMessageTimeout, &result);
}

std::string ReadText(HWND dialog, int controlId) {
    return TextOf(GetDlgItem(dialog, controlId));
}

bool IsChecked(HWND dialog, int controlId) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &state);
    return state == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int controlId) {
    return IsWindowEnabled(GetDlgItem(dialog, controlId)) != FALSE;
}

bool WaitUntilClosed(HWND window, DWORD timeoutMs) {
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMilliseconds) {
        if (!IsWindow(window)) return true;
        Sleep(kPollMilliseconds);
    }
    return false;
}

// Both headers are written as they stand in memory: their sizes are those of the file format.
static_assert(sizeof(BITMAPFILEHEADER) == 14, "a bitmap file header is 14 bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "a bitmap information header is 40 bytes");

static bool WriteBitmapFile(const std::string& path, const BITMAPINFOHEADER& info, const std::string& pixels) {
    BITMAPFILEHEADER file;
    ZeroMemory(&file, sizeof file);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof file, &written, NULL) &&
              WriteFile(out, &info, sizeof info, &written, NULL) &&
              WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, NULL);
    CloseHandle(out);
    return ok;
}

bool SaveWindowsPicture(const std::vector<HWND>& windows, const std::string& bmpPath) {
    RECT area = {0, 0, 0, 0};
    for (HWND window : windows) {
        RECT frame;
        GetWindowRect(window, &frame);
        UnionRect(&area, &area, &frame);
    }
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info;
    ZeroMemory(&info, sizeof info);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    std::string pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height, '\0');
    GetDIBits(memory, bitmap, 0, height, &pixels[0], reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return WriteBitmapFile(bmpPath, info, pixels);
}
