#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

// Shared by the fuzz targets: a check that stops the run with a message, and a scratch file
// for the parsers that read from a path.
namespace fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            ::fuzz::Fail(#cond, __FILE__, __LINE__);                                               \
    } while (0)

// A file path private to this process, in memory when /dev/shm is there; it is removed when
// the process ends. Call once per name and keep the result.
inline std::string ScratchPath(const char* name) {
    static std::vector<std::string> made;
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string path = std::string(base) + "/zw-fuzz-" + std::to_string(getpid()) + "-" + name;
    if (made.empty())
        std::atexit([] {
            for (const auto& p : made)
                unlink(p.c_str());
        });
    made.push_back(path);
    return path;
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    if (!bytes.empty())
        FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    FUZZ_CHECK(std::fclose(f) == 0);
}

// Cuts the input at the first occurrences of `sep` into at most `count` parts; the last part
// takes the rest.
inline std::vector<std::string_view> SplitInput(std::string_view in, std::string_view sep,
                                                size_t count) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const size_t at = in.find(sep);
        if (at == std::string_view::npos)
            break;
        parts.push_back(in.substr(0, at));
        in.remove_prefix(at + sep.size());
    }
    parts.push_back(in);
    return parts;
}

} // namespace fuzz
