#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Qt widgets need one application object for the whole run. Tests never need a display:
// unless the caller chose a platform, the offscreen one is used.
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
