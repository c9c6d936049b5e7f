#include "shell/CursorSet.h"

#include <windows.h>

void CursorSet::Select(int index) {
    if (index == kArrow) SetCursor(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    if (index == kHourglass) SetCursor(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_WAIT)));
}
