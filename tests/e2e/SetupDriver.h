// Drives the real setup program from outside its process, as a person would: finds its
// windows by caption, types into fields, clicks buttons and answers its message boxes, all
// through window messages.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "MessageBoxObserver.h"
#include "PageScript.h"

// A message box of the driven program, as its user sees it.
struct ForeignBox : ObservedBox {
    HWND window = NULL;
};

class SetupProcess {
public:
    SetupProcess() = default;
    ~SetupProcess();  // a program still running is ended: a failed test leaves nothing behind

    // Starts program (a full path) in its own folder. false when it cannot start.
    bool Start(const std::string& program);
    // The program's top-level window with this caption once it is shown and can take input
    // (no box over it); null after timeoutMs.
    HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = kPatience) const;
    // The program's next message box; window null after timeoutMs.
    ForeignBox WaitForBox(DWORD timeoutMs = kPatience) const;
    // The exit code once the program has ended; STILL_ACTIVE after timeoutMs.
    DWORD WaitForExit(DWORD timeoutMs = kPatience);
    bool IsRunning() const;

    static const DWORD kPatience = 30000;

    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

private:
    PROCESS_INFORMATION process_ = {NULL, NULL, 0, 0};
};

// The wizard's page captions: 1 to 4, or 5 for the completion page.
std::string PageCaption(int page);

// A click on a check box: the box toggles itself and tells its dialog, in the order of the
// clicks posted before and after it.
void ClickCheckBox(HWND dialog, int controlId);
void Answer(const ForeignBox& box, int buttonId);
// A real mouse click at the middle of the control, through the system's input queue: a window
// that is disabled, as under a task-modal box, does not take it. false when the window cover
// (a box over the dialog, or null) hides that point, or when the input could not be sent.
bool ClickWithMouse(HWND dialog, int controlId, HWND cover = NULL);
void TypeText(HWND dialog, int controlId, const std::string& text);
std::string ReadText(HWND dialog, int controlId);
std::string TextOf(HWND window);  // a window of any process
bool IsChecked(HWND dialog, int controlId);
bool IsEnabled(HWND dialog, int controlId);
// Waits until the window is gone (its dialog ended); false after timeoutMs.
bool WaitUntilClosed(HWND window, DWORD timeoutMs = SetupProcess::kPatience);

// The screen area covered by the windows (their union), saved as a 24-bit BMP file.
bool SaveWindowsPicture(const std::vector<HWND>& windows, const std::string& bmpPath);
