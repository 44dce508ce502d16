#include "controls/SpinBtns.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class ValueSpinTest : public ::testing::Test {
protected:
    void SetUp() override {
        spin.OnChange = [this] { ++changes; };
    }
    void Type(const char* keys) { QTest::keyClicks(spin.Edit(), QString::fromLatin1(keys)); }
    void SelectAllAndErase() {
        spin.Edit()->selectAll();
        QTest::keyClick(spin.Edit(), Qt::Key_Backspace);
    }
    std::string Text() const { return spin.Edit()->text().toStdString(); }

    TValueSpin spin;
    int changes = 0;
};

TEST_F(ValueSpinTest, StartsAtZeroWithTheDefaultRange) {
    EXPECT_EQ(spin.Value(), 0);
    EXPECT_EQ(spin.Min(), 0);
    EXPECT_EQ(spin.Max(), 100);
    EXPECT_EQ(spin.Increment(), 1);
    EXPECT_EQ(Text(), "0");
    EXPECT_EQ(spin.width(), 58);
    EXPECT_EQ(spin.height(), spin.Edit()->height());
    EXPECT_EQ(spin.UpDown()->width(), 16);
}

TEST_F(ValueSpinTest, TypingAboveMaxSettlesOnMax) {
    spin.SetMax(600);
    spin.Edit()->end(false);
    Type("7");
    EXPECT_EQ(Text(), "7");
    EXPECT_EQ(spin.Value(), 7);
    Type("0");
    EXPECT_EQ(Text(), "70");
    EXPECT_EQ(spin.Value(), 70);
    Type("0");
    EXPECT_EQ(Text(), "600");
    EXPECT_EQ(spin.Value(), 600);
    EXPECT_EQ(changes, 3);
}

TEST_F(ValueSpinTest, LettersAndMinusChangeNothing) {
    spin.SetValue(42);
    changes = 0;
    Type("-x");
    EXPECT_EQ(Text(), "42");
    EXPECT_EQ(spin.Value(), 42);
    EXPECT_EQ(changes, 0);
}

TEST_F(ValueSpinTest, AnErasedEditShowsZeroLimitedToTheRange) {
    spin.SetValue(55);
    SelectAllAndErase();
    EXPECT_EQ(Text(), "0");
    EXPECT_EQ(spin.Value(), 0);

    spin.SetMin(5);
    spin.SetValue(55);
    SelectAllAndErase();
    EXPECT_EQ(Text(), "5");
    EXPECT_EQ(spin.Value(), 5);
}

TEST_F(ValueSpinTest, ATypedPointDisappears) {
    spin.SetValue(7);
    spin.Edit()->end(false);
    Type(".");
    EXPECT_EQ(Text(), "7");
    Type("5");
    EXPECT_EQ(Text(), "75");
}

TEST_F(ValueSpinTest, PastedTextGoesThroughTheSameLimits) {
    // Ctrl+V is an editing command, not a typed character: the edit box pastes.
    QGuiApplication::clipboard()->setText(QStringLiteral("250"));
    spin.Edit()->selectAll();
    QTest::keyClick(spin.Edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin.Value(), 100);
    EXPECT_EQ(Text(), "100");
    // Pasted junk cannot be read as a number; the spin settles on the limited 0.
    QGuiApplication::clipboard()->setText(QStringLiteral("4x"));
    spin.SetMin(3);
    spin.Edit()->selectAll();
    QTest::keyClick(spin.Edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin.Value(), 3);
    EXPECT_EQ(Text(), "3");
}

TEST_F(ValueSpinTest, ANumberTooLongForThirtyTwoBitsIsLimitedToMax) {
    spin.SetMax(32767);
    spin.Edit()->end(false);
    Type("123456789012345");
    EXPECT_EQ(spin.Value(), 32767);
    EXPECT_EQ(Text(), "32767");
    // Typed keys settle at each step; a pasted number reaches the spin whole, far beyond
    // 32 bits, and must neither wrap nor fail.
    spin.SetMax(600);
    QGuiApplication::clipboard()->setText(QStringLiteral("98765432109876543210"));
    spin.Edit()->selectAll();
    QTest::keyClick(spin.Edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin.Value(), 600);
    EXPECT_EQ(Text(), "600");
    QGuiApplication::clipboard()->setText(QStringLiteral("4294967296"));
    spin.Edit()->selectAll();
    QTest::keyClick(spin.Edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin.Value(), 600);
}

TEST_F(ValueSpinTest, SettingValueOutsideTheRangeTakesTheBoundAndStillNotifies) {
    spin.SetValue(120);
    EXPECT_EQ(spin.Value(), 100);
    EXPECT_EQ(Text(), "100");
    EXPECT_EQ(changes, 1);
    spin.SetValue(100);
    EXPECT_EQ(changes, 2);
    spin.SetValue(-3);
    EXPECT_EQ(spin.Value(), 0);
    EXPECT_EQ(Text(), "0");
}

