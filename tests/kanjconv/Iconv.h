#pragma once

#include <cerrno>
#include <iconv.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kanjtest {

// glibc's iconv as an independent reference converter. One open descriptor, reused.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
        }
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // The whole input converted, or nothing when iconv cannot map some of it.
    std::optional<std::string> Convert(std::string_view in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // back to the initial shift state
        std::string out(in.size() * 4 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            return std::nullopt;
        }
        // Flush a pending shift back to ASCII (ISO-2022-JP output).
        if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            return std::nullopt;
        }
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace kanjtest
