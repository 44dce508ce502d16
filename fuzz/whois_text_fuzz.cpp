// The WHOIS answer logic: line breaks, code detection and conversion, hit and referral
// search, the shown body and the choice of a chain's next step.
//
// Input: one option byte (conversion mode, chain switches), then a header and the raw answer
// parted by the byte 0x1E. Header lines (LF): the query, the server asked, then hit keys.
#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"
#include "fuzz/FuzzCommon.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool LineBreaksPaired(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n'))
            return false;
        if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r'))
            return false;
    }
    return true;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t options = data[0];
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string_view header;
    std::string_view raw = input;
    if (const size_t sep = input.find('\x1e'); sep != std::string_view::npos) {
        header = input.substr(0, sep);
        raw = input.substr(sep + 1);
    }
    auto headerLines = fuzz::SplitInput(header, "\n", 64);
    const std::string query(headerLines.size() > 0 ? headerLines[0] : "example.jp");
    const std::string asked(headerLines.size() > 1 ? headerLines[1] : "whois.a.test");
    std::vector<std::string> hitKeys;
    for (size_t i = 2; i < headerLines.size(); ++i)
        hitKeys.emplace_back(headerLines[i]);

    // Line breaks: every CR and LF ends up in a CR LF pair, and a second pass changes nothing.
    const std::string normal = NormalizeLineBreaks(raw);
    FUZZ_CHECK(LineBreaksPaired(normal));
    FUZZ_CHECK(NormalizeLineBreaks(normal) == normal);

    // Conversion: every mode gives UTF-8 without a zero byte.
    const int mode = options % 6; // 5 stands for a mode no menu item has
    const std::string shown = PrepareAnswer(raw, mode);
    FUZZ_CHECK(platform::IsValidUtf8(shown));
    FUZZ_CHECK(shown.find('\0') == std::string::npos);
    (void)ConvertCode(raw, mode);

    // Hits: letter case of A-Z does not matter, and a key opening the text is a hit.
    const bool hit = IsHitAnswer(shown, hitKeys);
    std::vector<std::string> upperKeys;
    for (const auto& k : hitKeys)
        upperKeys.push_back(AsciiUpper(k));
    FUZZ_CHECK(IsHitAnswer(AsciiUpper(shown), upperKeys) == hit);
    for (const auto& k : hitKeys) {
        if (!k.empty() && !HasLineBreak(k) && k.find_first_of("\t ") != 0) {
            FUZZ_CHECK(IsHitAnswer(k + "\r\n" + shown, {k}));
            break;
        }
    }

    // Searches return single lines; bodies are parts of the answer.
    const std::string referral = FindReferral(shown);
    FUZZ_CHECK(!HasLineBreak(referral));
    for (const auto* phrases : {&ReferralPhrases, &ModernReferralPhrases})
        for (const auto& p : *phrases)
            FUZZ_CHECK(!HasLineBreak(PhraseValue(shown, p)));
    if (!hitKeys.empty())
        FUZZ_CHECK(!HasLineBreak(PhraseValue(shown, hitKeys[0])));
    const std::string body = AnswerBody(shown);
    FUZZ_CHECK(shown.find(body) != std::string::npos);
    const std::string shownBody = ShownBody(shown, hitKeys);
    FUZZ_CHECK(shown.find(shownBody) != std::string::npos);
    // Hiding the banner never leaves an empty text where the answer had any.
    FUZZ_CHECK(!shownBody.empty() || std::all_of(shown.begin(), shown.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20;
    }));

    for (const auto& label : SplitLabels(query))
        FUZZ_CHECK(label.find_first_of(". ") == std::string::npos);
    (void)WhoisCommandLine(asked, query);

    // The chain: following the same answer again and again ends within kMaxReferrals.
    WhoisAnswer answer;
    answer.Query = query;
    answer.Converted = shown;
    answer.AskedServer = asked;
    answer.CurrentTarget = asked;
    answer.QueryText = query;
    answer.LastQuery = (options & 0x40) ? query + ".x" : query;
    answer.AutoChange = options & 0x08;
    answer.SweepCheck = options & 0x10;
    answer.ErrorCode = (options & 0x20) ? 10060 : 0;
    WhoisChainState state;
    std::vector<std::string> candidates{"whois.c.test", "", "whois.d.test"};
    int steps = 0;
    for (;;) {
        int asks = 0;
        WhoisStep step = ChooseWhoisStep(answer, hitKeys, state, [&] {
            ++asks;
            if (candidates.empty())
                return std::string();
            std::string next = candidates.front();
            candidates.erase(candidates.begin());
            return next;
        });
        // Asked again only while sweeping past servers that had the query already.
        FUZZ_CHECK(asks <= 1 || answer.SweepCheck);
        FUZZ_CHECK(asks <= 4);
        FUZZ_CHECK(state.Referrals >= 0 && state.Referrals <= kMaxReferrals);
        FUZZ_CHECK(platform::IsValidUtf8(ChainText(state, step.View, TextStyle::Window)) ||
                   !platform::IsValidUtf8(query) || !platform::IsValidUtf8(asked));
        if (step.kind != WhoisStep::FollowReferral)
            break;
        FUZZ_CHECK(!step.Server.empty());
        FUZZ_CHECK(++steps <= kMaxReferrals);
        answer.AskedServer = step.Server;
        answer.CurrentTarget = step.Server;
        answer.Query = step.Query;
    }
    return 0;
}
