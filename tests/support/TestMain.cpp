#include <gtest/gtest.h>

#include "MessageBoxObserver.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Every message box the code shows on this thread is observed; none can hang a run.
    InstallMessageBoxObserver();
    return RUN_ALL_TESTS();
}
