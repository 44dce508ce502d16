#include "engine/WhoisText.h"
#include "engine/WhoisChain.h"

#include "kanjconv/KanjConv.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Keys = std::vector<std::string>;
using namespace std::string_literals;

const std::string kNe = "\xE3\x83\x8D"; // "ネ" in UTF-8

// ---- line breaks ------------------------------------------------------------------------

TEST(NormalizeLineBreaks, EveryLoneCrOrLfBecomesCrLf) {
    EXPECT_EQ(NormalizeLineBreaks("a\r\nb"), "a\r\nb");
    EXPECT_EQ(NormalizeLineBreaks("a\nb\rc"), "a\r\nb\r\nc");
    EXPECT_EQ(NormalizeLineBreaks("a\n\rb"), "a\r\n\r\nb"); // LF CR is two breaks
    EXPECT_EQ(NormalizeLineBreaks("\r\r\n\n"), "\r\n\r\n\r\n");
    EXPECT_EQ(NormalizeLineBreaks("end\r"), "end\r\n");
    EXPECT_EQ(NormalizeLineBreaks(""), "");
}

TEST(NormalizeLineBreaks, ShiftJisPairsAndZeroBytesPassThrough) {
    // "表" is 0x95 0x5C: its trail byte is a backslash, copied as part of the pair.
    EXPECT_EQ(NormalizeLineBreaks("\x95\x5C\n"), "\x95\x5C\r\n");
    EXPECT_EQ(NormalizeLineBreaks("a\0b\n"s), "a\0b\r\n"s);
    // A lead byte at the very end has nothing after it to pair with.
    EXPECT_EQ(NormalizeLineBreaks("x\x82"), "x\x82");
}

TEST(NormalizeLineBreaks, BreakAfterCharacterEndingInLeadByteIsKept) {
    // "ド" is E3 83 89 in UTF-8; 0x89 looks like a Shift-JIS lead byte. Taking the LF after
    // it as a trail byte would leave a bare LF (or, for CR LF, an extra CR) in the text.
    EXPECT_EQ(NormalizeLineBreaks("\xE3\x83\x89\nx"), "\xE3\x83\x89\r\nx");
    EXPECT_EQ(NormalizeLineBreaks("\xE3\x83\x89\r\nx"), "\xE3\x83\x89\r\nx");
    // EUC "報" is CA F3; 0xF3 is in the lead range too.
    EXPECT_EQ(NormalizeLineBreaks("\xCA\xF3\n"), "\xCA\xF3\r\n");
}

// ---- code conversion --------------------------------------------------------------------

TEST(ConvertCode, ModesPickTheConversion) {
    const std::string jis = "\x1B$B%M\x1B(B";
    const std::string euc = "\xA5\xCD";
    const std::string sjis = "\x83\x6C";
    EXPECT_EQ(ConvertCode(jis, kCodeAuto), sjis);
    EXPECT_EQ(ConvertCode(jis, kCodeJis), sjis);
    EXPECT_EQ(ConvertCode(euc, kCodeEuc), sjis);
    EXPECT_EQ(ConvertCode(euc, kCodeAuto), sjis);
    EXPECT_EQ(ConvertCode(jis, kCodeSjis), jis);
    EXPECT_EQ(ConvertCode(euc, kCodeUtf8), euc);
    EXPECT_EQ(ConvertCode(euc, 7), euc);
}

TEST(AnswerToUtf8, AutomaticModeDecodesJapaneseEncodings) {
    EXPECT_EQ(AnswerToUtf8("a \x1B$B%M\x1B(B b", kCodeAuto), "a " + kNe + " b");
    EXPECT_EQ(AnswerToUtf8("a \xA5\xCD b", kCodeAuto), "a " + kNe + " b");
    EXPECT_EQ(AnswerToUtf8("a \x83\x6C b", kCodeAuto), "a " + kNe + " b");
    EXPECT_EQ(AnswerToUtf8("plain ascii", kCodeAuto), "plain ascii");
    EXPECT_EQ(AnswerToUtf8("a " + kNe + " b", kCodeAuto), "a " + kNe + " b");
}

