#include "settings/IniParam.h"

#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

using testutil::ReadRaw;
using testutil::TempDir;
using testutil::WriteRaw;

namespace {

// The file that a save from scratch writes with every field at its default.
const std::string kFreshFile = "MEMOFONT=\"ＭＳ Ｐゴシック\",128,$80000008,0,9,0\r\n"
                               "WINDOWINFO=0,0,0,0,0\r\n"
                               "WHOISSWEEP=0\r\n"
                               "RESOLVEIP=0\r\n"
                               "CODEINDES=0\r\n"
                               "INTERVAL=1000\r\n"
                               "TIMEOUT=5\r\n"
                               "PINGCOUNT=5\r\n"
                               "AUTOCHANGE=0\r\n"
                               "TRACE-WHOIS=0\r\n"
                               "PANELALIGN=0\r\n"
                               "PINGDNS=0\r\n"
                               "SHOWCLOCK=0\r\n"
                               "SHOWPANEL=1\r\n"
                               "RDAP=1\r\n"
                               "SHOWRECORD=1\r\n"
                               "SHOWOWNERS=1\r\n";

class InitParamTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_.file("ZindorWhois.ini"); }
    void Given(const std::string& text) { WriteRaw(Path(), text); }
    std::string OnDisk() const { return ReadRaw(Path()); }

    TempDir dir_;
};

void ExpectDefaults(const TInitParam& p) {
    EXPECT_EQ(p.FLastHost, "");
    EXPECT_EQ(p.FLastWhois, "");
    EXPECT_EQ(p.FLastUser, "");
    EXPECT_FALSE(p.FWhoisSweep);
    EXPECT_FALSE(p.FResolveIP);
    EXPECT_EQ(p.FCodeInDes, 0);
    EXPECT_EQ(p.FInterval, 1000);
    EXPECT_EQ(p.FTimeOut, 5);
    EXPECT_EQ(p.FPingCount, 5);
    EXPECT_FALSE(p.FAutoChange);
    EXPECT_FALSE(p.FTraceWhois);
    EXPECT_FALSE(p.FPanelAlign);
    EXPECT_FALSE(p.FPingDns);
    EXPECT_FALSE(p.FSmtpExpn);
    EXPECT_FALSE(p.FShowClock);
    EXPECT_TRUE(p.FShowPanel);
    EXPECT_TRUE(p.FUseRdap);
    EXPECT_TRUE(p.FShowRecord);
    EXPECT_TRUE(p.FShowOwners);
    EXPECT_EQ(p.FAsServer, "");
    EXPECT_EQ(p.FWindowInfo, TWindowInfo{});
    EXPECT_EQ(p.FMemoFont, TFontRecord{});
}

TEST_F(InitParamTest, NewRecordIsZeroAndWritesNothing) {
    {
        TInitParam p;
        EXPECT_EQ(p.FInterval, 0);
        EXPECT_FALSE(p.FShowPanel);
        EXPECT_TRUE(p.FFileName.empty());
    }
    EXPECT_TRUE(dir_.entries().empty());
}

TEST_F(InitParamTest, MissingFileGivesDefaultsAndExitWritesTheFreshFile) {
    {
        TInitParam p;
        p.Load(Path());
        EXPECT_EQ(p.FFileName, Path());
        ExpectDefaults(p);
        EXPECT_TRUE(dir_.entries().empty()); // loading writes nothing
    }
    EXPECT_EQ(OnDisk(), kFreshFile);
}

TEST_F(InitParamTest, EmptyFileGivesDefaults) {
    Given("");
    TInitParam p;
    p.Load(Path());
    ExpectDefaults(p);
}

