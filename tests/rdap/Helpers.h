#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh folder under /tmp, removed with everything in it at the end of the scope.
struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/zw-rdap-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// Checks that each '|'-separated part of `shown` is in the text.
inline void ExpectShown(const std::string& text, std::string_view shown, const std::string& what) {
    while (!shown.empty()) {
        std::string_view part = shown.substr(0, shown.find('|'));
        EXPECT_NE(text.find(part), std::string::npos) << what << " lacks " << part << "\n" << text;
        shown.remove_prefix(std::min(shown.size(), part.size() + 1));
    }
}
