// Drives the wizard's real dialogs from inside the test: each time a page (a dialog with the
// header control) has handled WM_INITDIALOG, what a user would see is recorded and the next
// scripted action runs on it. A page that no action expects fails the test and ends the wizard.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct ShownPage {
    HWND window = NULL;
    std::string caption;
    LONG_PTR procedure = 0;  // the dialog procedure the page runs
    bool mutexExists = false;
};

typedef std::function<void(HWND page)> PageAction;

class PageScript {
public:
    PageScript();
    ~PageScript();
    PageScript& Then(PageAction action);
    size_t Count() const { return pages_.size(); }
    const ShownPage& operator[](size_t i) const { return pages_.at(i); }

    // Sets nextPage as a page would and ends the page with 1.
    static PageAction EndWith(int next);
    // Posts a button click, as the user's click would arrive.
    static PageAction Click(int controlId);
    static PageAction Send(UINT message);

    PageScript(const PageScript&) = delete;
    PageScript& operator=(const PageScript&) = delete;

private:
    friend struct PageScriptAccess;
    std::vector<PageAction> actions_;
    size_t nextAction_ = 0;
    std::vector<ShownPage> pages_;
    HHOOK hook_ = NULL;
};

// Posts a click of the control to its dialog, with BN_CLICKED as a real button sends it.
void PostClick(HWND dialog, int controlId);

std::string WindowTextOf(HWND window);
bool MutexExists(const char* name);
