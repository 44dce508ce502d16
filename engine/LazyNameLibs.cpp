// libidn2 and libpsl, loaded at their first use. Linked directly, they and libunistring under
// them are mapped and relocated at every start, about 0.2 ms on this project's machines: a
// sixth of a whole `zwhois --lookup`. Only a query with non-ASCII labels needs libidn2, and
// only a parent retry or an RDAP parent libpsl. These definitions stand in for the functions
// the engine calls and forward to the real ones.
#include <idn2.h>
#include <libpsl.h>

#include <mutex>

#include <dlfcn.h>

namespace {

template <typename F> void Bind(void* lib, const char* name, F& fn) {
    fn = lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
}

struct Idn2 {
    int (*toAscii8z)(const char*, char**, int) = nullptr;
    void (*free)(void*) = nullptr;
};

// Null members when libidn2 cannot be had: a conversion then fails, and the query goes as
// typed, as with any name libidn2 refuses.
const Idn2& IdnLib() {
    static Idn2 l;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = dlopen("libidn2.so.0", RTLD_LAZY | RTLD_LOCAL);
        Bind(lib, "idn2_to_ascii_8z", l.toAscii8z);
        Bind(lib, "idn2_free", l.free);
        if (!l.toAscii8z || !l.free)
            l = Idn2();
    });
    return l;
}

struct Psl {
    psl_ctx_t* (*latest)(const char*) = nullptr;
    psl_error_t (*toUtf8Lower)(const char*, const char*, const char*, char**) = nullptr;
    void (*freeString)(char*) = nullptr;
    int (*isPublicSuffix2)(const psl_ctx_t*, const char*, int) = nullptr;
};

// Null members when libpsl cannot be had: no list, so no name counts as a public suffix.
const Psl& PslLib() {
    static Psl l;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = dlopen("libpsl.so.5", RTLD_LAZY | RTLD_LOCAL);
        Bind(lib, "psl_latest", l.latest);
        Bind(lib, "psl_str_to_utf8lower", l.toUtf8Lower);
        Bind(lib, "psl_free_string", l.freeString);
        Bind(lib, "psl_is_public_suffix2", l.isPublicSuffix2);
        if (!l.latest || !l.toUtf8Lower || !l.freeString || !l.isPublicSuffix2)
            l = Psl();
    });
    return l;
}

} // namespace

extern "C" {

int idn2_to_ascii_8z(const char* input, char** output, int flags) {
    if (output)
        *output = nullptr;
    return IdnLib().toAscii8z ? IdnLib().toAscii8z(input, output, flags) : IDN2_MALLOC;
}
void idn2_free(void* ptr) {
    if (IdnLib().free)
        IdnLib().free(ptr);
}

psl_ctx_t* psl_latest(const char* fname) {
    return PslLib().latest ? PslLib().latest(fname) : nullptr;
}
psl_error_t psl_str_to_utf8lower(const char* str, const char* encoding, const char* locale,
                                 char** lower) {
    if (lower)
        *lower = nullptr;
    return PslLib().toUtf8Lower ? PslLib().toUtf8Lower(str, encoding, locale, lower)
                                : PSL_ERR_NO_MEM;
}
void psl_free_string(char* str) {
    if (PslLib().freeString)
        PslLib().freeString(str);
}
int psl_is_public_suffix2(const psl_ctx_t* psl, const char* domain, int type) {
    return PslLib().isPublicSuffix2 ? PslLib().isPublicSuffix2(psl, domain, type) : 0;
}

} // extern "C"
