#include "directory/ServerDir.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using Fields = std::vector<std::string>;

TEST(SplitServerFields, PlainList) {
    EXPECT_EQ(SplitServerFields("whois.example,+,jp"), (Fields{"whois.example", "+", "jp"}));
    EXPECT_EQ(SplitServerFields("a.example"), (Fields{"a.example"}));
}

TEST(SplitServerFields, EmptyAndBlankLinesHaveNoFields) {
    EXPECT_TRUE(SplitServerFields("").empty());
    EXPECT_TRUE(SplitServerFields(" \t\x01 ").empty());
}

TEST(SplitServerFields, BlanksAroundFieldsAndCommasAreSkipped) {
    EXPECT_EQ(SplitServerFields("  a.example ,\t+ ,  jp  "), (Fields{"a.example", "+", "jp"}));
    // Every code from 1 to the space counts as a blank.
    EXPECT_EQ(SplitServerFields("\x01\x1f"
                                "a,\x02"
                                "b"),
              (Fields{"a", "b"}));
}

TEST(SplitServerFields, BlankInsideUnquotedFieldSplitsIt) {
    EXPECT_EQ(SplitServerFields("a.example,+,jp co.jp"), (Fields{"a.example", "+", "jp", "co.jp"}));
    EXPECT_EQ(SplitServerFields("a.example jp"), (Fields{"a.example", "jp"}));
}

TEST(SplitServerFields, EmptyFieldsAndTrailingComma) {
    EXPECT_EQ(SplitServerFields("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(SplitServerFields("a, ,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(SplitServerFields("a,+,*,"), (Fields{"a", "+", "*"}));
    EXPECT_EQ(SplitServerFields("a,, "), (Fields{"a", ""}));
    EXPECT_EQ(SplitServerFields(",jp"), (Fields{"", "jp"}));
}

TEST(SplitServerFields, QuotedFields) {
    EXPECT_EQ(SplitServerFields("\"a b\",jp"), (Fields{"a b", "jp"}));
    EXPECT_EQ(SplitServerFields("a,\"x,y\""), (Fields{"a", "x,y"}));
    EXPECT_EQ(SplitServerFields("a,\"say \"\"hi\"\"\""), (Fields{"a", "say \"hi\""}));
    EXPECT_EQ(SplitServerFields("a,\"\",b"), (Fields{"a", "", "b"}));
    // Text right after the closing quote starts a new field.
    EXPECT_EQ(SplitServerFields("\"ab\"cd,e"), (Fields{"ab", "cd", "e"}));
    // A quote inside an unquoted field is an ordinary character.
    EXPECT_EQ(SplitServerFields("a\"b,c"), (Fields{"a\"b", "c"}));
}

TEST(SplitServerFields, UnterminatedQuoteTakesRestOfLine) {
    EXPECT_EQ(SplitServerFields("a,\"b c,d"), (Fields{"a", "b c,d"}));
    EXPECT_EQ(SplitServerFields("a,\"x"), (Fields{"a", "x"}));
    EXPECT_EQ(SplitServerFields("a,\""), (Fields{"a", ""}));
}

TEST(SplitServerFields, NonAsciiBytesAreNotBlanks) {
    // UTF-8 "日本" and a CP932 pair: every byte is above 0x7F and part of the field.
    EXPECT_EQ(SplitServerFields("a,\xe6\x97\xa5\xe6\x9c\xac.jp"),
              (Fields{"a", "\xe6\x97\xa5\xe6\x9c\xac.jp"}));
    EXPECT_EQ(SplitServerFields("\x93\xfa,b"), (Fields{"\x93\xfa", "b"}));
}

TEST(SplitServerFields, ZeroByteEndsLine) {
    EXPECT_EQ(SplitServerFields("a,jp\0,co.jp"s), (Fields{"a", "jp"}));
    EXPECT_EQ(SplitServerFields("a,\"jp\0x\""s), (Fields{"a", "jp"}));
}

TEST(MarkerIndex, Table) {
    EXPECT_EQ(MarkerIndex("-"), 0);
    EXPECT_EQ(MarkerIndex("+"), 1);
    EXPECT_EQ(MarkerIndex("*"), 2);
    EXPECT_EQ(MarkerIndex(""), -2);
    EXPECT_EQ(MarkerIndex("jp"), -1);
    EXPECT_EQ(MarkerIndex("++"), -1);
    EXPECT_EQ(MarkerIndex("*.jp"), -1);
    EXPECT_EQ(MarkerIndex(" +"), -1);
}

} // namespace
