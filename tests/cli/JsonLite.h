#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace clitest {

// A small strict JSON reader, so the tests read zwhois's output back as any script would.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const;
    std::vector<std::string> Strings() const; // an array of strings
};

// The value of the whole text (blanks around it allowed); nothing when it is not JSON.
std::optional<Json> ParseJson(const std::string& text);

} // namespace clitest