TEST_F(ValueSpinTest, NarrowingTheRangeMovesTheValueIn) {
    spin.SetValue(80);
    changes = 0;
    spin.SetMax(50);
    EXPECT_EQ(Text(), "50");
    EXPECT_EQ(spin.Value(), 50);
    EXPECT_GE(changes, 1);

    spin.SetValue(3);
    spin.SetMin(10);
    EXPECT_EQ(Text(), "10");
    EXPECT_EQ(spin.Value(), 10);

    // A bound that does not exclude the value leaves it alone.
    changes = 0;
    spin.SetMax(40);
    EXPECT_EQ(spin.Value(), 10);
    EXPECT_EQ(changes, 0);
}

TEST_F(ValueSpinTest, BoundsAndValueAreSixteenBitNumbers) {
    spin.SetMax(40000);
    EXPECT_EQ(spin.Max(), 32767);
    spin.SetMin(-40000);
    EXPECT_EQ(spin.Min(), -32768);
    spin.SetValue(1000000);
    EXPECT_EQ(spin.Value(), 32767);
    spin.SetValue(-1000000);
    EXPECT_EQ(spin.Value(), -32768);
    EXPECT_EQ(Text(), "-32768");
}

TEST_F(ValueSpinTest, ButtonsStepByIncrementWithinTheRange) {
    spin.SetIncrement(30);
    spin.SetValue(50);
    changes = 0;
    QTest::mouseClick(spin.UpDown()->UpButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 80);
    EXPECT_EQ(Text(), "80");
    QTest::mouseClick(spin.UpDown()->UpButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 100);
    QTest::mouseClick(spin.UpDown()->UpButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 100);
    QTest::mouseClick(spin.UpDown()->DownButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 70);
    EXPECT_EQ(Text(), "70");
    EXPECT_EQ(changes, 4);
    spin.SetValue(20);
    QTest::mouseClick(spin.UpDown()->DownButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 0);
}

TEST_F(ValueSpinTest, ButtonsStepFromATypedValue) {
    spin.Edit()->end(false);
    Type("42");
    QTest::mouseClick(spin.UpDown()->UpButton(), Qt::LeftButton);
    EXPECT_EQ(spin.Value(), 43);
    EXPECT_EQ(Text(), "43");
}

TEST_F(ValueSpinTest, ArrowKeysInTheEditStepByIncrement) {
    spin.SetIncrement(5);
    spin.SetValue(10);
    QTest::keyClick(spin.Edit(), Qt::Key_Up);
    EXPECT_EQ(spin.Value(), 15);
    EXPECT_EQ(Text(), "15");
    QTest::keyClick(spin.Edit(), Qt::Key_Down);
    QTest::keyClick(spin.Edit(), Qt::Key_Down);
    EXPECT_EQ(spin.Value(), 5);
    QTest::keyClick(spin.Edit(), Qt::Key_Down);
    EXPECT_EQ(spin.Value(), 0);
}

TEST_F(ValueSpinTest, ArrowKeysOnTheContainerStepByOne) {
    spin.SetIncrement(5);
    spin.SetValue(10);
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.Value(), 11);
    QTest::keyClick(&spin, Qt::Key_Down);
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.Value(), 9);
    spin.SetValue(100);
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.Value(), 100);
}

TEST_F(ValueSpinTest, ResizingGivesTheButtonsTheRightStripAndTheEditTheRest) {
    spin.show();
    spin.resize(100, 30);
    EXPECT_EQ(spin.UpDown()->geometry(), QRect(84, 0, 16, 30));
    EXPECT_EQ(spin.Edit()->geometry(), QRect(0, 0, 82, 30));
    // The designed size of the Interval spin.
    spin.resize(55, 18);
    EXPECT_EQ(spin.UpDown()->geometry(), QRect(39, 0, 16, 18));
    EXPECT_EQ(spin.Edit()->geometry(), QRect(0, 0, 37, 18));
}

TEST_F(ValueSpinTest, TheEditIsNotATabStopButTheSpinIs) {
    EXPECT_FALSE(spin.Edit()->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(spin.focusPolicy() & Qt::TabFocus);
}

// Focus needs a shown, active window.
class ValueSpinFocusTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        other = new QLineEdit(&window);
        spin = new TValueSpin(&window);
        layout->addWidget(other);
        layout->addWidget(spin);
        spin->OnEnter = [this] { ++enters; };
        spin->OnExit = [this] { ++exits; };
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        ASSERT_TRUE(other->hasFocus());
        enters = exits = 0;
    }

    QWidget window;
    QLineEdit* other = nullptr;
    TValueSpin* spin = nullptr;
    int enters = 0;
    int exits = 0;
};

TEST_F(ValueSpinFocusTest, FocusGivenToTheSpinGoesOnToItsEdit) {
    spin->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(spin->Edit()->hasFocus());
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 0);
    other->setFocus();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(enters, 1);
}

TEST_F(ValueSpinFocusTest, FocusComingFromItsOwnEditStaysOnTheContainer) {
    spin->Edit()->setFocus();
    ASSERT_TRUE(spin->Edit()->hasFocus());
    spin->setFocus(Qt::OtherFocusReason);
    EXPECT_TRUE(spin->hasFocus());
    // Moving between the edit and the container is not leaving the control.
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 0);
    spin->SetIncrement(10);
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->Value(), 1);
}

} // namespace
