// What the copy pass does with one member over the install folder, decided from facts alone so
// that the setup program and kxpack's preview of a version-up cannot disagree. No Win32 here.
#pragma once
#include <cstdint>

enum class CopyStep {
    kPlaceNew,     // nothing installed at the final path
    kReplace,      // replaced without a question
    kAskVersion,   // the installed file has the higher version code
    kAskDate,      // the installed file has the later last-write time
    kAskAlways,    // mode 4 asks whenever a file is installed
    kFollowGroup,  // mode 3: the decision of the group (see GroupDecision)
};

// The member's copy mode and what is known of both files. Versions are version codes (0: none),
// times Windows file times (0: unreadable). Only the facts that the mode compares are read.
struct MemberFacts {
    int32_t copyMode = 0;
    bool installed = false;
    uint32_t packageVersion = 0;
    uint32_t installedVersion = 0;
    uint64_t packageTime = 0;
    uint64_t installedTime = 0;
};

CopyStep DecideCopy(const MemberFacts& facts);

bool IsQuestion(CopyStep step);

// The decision that members of mode 3 take: that of the most recent earlier member whose group
// flag is 0, and copy while there is none.
class GroupDecision {
public:
    // decision: 1 copy, 0 keep.
    void Record(int32_t memberIndex, int32_t groupFlag, int decision) {
        if (groupFlag != 0) return;
        decision_ = decision;
        leader_ = memberIndex;
    }
    int Decision() const { return decision_; }
    // The index of the member whose decision it is; -1 while there is none.
    int32_t Leader() const { return leader_; }

private:
    int decision_ = 1;
    int32_t leader_ = -1;
};

// A file version's four parts (from its two double words) packed one byte per part, the low 8
// bits of each, major on top: the version code.
inline uint32_t PackVersionCode(uint32_t mostSignificant, uint32_t leastSignificant) {
    return ((mostSignificant >> 16) & 0xFF) << 24 | (mostSignificant & 0xFF) << 16 |
           ((leastSignificant >> 16) & 0xFF) << 8 | (leastSignificant & 0xFF);
}
