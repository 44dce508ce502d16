#pragma once

#include "cli/CliOptions.h"

#include "engine/PingCtrl.h"
#include "platform/HeadlessMainThread.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cli {

// Exit statuses.
constexpr int kExitHit = 0;
constexpr int kExitNoHit = 1;
constexpr int kExitError = 2;
constexpr int kExitInterrupted = 130;

// Ctrl-C and SIGTERM ask the main loop to stop every operation. Call first in main.
void CatchInterrupts();
bool Interrupted();
// The flag behind Interrupted, for blocking calls that poll one.
const std::atomic<bool>& InterruptFlag();

// The files the window keeps in its home folder, read here and never written.
struct HomeFiles {
    std::string ServerFile;
    std::string HitKeyFile;
    std::string SettingsFile;
    // The RDAP bootstrap's folders: the home folder's rdap/, then the shipped one.
    std::vector<std::string> RdapFolders;
    // Where Server.wis and Servhit.key were looked for; a file found nowhere has no name.
    std::vector<std::string> LookedIn;
};
// The window's home folder rules, applied as if the window's executable sat beside ours.
// A home folder without Server.wis or Servhit.key uses the shipped ones beside the
// executable, as the window's first start would have copied them.
HomeFiles FindHomeFiles(const std::string& explicitHome);
// Says on stderr which of Server.wis and Servhit.key was found nowhere, and where it was
// looked for. Returns false without Servhit.key: no answer could then be judged.
bool CheckWhoisFiles(const HomeFiles& files);

// One run of the program: the headless main loop and the operation controller on it.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    TPingTrace& Trace() { return *trace_; }

    // Pumps the main loop until done() holds. On Ctrl-C stops every operation, as the
    // window's Stop command does, and returns false.
    bool Pump(const std::function<bool()>& done);
    // Runs fn from the main loop once `delay` has passed (one pending call at a time).
    void RunAfter(std::chrono::milliseconds delay, std::function<void()> fn);
    void CancelRunAfter() { timer_ = nullptr; }

private:
    platform::HeadlessMainThread mainThread_;
    std::unique_ptr<TPingTrace> trace_;
    std::function<void()> timer_;
    std::chrono::steady_clock::time_point timerDue_;
};

} // namespace cli
