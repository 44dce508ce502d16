#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace rdap {

// The members of a jCard (RFC 7095) that a reader looks for. Whatever does not have the
// expected shape is skipped, so one odd property never loses the others.
struct Vcard {
    std::string kind;
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

} // namespace rdap
