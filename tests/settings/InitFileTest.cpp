#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <unistd.h>

using Lines = std::vector<std::string>;
using testutil::ReadRaw;
using testutil::TempDir;
using testutil::WriteRaw;

namespace {

class InitFileTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_.file("Zindor.ini"); }
    void Given(const std::string& text) { WriteRaw(Path(), text); }
    std::string OnDisk() const { return ReadRaw(Path()); }

    TempDir dir_;
};

TEST_F(InitFileTest, MissingFileGivesDefaultsAndIsNotCreated) {
    {
        TInitFile f(Path());
        EXPECT_TRUE(f.Lines().empty());
        EXPECT_FALSE(f.Modified());
        EXPECT_EQ(f.ReadString("LASTHOST", "dflt"), "dflt");
        EXPECT_EQ(f.ReadInteger("INTERVAL", 1000), 1000);
        EXPECT_TRUE(f.ReadBool("SHOWPANEL", true));
        EXPECT_EQ(f.ReadWindowInfo("WINDOWINFO"), TWindowInfo{});
        TFontRecord font;
        font.Name = "keep";
        f.ReadFont("MEMOFONT", font);
        EXPECT_EQ(font.Name, "keep");
        EXPECT_FALSE(f.Modified());
    }
    EXPECT_TRUE(dir_.entries().empty());
}

TEST_F(InitFileTest, EmptyFileNameNeverWrites) {
    {
        TInitFile f("");
        f.WriteString("A", "1");
        EXPECT_TRUE(f.Modified());
        EXPECT_NO_THROW(f.UpdateFile());
    }
    EXPECT_TRUE(dir_.entries().empty());
}

TEST_F(InitFileTest, OnlyReadAccessorLeavesTheFileAlone) {
    const std::string text = "lasthost=x\nodd line";
    Given(text);
    {
        TInitFile f(Path());
        EXPECT_EQ(f.ReadString("LASTHOST", ""), "x");
        EXPECT_EQ(f.Lines(), (Lines{"lasthost=x", "odd line"}));
    }
    EXPECT_EQ(OnDisk(), text);
}

TEST_F(InitFileTest, NamesIgnoreCaseButNotBlanks) {
    Given("lasthost=abc\r\nLASTWHOIS =whois.example\r\nnoequals\r\n");
    TInitFile f(Path());
    EXPECT_EQ(f.ReadString("LASTHOST", "-"), "abc");
    EXPECT_EQ(f.ReadString("LastHost", "-"), "abc");
    EXPECT_EQ(f.ReadString("LASTWHOIS", "-"), "-");
    EXPECT_EQ(f.ReadString("LASTWHOIS ", "-"), "whois.example");
    EXPECT_EQ(f.ReadString("noequals", "-"), "-");
}

TEST_F(InitFileTest, ValueIsEverythingAfterTheFirstEquals) {
    Given("A= spaced value \r\nB=x=y\r\nC==\r\n");
    TInitFile f(Path());
    EXPECT_EQ(f.ReadString("A", ""), " spaced value ");
    EXPECT_EQ(f.ReadString("B", ""), "x=y");
    EXPECT_EQ(f.ReadString("C", ""), "=");
    EXPECT_EQ(f.ReadString("B=x", "-"), "-");
}

TEST_F(InitFileTest, WriteReplacesInPlaceWithTheCallersSpelling) {
    Given("first\r\nlasthost=abc\r\nlast\r\n");
    {
        TInitFile f(Path());
        f.WriteString("LASTHOST", "new.example");
        EXPECT_EQ(f.Lines(), (Lines{"first", "LASTHOST=new.example", "last"}));
    }
    EXPECT_EQ(OnDisk(), "first\r\nLASTHOST=new.example\r\nlast\r\n");
}

TEST_F(InitFileTest, MissingKeysAreAppendedInWriteOrder) {
    Given("X=1");
    TInitFile f(Path());
    f.WriteInteger("B", 2);
    f.WriteBool("A", true);
    EXPECT_EQ(f.Lines(), (Lines{"X=1", "B=2", "A=1"}));
}

