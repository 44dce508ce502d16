#include "rdap/RdapRender.h"

#include <algorithm>
#include <cstdlib>

#include "rdap/RdapText.h"
#include "rdap/RdapVcard.h"

namespace rdap {
namespace {

using nlohmann::json;

constexpr int kMaxEntityDepth = 4;
constexpr std::size_t kFoldWidth = 76;
constexpr std::size_t kNoticeLines = 3;
constexpr const char* kRedacted = "[REDACTED]";

const json* Member(const json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string Text(const json& object, const char* key) {
    const json* m = Member(object, key);
    return m ? ValueText(*m) : std::string();
}

// Iterates a member only when it is an array, so odd shapes read as "none".
const json& Array(const json& object, const char* key) {
    static const json kEmpty = json::array();
    const json* m = Member(object, key);
    return m && m->is_array() ? *m : kEmpty;
}

Vcard CardOf(const json& entity) {
    const json* v = Member(entity, "vcardArray");
    return ParseVcard(v ? *v : json());
}

std::vector<std::string> Roles(const json& entity) {
    std::vector<std::string> roles;
    for (const json& r : Array(entity, "roles")) {
        if (r.is_string())
            roles.push_back(AsciiLower(OneLine(r.get<std::string>())));
    }
    if (const json* r = Member(entity, "roles"); r && r->is_string())
        roles.push_back(
            AsciiLower(OneLine(r->get<std::string>()))); // a lone string instead of a list
    return roles;
}

bool HasRole(const json& entity, std::string_view role) {
    auto roles = Roles(entity);
    return std::find(roles.begin(), roles.end(), role) != roles.end();
}

int RoleRank(const json& entity) {
    static const char* const kOrder[] = {"registrant", "administrative", "technical", "billing",
                                         "abuse"};
    int best = static_cast<int>(std::size(kOrder));
    for (const std::string& role : Roles(entity)) {
        for (int i = 0; i < best; ++i) {
            if (role == kOrder[i])
                best = i;
        }
    }
    return best;
}

std::string Capital(std::string s) {
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z')
        s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

class Writer {
public:
    explicit Writer(bool redactions) : redactions_(redactions) {}

    void Line(const std::string& indent, std::string_view label, const std::string& value) {
        if (value.empty())
            return;
        out_ += indent;
        out_ += label;
        out_ += ": ";
        out_ += value;
        out_ += '\n';
    }
    void Raw(const std::string& text) { out_ += text; }

    void Events(const json& object, const std::string& indent) {
        for (const json& e : Array(object, "events")) {
            std::string action = Text(e, "eventAction");
            std::string date = Text(e, "eventDate");
            if (action.empty() || date.empty())
                continue;
            std::string actor = Text(e, "eventActor");
            Line(indent, Capital(action), actor.empty() ? date : date + " (" + actor + ")");
        }
    }

    void Status(const json& object, const std::string& indent) {
        Line(indent, "Status", Text(object, "status"));
    }

    void Card(const json& entity, const std::string& indent) {
        Vcard card = CardOf(entity);
        Line(indent, "Handle", Text(entity, "handle"));
        // RFC 9537 "emptyValue": the name is there but blanked by the server's policy.
        Line(indent, "Name", card.emptyName && redactions_ ? kRedacted : card.name);
        Line(indent, "Organization", card.organisation);
        for (const std::string& a : card.addresses)
            Line(indent, "Address", a);
        Line(indent, "Country", card.country);
        for (const std::string& e : card.emails)
            Line(indent, "Email", e);
        for (const std::string& p : card.phones)
            Line(indent, "Phone", p);
        for (const std::string& f : card.faxes)
            Line(indent, "Fax", f);
        for (const json& id : Array(entity, "publicIds"))
            Line(indent, Text(id, "type").empty() ? "Public ID" : Text(id, "type"),
                 Text(id, "identifier"));
    }

    void Entity(const json& entity, const std::string& indent, int depth) {
        if (!entity.is_object() || depth > kMaxEntityDepth)
            return;
        auto roles = Roles(entity);
        std::string heading;
        for (const std::string& r : roles)
            heading += (heading.empty() ? "" : ", ") + Capital(r);
        out_ += indent + (heading.empty() ? std::string("Contact") : heading) + ":\n";
        std::string inner = indent + "  ";
        Card(entity, inner);
        Status(entity, inner);
        Events(entity, inner);
        Remarks(entity, inner);
        for (const json& child : Array(entity, "entities"))
            Entity(child, inner, depth + 1);
    }

    void Registrar(const json& entity) {
        Vcard card = CardOf(entity);
        std::string name = card.name.empty() ? card.organisation : card.name;
        Line("", "Registrar", name.empty() ? Text(entity, "handle") : name);
        std::string ianaId;
        for (const json& id : Array(entity, "publicIds")) {
            if (AsciiLower(Text(id, "type")).find("iana") != std::string::npos)
                ianaId = Text(id, "identifier");
        }
        Line("", "Registrar IANA ID", ianaId);
        if (Text(entity, "handle") != ianaId)
            Line("", "Registrar Handle", Text(entity, "handle"));
        for (const json& child : Array(entity, "entities")) {
            if (!HasRole(child, "abuse"))
                continue;
            Vcard abuse = CardOf(child);
            for (const std::string& e : abuse.emails)
                Line("", "Registrar Abuse Contact Email", e);
            for (const std::string& p : abuse.phones)
                Line("", "Registrar Abuse Contact Phone", p);
        }
    }

    // Titled remarks each under their title; untitled ones (AFNIC gives a dozen one-word ones
    // per contact) folded under one "Remarks:" heading; remarks with nothing in them dropped.
    void Remarks(const json& object, const std::string& indent) {
        std::string untitled;
        for (const json& r : Array(object, "remarks")) {
            std::string title = Text(r, "title");
            std::string body;
            for (const json& d : Array(r, "description")) {
                std::string line = ValueText(d);
                if (!line.empty())
                    body += indent + "  " + line + "\n";
            }
            body += LinkLines(r, indent + "  ");
            if (!title.empty())
                out_ += indent + "Remark: " + title + "\n" + body;
            else
                untitled += body;
        }
        if (!untitled.empty())
            out_ += indent + "Remarks:\n" + untitled;
    }

    // Notices are boilerplate of the server (terms of use, status codes): a few lines each,
    // then the addresses they point to, which their text often only announces.
    void Notices(const json& object) {
        for (const json& n : Array(object, "notices")) {
            std::string text;
            for (const json& d : Array(n, "description")) {
                std::string line = ValueText(d);
                if (!line.empty())
                    text += (text.empty() ? "" : " ") + line;
            }
            std::string title = Text(n, "title");
            out_ += "Notice" + (title.empty() ? std::string() : ": " + title) + "\n";
            Fold(text);
            out_ += LinkLines(n, "  ");
        }
    }

    std::string Take() { return std::move(out_); }

private:
    // The web addresses of a notice's or remark's links, one a line.
    static std::string LinkLines(const json& object, const std::string& indent) {
        std::string lines;
        for (const json& link : Array(object, "links")) {
            std::string href = Text(link, "href");
            if (StartsWithNoCase(href, "https://") || StartsWithNoCase(href, "http://"))
                lines += indent + href + "\n";
        }
        return lines;
    }

    void Fold(const std::string& text) {
        std::size_t pos = 0;
        for (std::size_t line = 0; pos < text.size(); ++line) {
            if (line == kNoticeLines) {
                out_ += "  ...\n";
                return;
            }
            std::size_t end = std::min(text.size(), pos + kFoldWidth);
            if (end < text.size()) {
                auto space = text.rfind(' ', end);
                if (space != std::string::npos && space > pos) {
                    end = space;
                } else {
                    while (end > pos + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                        --end; // never cut a UTF-8 character in two
                }
            }
            out_ += "  " + text.substr(pos, end - pos) + "\n";
            pos = end;
            while (pos < text.size() && text[pos] == ' ')
                ++pos;
        }
    }

    bool redactions_;
    std::string out_;
};

std::string Kind(const json& doc) {
    std::string kind = AsciiLower(Text(doc, "objectClassName"));
    if (!kind.empty())
        return kind;
    if (Member(doc, "errorCode"))
        return "error";
    if (Member(doc, "ldhName") && Member(doc, "nameservers"))
        return "domain";
    if (Member(doc, "startAddress"))
        return "ip network";
    if (Member(doc, "startAutnum"))
        return "autnum";
    return {};
}

void Object(Writer& w, const json& doc, const std::string& kind) {
    if (kind == "domain") {
        std::string ldh = Text(doc, "ldhName");
        std::string unicode = Text(doc, "unicodeName");
        w.Line("", "Domain Name", ldh.empty() ? unicode : ldh);
        if (!ldh.empty() && AsciiLower(unicode) != AsciiLower(ldh))
            w.Line("", "Unicode Name", unicode);
        w.Line("", "Handle", Text(doc, "handle"));
    } else if (kind == "ip network") {
        std::string start = Text(doc, "startAddress");
        std::string end = Text(doc, "endAddress");
        w.Line("", "Network", end.empty() ? start : start + " - " + end);
        std::string cidrs;
        for (const json& c : Array(doc, "cidr0_cidrs")) {
            std::string prefix = Text(c, "v4prefix");
            if (prefix.empty())
                prefix = Text(c, "v6prefix");
            if (!prefix.empty())
                cidrs += (cidrs.empty() ? "" : ", ") + prefix + "/" + Text(c, "length");
        }
        w.Line("", "CIDR", cidrs);
        w.Line("", "Network Name", Text(doc, "name"));
        w.Line("", "Handle", Text(doc, "handle"));
        w.Line("", "Type", Text(doc, "type"));
        w.Line("", "Country", Text(doc, "country"));
        w.Line("", "Parent Handle", Text(doc, "parentHandle"));
    } else if (kind == "autnum") {
        std::string first = Text(doc, "startAutnum");
        std::string last = Text(doc, "endAutnum");
        std::string handle = Text(doc, "handle");
        if (first.empty())
            w.Line("", "AS Number", handle); // some servers give only the handle
        else
            w.Line("", "AS Number",
                   last.empty() || last == first ? "AS" + first : "AS" + first + " - AS" + last);
        w.Line("", "AS Name", Text(doc, "name"));
        if (!first.empty())
            w.Line("", "Handle", handle);
        w.Line("", "Type", Text(doc, "type"));
        w.Line("", "Country", Text(doc, "country"));
    } else if (kind == "entity") {
        w.Card(doc, "");
        w.Line("", "Roles", Text(doc, "roles"));
    } else if (kind == "nameserver") {
        w.Line("", "Name Server", Text(doc, "ldhName"));
        w.Line("", "Handle", Text(doc, "handle"));
    } else if (kind == "error") {
        std::string title = Text(doc, "title");
        w.Line("", "Error", Text(doc, "errorCode") + (title.empty() ? "" : " " + title));
        for (const json& d : Array(doc, "description"))
            w.Line("", "Description", ValueText(d));
    }
}

void Nameservers(Writer& w, const json& doc) {
    for (const json& ns : Array(doc, "nameservers")) {
        std::string name = Text(ns, "ldhName");
        if (name.empty())
            name = Text(ns, "unicodeName");
        std::string addresses;
        if (const json* ip = Member(ns, "ipAddresses")) {
            std::string v4 = Text(*ip, "v4");
            std::string v6 = Text(*ip, "v6");
            addresses = v4 + (v4.empty() || v6.empty() ? "" : ", ") + v6;
        }
        w.Line("", "Name Server", addresses.empty() ? name : name + " (" + addresses + ")");
    }
}

void Dnssec(Writer& w, const json& doc) {
    const json* dnssec = Member(doc, "secureDNS");
    if (!dnssec || !dnssec->is_object())
        return;
    if (const json* signed_ = Member(*dnssec, "delegationSigned"); signed_ && signed_->is_boolean())
        w.Line("", "DNSSEC", signed_->get<bool>() ? "signed delegation" : "unsigned");
    for (const json& ds : Array(*dnssec, "dsData"))
        w.Line("", "DS",
               Text(ds, "keyTag") + " " + Text(ds, "algorithm") + " " + Text(ds, "digestType") +
                   " " + Text(ds, "digest"));
    for (const json& key : Array(*dnssec, "keyData"))
        w.Line("", "DNSKEY",
               Text(key, "flags") + " " + Text(key, "protocol") + " " + Text(key, "algorithm") +
                   " " + Text(key, "publicKey"));
}

void RedactedList(Writer& w, const json& doc) {
    std::string names;
    for (const json& r : Array(doc, "redacted")) {
        const json* name = Member(r, "name");
        std::string text = name ? Text(*name, "type") : std::string();
        if (text.empty() && name)
            text = Text(*name, "description");
        if (!text.empty())
            names += (names.empty() ? "" : ", ") + text;
    }
    w.Line("", "Redacted", names);
}

} // namespace

std::string Render(std::string_view text) {
    json doc = ParseAnswer(text);
    if (doc.is_discarded())
        return "The RDAP answer is not JSON (" + std::to_string(text.size()) + " bytes).\n";
    if (!doc.is_object())
        return "The RDAP answer is JSON but not an RDAP object.\n";
    Writer w(Member(doc, "redacted") != nullptr);
    std::string kind = Kind(doc);
    Object(w, doc, kind);
    w.Status(doc, "");
    w.Events(doc, "");
    const json& entities = Array(doc, "entities");
    for (const json& e : entities) {
        if (HasRole(e, "registrar"))
            w.Registrar(e);
    }
    Nameservers(w, doc);
    Dnssec(w, doc);
    w.Line("", "WHOIS Server", Text(doc, "port43"));
    // Contacts in the order a reader looks for them; the answer's order within a role.
    std::vector<const json*> contacts;
    for (const json& e : entities) {
        if (kind != "domain" || !HasRole(e, "registrar"))
            contacts.push_back(&e);
    }
    std::stable_sort(contacts.begin(), contacts.end(),
                     [](const json* a, const json* b) { return RoleRank(*a) < RoleRank(*b); });
    for (const json* e : contacts)
        w.Entity(*e, "", 0);
    w.Remarks(doc, "");
    RedactedList(w, doc);
    w.Notices(doc);
    std::string out = w.Take();
    if (out.empty())
        out = "The RDAP answer holds nothing to show.\n";
    return out;
}

std::string RenderError(std::string_view text, long httpStatus) {
    json doc = ParseAnswer(text);
    std::string title = Text(doc, "title");
    std::string description;
    for (const json& d : Array(doc, "description")) {
        std::string line = ValueText(d);
        if (!line.empty() && line != title)
            description += (description.empty() ? "" : " ") + line;
    }
    std::string line =
        httpStatus == 404 ? "No match" : "Error (HTTP " + std::to_string(httpStatus) + ")";
    if (title.empty() && description.empty())
        return httpStatus == 404 ? line + " (HTTP 404)" : line;
    if (!title.empty())
        line += ": " + title;
    if (!description.empty())
        line += ": " + description;
    return line;
}

AnswerKind ClassifyAnswer(std::string_view text, long* errorCode) {
    json doc = ParseAnswer(text);
    if (!doc.is_object())
        return AnswerKind::NotRdap;
    if (const json* kind = Member(doc, "objectClassName"); kind && kind->is_string())
        return AnswerKind::Record;
    if (!Member(doc, "rdapConformance"))
        return AnswerKind::NotRdap;
    if (const json* code = Member(doc, "errorCode");
        code && (code->is_number() || code->is_string())) {
        if (errorCode)
            *errorCode = std::atol(ValueText(*code).c_str());
        return AnswerKind::ErrorObject;
    }
    for (const auto& [key, value] : doc.items()) {
        constexpr std::string_view kSearch = "SearchResults";
        if (value.is_array() && key.size() > kSearch.size() &&
            key.compare(key.size() - kSearch.size(), kSearch.size(), kSearch) == 0)
            return AnswerKind::Record;
    }
    return AnswerKind::NotRdap;
}

std::string RegistrarLink(std::string_view text) {
    json doc = ParseAnswer(text);
    for (const json& link : Array(doc, "links")) {
        std::string type = AsciiLower(Text(link, "type"));
        std::string href = Text(link, "href");
        if (AsciiLower(Text(link, "rel")) == "related" &&
            type.rfind("application/rdap+json", 0) == 0 &&
            href.find("/domain/") != std::string::npos &&
            (href.rfind("https://", 0) == 0 || href.rfind("http://", 0) == 0))
            return href;
    }
    return {};
}

} // namespace rdap
