#include "engine/PublicSuffix.h"

#include <libpsl.h>

#include <string>

namespace {

// The newest of the system's list (Debian: the publicsuffix package) and libpsl's built-in
// copy, loaded once and only read afterwards.
const psl_ctx_t* Suffixes() {
    static const psl_ctx_t* const ctx = psl_latest(nullptr);
    return ctx;
}

} // namespace

bool IsPublicSuffix(std::string_view name) {
    name = name.substr(0, name.find('/'));
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= 0x20)
        name.remove_suffix(1);
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    const psl_ctx_t* ctx = Suffixes();
    if (name.empty() || ctx == nullptr)
        return false;
    // The list is in lower case: upper-case letters, also outside ASCII, are folded first.
    std::string text(name);
    std::string lower;
    char* folded = nullptr;
    if (psl_str_to_utf8lower(text.c_str(), "utf-8", nullptr, &folded) == PSL_SUCCESS) {
        lower = folded;
        psl_free_string(folded);
    } else {
        lower = text;
        for (char& c : lower) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
    }
    // Private entries (github.io and the like) are names registered at a registry: their
    // record is the closest there is to a name below them, so only ICANN's count.
    return psl_is_public_suffix2(ctx, lower.c_str(), PSL_TYPE_ICANN) != 0;
}
