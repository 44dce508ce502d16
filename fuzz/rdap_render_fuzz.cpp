// The RDAP answer renderer, the error line and the registrar link over any bytes.
// Input: the answer's bytes as they came from the server.
#include "fuzz/FuzzCommon.h"
#include "platform/TextFile.h"
#include "rdap/RdapRender.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// What reaches the screen: whole lines of printable UTF-8, no terminal controls.
bool Printable(std::string_view s) {
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\n') || u == 0x7f)
            return false;
    }
    return platform::IsValidUtf8(s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view json(reinterpret_cast<const char*>(data), size);
    std::string text = rdap::Render(json);
    FUZZ_CHECK(!text.empty() && text.back() == '\n');
    FUZZ_CHECK(Printable(text));
    std::string error = rdap::RenderError(json, 404);
    FUZZ_CHECK(error.rfind("No match", 0) == 0);
    FUZZ_CHECK(Printable(error) && error.find('\n') == std::string::npos);
    std::string link = rdap::RegistrarLink(json);
    FUZZ_CHECK(link.empty() || (link.find("/domain/") != std::string::npos &&
                                (link.rfind("https://", 0) == 0 || link.rfind("http://", 0) == 0)));
    // Only a JSON object can be an answer at all. The answer's own strings may say anything,
    // so the renderer's refusals are recognised whole.
    if (rdap::ClassifyAnswer(json) != rdap::AnswerKind::NotRdap)
        FUZZ_CHECK(text.rfind("The RDAP answer is not JSON (", 0) != 0 &&
                   text != "The RDAP answer is JSON but not an RDAP object.\n");
    return 0;
}