TEST_F(InitFileTest, DuplicatesReadAndReplaceOnlyTheFirst) {
    Given("K=first\r\nk=second\r\n");
    TInitFile f(Path());
    EXPECT_EQ(f.ReadString("K", ""), "first");
    f.WriteString("K", "new");
    EXPECT_EQ(f.Lines(), (Lines{"K=new", "k=second"}));
    f.WriteString("K", "");
    EXPECT_EQ(f.Lines(), Lines{"k=second"});
    EXPECT_EQ(f.ReadString("K", ""), "second");
}

TEST_F(InitFileTest, EmptyTextRemovesTheLine) {
    Given("A=1\r\nLASTHOST=abc\r\nB=2\r\n");
    TInitFile f(Path());
    f.WriteString("LASTHOST", "");
    EXPECT_EQ(f.Lines(), (Lines{"A=1", "B=2"}));
    EXPECT_EQ(f.ReadString("LASTHOST", "dflt"), "dflt");
}

TEST_F(InitFileTest, EveryWriteSetsModifiedEvenWithoutChange) {
    TInitFile f(Path());
    f.WriteString("NOTTHERE", "");
    EXPECT_TRUE(f.Lines().empty());
    EXPECT_TRUE(f.Modified());
}

TEST_F(InitFileTest, WritingTwiceLeavesOneLine) {
    TInitFile f(Path());
    f.WriteInteger("INTERVAL", 1);
    f.WriteInteger("interval", -250);
    EXPECT_EQ(f.Lines(), Lines{"interval=-250"});
    EXPECT_EQ(f.ReadInteger("INTERVAL", 0), -250);
}

TEST_F(InitFileTest, NameWithNothingAfterEqualsIsPresent) {
    Given("LASTHOST=\r\n");
    TInitFile f(Path());
    EXPECT_EQ(f.ReadString("LASTHOST", "dflt"), "");
    EXPECT_FALSE(f.ReadBool("LASTHOST", true));
    try {
        f.ReadInteger("LASTHOST", 5);
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'' は整数ではありません");
    }
}

TEST_F(InitFileTest, BooleanIsTrueOnlyForOne) {
    Given("T=1\r\nA=true\r\nB=yes\r\nC=-1\r\nD=01\r\nE= 1\r\nF=0\r\nG=1 \r\n");
    TInitFile f(Path());
    EXPECT_TRUE(f.ReadBool("T", false));
    for (const char* key : {"A", "B", "C", "D", "E", "F", "G"})
        EXPECT_FALSE(f.ReadBool(key, true)) << key;
}

TEST_F(InitFileTest, IntegersAcceptBlanksSignsAndHexadecimal) {
    Given("A=  12\r\nB=-3\r\nC=$1F\r\nD=+4\r\nE=12abc\r\n");
    TInitFile f(Path());
    EXPECT_EQ(f.ReadInteger("A", 0), 12);
    EXPECT_EQ(f.ReadInteger("B", 0), -3);
    EXPECT_EQ(f.ReadInteger("C", 0), 31);
    EXPECT_EQ(f.ReadInteger("D", 0), 4);
    EXPECT_THROW(f.ReadInteger("E", 0), EConvertError);
}

TEST_F(InitFileTest, FontIsWrittenAsSixItems) {
    TFontRecord font;
    font.Name = "FixedSys";
    font.Charset = 128;
    font.Color = 0;
    font.Style = fsBold;
    font.Size = 9;
    font.Pitch = fpFixed;
    {
        TInitFile f(Path());
        f.WriteFont("MEMOFONT", font);
    }
    EXPECT_EQ(OnDisk(), "MEMOFONT=FixedSys,128,$000000,1,9,2\r\n");
}

TEST_F(InitFileTest, FontRoundTripsQuotedNamesAndSystemColours) {
    TFontRecord font;
    font.Name = "My \"Quoted\", Face";
    font.Charset = 0;
    font.Color = clWindowText;
    font.Style = fsItalic | fsUnderline | fsStrikeOut;
    font.Size = 12;
    font.Pitch = fpVariable;
    {
        TInitFile f(Path());
        f.WriteFont("MEMOFONT", font);
        EXPECT_EQ(f.Lines(), Lines{"MEMOFONT=\"My \"\"Quoted\"\", Face\",0,$80000008,14,12,1"});
    }
    TInitFile f(Path());
    TFontRecord back;
    back.Style = 0;
    f.ReadFont("MEMOFONT", back);
    EXPECT_EQ(back, font);
    EXPECT_EQ(back.Color, static_cast<std::int32_t>(0x80000008u));
}

