#pragma once

#include <cstddef>
#include <string_view>

// The byte-level rules for outside text, kept in one place: what well-formed UTF-8 is, and
// which characters must never reach a screen or a conversation as they are.
namespace platform {

// The length of the well-formed UTF-8 sequence at text[pos] (1 to 4), or 0 when none starts
// there (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// The length of the control character at text[pos], or 0: C0 (below 0x20), DEL, and the C1
// controls U+0080 to U+009F, which some terminals obey as escape sequences.
std::size_t ControlLength(std::string_view text, std::size_t pos);

// The length of the bidirectional control at text[pos] (U+200E, U+200F, U+202A to U+202E,
// U+2066 to U+2069), or 0. They reorder what follows them, so an answer could make one
// name look like another.
std::size_t BidiControlLength(std::string_view text, std::size_t pos);

} // namespace platform
