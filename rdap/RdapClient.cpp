#include "rdap/RdapClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <thread>

#include "rdap/RdapText.h"

namespace rdap {
namespace {

constexpr int kMaxRedirects = 5;
constexpr long kMaxRetryWaitSeconds = 10;
// How often a transfer looks at the stop flag while it waits for the network.
constexpr int kPollMs = 20;

std::once_flag gCurlInit;

bool Stopped(const FetchOptions& options) {
    return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
}

// What one request (no redirect followed) brought back.
struct Exchange {
    CURLcode code = CURLE_OK;
    long status = 0;
    bool stopped = false;
    bool tooLarge = false;
    std::string location;
    std::string retryAfter;
    std::string contentType;
    std::string body;
    std::size_t maxBytes = 0;
    char error[CURL_ERROR_SIZE] = {};
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* ex = static_cast<Exchange*>(user);
    size_t length = size * count;
    if (ex->body.size() + length > ex->maxBytes) {
        ex->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    ex->body.append(data, length);
    return length;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* ex = static_cast<Exchange*>(user);
    size_t length = size * count;
    std::string_view line(data, length);
    if (StartsWithNoCase(line, "http/"))
        ex->retryAfter.clear(); // a new response's headers begin
    if (StartsWithNoCase(line, "retry-after:")) {
        line.remove_prefix(12);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
            line.remove_suffix(1);
        ex->retryAfter = std::string(line);
    }
    return length;
}

using Clock = std::chrono::steady_clock;

// One request, ended by `deadline` whatever the network or the resolver does.
void Perform(const std::string& url, const FetchOptions& options, Clock::time_point deadline,
             Exchange& ex) {
    ex.maxBytes = options.maxBytes;
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    // RDAP's own type first; plain JSON too, which some registries (rdap.nic.fr in 2022) and
    // IANA's bootstrap files are served as, so that no server refuses the request for it.
    curl_slist* headers =
        curl_slist_append(nullptr, "Accept: application/rdap+json, application/json;q=0.9");
    if (easy == nullptr || multi == nullptr || headers == nullptr) {
        ex.code = CURLE_OUT_OF_MEMORY;
    } else {
        const auto ms =
            std::max(1L, static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               deadline - Clock::now())
                                               .count()));
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "zindor-whois");
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L); // followed here, so https->http is seen
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // Clean-up leaves a name lookup still in the resolver's thread behind instead of
        // waiting for it: a silent DNS server must not hold up Stop or the time-out.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, ms);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, ms);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, ex.error);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &ex);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &ex);
        if (!options.caFile.empty())
            curl_easy_setopt(easy, CURLOPT_CAINFO, options.caFile.c_str());
        curl_multi_add_handle(multi, easy);
        // The multi interface with a short poll, so that Stop ends even a silent transfer.
        int running = 1;
        while (true) {
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                break;
            if (running == 0)
                break;
            if (Stopped(options)) {
                ex.stopped = true;
                break;
            }
            if (Clock::now() >= deadline + std::chrono::milliseconds(kPollMs)) {
                ex.code = CURLE_OPERATION_TIMEDOUT; // libcurl's own timer should have fired
                break;
            }
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE)
                ex.code = msg->data.result;
        }
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &ex.status);
        char* location = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
            ex.location = location;
        char* type = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
            ex.contentType = OneLine(type);
        curl_multi_remove_handle(multi, easy);
    }
    curl_slist_free_all(headers);
    if (multi)
        curl_multi_cleanup(multi);
    if (easy)
        curl_easy_cleanup(easy);
}

FetchResult::Failure FailureOf(CURLcode code) {
    using Failure = FetchResult::Failure;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Failure::Dns;
    case CURLE_OPERATION_TIMEDOUT:
        return Failure::TimedOut;
    case CURLE_COULDNT_CONNECT:
        return Failure::Connection;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return Failure::Reset;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
        return Failure::Tls;
    default:
        return Failure::Other;
    }
}

std::string Describe(const Exchange& ex) {
    std::string detail = ex.error[0] ? std::string(ex.error) : curl_easy_strerror(ex.code);
    switch (FailureOf(ex.code)) {
    case FetchResult::Failure::Dns:
        return "DNS: " + detail;
    case FetchResult::Failure::TimedOut:
        return "time-out";
    case FetchResult::Failure::Connection:
        return "connection: " + detail;
    case FetchResult::Failure::Tls:
        return "TLS: " + detail;
    default:
        return detail;
    }
}

