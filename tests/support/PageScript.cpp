#include "PageScript.h"

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shell/WizardState.h"

namespace {
thread_local PageScript* t_pageScript = NULL;
}

struct PageScriptAccess {
    static LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
        PageScript* script = t_pageScript;
        const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && script != NULL && call->message == WM_INITDIALOG &&
            GetDlgItem(call->hwnd, IDC_HEADER) != NULL) {
            OnPage(script, call->hwnd);
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }

    static void OnPage(PageScript* script, HWND page) {
        ShownPage shown;
        shown.window = page;
        shown.caption = WindowTextOf(page);
        shown.procedure = GetWindowLongPtrA(page, DWLP_DLGPROC);
        shown.mutexExists = MutexExists("Quilmora");
        script->pages_.push_back(shown);
        if (script->nextAction_ >= script->actions_.size()) {
            ADD_FAILURE() << "unexpected page " << script->pages_.size();
            nextPage = -1;
            EndDialog(page, 1);
            return;
        }
        script->actions_[script->nextAction_++](page);
    }
};

PageScript::PageScript() {
    t_pageScript = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, PageScriptAccess::AfterMessage, NULL, GetCurrentThreadId());
}

PageScript::~PageScript() {
    UnhookWindowsHookEx(hook_);
    t_pageScript = NULL;
    if (nextAction_ < actions_.size()) ADD_FAILURE() << (actions_.size() - nextAction_) << " page action(s) not used";
}

PageScript& PageScript::Then(PageAction action) {
    actions_.push_back(action);
    return *this;
}

PageAction PageScript::EndWith(int next) {
    return [next](HWND page) {
        nextPage = next;
        EndDialog(page, 1);
    };
}

PageAction PageScript::Click(int controlId) {
    return [controlId](HWND page) { PostClick(page, controlId); };
}

PageAction PageScript::Send(UINT message) {
    return [message](HWND page) { PostMessageA(page, message, 0, 0); };
}

void PostClick(HWND dialog, int controlId) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}

std::string WindowTextOf(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool MutexExists(const char* name) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (mutex == NULL) return false;
    CloseHandle(mutex);
    return true;
}
