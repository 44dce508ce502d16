// The history lists (Whois.lst, Hosts.lst): any file's lines cleaned as at start-up, then an
// entry recorded or removed as the boxes do.
//
// Input: one option byte, then the file's bytes; the last line is also the edit text.
#include "fuzz/FuzzCommon.h"
#include "mainview/History.h"
#include "platform/TextFile.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool Trimmed(const std::string& s) {
    return s.empty() || (static_cast<unsigned char>(s.front()) > ' ' &&
                         static_cast<unsigned char>(s.back()) > ' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t options = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<std::string> list = platform::SplitLines(platform::ToUtf8(bytes));
    const std::string edit = list.empty() ? std::string() : list.back();
    mainview::CleanHistory(list);
    std::set<std::string> seen;
    for (const auto& e : list) {
        FUZZ_CHECK(!e.empty() && Trimmed(e));
        FUZZ_CHECK(seen.insert(e).second);
    }
    std::vector<std::string> cleaned = list;
    mainview::CleanHistory(cleaned);
    FUZZ_CHECK(cleaned == list);

    const bool remove = options & 1;
    const bool stripUser = options & 2;
    const size_t before = list.size();
    const auto result = mainview::RecordHistory(list, edit, remove, stripUser);
    if (!result) {
        FUZZ_CHECK(mainview::TrimBlanks(edit).empty());
        FUZZ_CHECK(list.size() == before);
    } else {
        FUZZ_CHECK(list.size() <= std::max(before, mainview::MaxHistory));
        FUZZ_CHECK(Trimmed(*result));
        if (!remove && !result->empty() && edit.find("://") == std::string::npos)
            FUZZ_CHECK(list.front() == *result);
    }
    for (const auto& e : list)
        FUZZ_CHECK(Trimmed(e));

    const auto parts = fuzz::SplitInput(bytes, "\x1f", 3);
    if (parts.size() == 3) {
        const std::string text(parts[0]);
        const std::string got =
            mainview::ExtractBetween(text, std::string(parts[1]), std::string(parts[2]));
        FUZZ_CHECK(Trimmed(got));
        FUZZ_CHECK(text.find(got) != std::string::npos);
    }
    return 0;
}
