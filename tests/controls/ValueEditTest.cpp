#include "controls/SpinBtns.h"

#include <QTest>

#include <gtest/gtest.h>

#include <climits>

namespace {

// Every case types through real key events into the edit, as a user would.
class ValueEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        edit.OnChange = [this] { ++changes; };
    }
    void Type(const char* keys) { QTest::keyClicks(&edit, QString::fromLatin1(keys)); }
    std::string Text() const { return edit.text().toStdString(); }

    TValueEdit edit;
    int changes = 0;
};

TEST_F(ValueEditTest, StartsAsARightAlignedZeroFortyPixelsWide) {
    EXPECT_EQ(Text(), "0");
    EXPECT_EQ(edit.width(), 40);
    EXPECT_TRUE(edit.alignment() & Qt::AlignRight);
    EXPECT_EQ(edit.MaxColumn(), 0);
    EXPECT_EQ(edit.Scale(), 0);
    EXPECT_EQ(edit.Base(), 1);
}

TEST_F(ValueEditTest, LettersAndTheMinusSignAreRefused) {
    edit.SetValue(12);
    changes = 0;
    Type("a-Z +x");
    EXPECT_EQ(Text(), "12");
    EXPECT_EQ(changes, 0);
}

TEST_F(ValueEditTest, ADigitTypedIntoALoneZeroReplacesIt) {
    edit.setCursorPosition(1);
    Type("5");
    EXPECT_EQ(Text(), "5");
    EXPECT_EQ(edit.Value(), 5);
    EXPECT_EQ(changes, 1);

    edit.SetValue(0);
    edit.setCursorPosition(0);
    Type("8");
    EXPECT_EQ(Text(), "8");
}

TEST_F(ValueEditTest, DigitsAppendAndAZeroIsKeptAfterOtherDigits) {
    edit.setCursorPosition(1);
    Type("102");
    EXPECT_EQ(Text(), "102");
    EXPECT_EQ(changes, 3);
}

TEST_F(ValueEditTest, ALeadingPointGetsAZeroInFront) {
    edit.clear();
    changes = 0;
    Type(".5");
    EXPECT_EQ(Text(), "0.5");
    EXPECT_EQ(edit.Value(), 5);

    edit.setText(QStringLiteral("25"));
    edit.setCursorPosition(0);
    Type(".");
    EXPECT_EQ(Text(), "0.25");
}

TEST_F(ValueEditTest, ASecondPointIsAlwaysRefused) {
    edit.clear();
    Type("1.2");
    changes = 0;
    Type(".");
    edit.setCursorPosition(0);
    Type(".");
    EXPECT_EQ(Text(), "1.2");
    EXPECT_EQ(changes, 0);
}

TEST_F(ValueEditTest, ScaleLimitsTheDecimalsTypedAfterThePoint) {
    edit.SetScale(2);
    edit.setCursorPosition(1);
    Type("1.25");
    EXPECT_EQ(Text(), "1.25");
    Type("3");
    EXPECT_EQ(Text(), "1.25");
    // Before the point digits still go in, and control keys pass after it.
    edit.setCursorPosition(0);
    Type("3");
    EXPECT_EQ(Text(), "31.25");
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(Text(), "31.2");
    Type("7");
    EXPECT_EQ(Text(), "31.27");
}

TEST_F(ValueEditTest, MaxColumnKeepsTheLastCharactersTyped) {
    edit.SetMaxColumn(3);
    edit.setCursorPosition(1);
    Type("123");
    EXPECT_EQ(Text(), "123");
    Type("4");
    EXPECT_EQ(Text(), "234");
    EXPECT_EQ(edit.cursorPosition(), 3);
    // What is left is normalised again: the zero that moves to the front goes.
    edit.setText(QStringLiteral("905"));
    edit.end(false);
    Type("1");
    EXPECT_EQ(Text(), "51");
}

TEST_F(ValueEditTest, SettingMaxColumnCutsTheTextAtOnce) {
    edit.SetValue(123456);
    changes = 0;
    edit.SetMaxColumn(4);
    EXPECT_EQ(Text(), "3456");
    EXPECT_EQ(changes, 1);
    // The same value again does nothing.
    edit.SetMaxColumn(4);
    EXPECT_EQ(changes, 1);
}

TEST_F(ValueEditTest, EveryTextChangeIsNormalised) {
    const std::pair<const char*, const char*> cases[] = {
        {"007", "7"}, {"0", "0"}, {"00.5", "0.5"}, {".25", "0.25"}, {"", ""}, {"000", "0"}};
    for (auto [in, out] : cases) {
        edit.setText(QString::fromLatin1(in));
        EXPECT_EQ(Text(), out) << in;
        EXPECT_EQ(TValueEdit::Normalize(in), out) << in;
    }
}