TEST(AnswerToUtf8, AutomaticModeKeepsUtf8ThatPassesOnlyTheEucTest) {
    // "ド事." in UTF-8: every run of high bytes pairs up, and the Shift-JIS test fails on
    // the last byte of "事" (a lead byte before "."), so detection alone says EUC.
    const std::string text = "\xE3\x83\x89\xE4\xBA\x8B.";
    ASSERT_EQ(IsSjisText(text) | IsEucText(text) | IsJisText(text), kEucFlag);
    EXPECT_EQ(AnswerToUtf8(text, kCodeAuto), text);
}

TEST(AnswerToUtf8, FixedModesDecodeAsChosen) {
    EXPECT_EQ(AnswerToUtf8("\x1B$B%M\x1B(B", kCodeJis), kNe);
    EXPECT_EQ(AnswerToUtf8("\xA5\xCD", kCodeEuc), kNe);
    EXPECT_EQ(AnswerToUtf8("\x83\x6C", kCodeSjis), kNe);
    // The SJIS mode decodes every text as CP932, UTF-8 too.
    EXPECT_NE(AnswerToUtf8(kNe, kCodeSjis), kNe);
    EXPECT_EQ(AnswerToUtf8(kNe, kCodeUtf8), kNe);
}

TEST(AnswerToUtf8, Utf8ModeReplacesMalformedBytes) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(AnswerToUtf8("a\xFF"
                           "b",
                           kCodeUtf8),
              "a" + fffd + "b");
    EXPECT_EQ(AnswerToUtf8("\xC0\xAF", kCodeUtf8), fffd + fffd);            // overlong
    EXPECT_EQ(AnswerToUtf8("\xED\xA0\x80", kCodeUtf8), fffd + fffd + fffd); // surrogate
    EXPECT_EQ(AnswerToUtf8("x\xE3\x83", kCodeUtf8), "x" + fffd + fffd);     // cut short
    EXPECT_EQ(AnswerToUtf8("\xF0\x9F\x98\x80", kCodeUtf8), "\xF0\x9F\x98\x80");
}

TEST(AnswerToUtf8, ZeroByteEndsTheTextInEveryMode) {
    for (int mode : {kCodeAuto, kCodeJis, kCodeSjis, kCodeEuc, kCodeUtf8})
        EXPECT_EQ(AnswerToUtf8("abc\0def"s, mode), "abc") << "mode " << mode;
}

TEST(PrepareAnswer, NormalisesThenConverts) {
    EXPECT_EQ(PrepareAnswer("\x1B$B%M\x1B(B\nx\n", kCodeAuto), kNe + "\r\nx\r\n");
}

// ---- hit test ---------------------------------------------------------------------------

TEST(IsHitAnswer, KeyBeginningALineAfterBlanksInAnyLetterCase) {
    const Keys keys{"inetnum:"};
    EXPECT_TRUE(IsHitAnswer("% banner\r\n \t INETNUM:  192.0.2.0", keys));
    EXPECT_TRUE(IsHitAnswer("inetnum: x", keys));
    EXPECT_TRUE(IsHitAnswer("\r\n\r\n   \r\ninetnum:", keys));
    EXPECT_FALSE(IsHitAnswer("remarks: see inetnum: below", keys));
    EXPECT_FALSE(IsHitAnswer("% banner\r\nnetname: X", keys));
}

TEST(IsHitAnswer, KeysInFileOrderAnyOneSuffices) {
    EXPECT_TRUE(IsHitAnswer("x\r\nNetRange: 1", Keys{"inetnum:", "NetRange:"}));
    EXPECT_FALSE(IsHitAnswer("x\r\nNetRange: 1", Keys{}));
}

TEST(IsHitAnswer, LineShorterThanTheKeyDoesNotMatch) {
    EXPECT_FALSE(IsHitAnswer("a\r\ninetnum", Keys{"inetnum:"}));
    EXPECT_FALSE(IsHitAnswer("inet", Keys{"inetnum:"}));
    EXPECT_FALSE(IsHitAnswer("", Keys{"inetnum:"}));
    EXPECT_FALSE(IsHitAnswer(" \t\r\n ", Keys{"inetnum:"}));
}

