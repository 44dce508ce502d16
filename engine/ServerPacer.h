#pragma once

#include "engine/WhoisSession.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <string>

// The pacing of a bulk run (zwhois -): at most one step at a time to each server, at most
// `inFlight` steps in all, at least `interval` between the starts of two steps to one server,
// and after a server's limit notice a rest that grows with each notice in a row, with the
// server slowed down for the rest of the run. A waiting step never holds back a step to
// another server. Everything runs on the main thread; time comes from `now`.
class ServerPacer : public StepPacer {
public:
    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::milliseconds;

    // The first rest after a notice; each further notice in a row doubles it.
    static constexpr Ms kFirstRest{2000};

    ServerPacer(int inFlight, Ms interval, std::function<Clock::time_point()> now = Clock::now);

    void Ask(const std::string& server, std::function<void()> send) override;
    Ms Answered(const std::string& server, bool limited) override;

    // Called when a step's answer has freed a server (the front end wakes its loop to Run).
    std::function<void()> OnFree;

    // Whether a step to `server` would be sent at once.
    bool Free(const std::string& server) const;
    // Sends, in the order they were asked, the waiting steps that may go now. Returns when
    // the next waiting step may go; Clock::time_point::max() when none waits for a time.
    Clock::time_point Run();
    // Forgets every waiting step without sending it.
    void Drop() { waiting_.clear(); }

    size_t Waiting() const { return waiting_.size(); }
    int InFlight() const { return inFlight_; }
    int Notices() const { return notices_; }
    // The server whose rest after a notice ends last, and how much of it is left; empty and
    // zero when no server rests.
    std::pair<std::string, Ms> LongestRest() const;

private:
    struct Server {
        bool busy = false;
        Ms interval{};
        int strikes{}; // notices in a row
        Clock::time_point nextStart{}, restUntil{};
        std::deque<Clock::time_point> answers; // answers without a notice in the last second
    };
    struct Step {
        std::string server;
        std::function<void()> send;
    };

    static std::string Key(const std::string& server);
    Clock::time_point ReadyAt(const Server& s) const;

    int maxInFlight_;
    Ms interval_;
    std::function<Clock::time_point()> now_;
    std::map<std::string, Server> servers_;
    std::deque<Step> waiting_;
    int inFlight_ = 0;
    int notices_ = 0;
};
