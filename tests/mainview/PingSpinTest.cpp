// The three spin edits of the PING group, typed into as a user would, and what they leave
// in the settings file.
#include "tests/mainview/FormFixture.h"

#include "controls/SpinBtns.h"

#include <QTest>

#include <algorithm>

namespace {

class PingSpinTest : public FormFixture {
protected:
    // Selects the edit's text and types over it.
    static void TypeOver(TValueSpin* spin, const char* keys) {
        spin->Edit()->selectAll();
        QTest::keyClicks(spin->Edit(), QString::fromLatin1(keys));
    }
    bool Saved(const std::string& line) const {
        const auto lines = SettingsLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

} // namespace

TEST_F(PingSpinTest, RangesAndStepsOfTheThreeEdits) {
    TMainForm& f = Start();
    EXPECT_EQ(f.PingCount->Min(), 0);
    EXPECT_EQ(f.PingCount->Max(), 100);
    EXPECT_EQ(f.Interval->Min(), 0);
    EXPECT_EQ(f.Interval->Max(), 32767);
    EXPECT_EQ(f.TimeOut->Min(), 0);
    EXPECT_EQ(f.TimeOut->Max(), 600);
    for (TValueSpin* s : {f.PingCount, f.Interval, f.TimeOut})
        EXPECT_EQ(s->Increment(), 1) << s->objectName().toStdString();
}

TEST_F(PingSpinTest, TypedValuesAreLimitedAndReachTheSettingsFile) {
    TMainForm& f = Start();
    TypeOver(f.TimeOut, "700");
    EXPECT_EQ(f.TimeOut->Edit()->text(), QStringLiteral("600"));
    TypeOver(f.PingCount, "x-12");
    EXPECT_EQ(f.PingCount->Value(), 12);
    TypeOver(f.Interval, "0250");
    EXPECT_EQ(f.Interval->Edit()->text(), QStringLiteral("250"));
    // The arrow keys in an edit step it by one within the range.
    f.TimeOut->Edit()->setFocus();
    QTest::keyClick(f.TimeOut->Edit(), Qt::Key_Up);
    EXPECT_EQ(f.TimeOut->Value(), 600);
    QTest::keyClick(f.TimeOut->Edit(), Qt::Key_Down);
    EXPECT_EQ(f.TimeOut->Value(), 599);
    Shutdown();
    EXPECT_TRUE(Saved("TIMEOUT=599"));
    EXPECT_TRUE(Saved("PINGCOUNT=12"));
    EXPECT_TRUE(Saved("INTERVAL=250"));
}

TEST_F(PingSpinTest, ErasedEditSavesZero) {
    TMainForm& f = Start();
    f.PingCount->Edit()->selectAll();
    QTest::keyClick(f.PingCount->Edit(), Qt::Key_Backspace);
    EXPECT_EQ(f.PingCount->Edit()->text(), QStringLiteral("0"));
    Shutdown();
    EXPECT_TRUE(Saved("PINGCOUNT=0"));
}

TEST_F(PingSpinTest, StoredValuesOutsideTheRangesAreLimitedAndSavedLimited) {
    WriteFile("zindor-whois.ini", "TIMEOUT=-4\r\nPINGCOUNT=4000000000\r\nINTERVAL=70000\r\n");
    TMainForm& f = Start();
    EXPECT_EQ(f.TimeOut->Value(), 0);
    EXPECT_EQ(f.Interval->Value(), 32767);
    // A number beyond 32 bits does not stop the start; whatever it became is in range.
    EXPECT_GE(f.PingCount->Value(), 0);
    EXPECT_LE(f.PingCount->Value(), 100);
    Shutdown();
    EXPECT_TRUE(Saved("TIMEOUT=0"));
    EXPECT_TRUE(Saved("INTERVAL=32767"));
}