TEST(IsHitAnswer, OnlyAsciiLettersFoldCase) {
    // "Ä" (C3 84) and "ä" (C3 A4) stay different.
    EXPECT_FALSE(IsHitAnswer("\xC3\x84rger:", Keys{"\xC3\xA4rger:"}));
    EXPECT_TRUE(IsHitAnswer("\xC3\xA4RGER:", Keys{"\xC3\xA4rger:"}));
}

TEST(IsHitAnswer, EmptyKeyMatchesNothing) {
    EXPECT_FALSE(IsHitAnswer("No match!!", Keys{""}));
}

TEST(IsHitAnswer, FixedPhrasesAnywhereWhateverTheKeys) {
    EXPECT_TRUE(IsHitAnswer("x [サブアロケーション] y", Keys{}));
    EXPECT_TRUE(IsHitAnswer("xxP. [ネームサーバ]   ns.example.jp", Keys{"zzz"}));
    EXPECT_FALSE(IsHitAnswer("p. [ネーム", Keys{}));
}

// ---- phrase value and referral ----------------------------------------------------------

TEST(PhraseValue, SearchStartsAfterTheFirstBlankLine) {
    const std::string text = "Whois Server: first.example\r\n\r\nWhois Server: second.example\r\n";
    EXPECT_EQ(PhraseValue(text, "Whois Server:"), "second.example");
    EXPECT_EQ(PhraseValue("Whois Server: a.example\r\n\r\nnone", "Whois Server:"), "");
}

TEST(PhraseValue, SpacesBeforeThePhraseButNotTabs) {
    EXPECT_EQ(PhraseValue("b\r\n\r\n   whois server:  w.example \t\r\n", "Whois Server:"),
              "w.example");
    EXPECT_EQ(PhraseValue("b\r\n\r\n\tWhois Server: w.example\r\n", "Whois Server:"), "");
}

TEST(PhraseValue, WithoutBlankLineTheFirstLineIsTakenAsItIs) {
    EXPECT_EQ(PhraseValue("Whois Server: a.example\r\nx", "Whois Server:"), "a.example");
    EXPECT_EQ(PhraseValue("  Whois Server: a.example", "Whois Server:"), "");
    EXPECT_EQ(PhraseValue("x\r\n  Whois Server: b.example", "Whois Server:"), "b.example");
}

TEST(PhraseValue, EmptyValueEndsTheSearch) {
    EXPECT_EQ(PhraseValue("x\r\nWhois Server:   \r\nWhois Server: b.example", "Whois Server:"), "");
    EXPECT_EQ(PhraseValue("x\r\nWhois Server:", "Whois Server:"), "");
    EXPECT_EQ(PhraseValue("x\r\nWhois Serv", "Whois Server:"), "");
}

TEST(FindReferral, WhoisServerIsPreferredWhereverItStands) {
    const std::string text =
        "b\r\n\r\nResult obtained from server: r.example\r\nWhois Server: w.example\r\n";
    EXPECT_EQ(FindReferral(text), "w.example");
    EXPECT_EQ(FindReferral("b\r\n\r\nResult obtained from server: r.example"), "r.example");
}

TEST(FindReferral, TodaysReferralLines) {
    EXPECT_EQ(FindReferral("   Domain Name: X.COM\r\n   Registrar WHOIS Server: whois.r.test\r\n"
                           "\r\nNOTICE"),
              "whois.r.test");
    EXPECT_EQ(FindReferral("#\r\n\r\nNetRange: x\r\nReferralServer: whois://whois.apnic.net\r\n"),
              "whois.apnic.net");
    EXPECT_EQ(FindReferral("% IANA\r\n\r\nrefer:        whois.verisign-grs.com\r\n"),
              "whois.verisign-grs.com");
    EXPECT_EQ(FindReferral("refer: whois.x.test:43/"), "whois.x.test");
}

