// GoogleTest main for window tests: an application object on the offscreen platform and the
// Qt main-thread service, as the program itself has them.
#include "mainview/Application.h"

#include "platform/qt/QtMainThread.h"
#include "settings/IniParam.h"
#include "tests/support/HopNetwork.h"
#include "tests/support/NetSandbox.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The private network first, while this is the only thread; Qt starts threads of its own.
    std::string reason;
    if (!testsupport::EnterNetSandbox(&reason))
        std::fprintf(stderr, "%s; network tests will be skipped\n", reason.c_str());
    // Run as an ordinary user would be: the probes then fall back to ICMP datagram sockets.
    const char* drop = std::getenv("ZW_DROP_NET_RAW");
    if (drop && !testsupport::DropNetRaw(&reason, std::string(drop) == "helper")) {
        std::fprintf(stderr, "cannot drop CAP_NET_RAW: %s\n", reason.c_str());
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    mainview::TZwApplication app(argc, argv);
    mainview::SetApplicationTitle(QStringLiteral("Zindor Whois"));
    platform::QtMainThread mainThread;
    platform::InstallMainThread(&mainThread);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The tests' temporary folders are gone: the settings record must not save at exit.
    InitParam.FFileName.clear();
    platform::InstallMainThread(nullptr);
    return result;
}
