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

template <typename F> bool Bind(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

struct Idn2 {
    static constexpr const char* kName = "libidn2.so.0";
    int (*toAscii8z)(const char*, char**, int) = nullptr;
    void (*free)(void*) = nullptr;

    bool BindAll(void* lib) {
        return Bind(lib, "idn2_to_ascii_8z", toAscii8z) && Bind(lib, "idn2_free", free);
    }
};

struct Psl {
    static constexpr const char* kName = "libpsl.so.5";
    psl_ctx_t* (*latest)(const char*) = nullptr;
    psl_error_t (*toUtf8Lower)(const char*, const char*, const char*, char**) = nullptr;
    void (*freeString)(char*) = nullptr;
    int (*isPublicSuffix2)(const psl_ctx_t*, const char*, int) = nullptr;

    bool BindAll(void* lib) {
        return Bind(lib, "psl_latest", latest) && Bind(lib, "psl_str_to_utf8lower", toUtf8Lower) &&
               Bind(lib, "psl_free_string", freeString) &&
               Bind(lib, "psl_is_public_suffix2", isPublicSuffix2);
    }
};

// All members null when the library or one of its functions cannot be had: libidn2's
// conversions then fail, and the query goes as typed, as with any name libidn2 refuses;
// without libpsl's list no name counts as a public suffix.
template <typename Lib> const Lib& Loaded() {
    static Lib lib;
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = dlopen(Lib::kName, RTLD_LAZY | RTLD_LOCAL);
        if (handle == nullptr || !lib.BindAll(handle))
            lib = Lib();
    });
    return lib;
}

} // namespace

extern "C" {

int idn2_to_ascii_8z(const char* input, char** output, int flags) {
    if (output)
        *output = nullptr;
    const Idn2& l = Loaded<Idn2>();
    return l.toAscii8z ? l.toAscii8z(input, output, flags) : IDN2_MALLOC;
}
void idn2_free(void* ptr) {
    if (const Idn2& l = Loaded<Idn2>(); l.free)
        l.free(ptr);
}

psl_ctx_t* psl_latest(const char* fname) {
    const Psl& l = Loaded<Psl>();
    return l.latest ? l.latest(fname) : nullptr;
}
psl_error_t psl_str_to_utf8lower(const char* str, const char* encoding, const char* locale,
                                 char** lower) {
    if (lower)
        *lower = nullptr;
    const Psl& l = Loaded<Psl>();
    return l.toUtf8Lower ? l.toUtf8Lower(str, encoding, locale, lower) : PSL_ERR_NO_MEM;
}
void psl_free_string(char* str) {
    if (const Psl& l = Loaded<Psl>(); l.freeString)
        l.freeString(str);
}
int psl_is_public_suffix2(const psl_ctx_t* psl, const char* domain, int type) {
    const Psl& l = Loaded<Psl>();
    return l.isPublicSuffix2 ? l.isPublicSuffix2(psl, domain, type) : 0;
}

} // extern "C"