TEST(FindReferral, ValuesThatNameNoWhoisServerAreNotReferrals) {
    EXPECT_EQ(FindReferral("x\r\nReferralServer: rwhois://rwhois.x.test:4321\r\n"), "");
    EXPECT_EQ(FindReferral("x\r\nRegistrar WHOIS Server: https://www.r.test/whois\r\n"), "");
    EXPECT_EQ(FindReferral("x\r\nRegistrar WHOIS Server: \r\n"), "");
    EXPECT_EQ(FindReferral("Error WSAECONNREFUSED"), "");
    EXPECT_EQ(FindReferral(""), "");
    // Only a host name or address is followed; any other value is as if the line were not there.
    const std::string l63(63, 'a'), name253 = l63 + "." + l63 + "." + l63 + ".b" + l63.substr(3);
    for (const std::string& bad : {"x.test\x1b]0;x"s, "x.test\xC2\x9Bx"s, "bad_name.test"s,
                                   "a..b.test"s, ".b.test"s, l63 + "a.test", name253 + "c"})
        EXPECT_EQ(FindReferral("x\r\nrefer: " + bad + "\r\nWhois Server: " + bad), "") << bad;
    for (const std::string& good : {name253, "198.18.0.1"s})
        EXPECT_EQ(FindReferral("x\r\n\r\nWhois Server: " + good), good);
    EXPECT_EQ(FindReferral("x\r\n\r\nWhois Server: b\x01x\r\nResult obtained from server: r.b"),
              "r.b");
}

// ---- shown text -------------------------------------------------------------------------

TEST(AnswerBody, FirstParagraphIsLeftOut) {
    EXPECT_EQ(AnswerBody("[ banner ]\r\n\r\n  body\r\nmore \r\n\r\n"), "body\r\nmore");
    EXPECT_EQ(AnswerBody("\r\n one paragraph \r\n"), "one paragraph");
    EXPECT_EQ(AnswerBody(""), "");
}

TEST(ShownBody, BannerHiddenButARecordInTheFirstParagraphShown) {
    const Keys keys{"inetnum:"};
    EXPECT_EQ(ShownBody("% banner\r\n\r\ninetnum: x\r\n", keys), "inetnum: x");
    EXPECT_EQ(ShownBody("inetnum: x\r\n\r\nterms\r\n", keys), "inetnum: x\r\n\r\nterms");
    EXPECT_EQ(
        ShownBody("   Domain Name: X\r\n   Registrar WHOIS Server: w.test\r\n\r\nterms", keys),
        "Domain Name: X\r\n   Registrar WHOIS Server: w.test\r\n\r\nterms");
    EXPECT_EQ(ShownBody("no blank line", keys), "no blank line");
}

// ---- labels and keys --------------------------------------------------------------------

TEST(SplitLabels, DotsAndBlanksSeparate) {
    using L = std::vector<std::string>;
    EXPECT_EQ(SplitLabels("www.example.co.jp"), (L{"www", "example", "co", "jp"}));
    EXPECT_EQ(SplitLabels("example.jp."), (L{"example", "jp"}));
    EXPECT_EQ(SplitLabels("a..b"), (L{"a", "", "b"}));
    EXPECT_EQ(SplitLabels(".a"), (L{"", "a"}));
    EXPECT_EQ(SplitLabels(" a b.c "), (L{"a", "b", "c"}));
    EXPECT_EQ(SplitLabels("a . b"), (L{"a", "b"}));
    EXPECT_EQ(SplitLabels(""), L{});
    EXPECT_EQ(SplitLabels("   "), L{});
}

class HitKeyFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/whoistext-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/Servhit.key";
    }
    void TearDown() override {
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string dir_, path_;
};

TEST_F(HitKeyFile, LinesAsReadEmptyOnesLeftOut) {
    Write("inetnum:\r\n\r\n NetRange: \nX\rlast\0after\r\nend\r\n"s);
    Keys keys{"stale"};
    ASSERT_TRUE(LoadHitKeys(path_, keys));
    EXPECT_EQ(keys, (Keys{"inetnum:", " NetRange: ", "X", "end"}));
}

TEST_F(HitKeyFile, LegacyShiftJisFileIsDecoded) {
    Write("p. [\x83\x6C]\r\n");
    Keys keys;
    ASSERT_TRUE(LoadHitKeys(path_, keys));
    EXPECT_EQ(keys, Keys{"p. [" + kNe + "]"});
}

TEST_F(HitKeyFile, MissingFileGivesNoKeys) {
    Keys keys{"stale"};
    EXPECT_FALSE(LoadHitKeys(dir_ + "/absent.key", keys));
    EXPECT_TRUE(keys.empty());
}

// ---- the chain's next step --------------------------------------------------------------

