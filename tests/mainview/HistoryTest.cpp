// The history rules of the two input boxes, without a window.
#include "mainview/History.h"

#include <gtest/gtest.h>

using mainview::CleanHistory;
using mainview::ExtractBetween;
using mainview::RecordHistory;
using Strings = std::vector<std::string>;

TEST(ExtractBetweenTest, FindsTrimmedPartBetweenMarkers) {
    EXPECT_EQ(ExtractBetween("http://www.example.jp/path/x", "://", std::string("/")),
              "www.example.jp");
    EXPECT_EQ(ExtractBetween("a:// host /", "://", std::string("/")), "host");
    // The first start marker counts, and the first stop marker behind it.
    EXPECT_EQ(ExtractBetween("x://a/b://c/d", "://", std::string("/")), "a");
}

TEST(ExtractBetweenTest, MissingMarkersGiveEmptyOrRest) {
    EXPECT_EQ(ExtractBetween("no marker here", "://", std::string("/")), "");
    // A stop marker that is given but missing gives nothing.
    EXPECT_EQ(ExtractBetween("http://host", "://", std::string("/")), "");
    // No stop marker: the trimmed rest.
    EXPECT_EQ(ExtractBetween("http://host \t", "://", std::nullopt), "host");
    // An empty start marker begins at the text's start.
    EXPECT_EQ(ExtractBetween(" abc/def", "", std::string("/")), "abc");
    EXPECT_EQ(ExtractBetween("", "", std::nullopt), "");
}

TEST(CleanHistoryTest, TrimsDropsBlanksAndRepeatsInFirstSeenOrder) {
    Strings list{"  b.example  ", "",          "a.example", "\t",
                 "b.example",     "A.example", "a.example", " c.example"};
    CleanHistory(list);
    // Entries differing only in letter case are both kept.
    EXPECT_EQ(list, (Strings{"b.example", "a.example", "A.example", "c.example"}));
}

TEST(CleanHistoryTest, RepeatsThatDifferOnlyInBlanksAreRemoved) {
    // The later entry is trimmed only when its own turn comes; it still counts as a repeat.
    Strings list{"x", " x", "x\t", "X "};
    CleanHistory(list);
    EXPECT_EQ(list, (Strings{"x", "X"}));
}

TEST(CleanHistoryTest, LongListsAreNotCut) {
    Strings list;
    for (int i = 0; i < 70; ++i)
        list.push_back("host" + std::to_string(i));
    CleanHistory(list);
    EXPECT_EQ(list.size(), 70u);
}

TEST(RecordHistoryTest, EmptyTextChangesNothing) {
    Strings list{"a"};
    EXPECT_FALSE(RecordHistory(list, " \t ", false, true).has_value());
    EXPECT_FALSE(RecordHistory(list, "", true, true).has_value());
    EXPECT_EQ(list, Strings{"a"});
}

TEST(RecordHistoryTest, MovesCaseVariantToTopWithNewCase) {
    Strings list{"a.example", "WWW.Example.JP", "c.example"};
    const auto text = RecordHistory(list, " www.example.jp ", false, true);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "www.example.jp");
    EXPECT_EQ(list, (Strings{"www.example.jp", "a.example", "c.example"}));
}

TEST(RecordHistoryTest, FiftiethEntryDropsTheOldest) {
    Strings list;
    for (int i = 0; i < 50; ++i)
        list.push_back("h" + std::to_string(i));
    RecordHistory(list, "new", false, false);
    ASSERT_EQ(list.size(), 50u);
    EXPECT_EQ(list.front(), "new");
    EXPECT_EQ(list.back(), "h48");
}

TEST(RecordHistoryTest, LongListIsCutToFiftyWhenRecording) {
    Strings list;
    for (int i = 0; i < 60; ++i)
        list.push_back("h" + std::to_string(i));
    RecordHistory(list, "h5", false, false);
    ASSERT_EQ(list.size(), 50u);
    EXPECT_EQ(list[0], "h5");
    EXPECT_EQ(list[1], "h0");
}

TEST(RecordHistoryTest, StripUserKeepsHostPart) {
    Strings list;
    EXPECT_EQ(*RecordHistory(list, "user@mail.example", false, true), "mail.example");
    EXPECT_EQ(list, Strings{"mail.example"});
    // Only up to the first "@".
    EXPECT_EQ(*RecordHistory(list, "a@b@c", false, true), "b@c");
    // Blanks after the "@" go with the user part.
    EXPECT_EQ(*RecordHistory(list, "user@ \thost.example", false, true), "host.example");
    EXPECT_EQ(list.front(), "host.example");
    EXPECT_EQ(*RecordHistory(list, "user@ \t", false, true), "");
    // Without strip user the whole text is recorded and shown.
    EXPECT_EQ(*RecordHistory(list, "user@mail.example", false, false), "user@mail.example");
    EXPECT_EQ(list.front(), "user@mail.example");
}

TEST(RecordHistoryTest, UserPartAloneRecordsNothingButClearsText) {
    Strings list{"a"};
    const auto text = RecordHistory(list, "user@", false, true);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "");
    EXPECT_EQ(list, Strings{"a"});
}

TEST(RecordHistoryTest, UrlIsRecordedWholeAndShownAsHost) {
    Strings list;
    EXPECT_EQ(*RecordHistory(list, "http://www.example.jp/index.html", false, true),
              "www.example.jp");
    EXPECT_EQ(list.front(), "http://www.example.jp/index.html");
    EXPECT_EQ(*RecordHistory(list, "https://host.example", false, true), "host.example");
    EXPECT_EQ(list.front(), "https://host.example");
}

TEST(RecordHistoryTest, DeleteRemovesMatchAndClearsText) {
    Strings list{"a.example", "B.example"};
    EXPECT_EQ(*RecordHistory(list, "b.EXAMPLE", true, true), "");
    EXPECT_EQ(list, Strings{"a.example"});
    // Not in the list: only the text is cleared.
    EXPECT_EQ(*RecordHistory(list, "zzz", true, true), "");
    EXPECT_EQ(list, Strings{"a.example"});
}

TEST(RecordHistoryTest, DeleteStripsUserSoWholeMailEntryStays) {
    Strings list{"user@mail.example"};
    EXPECT_EQ(*RecordHistory(list, "user@mail.example", true, true), "");
    EXPECT_EQ(list, Strings{"user@mail.example"});
}

TEST(RecordHistoryTest, NonAsciiLettersCompareWithoutCase) {
    Strings list{"ÄBC.example"};
    RecordHistory(list, "äbc.example", false, false);
    EXPECT_EQ(list, Strings{"äbc.example"});
}
