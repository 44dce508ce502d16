#include "platform/qt/QtMainThread.h"
#include "settings/IniParam.h"
#include "tests/support/NetSandbox.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

// The sandbox comes first, while the process has a single thread; then the application and
// the main-thread service that carries the engine's results to the window.
int main(int argc, char** argv) {
    std::string reason;
    if (!testsupport::EnterNetSandbox(&reason))
        std::fprintf(stderr, "%s; network tests will be skipped\n", reason.c_str());
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Zindor Whois"));
    platform::QtMainThread mainThread;
    platform::InstallMainThread(&mainThread);
    const int rc = RUN_ALL_TESTS();
    platform::InstallMainThread(nullptr);
    // The windows' home folders are gone: the settings record must not write into them
    // when the program ends.
    InitParam.Load(std::string());
    return rc;
}
