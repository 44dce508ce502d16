#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// What a fake server does once it has the request of one connection.
struct FakeReply {
    // Sent in order; with a gap between them each normally reaches the client as its own recv.
    std::vector<std::string> chunks;
    std::chrono::milliseconds gap{0};
    // Close: end the conversation (FIN) after the last chunk. Silence: keep the connection
    // open without another byte until the client closes it or the server stops. Reset: after
    // the last chunk and one more gap, abort the connection (RST).
    enum class End { Close, Silence, Reset } end = End::Close;
};

// An in-process TCP server on one loopback address and port, with a scripted answer per
// connection. It records the bytes each connection received and counts connections. Its
// life is bounded: it stops by itself after `lifetime`, and every wait ends when it stops.
class FakeServer {
public:
    using Script = std::function<FakeReply(const std::string& request)>;

    struct Options {
        std::string greeting;            // sent right after accept (a mail server's banner)
        std::string requestEnd = "\r\n"; // the request is complete when it ends with this;
                                         // empty: reply without waiting for a request
        std::chrono::milliseconds requestWait{3000};
        std::chrono::milliseconds lifetime{60000};
    };

    FakeServer(const std::string& address, uint16_t port, Script script);
    FakeServer(const std::string& address, uint16_t port, Script script, Options options);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    const std::string& Error() const { return error_; }

    int Connections() const;
    int Finished() const; // connections whose handling has ended
    // Everything each connection received, in the order the connections came.
    std::vector<std::string> Received() const;
    std::string AllReceived() const;
    bool WaitConnections(int count, std::chrono::milliseconds timeout) const;
    bool WaitFinished(int count, std::chrono::milliseconds timeout) const;

    // Ends every connection and joins the threads; the destructor calls it.
    void Stop();

    // Ready-made scripts.
    static Script Answer(std::string text);
    // The request line (without its CR LF) picks the answer; others get `otherwise`.
    static Script AnswerByQuery(std::map<std::string, std::string> answers, std::string otherwise);
    static Script CloseAtOnce();
    static Script PartThenSilence(std::string part);
    static Script Silence();
    static Script Chunks(std::vector<std::string> chunks, std::chrono::milliseconds gap);
    // `part` (may be empty), then after `gap` a reset.
    static Script PartThenReset(std::string part, std::chrono::milliseconds gap);

private:
    void AcceptLoop();
    void Serve(int fd, size_t index);
    void JoinFinishedWorkers();
    void MarkFinished();
    bool WaitReadable(int fd, std::chrono::steady_clock::time_point until) const;
    bool Pause(std::chrono::milliseconds span) const;
    bool SendAll(int fd, const std::string& bytes) const;
    void Record(size_t index, const char* data, size_t size);

    Script script_;
    Options options_;
    std::string error_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::chrono::steady_clock::time_point deadline_;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    struct Worker {
        std::thread thread;
        bool done = false; // Serve has returned its results; the thread is about to end
    };
    std::vector<Worker> workers_; // finished ones are joined as new connections come

    std::vector<std::string> received_;
    int finished_ = 0;
    bool stopped_ = false;
};

} // namespace testsupport
