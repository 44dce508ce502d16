#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh folder under /tmp, removed with everything in it at the end of the scope.
struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/zw-rdap-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir() {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
    std::string path;
};