// Hands out a fixed queue and counts how often the sweep consulted it.
struct Candidates {
    std::vector<std::string> queue;
    int calls = 0;
    std::function<std::string()> Next() {
        return [this] {
            ++calls;
            if (queue.empty())
                return std::string();
            std::string first = queue.front();
            queue.erase(queue.begin());
            return first;
        };
    }
};

WhoisAnswer Answer(const std::string& query, const std::string& text) {
    WhoisAnswer a;
    a.Query = query;
    a.QueryText = query;
    a.LastQuery = query;
    a.Converted = text;
    a.AskedServer = "whois.a.test";
    a.CurrentTarget = "whois.a.test";
    return a;
}

const Keys kKeys{"inetnum:", "Domain Information:"};

TEST(ChooseWhoisStep, HitEndsTheChainAndOffersTheWebSite) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("example.jp", "[ banner ]\r\n\r\nDomain Information:\r\n");
    a.CurrentTarget = "canon.a.test";
    a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(s.kind, WhoisStep::Hit);
    EXPECT_EQ(ChainText(state, s.View, TextStyle::Window),
              "whois -h canon.a.test example.jp\r\n\r\nDomain Information:");
    EXPECT_TRUE(s.OpenWeb);
    EXPECT_EQ(s.WebHint, "www.example.jp");
    EXPECT_EQ(c.calls, 0);
}

TEST(ChooseWhoisStep, HitOnAnAddressLeavesTheWebSiteOff) {
    WhoisChainState state;
    Candidates c;
    for (const char* query : {"192.0.2.1", "2001:db8::1", "2001:db8::/32", "AS2515", "as2515"}) {
        WhoisStep s = ChooseWhoisStep(Answer(query, "inetnum: 192.0.2.0"), kKeys, state, c.Next());
        EXPECT_EQ(s.kind, WhoisStep::Hit) << query;
        EXPECT_FALSE(s.OpenWeb) << query;
        EXPECT_EQ(s.WebHint, "") << query;
    }
}

TEST(ChooseWhoisStep, LongQueryIsRetriedAsItsParentBeforeAReferralWithAutoJumpOff) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("www.example.co.jp.", "x\r\n\r\nWhois Server: whois.r.test\r\n");
    a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(s.kind, WhoisStep::RetryParent);
    EXPECT_EQ(s.Query, "example.co.jp");
    EXPECT_EQ(c.calls, 0);
    EXPECT_EQ(state.Referrals, 0);
}

TEST(ChooseWhoisStep, NewReferralComesBeforeTheRetryWithAutoJumpOn) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("www.example.co.jp", "refer: whois.r.test\r\n");
    a.AutoChange = a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(s.kind, WhoisStep::FollowReferral);
    EXPECT_EQ(s.Server, "whois.r.test");
    EXPECT_EQ(s.Query, "www.example.co.jp") << "the referral carries the query of this step";
    EXPECT_EQ(c.calls, 0);
}

TEST(ChooseWhoisStep, NoRetryForAddressesFailuresOrTwoLabels) {
    WhoisChainState state;
    Candidates c;
    EXPECT_EQ(ChooseWhoisStep(Answer("192.0.2.1", "No match"), kKeys, state, c.Next()).kind,
              WhoisStep::End);
    WhoisAnswer failed = Answer("www.example.jp", "Error WSAECONNREFUSED");
    failed.ErrorCode = 10061;
    EXPECT_EQ(ChooseWhoisStep(failed, kKeys, state, c.Next()).kind, WhoisStep::End);
    EXPECT_EQ(ChooseWhoisStep(Answer("example.jp", "No match"), kKeys, state, c.Next()).kind,
              WhoisStep::End);
    EXPECT_EQ(c.calls, 3);
    // Never to a public suffix, "*.kawasaki.jp" ones too.
    for (auto [query, parent] : {std::pair{"www.yahoo.co.jp", "yahoo.co.jp"},
                                 {"X.CO.JP.", ""},
                                 {"x.co.jp/e", ""},
                                 {"x.shop.kawasaki.jp", ""}})
        EXPECT_EQ(ChooseWhoisStep(Answer(query, "No match"), kKeys, state, c.Next()).Query, parent);
}

