// The WinSock information command opens its dialog modally over the window and releases it.
#include "tests/mainview/FormFixture.h"

#include "dialogs/WSInfo.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using WinSockCommand = FormFixture;

TEST_F(WinSockCommand, OpensTheInformationDialogModallyAndReleasesIt) {
    TMainForm& form = Start();
    ASSERT_TRUE(form.WSAInfo->isEnabled());
    QString shown, title, version;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        shown = modal->objectName();
        title = modal->windowTitle();
        parent = modal->parentWidget();
        if (auto* label = modal->findChild<QLabel*>("Version"))
            version = label->text();
        if (auto* close = modal->findChild<QPushButton*>("Button1"))
            close->click();
    });
    form.WSAInfo->trigger();
    EXPECT_EQ(shown, "WSDialog");
    EXPECT_EQ(title, "Winsock Info");
    EXPECT_EQ(version, "1.1");
    EXPECT_EQ(parent, &form);
    EXPECT_TRUE(form.findChildren<TWSDialog*>().isEmpty()) << "released after it closed";
}
