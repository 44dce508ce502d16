// The program's own icon: built in, scalable where the SVG reader is there, and the icon of
// the window (and so of the about box and the tray, which take the application's).
#include "tests/mainview/FormFixture.h"

#include "mainview/Application.h"

#include <QApplication>
#include <QImageReader>

using ProgramIcon = FormFixture;

TEST_F(ProgramIcon, IsBuiltInAndBecomesTheWindowsIcon) {
    const QIcon icon = mainview::ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(48, 48).size(), QSize(48, 48));
    if (QImageReader::supportedImageFormats().contains("svg")) {
        EXPECT_EQ(icon.pixmap(256, 256).size(), QSize(256, 256)) << "drawn at any size";
    }
    mainview::SetProgramIcon();
    EXPECT_EQ(QGuiApplication::desktopFileName(), "zindor-whois");
    TMainForm& form = Start();
    EXPECT_EQ(form.windowIcon().pixmap(32, 32).toImage(), icon.pixmap(32, 32).toImage());
    QApplication::setWindowIcon(QIcon());
}
