#pragma once

#include "engine/EngineTypes.h"
#include "engine/WSAThread.h"
#include "platform/WinSock.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Longest query or SMTP text that is sent; a longer one is refused with WSAEMSGSIZE.
constexpr size_t MaxRequestText = 1024;
// An answer is read up to this many bytes and cut there.
constexpr size_t MaxAnswerBytes = 4u << 20;
// The line that ends an answer cut at MaxAnswerBytes (after a line break of its own).
inline constexpr const char* AnswerCutNote = "[The answer was cut here at 4 MiB.]\r\n";
// recv's chunk size.
constexpr int ResponseChunk = 512;

// 0 when `text` may be sent; WSAEMSGSIZE when it is too long; WSAEINVAL when it holds a
// control character (C0 or C1; see platform::ControlLength), which could add lines to the
// conversation.
int32_t CheckRequestText(const std::string& text);

// select on one socket for reading: 1 readable, 0 time ran out, -1 error. 0 seconds waits
// half a millisecond.
int WaitReadable(winsock::SOCKET socket, int32_t seconds);

// Reads chunks while each arrives within `seconds`, until the peer closes, stays silent, fails
// or sends more than MaxAnswerBytes: then the text is cut there and AnswerCutNote ends it.
// Each chunk is taken up to its first zero byte. Returns the code: 0 when any text was read,
// else the WinSock code of a failed recv, else -1.
int32_t ReadResponse(winsock::SOCKET socket, int32_t seconds, std::string& text);

// A one-exchange TCP client: connect, send the request, read the answer, report.
class TQueryClient : public TWSAThread {
public:
    // Where the worker connects: a found server, or a dotted address typed as the server
    // (used as it is, even when it has no reverse name).
    TagHostEnt FServer;
    std::string FQuery;
    int32_t FResultCode = 0;
    std::string FResponse;
    TQueryStartEvent OnQueryStart;
    TQueryResultEvent OnQueryResult;
    // A server named by FLookup is looked up by this worker itself, just before it connects
    // (AF_INET or AF_INET6 in FFamily keeps that family only): one worker and one hand-off
    // fewer than a lookup worker of its own. OnServerFound reports the record first, in the
    // same hand-off as OnQueryStart.
    std::string FLookup;
    int FFamily = 0;
    std::function<void(TObject* Sender, const TagHostEnt& Host)> OnServerFound;

protected:
    TQueryClient(const std::string& query, const TagHostEnt& server, uint16_t port,
                 const char* trailer, int32_t waitSeconds);
    void Execute() override;
    // A step that could not run reports its error as its result.
    void Failed(bool noThread, std::exception_ptr error) override;

    // The text as it is sent: FQuery unless the kind of client sends another form of it.
    std::string FWire;
    // 0 when FWire may be sent, else the code it is refused with (see CheckRequestText).
    virtual int32_t CheckWire() const { return CheckRequestText(FWire); }

private:
    // Keeps the result and hands it to the main thread.
    void Report(int32_t code, std::string response);
    // The exchange with FServer; returns the code and fills `answer`.
    int32_t Exchange(std::string& answer);

    uint16_t FPort;
    const char* FTrailer;
    int32_t FWaitSeconds;
};

// One WHOIS query to port 43 (or another port for private servers): the query and CR LF;
// 5 seconds per chunk.
class TWhois : public TQueryClient {
public:
    TWhois(const std::string& query, const TagHostEnt& server, uint16_t port = 43);
};

// An SMTP text and QUIT to port 25, sent without waiting for the greeting; 15 s per chunk.
class TSMTP : public TQueryClient {
public:
    TSMTP(const std::string& text, const TagHostEnt& server);
};
