#include "rdap/RdapVcard.h"

#include "rdap/RdapText.h"

namespace rdap {
namespace {

using nlohmann::json;

// Deeply nested values are cut here: no jCard needs more, and fuzzed input may have it.
constexpr int kMaxDepth = 8;

void Flatten(const json& value, int depth, std::vector<std::string>& parts) {
    if (depth > kMaxDepth)
        return;
    if (value.is_string()) {
        std::string s = OneLine(value.get_ref<const std::string&>());
        if (!s.empty())
            parts.push_back(std::move(s));
    } else if (value.is_array()) {
        for (const json& v : value)
            Flatten(v, depth + 1, parts);
    } else if (value.is_number() || value.is_boolean()) {
        parts.push_back(value.dump());
    }
}

bool HasType(const json& params, std::string_view type) {
    if (!params.is_object())
        return false;
    auto t = params.find("type");
    if (t == params.end())
        return false;
    std::vector<std::string> types;
    Flatten(*t, 0, types);
    for (const std::string& s : types) {
        if (AsciiLower(s) == type)
            return true;
    }
    return false;
}

} // namespace

std::string ValueText(const json& value) {
    std::vector<std::string> parts;
    Flatten(value, 0, parts);
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty())
            out += ", ";
        out += p;
    }
    return out;
}

json ParseAnswer(std::string_view text) {
    json doc = json::parse(text, nullptr, false);
    if (!doc.is_discarded())
        return doc;
    std::string repaired;
    repaired.reserve(text.size() + text.size() / 8);
    bool changed = false;
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        bool whole = n > 0 && i + n <= text.size();
        for (std::size_t k = 1; whole && k < n; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (whole) {
            repaired.append(text.substr(i, n));
            i += n;
        } else {
            repaired += static_cast<char>(0xC0 | (c >> 6)); // the byte as a Latin-1 character
            repaired += static_cast<char>(0x80 | (c & 0x3F));
            changed = true;
            ++i;
        }
    }
    return changed ? json::parse(repaired, nullptr, false) : doc;
}

Vcard ParseVcard(const json& vcardArray) {
    Vcard card;
    if (!vcardArray.is_array() || vcardArray.size() < 2 || !vcardArray[1].is_array())
        return card;
    for (const json& prop : vcardArray[1]) {
        if (!prop.is_array() || prop.size() < 4 || !prop[0].is_string())
            continue;
        std::string name = AsciiLower(prop[0].get<std::string>());
        const json& params = prop[1];
        const json& value = prop[3];
        std::string text = ValueText(value);
        if (name == "fn") {
            card.name = text;
            card.emptyName = text.empty();
        } else if (name == "org") {
            card.organisation = text;
        } else if (name == "adr") {
            if (params.is_object()) {
                if (auto cc = params.find("cc"); cc != params.end())
                    card.country = ValueText(*cc);
                if (auto label = params.find("label"); text.empty() && label != params.end())
                    text = ValueText(*label);
            }
            if (!text.empty())
                card.addresses.push_back(text);
        } else if (name == "email") {
            if (!text.empty())
                card.emails.push_back(text);
        } else if (name == "tel") {
            while (StartsWithNoCase(text, "tel:")) // "tel:tel:+27..." has been seen
                text.erase(0, 4);
            if (!text.empty())
                (HasType(params, "fax") ? card.faxes : card.phones).push_back(text);
        }
    }
    return card;
}

} // namespace rdap
