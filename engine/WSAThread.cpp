#include "engine/WSAThread.h"

#include <algorithm>
#include <new>

TWorkerList& WorkerThreads = *new TWorkerList;

TWSAThread::TWSAThread(bool createSuspended) : platform::Thread(createSuspended) {
    FWinSockReady = winsock::WSAStartup(winsock::MakeWord(1, 1), &FWSAData) == 0;
    WorkerThreads.Add(this);
    FReplyTimeOut = 5000;
}

TWSAThread::~TWSAThread() {
    WorkerThreads.Remove(this);
    // Paired only with a start-up that succeeded: an unpaired clean-up would end another
    // worker's start-up.
    if (FWinSockReady)
        winsock::WSACleanup();
}

void TWorkerList::Add(TWSAThread* worker) {
    std::lock_guard lock(FLock);
    FList.push_back(worker);
}

void TWorkerList::Remove(TWSAThread* worker) {
    std::lock_guard lock(FLock);
    auto it = std::find(FList.begin(), FList.end(), worker);
    if (it != FList.end())
        FList.erase(it);
}

int TWorkerList::TerminateAll(const void* owner) {
    // A listed worker has not yet left its destructor's Remove, so it is safe to reach while
    // the lock is held.
    std::lock_guard lock(FLock);
    int ended = 0;
    auto keep = std::remove_if(FList.begin(), FList.end(), [&](TWSAThread* worker) {
        if (owner && worker->FOwner != owner)
            return false;
        worker->Terminate();
        ++ended;
        return true;
    });
    FList.erase(keep, FList.end());
    return ended;
}

int TWorkerList::Count() {
    std::lock_guard lock(FLock);
    return int(FList.size());
}

int32_t FailureCode(bool noThread, std::exception_ptr error) {
    if (noThread)
        return winsock::WSAENOBUFS;
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return winsock::WSAENOBUFS;
    } catch (...) {
    }
    return -1;
}
