#include "settings/IniParam.h"

#include <gtest/gtest.h>

using settings::CommaText;
using settings::SplitCommaText;
using Items = std::vector<std::string>;

namespace {

TEST(CommaText, QuotesOnlyItemsThatNeedIt) {
    EXPECT_EQ(CommaText({"FixedSys", "128", "$000000"}), "FixedSys,128,$000000");
    EXPECT_EQ(CommaText({"MS Gothic", "a,b", "say \"hi\"", "tab\there"}),
              "\"MS Gothic\",\"a,b\",\"say \"\"hi\"\"\",\"tab\there\"");
    EXPECT_EQ(CommaText({"ＭＳ Ｐゴシック"}), "\"ＭＳ Ｐゴシック\"");
    EXPECT_EQ(CommaText({"ＭＳゴシック"}), "ＭＳゴシック");
}

TEST(CommaText, EmptyItems) {
    EXPECT_EQ(CommaText({""}), "\"\"");
    EXPECT_EQ(CommaText({"", "1"}), ",1");
    EXPECT_EQ(CommaText({"a", "", "b"}), "a,,b");
    // A last empty item is quoted, or reading the text back would lose it.
    EXPECT_EQ(CommaText({"a", "b", ""}), "a,b,\"\"");
    EXPECT_EQ(CommaText({"", ""}), ",\"\"");
    EXPECT_EQ(CommaText({}), "");
}

TEST(SplitCommaText, BareAndQuotedItems) {
    EXPECT_EQ(SplitCommaText("FixedSys,128,$000000,1,9,2"),
              (Items{"FixedSys", "128", "$000000", "1", "9", "2"}));
    EXPECT_EQ(SplitCommaText("\"MS Gothic\",\"a,b\",\"say \"\"hi\"\"\""),
              (Items{"MS Gothic", "a,b", "say \"hi\""}));
    // A bare item ends at a blank, so an unquoted name with a blank falls apart.
    EXPECT_EQ(SplitCommaText("MS Gothic,9"), (Items{"MS", "Gothic", "9"}));
    // Text right after a closing quote starts a new item.
    EXPECT_EQ(SplitCommaText("\"ab\"cd"), (Items{"ab", "cd"}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(SplitCommaText("1,\"open, end"), (Items{"1", "open, end"}));
}

TEST(SplitCommaText, BlanksAroundItemsAreSkipped) {
    EXPECT_EQ(SplitCommaText("  a ,\t b\r,c  "), (Items{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText(" \" x \" , y"), (Items{" x ", "y"}));
}

TEST(SplitCommaText, EmptyItemsAndTrailingComma) {
    EXPECT_EQ(SplitCommaText(""), Items{});
    EXPECT_EQ(SplitCommaText("   "), Items{});
    EXPECT_EQ(SplitCommaText("\"\""), Items{""});
    EXPECT_EQ(SplitCommaText("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText(",1"), (Items{"", "1"}));
    EXPECT_EQ(SplitCommaText("a,"), Items{"a"});
    EXPECT_EQ(SplitCommaText(",,"), (Items{"", ""}));
    EXPECT_EQ(SplitCommaText(std::string("a,b\0,c", 6)), (Items{"a", "b"}));
}

TEST(SplitCommaText, ReadsBackWhatCommaTextWrote) {
    const std::vector<Items> lists{
        {"FixedSys", "128", "$000000", "1", "9", "2"},
        {"ＭＳ Ｐゴシック", "128", "$80000008", "0", "9", "0"},
        {"", "0", "$000000", "0", "10", "1"},
        {"a\"b", "\"", "\"\"", ",", " ", "x"},
        {""},
        {"a", "b", ""},
        {"", ""},
        {"\x01", "ctl\x1F", "日本語,テキスト", "last"},
    };
    for (const auto& items : lists)
        EXPECT_EQ(SplitCommaText(CommaText(items)), items) << CommaText(items);
}

TEST(StrToInt, DecimalWithBlanksAndSign) {
    EXPECT_EQ(settings::StrToInt("0"), 0);
    EXPECT_EQ(settings::StrToInt("1000"), 1000);
    EXPECT_EQ(settings::StrToInt("  42"), 42);
    EXPECT_EQ(settings::StrToInt("+7"), 7);
    EXPECT_EQ(settings::StrToInt("-50"), -50);
    EXPECT_EQ(settings::StrToInt("007"), 7);
    EXPECT_EQ(settings::StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(settings::StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, HexadecimalIsThe32BitPattern) {
    EXPECT_EQ(settings::StrToInt("$FF"), 255);
    EXPECT_EQ(settings::StrToInt("$ff"), 255);
    EXPECT_EQ(settings::StrToInt("$000000"), 0);
    EXPECT_EQ(settings::StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(settings::StrToInt("$80000008"), clWindowText);
    EXPECT_EQ(settings::StrToInt("-$10"), -16);
    EXPECT_EQ(settings::StrToInt(" $00000000FF"), 255);
}

TEST(StrToInt, RejectsEverythingElse) {
    for (const char* bad :
         {"",           " ",   "-",   "+",    "$",          "-$",          "abc",
          "12 ",        "1a",  "1.5", "0x10", "2147483648", "-2147483649", "99999999999999999999",
          "$100000000", "$FG", "--1", "+-1",  "1,2",        "１"}) {
        std::int32_t v = 123;
        EXPECT_FALSE(settings::TryStrToInt(bad, v)) << '"' << bad << '"';
        EXPECT_EQ(v, 123) << bad;
    }
    try {
        settings::StrToInt("12x");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12x' は整数ではありません");
    }
}

} // namespace
