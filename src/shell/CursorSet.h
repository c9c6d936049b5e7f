// The mouse cursor shown around long work on the GUI thread. One instance (cursorSet), owned by
// the driver.
#pragma once

class CursorSet {
public:
    static const int kArrow = -1;
    static const int kHourglass = -2;

    // kArrow shows the standard arrow, kHourglass the hourglass; other values change nothing.
    void Select(int index);
};