// Seconds to wait before the one retry of a 429: the header's seconds or date, within a cap.
long RetryWait(const std::string& retryAfter) {
    long seconds = 1;
    if (!retryAfter.empty() && retryAfter.find_first_not_of("0123456789") == std::string::npos) {
        seconds = retryAfter.size() > 6 ? kMaxRetryWaitSeconds : std::stol(retryAfter);
    } else if (!retryAfter.empty()) {
        time_t when = curl_getdate(retryAfter.c_str(), nullptr);
        if (when != -1)
            seconds = static_cast<long>(when - std::time(nullptr));
    }
    return std::clamp(seconds, 0L, kMaxRetryWaitSeconds);
}

bool IsWeb(std::string_view url) {
    return StartsWithNoCase(url, "https://") || StartsWithNoCase(url, "http://");
}

} // namespace

FetchResult Fetch(const std::string& url, const FetchOptions& options) {
    FetchResult result;
    result.url = url;
    result.finalUrl = url;
    if (std::string missing = LibcurlMissing(); !missing.empty()) {
        result.reason = std::move(missing);
        result.noLibcurl = true;
        return result;
    }
    std::call_once(gCurlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    const Clock::time_point deadline = Clock::now() + options.timeout;
    std::string current = url;
    int redirects = 0;
    bool retried = false;
    while (true) {
        result.finalUrl = current;
        if (Stopped(options)) {
            result.status = FetchResult::Status::Stopped;
            return result;
        }
        if (Clock::now() >= deadline) {
            result.reason = "time-out";
            result.failure = FetchResult::Failure::TimedOut;
            return result;
        }
        Exchange ex;
        Perform(current, options, deadline, ex);
        result.httpStatus = ex.status;
        if (ex.stopped) {
            result.status = FetchResult::Status::Stopped;
            return result;
        }
        if (ex.tooLarge) {
            result.reason = "answer larger than " + std::to_string(options.maxBytes) + " bytes";
            result.failure = FetchResult::Failure::TooLarge;
            return result;
        }
        if (ex.code != CURLE_OK) {
            result.reason = Describe(ex);
            result.failure = FailureOf(ex.code);
            return result;
        }
        if (ex.status >= 300 && ex.status < 400) {
            // The redirect's target is the server's text: shown on one line, and cut short.
            const std::string target = OneLine(ex.location.substr(0, 200));
            if (ex.location.empty()) {
                result.reason = "HTTP " + std::to_string(ex.status) + " without a Location";
                result.failure = FetchResult::Failure::Redirect;
                return result;
            }
            if (++redirects > kMaxRedirects) {
                result.reason = "more than " + std::to_string(kMaxRedirects) + " redirects";
                result.failure = FetchResult::Failure::Redirect;
                return result;
            }
            if (!IsWeb(ex.location)) {
                result.reason = "redirect to " + target + " refused: not http or https";
                result.failure = FetchResult::Failure::Redirect;
                return result;
            }
            if (StartsWithNoCase(current, "https:") && !StartsWithNoCase(ex.location, "https:")) {
                result.reason = "redirect from https to " + target + " refused";
                result.failure = FetchResult::Failure::Redirect;
                return result;
            }
            current = ex.location;
            continue;
        }
        if (ex.status == 429 && !retried) {
            retried = true;
            const auto until = Clock::now() + std::chrono::seconds(RetryWait(ex.retryAfter));
            if (until >= deadline) {
                result.reason = "HTTP 429: the server asks for a wait beyond the time-out";
                result.failure = FetchResult::Failure::Http;
                return result;
            }
            while (Clock::now() < until) {
                if (Stopped(options)) {
                    result.status = FetchResult::Status::Stopped;
                    return result;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            }
            continue;
        }
        result.body = std::move(ex.body);
        result.contentType = std::move(ex.contentType);
        if (ex.status >= 200 && ex.status < 300) {
            result.status = FetchResult::Status::Ok;
        } else if (ex.status == 404) {
            result.status = FetchResult::Status::NotFound;
        } else {
            result.reason = "HTTP " + std::to_string(ex.status);
            result.failure = FetchResult::Failure::Http;
        }
        return result;
    }
}

std::string HostOf(const std::string& url) {
    std::string_view rest(url);
    if (auto scheme = rest.find("://"); scheme != std::string_view::npos)
        rest.remove_prefix(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (auto at = rest.rfind('@'); at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    return std::string(rest);
}

} // namespace rdap
