// libcurl, loaded at its first use. Linked directly, libcurl and the thirty libraries under it
// are mapped and relocated at every start of every program that holds the engine: a plain
// WHOIS run of zwhois paid about 8 ms for them, five times its own work. These definitions
// stand in for the libcurl functions the client calls and forward to the real ones.
#include "rdap/RdapClient.h"

#include <curl/curl.h>

#include <cstdarg>
#include <mutex>
#include <string>
#include <thread>

#include <dlfcn.h>

namespace {

struct Curl {
    CURLcode (*globalInit)(long);
    CURL* (*easyInit)();
    void (*easyCleanup)(CURL*);
    CURLcode (*easySetopt)(CURL*, CURLoption, ...);
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
    const char* (*easyStrerror)(CURLcode);
    time_t (*getdate)(const char*, const time_t*);
    curl_slist* (*slistAppend)(curl_slist*, const char*);
    void (*slistFreeAll)(curl_slist*);
    CURLM* (*multiInit)();
    CURLMcode (*multiAdd)(CURLM*, CURL*);
    CURLMcode (*multiRemove)(CURLM*, CURL*);
    CURLMcode (*multiPerform)(CURLM*, int*);
    CURLMcode (*multiPoll)(CURLM*, curl_waitfd*, unsigned, int, int*);
    CURLMsg* (*multiInfoRead)(CURLM*, int*);
    CURLMcode (*multiCleanup)(CURLM*);
    bool ok = false;
    std::string error; // the loader's reason when not ok
};

template <typename F> bool Bind(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

// Null members and ok false when libcurl cannot be had: every call then fails as out of memory.
const Curl& Lib() {
    static Curl c{};
    static std::once_flag once;
    std::call_once(once, [] {
        // Lazy: the libraries under libcurl that are not linked for immediate binding
        // (Kerberos, GMP, nghttp2, ...) bind only what a fetch calls, as they do for curl.
        // The functions used here are still checked one by one below.
        void* lib = dlopen("libcurl.so.4", RTLD_LAZY | RTLD_LOCAL);
        if (lib == nullptr) {
            const char* why = dlerror();
            c.error = why ? why : "not found";
            return;
        }
        c.ok = Bind(lib, "curl_global_init", c.globalInit) &&
               Bind(lib, "curl_easy_init", c.easyInit) &&
               Bind(lib, "curl_easy_cleanup", c.easyCleanup) &&
               Bind(lib, "curl_easy_setopt", c.easySetopt) &&
               Bind(lib, "curl_easy_getinfo", c.easyGetinfo) &&
               Bind(lib, "curl_easy_strerror", c.easyStrerror) &&
               Bind(lib, "curl_getdate", c.getdate) &&
               Bind(lib, "curl_slist_append", c.slistAppend) &&
               Bind(lib, "curl_slist_free_all", c.slistFreeAll) &&
               Bind(lib, "curl_multi_init", c.multiInit) &&
               Bind(lib, "curl_multi_add_handle", c.multiAdd) &&
               Bind(lib, "curl_multi_remove_handle", c.multiRemove) &&
               Bind(lib, "curl_multi_perform", c.multiPerform) &&
               Bind(lib, "curl_multi_poll", c.multiPoll) &&
               Bind(lib, "curl_multi_info_read", c.multiInfoRead) &&
               Bind(lib, "curl_multi_cleanup", c.multiCleanup);
        if (!c.ok)
            c.error = "it lacks a function zindor-whois calls";
    });
    return c;
}

} // namespace

namespace rdap {

std::string LibcurlMissing() {
    const Curl& c = Lib();
    if (c.ok)
        return {};
    // The loader's text is ASCII from ld.so, but a path in it comes from the environment.
    std::string why;
    for (char ch : c.error)
        why += (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ? ' ' : ch;
    return "libcurl (libcurl.so.4, Debian package libcurl4) is missing, so RDAP cannot be "
           "asked: " +
           why;
}

void PreloadLibcurl() {
    static std::once_flag started;
    std::call_once(started, [] {
        try {
            std::thread([] { Lib(); }).detach();
        } catch (...) {
            // No thread: the first fetch loads it, as without this.
        }
    });
}

} // namespace rdap

extern "C" {

CURLcode curl_global_init(long flags) {
    return Lib().ok ? Lib().globalInit(flags) : CURLE_FAILED_INIT;
}
CURL* curl_easy_init() {
    return Lib().ok ? Lib().easyInit() : nullptr;
}
void curl_easy_cleanup(CURL* easy) {
    if (Lib().ok)
        Lib().easyCleanup(easy);
}
// The value's type follows from the option's number, as libcurl reads it.
CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...) {
    va_list ap;
    va_start(ap, option);
    CURLcode code = CURLE_FAILED_INIT;
    if (!Lib().ok)
        ;
    else if (option < CURLOPTTYPE_OBJECTPOINT)
        code = Lib().easySetopt(easy, option, va_arg(ap, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT || option >= CURLOPTTYPE_BLOB)
        code = Lib().easySetopt(easy, option, va_arg(ap, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        code = Lib().easySetopt(easy, option, va_arg(ap, void (*)()));
    else
        code = Lib().easySetopt(easy, option, va_arg(ap, curl_off_t));
    va_end(ap);
    return code;
}
CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...) {
    va_list ap;
    va_start(ap, info);
    const CURLcode code =
        Lib().ok ? Lib().easyGetinfo(easy, info, va_arg(ap, void*)) : CURLE_FAILED_INIT;
    va_end(ap);
    return code;
}
const char* curl_easy_strerror(CURLcode code) {
    return Lib().ok ? Lib().easyStrerror(code) : "libcurl (libcurl.so.4) could not be loaded";
}
time_t curl_getdate(const char* text, const time_t* unused) {
    return Lib().ok ? Lib().getdate(text, unused) : -1;
}
curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    return Lib().ok ? Lib().slistAppend(list, text) : nullptr;
}
void curl_slist_free_all(curl_slist* list) {
    if (Lib().ok)
        Lib().slistFreeAll(list);
}
CURLM* curl_multi_init() {
    return Lib().ok ? Lib().multiInit() : nullptr;
}
CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
    return Lib().multiAdd(multi, easy);
}
CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
    return Lib().multiRemove(multi, easy);
}
CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    return Lib().multiPerform(multi, running);
}
CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd* fds, unsigned n, int ms, int* ret) {
    return Lib().multiPoll(multi, fds, n, ms, ret);
}
CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    return Lib().multiInfoRead(multi, left);
}
CURLMcode curl_multi_cleanup(CURLM* multi) {
    return Lib().ok ? Lib().multiCleanup(multi) : CURLM_OK;
}

} // extern "C"