TEST_F(InitParamTest, LoadReadsEveryKeyInAnyCase) {
    Given("lasthost=example.jp\r\nLastWhois=whois.jprs.jp\r\nLASTUSER=abc\r\nWHOISSWEEP=1\r\n"
          "RESOLVEIP=1\r\nCODEINDES=3\r\nINTERVAL=2000\r\nTIMEOUT=7\r\nPINGCOUNT=9\r\n"
          "AUTOCHANGE=1\r\nTRACE-WHOIS=1\r\nPANELALIGN=1\r\nPINGDNS=1\r\nSMTPEXPN=1\r\n"
          "SHOWCLOCK=1\r\nSHOWPANEL=0\r\nrdap=0\r\nshowrecord=0\r\nshowowners=0\r\nASSERVER=as."
          "test\r\nWINDOWINFO=1,10,20,300,400\r\n"
          "MEMOFONT=FixedSys,128,$000000,1,9,2\r\n");
    TInitParam p;
    p.Load(Path());
    p.FFileName.clear(); // no save at the end of the test
    EXPECT_EQ(p.FLastHost, "example.jp");
    EXPECT_EQ(p.FLastWhois, "whois.jprs.jp");
    EXPECT_EQ(p.FLastUser, "abc");
    EXPECT_TRUE(p.FWhoisSweep);
    EXPECT_TRUE(p.FResolveIP);
    EXPECT_EQ(p.FCodeInDes, 3);
    EXPECT_EQ(p.FInterval, 2000);
    EXPECT_EQ(p.FTimeOut, 7);
    EXPECT_EQ(p.FPingCount, 9);
    EXPECT_TRUE(p.FAutoChange);
    EXPECT_TRUE(p.FTraceWhois);
    EXPECT_TRUE(p.FPanelAlign);
    EXPECT_TRUE(p.FPingDns);
    EXPECT_TRUE(p.FSmtpExpn);
    EXPECT_TRUE(p.FShowClock);
    EXPECT_FALSE(p.FShowPanel);
    EXPECT_FALSE(p.FUseRdap);
    EXPECT_FALSE(p.FShowRecord);
    EXPECT_FALSE(p.FShowOwners);
    EXPECT_EQ(p.FAsServer, "as.test");
    EXPECT_EQ(p.FWindowInfo.State, wsMinimized);
    EXPECT_EQ(p.FWindowInfo.Bounds, (TRect{10, 20, 300, 400}));
    EXPECT_EQ(p.FMemoFont.Name, "FixedSys");
    EXPECT_EQ(p.FMemoFont.Color, 0);
    EXPECT_EQ(p.FMemoFont.Style, fsBold);
    EXPECT_EQ(p.FMemoFont.Pitch, fpFixed);
}

TEST_F(InitParamTest, MalformedNumbersKeepTheirDefaultsAndLoadGoesOn) {
    Given("CODEINDES=x\r\nINTERVAL=abc\r\nTIMEOUT=7\r\nPINGCOUNT=\r\nAUTOCHANGE=1\r\n"
          "WINDOWINFO=0,1,2,three,4\r\nMEMOFONT=Face,128,$zz,0,9,0\r\nSHOWCLOCK=1\r\n");
    TInitParam p;
    p.Load(Path());
    p.FFileName.clear();
    EXPECT_EQ(p.FCodeInDes, 0);
    EXPECT_EQ(p.FInterval, 1000);
    EXPECT_EQ(p.FTimeOut, 7);
    EXPECT_EQ(p.FPingCount, 5);
    EXPECT_TRUE(p.FAutoChange);
    EXPECT_TRUE(p.FShowClock);
    EXPECT_EQ(p.FWindowInfo, TWindowInfo{});
    EXPECT_EQ(p.FMemoFont, TFontRecord{});
}

TEST_F(InitParamTest, OutOfRangeCodeIsPassedOnUnchanged) {
    Given("CODEINDES=9\r\nINTERVAL=-5\r\n");
    TInitParam p;
    p.Load(Path());
    p.FFileName.clear();
    EXPECT_EQ(p.FCodeInDes, 9);
    EXPECT_EQ(p.FInterval, -5);
}

TEST_F(InitParamTest, UserLinesSurviveSavesInPlace) {
    Given("SMTPEXPN=1\r\nLASTUSER=abc\r\n# my note\r\nINTERVAL=300\r\n");
    for (int run = 0; run < 3; ++run) {
        TInitParam p;
        p.Load(Path());
        EXPECT_TRUE(p.FSmtpExpn);
        EXPECT_EQ(p.FLastUser, "abc");
        p.FSmtpExpn = false; // never written, whatever the field says
    }
    const std::string text = OnDisk();
    EXPECT_EQ(text.rfind("SMTPEXPN=1\r\nLASTUSER=abc\r\n# my note\r\nINTERVAL=300\r\n", 0), 0u)
        << text;
    EXPECT_EQ(text.find("SMTPEXPN", 1), std::string::npos);
}