TEST(ChooseWhoisStep, ReferralFollowedWithTheQueryOfThisStep) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("example.com", "x\r\n\r\n   Whois Server: whois.r.test\r\n");
    a.LastQuery = "www.example.com";
    a.AutoChange = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(s.kind, WhoisStep::FollowReferral);
    EXPECT_EQ(s.Server, "whois.r.test");
    EXPECT_EQ(s.Query, "example.com");
    EXPECT_EQ(state.Referrals, 1);
    EXPECT_EQ(c.calls, 0);
}

TEST(ChooseWhoisStep, ReferralWithoutAutoJumpEndsEvenInSweepMode) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("example.com", "x\r\n\r\nWhois Server: whois.r.test\r\n");
    a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(s.kind, WhoisStep::End);
    EXPECT_EQ(s.Referral, "whois.r.test");
    EXPECT_FALSE(s.ReferralRefused);
    EXPECT_EQ(c.calls, 0);
}

TEST(ChooseWhoisStep, ReferralToTheServerJustAskedIsPassedOverForTheSweep) {
    for (const char* named : {"WHOIS.A.TEST", "whois.a.test.", "canon.a.test"}) {
        Candidates c{{"whois.b.test"}};
        WhoisChainState state;
        WhoisAnswer a = Answer("example.com", "x\r\n\r\nWhois Server: "s + named + "\r\n");
        a.CurrentTarget = "canon.a.test";
        a.AutoChange = a.SweepCheck = true;
        WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
        EXPECT_EQ(s.kind, WhoisStep::NextCandidate) << named;
        EXPECT_EQ(s.Server, "whois.b.test") << named;
        EXPECT_EQ(state.Referrals, 0);
        a.SweepCheck = false;
        s = ChooseWhoisStep(a, kKeys, state, c.Next());
        EXPECT_EQ(s.kind, WhoisStep::End) << named;
        EXPECT_TRUE(s.ReferralRefused) << named;
    }
}

TEST(ChooseWhoisStep, TwoServersNamingEachOtherAskEachOnce) {
    WhoisChainState state;
    Candidates c;
    std::string asked = "whois.a.test";
    int followed = 0;
    WhoisStep s;
    for (int round = 0; round < 50; ++round) {
        const std::string other = asked == "whois.a.test" ? "whois.b.test" : "whois.a.test";
        WhoisAnswer a = Answer("example.com", "x\r\n\r\nWhois Server: " + other + "\r\n");
        a.AskedServer = a.CurrentTarget = asked;
        a.AutoChange = a.SweepCheck = true;
        s = ChooseWhoisStep(a, kKeys, state, c.Next());
        if (s.kind != WhoisStep::FollowReferral)
            break;
        ++followed;
        asked = s.Server;
    }
    EXPECT_EQ(followed, 1);
    EXPECT_EQ(s.kind, WhoisStep::End);
    EXPECT_TRUE(s.ReferralRefused);
    state.Reset();
    EXPECT_EQ(state.Referrals, 0);
    EXPECT_TRUE(state.Asked.empty());
}

TEST(ChooseWhoisStep, AChainOfNewServersStopsAfterTenReferrals) {
    WhoisChainState state;
    int followed = 0;
    WhoisStep s;
    for (int round = 0; round < 50; ++round) {
        WhoisAnswer a = Answer("example.com", "x\r\n\r\nWhois Server: whois" +
                                                  std::to_string(round + 1) + ".test\r\n");
        a.AskedServer = a.CurrentTarget = "whois" + std::to_string(round) + ".test";
        a.AutoChange = true;
        s = ChooseWhoisStep(a, kKeys, state, nullptr);
        if (s.kind != WhoisStep::FollowReferral)
            break;
        ++followed;
    }
    EXPECT_EQ(followed, kMaxReferrals);
    EXPECT_EQ(s.kind, WhoisStep::End);
    EXPECT_TRUE(s.ReferralRefused);
}

TEST(ChooseWhoisStep, SweepAsksTheNextCandidateTheFirstQuery) {
    WhoisChainState state;
    Candidates c{{"whois.b.test", "whois.c.test"}};
    WhoisAnswer a = Answer("example.jp", "No match!!");
    a.LastQuery = "www.example.jp";
    a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(s.kind, WhoisStep::NextCandidate);
    EXPECT_EQ(s.Server, "whois.b.test");
    EXPECT_EQ(s.Query, "www.example.jp");
    EXPECT_EQ(s.StatusText, "whois -h whois.b.test www.example.jp");
    EXPECT_EQ(c.queue, std::vector<std::string>{"whois.c.test"});
}

