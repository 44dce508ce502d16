// Enabling of the popup menus' items, copying from the lookup lists and the text area.
#include "tests/mainview/FormFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>

namespace {

class PopupTest : public FormFixture {
protected:
    // Shows the window, makes it active and puts the focus into w.
    bool FocusInto(TMainForm& f, QWidget* w) {
        f.show();
        f.activateWindow();
        QApplication::setActiveWindow(&f);
        w->setFocus(Qt::OtherFocusReason);
        QElapsedTimer t;
        t.start();
        while (!w->hasFocus() && t.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return w->hasFocus();
    }
};

} // namespace

TEST_F(PopupTest, MemoItemsNeedSelectionAndWhoisAlsoIdleness) {
    TMainForm& f = Start();
    f.Memo1->setPlainText(QStringLiteral("example.jp"));
    f.MemoPopupPopup();
    EXPECT_FALSE(f.Copy2->isEnabled());
    EXPECT_FALSE(f.Whois4->isEnabled());
    f.Memo1->selectAll();
    f.MemoPopupPopup();
    EXPECT_TRUE(f.Copy2->isEnabled());
    EXPECT_TRUE(f.Whois4->isEnabled());
    f.DisableButtons(nullptr, opLookup);
    f.MemoPopupPopup();
    EXPECT_TRUE(f.Copy2->isEnabled()); // copying stays possible while busy
    EXPECT_FALSE(f.Whois4->isEnabled());
    f.Copy2Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("example.jp"));
}

TEST_F(PopupTest, LookupListCopiesOnlyWithFocusAndSelection) {
    TMainForm& f = Start();
    f.AliasList->addItems({QStringLiteral("a.example"), QStringLiteral("b.example")});
    f.AliasList->setCurrentRow(1);
    // Without the focus the list offers nothing.
    f.PopupMenu1Popup();
    EXPECT_FALSE(f.Copy1->isEnabled());
    EXPECT_FALSE(f.Whois2->isEnabled());

    if (!FocusInto(f, f.AliasList))
        GTEST_SKIP() << "the platform gives no keyboard focus";
    f.AliasList->setCurrentRow(1);
    f.PopupMenu1Popup();
    EXPECT_TRUE(f.Copy1->isEnabled());
    EXPECT_TRUE(f.Whois2->isEnabled());
    QApplication::clipboard()->clear();
    f.Copy1->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("b.example"));

    // Leaving the list drops its selection.
    ASSERT_TRUE(FocusInto(f, f.Memo1));
    EXPECT_TRUE(f.AliasList->selectedItems().isEmpty());
}