TEST_F(ValueEditTest, BackspaceAndDeleteEditTheText) {
    edit.SetValue(456);
    edit.setCursorPosition(3);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(Text(), "45");
    edit.setCursorPosition(0);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(Text(), "5");
    // Removing the 1 of 100 leaves 00, which settles on 0.
    edit.SetValue(100);
    edit.setCursorPosition(1);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(Text(), "0");
}

TEST_F(ValueEditTest, AReadOnlyEditKeepsItsText) {
    edit.setReadOnly(true);
    edit.setCursorPosition(1);
    Type("5.");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(Text(), "0");
    EXPECT_EQ(changes, 0);
}

TEST_F(ValueEditTest, TheKeyPressEventCanDropAKey) {
    edit.OnKeyPress = [](char& key) {
        if (key == '9')
            key = 0;
    };
    edit.clear();
    Type("192");
    EXPECT_EQ(Text(), "12");
}

TEST_F(ValueEditTest, ValueReadsTheTextWithoutItsPoint) {
    edit.setText(QStringLiteral("12.5"));
    EXPECT_EQ(edit.Value(), 125);
    edit.SetScale(3);
    EXPECT_EQ(edit.Value(), 125);
    edit.clear();
    EXPECT_EQ(edit.Value(), 0);
    edit.SetValue(-42);
    EXPECT_EQ(Text(), "-42");
    EXPECT_EQ(edit.Value(), -42);
}

TEST_F(ValueEditTest, NumbersBeyondThirtyTwoBitsSaturateAndJunkReadsAsZero) {
    edit.clear();
    Type("99999999999999999999");
    EXPECT_EQ(edit.Value(), INT_MAX);
    edit.setText(QStringLiteral("-99999999999"));
    EXPECT_EQ(edit.Value(), INT_MIN);
    // Pasted text bypasses the key filter; it must not break the reading.
    edit.setText(QStringLiteral("abc"));
    EXPECT_EQ(edit.Value(), 0);
    edit.setText(QStringLiteral("12x"));
    EXPECT_EQ(edit.Value(), 0);
}

TEST_F(ValueEditTest, ScaledValueReadsWithScaleDecimalsTimesBase) {
    edit.SetScale(2);
    edit.setText(QStringLiteral("1.5"));
    EXPECT_EQ(edit.ScaledValue(), 150);
    edit.setText(QStringLiteral("15"));
    EXPECT_EQ(edit.ScaledValue(), 1500);
    edit.clear();
    EXPECT_EQ(edit.ScaledValue(), 0);

    edit.SetScaledValue(150);
    EXPECT_EQ(Text(), "1.50");
    edit.SetScaledValue(5);
    EXPECT_EQ(Text(), "0.05");
    edit.SetScaledValue(-5);
    EXPECT_EQ(Text(), "-0.05");
    EXPECT_EQ(edit.ScaledValue(), -5);
}

TEST_F(ValueEditTest, BaseRewritesTheTextAsTheScaledValue) {
    edit.SetScale(2);
    edit.setText(QStringLiteral("1.5"));
    edit.SetBase(1);
    EXPECT_EQ(edit.Base(), 1);
    EXPECT_EQ(Text(), "1.5");
    edit.SetBase(0);
    EXPECT_EQ(edit.Base(), 1);

    edit.SetBase(10);
    EXPECT_EQ(edit.Base(), 10);
    EXPECT_EQ(Text(), "1.50");
    EXPECT_EQ(edit.ScaledValue(), 1500);
    edit.SetScaledValue(1234);
    EXPECT_EQ(Text(), "1.23");

    edit.SetScaledValue(INT_MAX);
    edit.SetBase(1000);
    // The overflowing reread saturates instead of wrapping.
    EXPECT_EQ(edit.ScaledValue(), INT_MAX / 1000 * 1000);
}

TEST_F(ValueEditTest, ScaleCutsDecimalsTheTextAlreadyHas) {
    edit.setText(QStringLiteral("1.2345"));
    edit.SetScale(3);
    EXPECT_EQ(Text(), "1.234");
    edit.SetScale(5);
    EXPECT_EQ(Text(), "1.234");
    // A smaller Scale cuts too, so the text never has more decimals than allowed.
    edit.SetScale(1);
    EXPECT_EQ(Text(), "1.2");
    EXPECT_EQ(edit.Scale(), 1);
    edit.SetScale(0);
    EXPECT_EQ(Text(), "1.2");
    EXPECT_EQ(edit.Scale(), 0);
}

} // namespace
