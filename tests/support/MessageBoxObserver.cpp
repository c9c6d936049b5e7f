#include "MessageBoxObserver.h"

#include <gtest/gtest.h>

#include <set>

namespace {

thread_local MessageBoxScript* t_script = NULL;
thread_local HHOOK t_cbtHook = NULL;
thread_local HHOOK t_messageHook = NULL;
thread_local std::set<HWND>* t_seen = NULL;      // boxes whose answer is on its way
thread_local std::set<HWND>* t_answered = NULL;  // boxes answered, until destroyed
UINT g_answerMessage = 0;

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 2, '\0');
    int got = GetWindowTextA(window, &text[0], length + 2);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {0};
    GetClassNameA(window, name, sizeof name);
    return name;
}

int IconKind(HICON icon) {
    struct Known {
        LPCSTR id;
        int kind;
    } known[] = {{IDI_WARNING, MB_ICONWARNING},
                 {IDI_QUESTION, MB_ICONQUESTION},
                 {IDI_ERROR, MB_ICONERROR},
                 {IDI_INFORMATION, MB_ICONINFORMATION}};
    for (const Known& k : known) {
        if (LoadIconA(NULL, k.id) == icon) return k.kind;
    }
    return icon != NULL ? -1 : 0;
}

bool Has(const std::vector<int>& ids, int id) {
    for (int each : ids) {
        if (each == id) return true;
    }
    return false;
}

int DismissButton(const std::vector<int>& ids) {
    const int order[] = {IDCANCEL, IDNO, IDOK};
    for (int id : order) {
        if (Has(ids, id)) return id;
    }
    return ids.front();
}

}  // namespace

// A message box is a #32770 dialog whose only controls are statics and push buttons, one of
// the buttons being a standard answer; the wizard's pages and the folder browser have others.
bool ReadMessageBox(HWND window, ObservedBox* box) {
    if (ClassOf(window) != "#32770") return false;
    bool other = false;
    for (HWND child = GetWindow(window, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string cls = ClassOf(child);
        if (!IsWindowVisible(child)) continue;
        if (cls == "Button") {
            box->buttons.push_back(GetDlgCtrlID(child));
        } else if (cls == "Static") {
            LONG style = GetWindowLongA(child, GWL_STYLE);
            if ((style & SS_TYPEMASK) == SS_ICON) {
                box->icon = IconKind(reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)));
            } else {
                std::string text = WindowText(child);
                if (!text.empty()) box->text = text;
            }
        } else {
            other = true;
        }
    }
    return !other && !box->buttons.empty();
}

struct MessageBoxObserverAccess {
    // The box is only looked at once it runs its own message loop: by then its text, its
    // buttons and its focus are set.
    static void OnActivate(HWND window) {
        if (ClassOf(window) != "#32770" || t_seen->count(window)) return;
        t_seen->insert(window);
        PostMessageA(window, g_answerMessage, 0, 0);
    }

    static int ChooseAnswer(ObservedBox* box) {
        MessageBoxScript* script = t_script;
        if (script != NULL && script->nextAnswer_ >= script->answers_.size() && script->dismissTheRest_)
            return DismissButton(box->buttons);
        if (script == NULL || script->nextAnswer_ >= script->answers_.size()) {
            ADD_FAILURE() << "unexpected message box: caption \"" << ToUtf8(box->caption) << "\", text \""
                          << ToUtf8(box->text) << "\"";
            return DismissButton(box->buttons);
        }
        int answer = script->answers_[script->nextAnswer_++];
        if (Has(box->buttons, answer)) return answer;
        ADD_FAILURE() << "scripted answer " << answer << " is not a button of the box \"" << ToUtf8(box->text) << "\"";
        return DismissButton(box->buttons);
    }

    static void OnAnswer(MSG* msg) {
        HWND window = msg->hwnd;
        msg->message = WM_NULL;
        if (!t_answered->insert(window).second) return;
        ObservedBox box;
        if (!ReadMessageBox(window, &box)) return;
        box.caption = WindowText(window);
        box.hasOwner = GetWindow(window, GW_OWNER) != NULL;
        HWND focus = GetFocus();
        box.focusedButton = focus != NULL && GetParent(focus) == window ? GetDlgCtrlID(focus) : 0;
        MessageBoxScript* script = t_script;
        box.taskModal = script != NULL && script->probe_ != NULL && !IsWindowEnabled(script->probe_);
        box.answer = ChooseAnswer(&box);
        if (script != NULL) script->boxes_.push_back(box);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(box.answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, box.answer)));
    }
};

// A box is answered once: while another process's windows come and go (a test running beside
// this one), Wine can hand the hook the answer message of a box a second time. A box is
// forgotten when destroyed, so that a later box with the same handle counts anew.
static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) MessageBoxObserverAccess::OnActivate(reinterpret_cast<HWND>(wParam));
    if (code == HCBT_DESTROYWND) {
        t_seen->erase(reinterpret_cast<HWND>(wParam));
        t_answered->erase(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(t_cbtHook, code, wParam, lParam);
}

static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == g_answerMessage && g_answerMessage != 0) {
        MessageBoxObserverAccess::OnAnswer(msg);
    }
    return CallNextHookEx(t_messageHook, code, wParam, lParam);
}

void InstallMessageBoxObserver() {
    if (t_cbtHook != NULL) return;
    g_answerMessage = RegisterWindowMessageA("KxTestAnswerMessageBox");
    t_seen = new std::set<HWND>();
    t_answered = new std::set<HWND>();
    t_cbtHook = SetWindowsHookExA(WH_CBT, CbtHook, NULL, GetCurrentThreadId());
    t_messageHook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, NULL, GetCurrentThreadId());
}

MessageBoxScript::MessageBoxScript() {
    InstallMessageBoxObserver();
    // A hidden top-level window of this thread: a task-modal box disables it.
    probe_ = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    outer_ = t_script;
    t_script = this;
}

MessageBoxScript::~MessageBoxScript() {
    t_script = outer_;
    if (probe_ != NULL) DestroyWindow(probe_);
    if (nextAnswer_ < answers_.size()) {
        ADD_FAILURE() << (answers_.size() - nextAnswer_) << " scripted message box answer(s) not used";
    }
}

MessageBoxScript& MessageBoxScript::Answer(int buttonId) {
    answers_.push_back(buttonId);
    return *this;
}

void ExpectWarningBox(const ObservedBox& box, const char* text) {
    EXPECT_EQ(text, box.text) << ToUtf8(box.text);
    EXPECT_EQ("注意", box.caption) << ToUtf8(box.caption);
    EXPECT_EQ(std::vector<int>({IDOK}), box.buttons);
    EXPECT_EQ(MB_ICONWARNING, box.icon);
    EXPECT_TRUE(box.taskModal);
    EXPECT_FALSE(box.hasOwner);
}

MessageBoxScript& MessageBoxScript::DismissTheRest() {
    dismissTheRest_ = true;
    return *this;
}

std::string ToUtf8(const std::string& sjis) {
    int wide = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), NULL, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), &w[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, NULL, 0, NULL, NULL);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &utf8[0], bytes, NULL, NULL);
    return utf8;
}

std::string SystemErrorText(DWORD code) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, LANG_USER_DEFAULT, text,
                   sizeof text, NULL);
    return text;
}
