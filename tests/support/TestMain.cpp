#include "tests/support/TestMain.h"
#include "tests/support/HopNetwork.h"
#include "tests/support/NetSandbox.h"

#include "platform/HeadlessMainThread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace testsupport {

int RunSandboxedTests(int argc, char** argv) {
    std::string reason;
    if (!EnterNetSandbox(&reason))
        std::fprintf(stderr, "%s; network tests will be skipped\n", reason.c_str());
    // A test that must run as an ordinary user would starts this program again so.
    const char* drop = std::getenv("ZW_DROP_NET_RAW");
    if (drop && !DropNetRaw(&reason, std::string(drop) == "helper")) {
        std::fprintf(stderr, "cannot drop CAP_NET_RAW: %s\n", reason.c_str());
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    platform::HeadlessMainThread mainThread;
    platform::InstallMainThread(&mainThread);
    int rc = RUN_ALL_TESTS();
    platform::InstallMainThread(nullptr);
    return rc;
}

} // namespace testsupport
