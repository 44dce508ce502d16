#include "platform/TextFile.h"

#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

using platform::Cp932ToUtf8;
using platform::IsValidUtf8;
using platform::SplitLines;
using platform::ToUtf8;
using Lines = std::vector<std::string>;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Utf8Validation, AcceptsAsciiAndWellFormedSequences) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII =,\"\r\n"));
    EXPECT_TRUE(IsValidUtf8("\xC3\xA9"));         // é
    EXPECT_TRUE(IsValidUtf8("ＭＳ Ｐゴシック"));  // three-byte characters
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80")); // four bytes, U+1F600
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF")); // U+10FFFF, the last one
    EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
    // Only the view's own bytes count, not the one after its end.
    EXPECT_TRUE(IsValidUtf8(std::string_view("ab\xC3", 2)));
}

TEST(Utf8Validation, RejectsMalformedSequences) {
    EXPECT_FALSE(IsValidUtf8("\x80"));             // lone continuation byte
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));         // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));     // overlong slash
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));
    EXPECT_FALSE(IsValidUtf8("abc\xE3\x81")); // cut off at the end
    EXPECT_FALSE(IsValidUtf8("\xE3\x41\x82"));
    // Typical Shift-JIS: "あいう" and half-width katakana.
    EXPECT_FALSE(IsValidUtf8("\x82\xA0\x82\xA2\x82\xA4"));
    EXPECT_FALSE(IsValidUtf8("\xB1\xB2"));
}

TEST(Cp932Decoding, DecodesJisAndWindowsExtensions) {
    EXPECT_EQ(Cp932ToUtf8("\x82\xA0"), "あ");
    EXPECT_EQ(Cp932ToUtf8("\x93\xFA\x96\x7B"), "日本");
    EXPECT_EQ(Cp932ToUtf8("\xB1"), "ｱ");      // half-width katakana is one byte
    EXPECT_EQ(Cp932ToUtf8("\x87\x40"), "①");  // NEC row 13
    EXPECT_EQ(Cp932ToUtf8("\xFA\x40"), "ⅰ");  // IBM extension
    EXPECT_EQ(Cp932ToUtf8("\x81\x60"), "～"); // the Windows mapping of the wave dash
    // The ASCII half stays ASCII, backslash included, and 0x5C as a trail byte is no
    // backslash: "ソ" is 83 5C.
    EXPECT_EQ(Cp932ToUtf8("C:\\dir"), "C:\\dir");
    EXPECT_EQ(Cp932ToUtf8("\x83\x5C"), "ソ");
    EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Cp932Decoding, ReplacesUndecodableBytesAndKeepsTheRest) {
    EXPECT_EQ(Cp932ToUtf8("a\xFF"
                          "b"),
              "a" + kReplacement + "b");
    // A lead byte followed by a byte that cannot trail it: the next character survives.
    EXPECT_EQ(Cp932ToUtf8("\x82 x"), kReplacement + " x");
    // A lead byte cut off at the end of the text.
    EXPECT_EQ(Cp932ToUtf8("\x82\xA0\x82"), "あ" + kReplacement);
}

TEST(Cp932Decoding, LongTextCrossesTheConversionBuffer) {
    std::string sjis;
    std::string utf8;
    for (int i = 0; i < 5000; ++i) {
        sjis += "\x82\xA0"
                "x";
        utf8 += "あx";
    }
    EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
}

TEST(ToUtf8, KeepsValidUtf8AndDecodesTheRest) {
    EXPECT_EQ(ToUtf8("LASTHOST=例え.jp"), "LASTHOST=例え.jp");
    EXPECT_EQ(ToUtf8("LASTHOST=\x97\xE1\x82\xA6.jp"), "LASTHOST=例え.jp");
    EXPECT_EQ(ToUtf8("ascii"), "ascii");
}

