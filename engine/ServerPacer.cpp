#include "engine/ServerPacer.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::chrono::seconds kWindow{1};
// A rest never grows past this, however many notices come in a row.
constexpr ServerPacer::Ms kLongestRest{300000};

} // namespace

ServerPacer::ServerPacer(int inFlight, Ms interval, std::function<Clock::time_point()> now)
    : maxInFlight_(std::max(1, inFlight)), interval_(interval), now_(std::move(now)) {}

std::string ServerPacer::Key(const std::string& server) {
    std::string key = server;
    while (!key.empty() && key.back() == '.')
        key.pop_back();
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return key;
}

ServerPacer::Clock::time_point ServerPacer::ReadyAt(const Server& s) const {
    return std::max(s.nextStart, s.restUntil);
}

bool ServerPacer::Free(const std::string& server) const {
    if (inFlight_ >= maxInFlight_)
        return false;
    const auto it = servers_.find(Key(server));
    return it == servers_.end() || (!it->second.busy && ReadyAt(it->second) <= now_());
}

void ServerPacer::Ask(const std::string& server, std::function<void()> send) {
    waiting_.push_back({Key(server), std::move(send)});
    Run();
}

ServerPacer::Clock::time_point ServerPacer::Run() {
    const Clock::time_point now = now_();
    Clock::time_point next = Clock::time_point::max();
    std::vector<std::function<void()>> sends;
    for (auto it = waiting_.begin(); it != waiting_.end() && inFlight_ < maxInFlight_;) {
        auto [entry, added] = servers_.try_emplace(it->server);
        Server& s = entry->second;
        if (added)
            s.interval = interval_;
        if (s.busy) {
            ++it;
            continue;
        }
        if (ReadyAt(s) > now) {
            next = std::min(next, ReadyAt(s));
            ++it;
            continue;
        }
        s.busy = true;
        s.nextStart = now + s.interval;
        ++inFlight_;
        sends.push_back(std::move(it->send));
        it = waiting_.erase(it);
    }
    // Sent after the books are settled: a send may ask for more.
    for (auto& send : sends)
        send();
    return next;
}

ServerPacer::Ms ServerPacer::Answered(const std::string& server, bool limited) {
    Server& s = servers_[Key(server)];
    if (s.busy) {
        s.busy = false;
        --inFlight_;
    }
    const Clock::time_point now = now_();
    // The answers of the last second only.
    std::erase_if(s.answers, [now](Clock::time_point t) { return now - t >= kWindow; });
    Ms rest{0};
    if (!limited) {
        s.strikes = 0;
        s.answers.push_back(now);
    } else {
        ++notices_;
        // The server took as many as it answered in the last second: from now on no faster
        // than that (a little slower), and half as fast after each further notice.
        const auto answered = static_cast<int>(s.answers.size());
        const Ms pace = Ms(1050) / std::max(1, answered);
        s.interval = std::max(s.interval * 2, pace);
        rest = std::min(kLongestRest, kFirstRest * (1 << std::min(s.strikes, 8)));
        ++s.strikes;
        s.answers.clear();
        s.restUntil = std::max(s.restUntil, now + rest);
    }
    if (OnFree)
        OnFree();
    return rest;
}

std::pair<std::string, ServerPacer::Ms> ServerPacer::LongestRest() const {
    const Clock::time_point now = now_();
    std::pair<std::string, Ms> longest{std::string(), Ms(0)};
    for (const auto& [name, s] : servers_) {
        const Ms left = std::chrono::duration_cast<Ms>(s.restUntil - now);
        if (left > longest.second)
            longest = {name, left};
    }
    return longest;
}
