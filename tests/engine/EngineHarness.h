#pragma once

// What the engine's network tests share: the headless main thread to pump, and a recorder
// of every event of a controller, in order.
#include "engine/PingCtrl.h"
#include "platform/HeadlessMainThread.h"
#include "tests/support/NetSandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace enginetest {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

#define REQUIRE_SANDBOX()                                                                          \
    if (!testsupport::NetSandboxAvailable())                                                       \
    GTEST_SKIP() << testsupport::NetSandboxReason()

// One raised event, with everything it carried.
struct Event {
    std::string kind; // "Start", "LookupStart", "Resolved", "WhoisStart", "WhoisResult",
                      // "SmtpResult", "EchoReply", "TraceHop", "HopResolved", "TraceEnd",
                      // "Done"
    TObject* sender = nullptr;
    int op = 0;
    int32_t code = 0;
    std::string text1; // target, server or query
    std::string text2; // query or response
    TagHostEnt host;
    int32_t seq = 0;       // echo sequence or hop number
    int status = 0;        // probe status
    int32_t replyTime = 0; // milliseconds
    std::string address;   // answering address of a hop
};

// Binds every event of the controller.
class EventLog {
public:
    explicit EventLog(TPingTrace& trace);

    std::vector<Event> events;

    // The kinds in order, e.g. "Start LookupStart Resolved Done".
    std::string Kinds() const;
    int Count(const std::string& kind) const;
    // The first event of that kind; fails the test when there is none.
    const Event& First(const std::string& kind) const;
};

platform::HeadlessMainThread& Main();

// Pumps the main thread until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, Ms timeout = 10s);
// Pumps for the whole span (to show that nothing more arrives).
void PumpFor(Ms span);
// Pumps until the log holds an event of that kind.
bool WaitFor(const EventLog& log, const std::string& kind, Ms timeout = 10s);

// How long fn takes.
Ms Timed(const std::function<void()>& fn);

// Pumps until every worker has left the registry (they free themselves after their end).
bool WorkersGone(Ms timeout = 3s);

} // namespace enginetest
