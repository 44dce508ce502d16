// Every operation ends, whatever goes wrong underneath: a connect that is never answered
// gives up, a worker that gets no thread or whose body throws reports a failed step, and the
// program's end cannot meet a hand-off halfway through.
#include "tests/engine/EngineHarness.h"
#include "tests/support/BlackHole.h"
#include "tests/support/FakeServer.h"

#include "engine/IcmpProbe.h"
#include "platform/WinSock.h"

#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>

using namespace enginetest;
using testsupport::BlackHole;
using testsupport::FakeServer;
namespace sb = testsupport::sandbox;

namespace {

class Failures : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SANDBOX(); }
    void TearDown() override {
        winsock::SetConnectTimeout(Ms(0));
        platform::Thread::InjectStartFailure(false);
        EXPECT_TRUE(WorkersGone());
    }

    TPingTrace trace;
    EventLog log{trace};
};

} // namespace

TEST_F(Failures, ConnectWaitIsBoundedAsOnWinSock) {
    EXPECT_EQ(winsock::ConnectTimeout(), Ms(21000));
    winsock::SetConnectTimeout(400ms);
    BlackHole whoisHole(sb::kBlackHoleAddr, 43), smtpHole(sb::kBlackHoleAddr, 25);
    ASSERT_TRUE(whoisHole.Ready() && smtpHole.Ready()) << whoisHole.Error() << smtpHole.Error();
    struct Case {
        const char* kind;
        std::function<void()> start;
    } cases[] = {
        {"WhoisResult", [&] { trace.WhoisResolve(sb::kBlackHole, "a.test"); }},
        {"SmtpResult", [&] { trace.Smtp(sb::kBlackHole, "EXPN x"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const Ms took = Timed([&] {
            c.start();
            EXPECT_TRUE(WaitFor(log, c.kind, 5s)) << "events: " << log.Kinds();
        });
        EXPECT_GE(took, 380ms);
        EXPECT_LT(took, 3s);
        EXPECT_EQ(log.First(c.kind).code, 10060);
        EXPECT_EQ(log.First(c.kind).text2, "Error WSAETIMEDOUT");
    }
    EXPECT_TRUE(trace.FIdle);
}

TEST_F(Failures, NoThreadForAWorkerEndsEveryOperationWithAnError) {
    platform::Thread::InjectStartFailure(true);
    trace.Lookup(sb::kWhoisA);
    ASSERT_TRUE(WaitFor(log, "Done", 3s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved Done");
    EXPECT_FALSE(log.First("Resolved").host.Found);
    EXPECT_EQ(log.First("Resolved").host.Error, 10055) << "no thread, which a trace says too";
    log.events.clear();
    trace.Trace("127.0.0.1");
    ASSERT_TRUE(WaitFor(log, "Done", 3s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.Kinds(), "Start LookupStart Resolved TraceHop TraceEnd Done");
    EXPECT_EQ(log.First("TraceHop").status, 2);

    // The server's lookup fails, and so does the exchange: its error is the result.
    log.events.clear();
    trace.WhoisResolve(sb::kWhoisA, "a.test");
    ASSERT_TRUE(WaitFor(log, "WhoisResult", 3s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.First("WhoisResult").code, 10055);
    EXPECT_EQ(log.First("WhoisResult").text2, "Error WSAENOBUFS");
    trace.WhoisEnded();
    EXPECT_EQ(log.Count("Done"), 1);

    log.events.clear();
    trace.Smtp(sb::kSmtpA, "EXPN x");
    ASSERT_TRUE(WaitFor(log, "SmtpResult", 3s)) << "events: " << log.Kinds();
    EXPECT_EQ(log.First("SmtpResult").text2, "Error WSAENOBUFS");
    EXPECT_TRUE(trace.FIdle);
}

namespace {

// Workers whose body throws, standing in for any failure inside a body.
template <class Base> class Throwing : public Base {
public:
    template <class... Args>
    Throwing(std::exception_ptr error, Args&&... args)
        : Base(std::forward<Args>(args)...), error_(error) {}

protected:
    void Execute() override { std::rethrow_exception(error_); }

private:
    std::exception_ptr error_;
};

} // namespace

TEST_F(Failures, ThrowingBodyReportsItsStepAsFailedAndEnds) {
    struct Case {
        const char* name;
        std::exception_ptr error;
        int32_t code;
        const char* text;
    } cases[] = {
        {"out of memory", std::make_exception_ptr(std::bad_alloc()), 10055, "Error WSAENOBUFS"},
        {"anything else", std::make_exception_ptr(std::runtime_error("x")), -1, "Unknown Error!"},
    };
    TagHostEnt server;
    server.Found = true;
    server.Query = sb::kWhoisA;
    server.Address = testsupport::Ipv4(sb::kWhoisAAddr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t code = 0;
        std::string text;
        bool lookedUp = false, ended = false;
        TagHostEnt host;
        auto* whois = new Throwing<TWhois>(c.error, "a.test", server);
        whois->OnQueryResult = [&](TObject*, int32_t k, const std::string&, const std::string& r) {
            code = k;
            text = r;
        };
        whois->OnThreadEnd = [&](TObject*) { ended = true; };
        auto* lookup = new Throwing<TNameResolv>(c.error, sb::kWhoisA);
        lookup->OnLookup = [&](TObject*, const TagHostEnt& h) {
            lookedUp = true;
            host = h;
        };
        // An echo answers once, with an error, so the ping series waiting for it goes on.
        int echoStatus = -1;
        auto* echo = new Throwing<TEcho>(c.error, server, 256, 1);
        echo->OnReply = [&](TObject*, uint8_t status, const tagPACKET&) { echoStatus = status; };
        ASSERT_TRUE(PumpUntil(
            [&] { return ended && lookedUp && echoStatus >= 0 && WorkerThreads.Count() == 0; }));
        EXPECT_EQ(echoStatus, 2);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(text, c.text);
        EXPECT_FALSE(host.Found);
        EXPECT_EQ(host.Query, sb::kWhoisA);
        EXPECT_EQ(host.Error, c.code);
    }
}

namespace {

// A main-thread service whose Post, when called by a worker, dawdles before it touches its
// queue: the window in which the program's end could destroy the service under it.
class DawdlingMain : public platform::HeadlessMainThread {
public:
    void Post(std::function<void()> fn) override {
        if (!IsCurrent()) {
            entered = true;
            std::this_thread::sleep_for(300ms);
        }
        platform::HeadlessMainThread::Post(std::move(fn));
    }
    // Out of service before this part of the object goes: a worker's hand-off calls the
    // service's virtual functions under the install lock, so the table they go through must
    // not change outside it.
    ~DawdlingMain() override { platform::UninstallMainThread(this); }
    std::atomic<bool> entered{false};
};

} // namespace

TEST_F(Failures, ExitCannotDestroyTheServiceDuringAHandOff) {
    // A lookup hands its result over just as the program ends: the controller's destruction
    // ends the worker, then the service goes. Under ASan this is a use after free unless the
    // service's destruction waits for the hand-off it is in.
    platform::MainThread* harnessMain = platform::CurrentMainThread();
    const int live = platform::Thread::LiveCount();
    auto* dawdling = new DawdlingMain;
    platform::InstallMainThread(dawdling);
    auto doomed = std::make_unique<TPingTrace>();
    doomed->Lookup(sb::kWhoisA);
    const bool entered = dawdling->RunUntil([&] { return dawdling->entered.load(); }, 5s);
    doomed.reset();
    delete dawdling;
    platform::InstallMainThread(harnessMain);
    ASSERT_TRUE(entered);
    // The ended worker leaves the registry at once; wait until it has really gone.
    EXPECT_TRUE(PumpUntil([&] { return platform::Thread::LiveCount() == live; }, 3s));
}
