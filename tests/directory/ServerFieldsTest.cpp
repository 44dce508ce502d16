#include "directory/ServerDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

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

// Random lines without quotes, each in a buffer of exactly its size (so that the address
// sanitizer sees any overread): the fields are the line's text between blanks and commas.
TEST(SplitServerFields, RandomUnquotedLines) {
    static const char kPool[] = {'a', 'b', '.', '-', '+', '*', ',', ',', ' ', '\t', '\x01', '\xe6'};
    std::mt19937 rng(7);
    std::uniform_int_distribution<size_t> pick(0, sizeof kPool - 1);
    for (int round = 0; round < 5000; ++round) {
        std::vector<char> buffer(round % 23);
        for (char& c : buffer) {
            c = kPool[pick(rng)];
        }
        const std::string_view line(buffer.data(), buffer.size());
        std::string joined;
        size_t commas = 0;
        for (char c : line) {
            const bool blank =
                static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= ' ';
            commas += c == ',';
            if (!blank && c != ',') {
                joined += c;
            }
        }
        std::string fromFields;
        const Fields fields = SplitServerFields(line);
        for (const std::string& field : fields) {
            EXPECT_EQ(field.find_first_of(", \t\x01"), std::string::npos) << line;
            fromFields += field;
        }
        EXPECT_EQ(fromFields, joined) << line;
        // Empty fields come only from commas, at most one per comma.
        const auto empty = std::count(fields.begin(), fields.end(), std::string());
        EXPECT_LE(static_cast<size_t>(empty), commas) << line;
    }
}

} // namespace