TEST_F(InitFileTest, ReadFontAddsStylesMasksCharsetAndMapsPitch) {
    Given("F=Face,384,$0000FF,2,10,7\r\n");
    TInitFile f(Path());
    TFontRecord font;
    font.Style = fsBold;
    f.ReadFont("F", font);
    EXPECT_EQ(font.Name, "Face");
    EXPECT_EQ(font.Charset, 128); // only the low 8 bits
    EXPECT_EQ(font.Color, 0xFF);
    EXPECT_EQ(font.Style, fsBold | fsItalic); // bold stays on
    EXPECT_EQ(font.Size, 10);
    EXPECT_EQ(font.Pitch, fpDefault);
}

TEST_F(InitFileTest, FontOfAnotherShapeLeavesTheFontUnchanged) {
    Given("FIVE=a,1,$0,0,9\r\nSEVEN=a,1,$0,0,9,0,0\r\nBAD=a,1,$0,bold,9,0\r\n");
    TInitFile f(Path());
    const TFontRecord original;
    TFontRecord font;
    f.ReadFont("FIVE", font);
    EXPECT_EQ(font, original);
    f.ReadFont("SEVEN", font);
    EXPECT_EQ(font, original);
    EXPECT_THROW(f.ReadFont("BAD", font), EConvertError);
    EXPECT_EQ(font, original); // not half changed
}

TEST_F(InitFileTest, WindowInfoIsWrittenAsStateAndBounds) {
    TWindowInfo info;
    info.Bounds = {497, 130, 1120, 659};
    info.State = wsNormal;
    TInitFile f(Path());
    f.WriteWindowInfo("WINDOWINFO", info);
    info.State = wsMaximized;
    info.Bounds = {-8, -8, 1288, 1032};
    f.WriteWindowInfo("W2", info);
    info.State = static_cast<TWindowState>(7); // not a known state
    f.WriteWindowInfo("W3", info);
    EXPECT_EQ(f.Lines(), (Lines{"WINDOWINFO=0,497,130,1120,659", "W2=2,-8,-8,1288,1032",
                                "W3=0,-8,-8,1288,1032"}));
}

TEST_F(InitFileTest, ReadWindowInfoCases) {
    Given("MAX=2,0,0,800,600\r\nMIN= 1 , 1,2,3,4\r\nFOUR=0,1,2,3\r\nSIX=0,1,2,3,4,5\r\n"
          "ODD=5,1,2,3,4\r\nNEG=-1,1,2,3,4\r\nBAD=0,1,x,3,4\r\n");
    TInitFile f(Path());
    TWindowInfo max = f.ReadWindowInfo("MAX");
    EXPECT_EQ(max.State, wsMaximized);
    EXPECT_EQ(max.Bounds, (TRect{0, 0, 800, 600}));
    TWindowInfo min = f.ReadWindowInfo("MIN");
    EXPECT_EQ(min.State, wsMinimized);
    EXPECT_EQ(min.Bounds, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(f.ReadWindowInfo("FOUR"), TWindowInfo{});
    EXPECT_EQ(f.ReadWindowInfo("SIX"), TWindowInfo{});
    EXPECT_EQ(f.ReadWindowInfo("ODD").State, wsNormal);
    EXPECT_EQ(f.ReadWindowInfo("ODD").Bounds, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(f.ReadWindowInfo("NEG").State, wsNormal);
    EXPECT_THROW(f.ReadWindowInfo("BAD"), EConvertError);
}

TEST_F(InitFileTest, ForeignLinesStayInPlaceThroughASave) {
    Given("; a comment\r\n\r\n[Section]\r\nINTERVAL=5\n\rUSER KEY=x\r\n   \r\n");
    {
        TInitFile f(Path());
        f.WriteInteger("INTERVAL", 300);
        f.WriteBool("NEW", true);
    }
    EXPECT_EQ(OnDisk(),
              "; a comment\r\n\r\n[Section]\r\nINTERVAL=300\r\n\r\nUSER KEY=x\r\n   \r\nNEW=1\r\n");
}

TEST_F(InitFileTest, FilesWithOnlyCrOrOnlyLfLineEndsAreReadAndWrittenBackWithCrLf) {
    for (const std::string end : {"\r", "\n"}) {
        Given("INTERVAL=250" + end + "lasthost=a.example" + end + "SHOWPANEL=0" + end +
              "TIMEOUT=9");
        {
            TInitFile f(Path());
            EXPECT_EQ(f.Lines().size(), 4u);
            EXPECT_EQ(f.ReadInteger("INTERVAL", 0), 250);
            EXPECT_EQ(f.ReadString("LASTHOST", ""), "a.example");
            EXPECT_FALSE(f.ReadBool("SHOWPANEL", true));
            EXPECT_EQ(f.ReadInteger("TIMEOUT", 0), 9); // the last line needs no line end
            f.WriteString("LASTHOST", "b.example");
        }
        EXPECT_EQ(OnDisk(), "INTERVAL=250\r\nLASTHOST=b.example\r\nSHOWPANEL=0\r\nTIMEOUT=9\r\n");
    }
}

// The damaged line is left out and named; the lines after it survive.
TEST_F(InitFileTest, LinesAfterAZeroByteSurvive) {
    Given(std::string("A=1\r\nB=x\0y\r\nC=3\r\n", 17));
    platform::TakeSkippedLines();
    {
        TInitFile f(Path());
        EXPECT_EQ(f.ReadInteger("C", 0), 3);
        f.WriteInteger("A", 2);
    }
    EXPECT_EQ(OnDisk(), "A=2\r\nC=3\r\n");
    const auto skipped = platform::TakeSkippedLines();
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].lines, std::vector<size_t>{2});
}

