#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace rdap {

// The members of a jCard (RFC 7095) that a reader looks for. Whatever does not have the
// expected shape is skipped, so one odd property never loses the others.
struct Vcard {
    std::string name;         // fn
    std::string organisation; // org
    std::vector<std::string> addresses;
    std::string country; // the cc parameter of an address
    std::vector<std::string> emails;
    std::vector<std::string> phones; // "tel:" dropped
    std::vector<std::string> faxes;
    bool emptyName = false; // fn present with an empty value (RFC 9537 "emptyValue")
};
Vcard ParseVcard(const nlohmann::json& vcardArray);

// A jCard or JSON value as one line of text: strings as they are, arrays joined by ", "
// without their empty members, numbers and booleans printed; control characters as spaces.
std::string ValueText(const nlohmann::json& value);

// Parses an answer; an answer that is not valid UTF-8 (a server sending Latin-1) is read with
// each stray byte taken as Latin-1 rather than refused whole. Discarded when not JSON.
nlohmann::json ParseAnswer(std::string_view text);

} // namespace rdap