TEST(ChooseWhoisStep, SweepOffOrQueueEmptyEnds) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("example.jp", "No match!!");
    EXPECT_EQ(ChooseWhoisStep(a, kKeys, state, c.Next()).kind, WhoisStep::End);
    // The candidate is taken out of the queue even with the sweep off.
    EXPECT_TRUE(c.queue.empty());
    a.SweepCheck = true;
    EXPECT_EQ(ChooseWhoisStep(a, kKeys, state, c.Next()).kind, WhoisStep::End);
    EXPECT_EQ(ChooseWhoisStep(a, kKeys, state, nullptr).kind, WhoisStep::End);
}

TEST(ChooseWhoisStep, UnresolvedServerShowsOnlyTheCommandLine) {
    WhoisChainState state;
    Candidates c{{"whois.b.test"}};
    WhoisAnswer a = Answer("www.example.jp", "");
    a.ErrorCode = 11001;
    a.CurrentTarget = "no.such.test";
    a.SweepCheck = true;
    WhoisStep s = ChooseWhoisStep(a, kKeys, state, c.Next());
    EXPECT_EQ(ChainText(state, s.View, TextStyle::Window),
              "whois -h no.such.test www.example.jp\r\n\r\n");
    EXPECT_EQ(s.kind, WhoisStep::NextCandidate);
}

// ---- random answers ---------------------------------------------------------------------

std::string RandomText(std::mt19937& rng, size_t maxLen) {
    static const char alphabet[] = "\r\n \t.:aW\x1B$B(\x82\x89\xA4\xE3\x83\xFF";
    std::string s;
    const size_t len = rng() % (maxLen + 1);
    for (size_t k = 0; k < len; ++k) {
        if (rng() % 4 == 0)
            s += static_cast<char>(rng() & 0xFF);
        else
            s += alphabet[rng() % (sizeof alphabet - 1)];
    }
    return s;
}

std::string WithoutBreaks(std::string s) {
    std::erase_if(s, [](char c) { return c == '\r' || c == '\n'; });
    return s;
}

TEST(RandomAnswers, BreaksArePairedAndEveryModeGivesUtf8) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 3000; ++round) {
        const std::string raw = RandomText(rng, 48);
        const std::string norm = NormalizeLineBreaks(raw);
        for (size_t i = 0; i < norm.size(); ++i) {
            if (norm[i] == '\r') {
                ASSERT_TRUE(i + 1 < norm.size() && norm[i + 1] == '\n') << round;
            } else if (norm[i] == '\n') {
                ASSERT_TRUE(i > 0 && norm[i - 1] == '\r') << round;
            }
        }
        ASSERT_EQ(WithoutBreaks(norm), WithoutBreaks(raw)) << round;
        const Keys keys{RandomText(rng, 3), "inetnum:"};
        for (int mode : {kCodeAuto, kCodeJis, kCodeSjis, kCodeEuc, kCodeUtf8}) {
            const std::string text = AnswerToUtf8(norm, mode);
            ASSERT_TRUE(platform::IsValidUtf8(text)) << round << " mode " << mode;
            // Only that nothing reads out of bounds matters here (run under the sanitizers).
            (void)IsHitAnswer(text, keys);
            (void)FindReferral(text);
            (void)ShownBody(text, keys);
        }
    }
}

TEST(RandomAnswers, ParentRetriesAlwaysComeToAnEnd) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        WhoisAnswer a = Answer(RandomText(rng, 24), "No match");
        WhoisChainState state;
        size_t labels = SplitLabels(a.Query).size();
        int retries = 0;
        for (;;) {
            WhoisStep s = ChooseWhoisStep(a, kKeys, state, nullptr);
            if (s.kind != WhoisStep::RetryParent)
                break;
            const size_t next = SplitLabels(s.Query).size();
            ASSERT_LT(next, labels) << "query \"" << a.Query << "\"";
            labels = next;
            a.Query = s.Query;
            ASSERT_LT(++retries, 30);
        }
    }
}

} // namespace
