#include "tests/support/TestMain.h"
#include "tests/support/NetSandbox.h"

#include "platform/HeadlessMainThread.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace testsupport {

int RunSandboxedTests(int argc, char** argv) {
    std::string reason;
    if (!EnterNetSandbox(&reason))
        std::fprintf(stderr, "%s; network tests will be skipped\n", reason.c_str());
    ::testing::InitGoogleTest(&argc, argv);
    platform::HeadlessMainThread mainThread;
    platform::InstallMainThread(&mainThread);
    int rc = RUN_ALL_TESTS();
    platform::InstallMainThread(nullptr);
    return rc;
}

} // namespace testsupport
