// The probe helper's serving loop, run in this test process on raw sockets of its own (the
// sandbox's root may open them): every line gets its answer, in order, and the limits on
// probes in flight, in a run and per second hold at their values and one past.
#include "engine/ProbeServer.h"
#include "engine/IcmpSocket.h"
#include "engine/ProbeHelper.h"
#include "engine/ProbeProtocol.h"
#include "platform/WinSock.h"
#include "tests/support/NetSandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class Served {
public:
    explicit Served(const probeserver::Limits& limits) {
        ok_ = testsupport::NetSandboxAvailable() && OpenRawIcmpSocket(v4_, AF_INET) &&
              ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends_) == 0;
        if (ok_)
            thread_ = std::thread([this, limits] {
                result_ = probeserver::Serve(ends_[1], ends_[1], v4_, v6_, limits);
            });
    }
    ~Served() {
        End();
        CloseIcmpSocket(v4_);
    }
    bool Ok() const { return ok_; }
    void Write(const std::string& text) {
        ASSERT_EQ(::write(ends_[0], text.data(), text.size()), ssize_t(text.size()));
    }
    // The next line, or "" after 5 s.
    std::string Line() {
        for (;;) {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                const std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            pollfd p{ends_[0], POLLIN, 0};
            char chunk[512];
            if (::poll(&p, 1, 5000) != 1)
                return "";
            const ssize_t n = ::read(ends_[0], chunk, sizeof chunk);
            if (n <= 0)
                return "";
            buffer_.append(chunk, size_t(n));
        }
    }
    // True once the loop has read all that was written (within 5 s).
    bool Drained() {
        for (int i = 0; i < 500; ++i) {
            int unread = 0;
            if (::ioctl(ends_[1], FIONREAD, &unread) == 0 && unread == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // The helper's input ends; the loop must end too.
    int End() {
        if (thread_.joinable()) {
            ::shutdown(ends_[0], SHUT_WR);
            thread_.join();
            ::close(ends_[0]);
            ::close(ends_[1]);
        }
        return result_;
    }

private:
    bool ok_ = false;
    IcmpSocket v4_, v6_;
    int ends_[2] = {-1, -1};
    std::thread thread_;
    int result_ = -1;
    std::string buffer_;
};

TEST(ProbeServer, EachLineIsAnsweredInOrderAndTheLoopEndsWithItsInput) {
    Served served({});
    if (!served.Ok())
        GTEST_SKIP() << "no raw socket here";
    served.Write("x\n"
                 "7 send-probe ip-4 255.255.255.255\n"
                 "8 send-probe ip-6 ::1\n" +
                 std::string(probeline::MaxLine + 1, 'a') + "\n" +
                 "9 send-probe ip-4 127.0.0.1 ttl 64 timeout-us 2000000\r\n");
    EXPECT_EQ(served.Line(), "0 invalid-argument");
    EXPECT_EQ(served.Line(), "7 invalid-argument");
    EXPECT_EQ(served.Line(), "8 permission-denied"); // no IPv6 socket was handed over
    EXPECT_EQ(served.Line(), "0 invalid-argument");  // the over-long line, once
    EXPECT_EQ(served.Line(), "9 sent");
    const std::string answer = served.Line();
    EXPECT_TRUE(answer.starts_with("9 reply ip-4 127.0.0.1 code 0 round-trip-us ")) << answer;
    const auto before = Clock::now();
    EXPECT_EQ(served.End(), 0);
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
}

// A line whose newline comes in a later read: held up to the longest, dropped past it (said
// once, the rest up to its newline unread).
TEST(ProbeServer, ALineSplitAcrossReadsIsHeldUpToTheLongest) {
    std::string longest = "5 send-probe ip-4 255.255.255.255";
    longest.insert(1, probeline::MaxLine - longest.size(), ' ');
    const struct {
        const char* name;
        std::vector<std::string> writes; // each read by the loop before the next
        std::vector<std::string> answers;
    } rows[] = {
        {"at the longest", {longest, "\n6 send-probe ip-4 ::1\n"}, {"5 invalid-argument"}},
        {"one past", {longest + " ", "x\n6 send-probe ip-4 ::1\n"}, {"0 invalid-argument"}},
        {"the longest, CR apart from its LF",
         {longest + "\r", "\n6 send-probe ip-4 ::1\n"},
         {"5 invalid-argument"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Served served({});
        if (!served.Ok())
            GTEST_SKIP() << "no raw socket here";
        for (const std::string& text : row.writes) {
            served.Write(text);
            ASSERT_TRUE(served.Drained());
        }
        for (const std::string& answer : row.answers)
            EXPECT_EQ(served.Line(), answer);
        EXPECT_EQ(served.Line(), "6 invalid-argument"); // and nothing between
    }
}

TEST(ProbeServer, ProbesInFlightAndInOneRunAreBoundedAtTheirLimit) {
    const struct {
        probeserver::Limits limits;
        const char* third; // what the third of three requests at once gets
    } rows[] = {{{2, 32, 100, 4096}, "3 probes-exhausted"},
                {{3, 32, 100, 4096}, "3 sent"},
                {{16, 32, 100, 2}, "3 probes-exhausted"},
                {{16, 32, 100, 3}, "3 sent"}};
    for (const auto& row : rows) {
        Served served(row.limits);
        if (!served.Ok())
            GTEST_SKIP() << "no raw socket here";
        served.Write("1 send-probe ip-4 127.0.0.1\n2 send-probe ip-4 127.0.0.1\n"
                     "3 send-probe ip-4 127.0.0.1\n");
        // Each probe sent is said twice (sent, then its answer); a refusal once.
        const bool refused = std::string(row.third).ends_with("exhausted");
        std::vector<std::string> lines;
        for (int i = 0; i < (refused ? 5 : 6); ++i) {
            const std::string line = served.Line();
            if (line.empty())
                break;
            lines.push_back(line);
        }
        const bool thirdSaid = std::find(lines.begin(), lines.end(), row.third) != lines.end();
        EXPECT_TRUE(thirdSaid) << row.third << " / " << row.limits.inFlight;
        // A refusal comes before anything is sent.
        if (refused) {
            EXPECT_EQ(lines.front(), row.third);
        }
    }
}

TEST(ProbeServer, PastTheBurstProbesWaitForTheRate) {
    Served served({16, 2, 20, 4096});
    if (!served.Ok())
        GTEST_SKIP() << "no raw socket here";
    served.Write("1 send-probe ip-4 127.0.0.1\n2 send-probe ip-4 127.0.0.1\n"
                 "3 send-probe ip-4 127.0.0.1\n");
    const auto start = Clock::now();
    Clock::time_point second, third;
    for (int i = 0; i < 6; ++i) {
        const std::string line = served.Line();
        if (line == "2 sent")
            second = Clock::now();
        if (line == "3 sent")
            third = Clock::now();
    }
    ASSERT_NE(third, Clock::time_point{});
    // The burst of two goes at once; the third waits for a twentieth of a second.
    EXPECT_LT(second - start, std::chrono::milliseconds(40));
    EXPECT_GE(third - start, std::chrono::milliseconds(40));
}

// A helper that is not what it should be: no greeting, the wrong families, or gone before it
// says a probe went out. The probing side refuses it, or fails the send, never takes it for
// a probe sent.
TEST(ProbeServer, AHelperThatFailsIsNeverTakenForOneThatWorks) {
    const struct {
        const char* script;
        bool starts;
    } rows[] = {{"exit 0", false}, {"echo 'ready ip-6'", false}, {"echo 'ready ip-4 ip-6'", true}};
    const char* built = std::getenv("ZW_PROBE_HELPER");
    const std::string original = built ? built : "";
    const std::string path = ::testing::TempDir() + "fake-probe.sh";
    for (const auto& row : rows) {
        std::ofstream(path) << "#!/bin/sh\n" << row.script << "\n";
        ::chmod(path.c_str(), 0755);
        ::setenv("ZW_PROBE_HELPER", path.c_str(), 1);
        int error = 0;
        const auto helper = ProbeHelper::Start(AF_INET, error);
        EXPECT_EQ(helper != nullptr, row.starts) << row.script;
        if (!helper) {
            EXPECT_EQ(error, winsock::WSAEACCES) << row.script;
            continue;
        }
        icmpflight::Probe probe;
        probe.to.v4 = testsupport::Ipv4("127.0.0.1");
        EXPECT_FALSE(helper->Send(probe, 0, std::chrono::seconds(1)));
        EXPECT_EQ(winsock::WSAGetLastError(), winsock::WSAENETDOWN);
    }
    ::setenv("ZW_PROBE_HELPER", original.c_str(), 1);
}

// The loop's status: 0 when its input ends, 1 when its input cannot be read.
TEST(ProbeServer, TheLoopsStatusSaysWhetherItsInputFailed) {
    int ended[2];
    ASSERT_EQ(::pipe(ended), 0);
    ::close(ended[1]);
    const int unreadable = ::open("/", O_RDONLY | O_DIRECTORY);
    const int out = ::open("/dev/null", O_WRONLY);
    const IcmpSocket none4, none6;
    EXPECT_EQ(probeserver::Serve(ended[0], out, none4, none6), 0);
    EXPECT_EQ(probeserver::Serve(unreadable, out, none4, none6), 1);
    for (int fd : {ended[0], unreadable, out})
        ::close(fd);
}

} // namespace
