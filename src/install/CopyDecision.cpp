#include "install/CopyDecision.h"

CopyStep DecideCopy(const MemberFacts& facts) {
    if (!facts.installed) return CopyStep::kPlaceNew;
    switch (facts.copyMode) {
        case 1:
            // Nothing is lower than an installed file without a version.
            return facts.packageVersion < facts.installedVersion ? CopyStep::kAskVersion : CopyStep::kReplace;
        case 2:
            return facts.installedTime > facts.packageTime ? CopyStep::kAskDate : CopyStep::kReplace;
        case 3:
            return CopyStep::kFollowGroup;
        case 4:
            return CopyStep::kAskAlways;
        default:
            return CopyStep::kReplace;
    }
}

bool IsQuestion(CopyStep step) {
    return step == CopyStep::kAskVersion || step == CopyStep::kAskDate || step == CopyStep::kAskAlways;
}
