#pragma once

#include "engine/EngineTypes.h"
#include "platform/Thread.h"
#include "platform/WinSock.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

// Base of every network worker: its own WinSock start-up, a place in WorkerThreads, and the
// hand-off of its events to the main thread. Workers are created with `new` on the main
// thread and free themselves (see platform::Thread).
class TWSAThread : public TObject, public platform::Thread {
public:
    explicit TWSAThread(bool createSuspended);
    ~TWSAThread() override;

    winsock::WSADATA FWSAData;
    bool FWinSockReady = false;
    int32_t FReplyTimeOut = 5000;
    // Raised on the main thread after the body has ended, unless the worker was stopped.
    TNotifyEvent OnThreadEnd;
    // The object that created the worker, so its destruction can end its own workers.
    const void* FOwner = nullptr;

protected:
    // Runs fn on the main thread and waits; false when the worker was stopped meanwhile.
    bool RaiseOnMain(std::function<void()> fn) { return Synchronize(std::move(fn)); }

private:
    bool WantsEndNotification() const override { return bool(OnThreadEnd); }
    void RaiseEndNotification() override { OnThreadEnd(this); }
};

// The WinSock code a worker reports when its step could not run to its end: WSAENOBUFS when
// no thread could be had or memory ran out, -1 (shown as "Unknown Error!") for anything else.
int32_t FailureCode(bool noThread, std::exception_ptr error);

// The live workers, process-wide, under their own lock.
class TWorkerList {
public:
    void Add(TWSAThread* worker);
    void Remove(TWSAThread* worker);
    // Ends every listed worker at once and empties the list; with an owner, only its workers.
    // Main thread only. Returns how many were ended.
    int TerminateAll(const void* owner = nullptr);
    int Count();

private:
    std::mutex FLock;
    std::vector<TWSAThread*> FList;
};

// Never destroyed: a worker that outlives everything else (a name lookup that cannot be
// interrupted) may still remove itself while the process ends.
extern TWorkerList& WorkerThreads;