TEST(SplitLines, EndsLinesAtCrLfLoneCrAndLoneLf) {
    EXPECT_EQ(SplitLines("a\r\nb\r\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\rb\rc\r"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\nb\nc\n"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
    // LF CR is two line ends, CR CR LF too.
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
}

TEST(SplitLines, KeepsBlankLinesButAddsNoneAtTheEnd) {
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("\r\n"), Lines{""});
    EXPECT_EQ(SplitLines("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitLines("x\r\n\r\n y \r\n"), (Lines{"x", "", " y "}));
}

TEST(SplitLines, ZeroByteEndsTheTextOnlyWhenAsked) {
    const std::string text("a\r\nb\0c\r\nd", 9);
    EXPECT_EQ(SplitLines(text), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines(text, false), (Lines{"a", std::string("b\0c", 3), "d"}));
    EXPECT_EQ(SplitLines(std::string("\0abc", 4)), Lines{});
}

TEST(FileExists, TellsFilesFromFoldersAndMissingPaths) {
    testutil::TempDir dir;
    testutil::WriteRaw(dir.file("f"), "x");
    EXPECT_TRUE(platform::FileExists(dir.file("f")));
    EXPECT_FALSE(platform::FileExists(dir.path()));
    EXPECT_FALSE(platform::FileExists(dir.file("missing")));
    EXPECT_FALSE(platform::FileExists(""));
}

TEST(ReadTextLines, MissingFileOrFolderLeavesLinesUntouched) {
    testutil::TempDir dir;
    Lines lines{"kept"};
    EXPECT_FALSE(platform::ReadTextLines(dir.file("missing"), lines));
    EXPECT_FALSE(platform::ReadTextLines(dir.path(), lines));
    EXPECT_EQ(lines, Lines{"kept"});
    std::string bytes = "kept";
    EXPECT_FALSE(platform::ReadFileBytes(dir.file("missing"), bytes));
    EXPECT_EQ(bytes, "kept");
}

TEST(ReadTextLines, ReadsUtf8AndLegacyCp932Files) {
    testutil::TempDir dir;
    testutil::WriteRaw(dir.file("utf8"), "LASTHOST=日本.jp\r\nA=1\n");
    testutil::WriteRaw(dir.file("sjis"), "LASTHOST=\x93\xFA\x96\x7B.jp\rA=1");
    Lines lines;
    ASSERT_TRUE(platform::ReadTextLines(dir.file("utf8"), lines));
    EXPECT_EQ(lines, (Lines{"LASTHOST=日本.jp", "A=1"}));
    ASSERT_TRUE(platform::ReadTextLines(dir.file("sjis"), lines));
    EXPECT_EQ(lines, (Lines{"LASTHOST=日本.jp", "A=1"}));
}

// Marks, UTF-16 and zero bytes: what is read, and the note of the lines left out.
TEST(ReadTextLines, ReadsEveryMarkedEncodingAndLeavesOutLinesWithZeroBytes) {
    testutil::TempDir dir;
    const std::string f = dir.file("f");
    struct Row {
        std::string bytes;
        Lines lines;
        std::vector<size_t> skipped;
    } rows[] = {
        {"\xEF\xBB\xBFKEY=1\r\n", {"KEY=1"}, {}},
        {std::string("a\r\nb\0junk\r\nc\r\n", 14), {"a", "c"}, {2}},
        {std::string("\0\na\n\0\n", 6), {"a"}, {1, 3}},
        // A CP932 file is judged by the lines kept.
        {std::string("\x82\xA0\r\n\0\xE3\x81\x82", 8), {"あ"}, {2}},
        // UTF-16 LE and BE with their marks, a character beyond the BMP as a surrogate pair.
        {std::string("\xFF\xFEK\0=\0\xE5\x65\r\0\n\0x\0", 14), {"K=日", "x"}, {}},
        {std::string("\xFE\xFF\0K\xD8\x3D\xDE\x00\0\n\0y", 12), {"K😀", "y"}, {}},
        {std::string("\xFF\xFE"
                     "a\0\n\0b\0\0\0\n\0c\0",
                     14),
         {"a", "c"},
         {2}},
        // A lone surrogate and a cut last unit become U+FFFD.
        {std::string("\xFF\xFE\x00\xD8"
                     "a\0b",
                     7),
         {"\uFFFDa\uFFFD"},
         {}},
        {"\xFF\xFE", {}, {}},
    };
    platform::TakeSkippedLines();
    for (const Row& row : rows) {
        testutil::WriteRaw(f, row.bytes);
        Lines lines{"old"};
        ASSERT_TRUE(platform::ReadTextLines(f, lines));
        EXPECT_EQ(lines, row.lines) << row.bytes;
        const auto skipped = platform::TakeSkippedLines();
        ASSERT_EQ(skipped.size(), row.skipped.empty() ? 0u : 1u) << row.bytes;
        if (!skipped.empty()) {
            EXPECT_EQ(skipped[0].path, f);
            EXPECT_EQ(skipped[0].lines, row.skipped) << row.bytes;
        }
    }
}

TEST(ReadFileBytes, ReturnsTheBytesExactly) {
    testutil::TempDir dir;
    std::string data("\r\n\0\xFF\x82", 5);
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>(i * 7);
    testutil::WriteRaw(dir.file("bin"), data);
    std::string bytes;
    ASSERT_TRUE(platform::ReadFileBytes(dir.file("bin"), bytes));
    EXPECT_EQ(bytes, data);
}

} // namespace
