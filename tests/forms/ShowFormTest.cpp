#include "mainview/ShowText.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

class ShowFormTest : public ::testing::Test {
protected:
    void TearDown() override { TShowForm::ModalHook = nullptr; }

    // Shows a popup window holding `text` and runs `body` while it is shown; returns whether
    // the window was still open when the body ended.
    static bool Show(const QString& text, const std::function<void(TShowForm&)>& body) {
        bool open = false;
        TShowForm::ModalHook = [&](TShowForm& form) {
            body(form);
            open = form.isVisible();
        };
        TShowForm form;
        form.Memo1->setPlainText(text);
        form.ShowModal();
        TShowForm::ModalHook = nullptr;
        return open;
    }

    // Sends one mouse event to the text with a given global position.
    static void Mouse(TShowForm& form, QEvent::Type type, Qt::MouseButton button,
                      Qt::MouseButtons held, QPoint global) {
        QWidget* viewport = form.Memo1->viewport();
        QMouseEvent event(type, viewport->mapFromGlobal(QPointF(global)), QPointF(global), button,
                          held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }

    static QPoint TextPoint(TShowForm& form) {
        return form.Memo1->viewport()->mapToGlobal(QPoint(40, 20));
    }
};

const QString kText = "Domain Information:\n[Domain Name] EXAMPLE.JP\n[登録者名] 例\n";

} // namespace

TEST_F(ShowFormTest, LooksLikeAPlainFramelessTextBox) {
    Show(kText, [](TShowForm& form) {
        EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(form.windowTitle().isEmpty());
        EXPECT_EQ(form.Memo1->objectName(), "Memo1");
        EXPECT_TRUE(form.Memo1->isReadOnly());
        EXPECT_EQ(form.Memo1->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(form.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_FALSE(form.Memo1->focusPolicy() & Qt::TabFocus);
        EXPECT_EQ(form.Memo1->toPlainText(), kText);
        EXPECT_EQ(form.font().pixelSize(), 12);
        ASSERT_NE(form.Close1, nullptr);
        EXPECT_EQ(form.Close1->text().toStdString(), "閉じる");
        EXPECT_EQ(form.PopupMenu1->actions().size(), 1);
        // The text fills the window inside its one-pixel border.
        EXPECT_EQ(form.Memo1->geometry(), form.rect().adjusted(1, 1, -1, -1));
        EXPECT_EQ(form.Memo1->size(), QSize(558, 420));
        // Typing changes nothing.
        form.Memo1->setFocus();
        QTest::keyClicks(form.Memo1, "abc");
        EXPECT_EQ(form.Memo1->toPlainText(), kText);
    });
}

TEST_F(ShowFormTest, DoubleClickOnTheTextCloses) {
    const bool open = Show(kText, [](TShowForm& form) {
        ASSERT_TRUE(form.isVisible());
        QTest::mouseDClick(form.Memo1->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    });
    EXPECT_FALSE(open);
}

TEST_F(ShowFormTest, RightDoubleClickDoesNotClose) {
    const bool open = Show(kText, [](TShowForm& form) {
        QTest::mouseDClick(form.Memo1->viewport(), Qt::RightButton, {}, QPoint(30, 10));
    });
    EXPECT_TRUE(open);
}

TEST_F(ShowFormTest, ContextMenuOffersCloseAndCloseCloses) {
    const bool open = Show(kText, [](TShowForm& form) {
        QWidget* viewport = form.Memo1->viewport();
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(30, 10),
                                  viewport->mapToGlobal(QPoint(30, 10)));
        QApplication::sendEvent(viewport, &request);
        QTRY_VERIFY_WITH_TIMEOUT(form.PopupMenu1->isVisible(), 2000);
        EXPECT_TRUE(form.isVisible());
        form.Close1->trigger();
    });
    EXPECT_FALSE(open);
}

TEST_F(ShowFormTest, LeftDragOnTheTextMovesTheWindowWithoutSelecting) {
    Show(kText, [](TShowForm& form) {
        const QPoint start = form.pos();
        const QPoint press = TextPoint(form);
        const QPoint delta(40, 30);
        Mouse(form, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, press);
        Mouse(form, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, press + delta / 2);
        Mouse(form, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, press + delta);
        Mouse(form, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, press + delta);
        // The offscreen platform cannot move windows itself, so the window follows by hand.
        EXPECT_EQ(form.pos(), start + delta);
        EXPECT_FALSE(form.Memo1->textCursor().hasSelection());
        EXPECT_TRUE(form.isVisible());

        // After the release, moving the mouse moves nothing.
        const QPoint after = form.pos();
        Mouse(form, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, press + delta * 3);
        EXPECT_EQ(form.pos(), after);
    });
}

TEST_F(ShowFormTest, SmallJitterAndOtherButtonsDoNotMove) {
    Show(kText, [](TShowForm& form) {
        const QPoint start = form.pos();
        const QPoint press = TextPoint(form);
        Mouse(form, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, press);
        Mouse(form, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, press + QPoint(1, 0));
        Mouse(form, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, press);
        EXPECT_EQ(form.pos(), start);

        Mouse(form, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, press);
        Mouse(form, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, press + QPoint(50, 50));
        Mouse(form, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, press);
        EXPECT_EQ(form.pos(), start);
        EXPECT_TRUE(form.isVisible());
    });
}

TEST_F(ShowFormTest, CentredWithTheSizeTheCallerGave) {
    TShowForm::ModalHook = [](TShowForm& form) {
        const QRect screen = form.screen()->availableGeometry();
        EXPECT_EQ(form.size(), QSize(700, 500));
        EXPECT_LE((form.frameGeometry().center() - screen.center()).manhattanLength(), 2);
        form.CloseClick();
    };
    TShowForm form;
    form.resize(700, 500);
    form.ShowModal();
    EXPECT_FALSE(form.isVisible());
}