TEST_F(InitParamTest, EmptyHostRemovesItsLine) {
    Given("LASTHOST=old.example\r\nLASTWHOIS=whois.example\r\n");
    {
        TInitParam p;
        p.Load(Path());
        p.FLastHost.clear();
    }
    const std::string text = OnDisk();
    EXPECT_EQ(text.find("LASTHOST"), std::string::npos);
    EXPECT_EQ(text.rfind("LASTWHOIS=whois.example\r\n", 0), 0u);
}

TEST_F(InitParamTest, SaveRoundTripsEveryField) {
    {
        TInitParam p;
        p.Load(Path());
        p.FLastHost = "日本.jp";
        p.FLastWhois = "whois.nic.ad.jp";
        p.FWhoisSweep = true;
        p.FCodeInDes = 2;
        p.FInterval = 250;
        p.FTimeOut = 3;
        p.FPingCount = 100;
        p.FTraceWhois = true;
        p.FShowClock = true;
        p.FShowPanel = false;
        p.FUseRdap = false;
        p.FShowRecord = false;
        p.FShowOwners = false;
        p.FAsServer = "as.test";
        p.FWindowInfo = {{497, 130, 1120, 659}, wsNormal};
        p.FMemoFont = {"Noto Sans Mono CJK JP", 128, 0x00112233, fsBold | fsItalic, 11, fpFixed};
    }
    TInitParam q;
    q.Load(Path());
    q.FFileName.clear();
    EXPECT_EQ(q.FLastHost, "日本.jp");
    EXPECT_EQ(q.FLastWhois, "whois.nic.ad.jp");
    EXPECT_TRUE(q.FWhoisSweep);
    EXPECT_EQ(q.FCodeInDes, 2);
    EXPECT_EQ(q.FInterval, 250);
    EXPECT_EQ(q.FTimeOut, 3);
    EXPECT_EQ(q.FPingCount, 100);
    EXPECT_TRUE(q.FTraceWhois);
    EXPECT_TRUE(q.FShowClock);
    EXPECT_FALSE(q.FShowPanel);
    EXPECT_FALSE(q.FUseRdap);
    EXPECT_FALSE(q.FShowRecord);
    EXPECT_FALSE(q.FShowOwners);
    EXPECT_EQ(q.FAsServer, "as.test");
    EXPECT_EQ(q.FWindowInfo, (TWindowInfo{{497, 130, 1120, 659}, wsNormal}));
    EXPECT_EQ(q.FMemoFont, (TFontRecord{"Noto Sans Mono CJK JP", 128, 0x00112233, fsBold | fsItalic,
                                        11, fpFixed}));
    EXPECT_NE(OnDisk().find("WINDOWINFO=0,497,130,1120,659\r\n"), std::string::npos);
}

TEST_F(InitParamTest, WindowMaximizedAtExitKeepsTheLoadedBounds) {
    Given("WINDOWINFO=2,10,10,500,400\r\n");
    {
        TInitParam p;
        p.Load(Path());
        EXPECT_EQ(p.FWindowInfo, (TWindowInfo{{10, 10, 500, 400}, wsMaximized}));
    }
    EXPECT_EQ(OnDisk().rfind("WINDOWINFO=2,10,10,500,400\r\nMEMOFONT=", 0), 0u);
}

TEST_F(InitParamTest, UnreadableFileGivesDefaultsAndIsNotOverwritten) {
    // /proc/self/mem opens but cannot be read from its start, even by root.
    TInitParam p;
    testing::internal::CaptureStderr();
    p.Load("/proc/self/mem");
    std::string err = testing::internal::GetCapturedStderr();
    ExpectDefaults(p);
    EXPECT_NE(err.find("は開けません"), std::string::npos);
    EXPECT_THROW(p.Save(), EFOpenError);
    p.FFileName.clear();
}

TEST_F(InitParamTest, FailedSaveAtExitIsReportedAndDoesNotThrow) {
    const std::string path = dir_.file("gone/ZindorWhois.ini");
    auto p = std::make_unique<TInitParam>();
    p->Load(path);
    EXPECT_THROW(p->Save(), EFCreateError);
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(p.reset());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ファイル " + path + " を作成できません\n");
}

TEST_F(InitParamTest, GlobalRecordStartsEmpty) {
    EXPECT_TRUE(InitParam.FFileName.empty());
    EXPECT_EQ(InitParam.FInterval, 0);
}

} // namespace