TEST_F(InitFileTest, LegacyCp932FileIsReadAndRewrittenAsUtf8) {
    Given("LASTHOST=\x93\xFA\x96\x7B.jp\r\nMEMOFONT=\"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56"
          "\x83\x62\x83\x4E\",128,$000000,0,9,1\r\n");
    {
        TInitFile f(Path());
        EXPECT_EQ(f.ReadString("LASTHOST", ""), "日本.jp");
        TFontRecord font;
        f.ReadFont("MEMOFONT", font);
        EXPECT_EQ(font.Name, "ＭＳ Ｐゴシック");
        EXPECT_EQ(font.Pitch, fpVariable);
        f.WriteBool("X", false);
    }
    EXPECT_EQ(OnDisk(),
              "LASTHOST=日本.jp\r\nMEMOFONT=\"ＭＳ Ｐゴシック\",128,$000000,0,9,1\r\nX=0\r\n");
}

TEST_F(InitFileTest, UnreadableFileFailsCreation) {
    // Opens, but every read fails: a stand-in for an unreadable file that works for root too.
    try {
        TInitFile f("/proc/self/mem");
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_STREQ(e.what(), "ファイル /proc/self/mem は開けません");
    }
    if (::geteuid() != 0) {
        Given("A=1\r\n");
        ASSERT_EQ(::chmod(Path().c_str(), 0), 0);
        EXPECT_THROW(TInitFile f(Path()), EFOpenError);
    }
}

TEST_F(InitFileTest, FailedWriteIsACreateError) {
    const std::string path = dir_.file("missing/Zindor.ini");
    TInitFile f(path);
    f.WriteString("A", "1");
    try {
        f.UpdateFile();
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + path + " を作成できません");
        // The file and the system's reason, for a window that says why.
        EXPECT_EQ(e.Path(), path);
        EXPECT_EQ(e.Error(), ENOENT);
    }
    EXPECT_FALSE(f.Modified()); // not retried by the destructor
}

TEST_F(InitFileTest, FailedWriteBackAtDestructionGoesToStandardError) {
    const std::string path = dir_.file("missing/Zindor.ini");
    testing::internal::CaptureStderr();
    {
        TInitFile f(path);
        f.WriteString("A", "1");
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "ファイル " + path + " を作成できません\n");
}

TEST_F(InitFileTest, UpdateFileWritesNowAndOnlyOnce) {
    Given("A=old\r\n");
    {
        TInitFile f(Path());
        f.WriteString("A", "new");
        f.UpdateFile();
        EXPECT_FALSE(f.Modified());
        EXPECT_EQ(OnDisk(), "A=new\r\n");
        // Changed on disk behind the accessor's back: an unmodified accessor leaves it.
        Given("A=other\r\n");
    }
    EXPECT_EQ(OnDisk(), "A=other\r\n");
}

} // namespace
