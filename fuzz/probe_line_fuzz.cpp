// The probe helper's line protocol: whatever a user feeds zindor-probe, or a helper writes
// back, is read without a fault, and whatever is accepted is written back as a line that
// reads the same again (the two sides never disagree on a line either side accepted).
#include "engine/ProbeProtocol.h"
#include "fuzz/FuzzCommon.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    uint32_t token = 0;
    if (const auto request = probeline::ParseRequest(line, token)) {
        FUZZ_CHECK(token == request->token && token != 0);
        FUZZ_CHECK(request->ttl >= 0 && request->ttl <= 255);
        FUZZ_CHECK(request->timeoutUs >= 1 && request->timeoutUs <= probeline::MaxTimeoutUs);
        const std::string again = probeline::FormatRequest(*request);
        FUZZ_CHECK(again.size() <= probeline::MaxLine);
        uint32_t token2 = 0;
        const auto reread = probeline::ParseRequest(again, token2);
        FUZZ_CHECK(reread && reread->address == request->address && reread->v6 == request->v6 &&
                   reread->ttl == request->ttl && reread->timeoutUs == request->timeoutUs &&
                   reread->scope == (request->v6 ? request->scope : 0));
    } else {
        FUZZ_CHECK(token <= probeline::MaxToken);
    }
    if (const auto reply = probeline::ParseReply(line)) {
        const auto reread = probeline::ParseReply(probeline::FormatReply(*reply));
        FUZZ_CHECK(reread && reread->token == reply->token && reread->outcome == reply->outcome &&
                   reread->source == reply->source && reread->code == reply->code &&
                   reread->roundTripUs == reply->roundTripUs && reread->error == reply->error);
    }
    bool v4 = false, v6 = false;
    if (probeline::ParseReady(line, v4, v6)) {
        bool v4b = false, v6b = false;
        FUZZ_CHECK(probeline::ParseReady(probeline::FormatReady(v4, v6), v4b, v6b) && v4b == v4 &&
                   v6b == v6);
    }
    return 0;
}
