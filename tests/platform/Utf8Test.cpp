#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each rule at its limits and one past them; the text ends right after the bytes given.
TEST(Utf8, SequencesControlsAndBidiControlsAtTheirLimits) {
    struct Row {
        std::string text;
        size_t sequence, control, bidi;
    } rows[] = {
        {"\x1F", 1, 1, 0},
        {" ", 1, 0, 0},
        {"\x7E", 1, 0, 0},
        {"\x7F", 1, 1, 0},
        {"\xC2\x80", 2, 2, 0},
        {"\xC2\x9F", 2, 2, 0},
        {"\xC2\xA0", 2, 0, 0},
        {"\xC2", 0, 0, 0},
        {"\xC1\xBF", 0, 0, 0},
        {"\xE0\x9F\xBF", 0, 0, 0},
        {"\xE0\xA0\x80", 3, 0, 0},
        {"\xED\xA0\x80", 0, 0, 0},
        {"\xF4\x90\x80\x80", 0, 0, 0},
        {"\xF4\x8F\xBF\xBF", 4, 0, 0},
        {"\xF5\x80\x80\x80", 0, 0, 0},
        {"\xE2\x80\x8D", 3, 0, 0},
        {"\xE2\x80\x8E", 3, 0, 3},
        {"\xE2\x80\x8F", 3, 0, 3},
        {"\xE2\x80\x90", 3, 0, 0},
        {"\xE2\x80\xA9", 3, 0, 0},
        {"\xE2\x80\xAA", 3, 0, 3},
        {"\xE2\x80\xAE", 3, 0, 3},
        {"\xE2\x80\xAF", 3, 0, 0},
        {"\xE2\x81\xA5", 3, 0, 0},
        {"\xE2\x81\xA6", 3, 0, 3},
        {"\xE2\x81\xA9", 3, 0, 3},
        {"\xE2\x81\xAA", 3, 0, 0},
        {"\xE2\x80", 0, 0, 0},
        {"\xE2\x81\x8E", 3, 0, 0},
        {"\xE3\x80\xAE", 3, 0, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::Utf8SequenceLength(row.text, 0), row.sequence) << row.text;
        EXPECT_EQ(platform::ControlLength(row.text, 0), row.control) << row.text;
        EXPECT_EQ(platform::BidiControlLength(row.text, 0), row.bidi) << row.text;
    }
    // Found where they stand, not only at the start.
    EXPECT_EQ(platform::BidiControlLength("ab\xE2\x80\xAE", 2), 3u);
    EXPECT_EQ(platform::ControlLength("a\xC2\x85", 1), 2u);
}

} // namespace
