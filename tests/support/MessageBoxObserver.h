// Observes the real message boxes that the code under test shows on this thread, records
// what a user would see, and presses the button that the test scripted in advance.
//
//   MessageBoxScript boxes;            // from here on, boxes are expected and recorded
//   boxes.Answer(IDNO).Answer(IDOK);   // one button per box, in order
//   ...code under test...
//   ASSERT_EQ(2u, boxes.Count());
//   EXPECT_EQ("…", boxes[0].text);
//
// A box that no script expects fails the current test and is dismissed, so nothing hangs.
// A script destroyed with answers left over fails the test too.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct ObservedBox {
    std::string caption;       // bytes as shown (Shift-JIS)
    std::string text;          // the message, bytes as shown
    std::vector<int> buttons;  // ids of the push buttons (IDOK, IDYES, IDNO, ...) in window order
    int icon = 0;              // MB_ICONWARNING, MB_ICONQUESTION, MB_ICONERROR, MB_ICONINFORMATION or 0
    int focusedButton = 0;     // the button that has the focus once the box waits: its default
    bool taskModal = false;    // the thread's other top-level windows were disabled
    bool hasOwner = false;
    int answer = 0;  // the button the observer pressed
};

class MessageBoxScript {
public:
    MessageBoxScript();
    ~MessageBoxScript();
    MessageBoxScript& Answer(int buttonId);
    // Every box after the scripted ones is expected too and dismissed (Cancel, No or OK), for
    // tests that feed many unpredictable inputs and only care that nothing goes wrong.
    MessageBoxScript& DismissTheRest();
    size_t Count() const { return boxes_.size(); }
    const ObservedBox& operator[](size_t i) const { return boxes_.at(i); }
    const std::vector<ObservedBox>& Boxes() const { return boxes_; }

    MessageBoxScript(const MessageBoxScript&) = delete;
    MessageBoxScript& operator=(const MessageBoxScript&) = delete;

private:
    friend struct MessageBoxObserverAccess;
    std::vector<int> answers_;
    size_t nextAnswer_ = 0;
    bool dismissTheRest_ = false;
    std::vector<ObservedBox> boxes_;
    HWND probe_ = NULL;
    MessageBoxScript* outer_ = NULL;
};

// Reads what a message box shows: its text, buttons and icon (caption and the rest are left to
// the caller). false for any other window, a wizard page or the folder browser among them. Works
// on the boxes of other processes too.
bool ReadMessageBox(HWND window, ObservedBox* box);

// Installs the observer's hooks on the calling thread (TestMain does this for the main thread).
void InstallMessageBoxObserver();

// Checks a warning as the program shows them all: the text, caption "注意", OK alone, warning
// icon, task-modal, no owner.
void ExpectWarningBox(const ObservedBox& box, const char* text);

// The system's text for an error code, as a system error box shows it.
std::string SystemErrorText(DWORD code);

// Shift-JIS bytes as UTF-8, for readable failure messages.
std::string ToUtf8(const std::string& sjis);
