#include "util/Message.h"

#include <windows.h>

int ShowWarning(const char* text) {
    return MessageBoxA(NULL, text, "注意", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

int AskQuestion(const char* text, const char* caption) {
    return MessageBoxA(NULL, text, caption, MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL);
}
