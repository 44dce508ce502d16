#include "tests/engine/EngineHarness.h"

#include <cstdlib>

namespace enginetest {

namespace {

Event Make(const char* kind, TObject* sender, int op = 0, int32_t code = 0,
           const std::string& text1 = {}, const std::string& text2 = {}) {
    Event e;
    e.kind = kind;
    e.sender = sender;
    e.op = op;
    e.code = code;
    e.text1 = text1;
    e.text2 = text2;
    return e;
}

} // namespace

EventLog::EventLog(TPingTrace& trace) {
    trace.OnStart = [this](TObject* s, uint8_t op) { events.push_back(Make("Start", s, op)); };
    trace.OnLookupStart = [this](TObject* s, uint8_t op, const std::string& target) {
        events.push_back(Make("LookupStart", s, op, 0, target));
    };
    trace.OnResolved = [this](TObject* s, uint8_t op, const TagHostEnt& host) {
        events.push_back(Make("Resolved", s, op));
        events.back().host = host;
    };
    trace.OnWhoisStart = [this](TObject* s, const std::string& server, const std::string& query) {
        events.push_back(Make("WhoisStart", s, 0, 0, server, query));
    };
    trace.OnWhoisResult = [this](TObject* s, int32_t code, const std::string& query,
                                 const std::string& response) {
        events.push_back(Make("WhoisResult", s, 0, code, query, response));
    };
    trace.OnSmtpResult = [this](TObject* s, int32_t code, const std::string& query,
                                const std::string& response) {
        events.push_back(Make("SmtpResult", s, 0, code, query, response));
    };
    trace.OnEchoReply = [this](TObject* s, uint8_t status, int32_t seq, int32_t ms,
                               const TagHostEnt& host) {
        events.push_back(Make("EchoReply", s));
        events.back().status = status;
        events.back().seq = seq;
        events.back().replyTime = ms;
        events.back().host = host;
    };
    trace.OnTraceHop = [this](TObject* s, int32_t hop, uint8_t status, int32_t ms,
                              const std::string& address) {
        events.push_back(Make("TraceHop", s));
        events.back().seq = hop;
        events.back().status = status;
        events.back().replyTime = ms;
        events.back().address = address;
    };
    trace.OnHopResolved = [this](TObject* s, int32_t hop, const TagHostEnt& host) {
        events.push_back(Make("HopResolved", s));
        events.back().seq = hop;
        events.back().host = host;
    };
    trace.OnTraceEnd = [this](TObject* s) { events.push_back(Make("TraceEnd", s)); };
    trace.OnDone = [this](TObject* s) { events.push_back(Make("Done", s)); };
}

std::string EventLog::Kinds() const {
    std::string kinds;
    for (const auto& e : events)
        kinds += (kinds.empty() ? "" : " ") + e.kind;
    return kinds;
}

int EventLog::Count(const std::string& kind) const {
    int n = 0;
    for (const auto& e : events)
        n += e.kind == kind;
    return n;
}

const Event& EventLog::First(const std::string& kind) const {
    for (const auto& e : events)
        if (e.kind == kind)
            return e;
    ADD_FAILURE() << "no " << kind << " event; events: " << Kinds();
    static const Event none;
    return none;
}

platform::HeadlessMainThread& Main() {
    auto* main = dynamic_cast<platform::HeadlessMainThread*>(platform::CurrentMainThread());
    if (!main)
        std::abort(); // the test main installs one before any test runs
    return *main;
}

bool PumpUntil(const std::function<bool()>& done, Ms timeout) {
    return Main().RunUntil(done, timeout);
}

void PumpFor(Ms span) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until)
        Main().ProcessEvents(5ms);
}

bool WaitFor(const EventLog& log, const std::string& kind, Ms timeout) {
    return PumpUntil([&] { return log.Count(kind) > 0; }, timeout);
}

Ms Timed(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
}

bool WorkersGone(Ms timeout) {
    return PumpUntil([] { return WorkerThreads.Count() == 0; }, timeout);
}

} // namespace enginetest
