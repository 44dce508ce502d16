// An RDAP answer read into the same record as a WHOIS answer, straight from its JSON.
#include "engine/WhoisRecord.h"

#include "rdap/RdapText.h"
#include "rdap/RdapVcard.h"

#include <algorithm>

namespace {

using nlohmann::json;

const json* Member(const json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string Text(const json& object, const char* key) {
    const json* m = Member(object, key);
    return m && m->is_string() ? rdap::OneLine(m->get<std::string>()) : std::string();
}

const json& Array(const json& object, const char* key) {
    static const json kEmpty = json::array();
    const json* m = Member(object, key);
    return m && m->is_array() ? *m : kEmpty;
}

bool HasRole(const json& entity, std::string_view role) {
    const json* roles = Member(entity, "roles");
    if (roles && roles->is_string())
        return rdap::AsciiLower(roles->get<std::string>()) == role;
    for (const json& r : Array(entity, "roles")) {
        if (r.is_string() && rdap::AsciiLower(r.get<std::string>()) == role)
            return true;
    }
    return false;
}

rdap::Vcard Card(const json& entity) {
    const json* v = Member(entity, "vcardArray");
    return rdap::ParseVcard(v ? *v : json());
}

// The vCard's "url" property, which the card reader leaves out.
std::string CardUrl(const json& entity) {
    const json* v = Member(entity, "vcardArray");
    if (!v || !v->is_array() || v->size() < 2 || !(*v)[1].is_array())
        return {};
    for (const json& p : (*v)[1]) {
        if (p.is_array() && p.size() >= 4 && p[0] == "url" && p[3].is_string())
            return rdap::OneLine(p[3].get<std::string>());
    }
    return {};
}

std::string Host(std::string name) {
    name = rdap::AsciiLower(name);
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    return name;
}

void Registrar(const json& entity, RegistrarInfo& r) {
    const rdap::Vcard card = Card(entity);
    r.name = !card.name.empty() ? card.name : card.organisation;
    for (const json& id : Array(entity, "publicIds")) {
        if (rdap::AsciiLower(Text(id, "type")) == "iana registrar id")
            r.ianaId = Text(id, "identifier");
    }
    r.url = CardUrl(entity);
    for (const json& inner : Array(entity, "entities")) {
        if (!HasRole(inner, "abuse"))
            continue;
        const rdap::Vcard abuse = Card(inner);
        if (!abuse.emails.empty())
            r.abuseEmail = abuse.emails.front();
        if (!abuse.phones.empty())
            r.abusePhone = abuse.phones.front();
    }
}

// "registrant_name" from RFC 9537's {"name": {"type": "Registrant Name"}} or description.
std::string RedactedName(const json& item) {
    const json* name = Member(item, "name");
    std::string text = name ? Text(*name, "type") : std::string();
    if (text.empty() && name)
        text = Text(*name, "description");
    text = rdap::AsciiLower(text);
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

} // namespace

Registration ReadRdapRecord(std::string_view answer) {
    Registration r;
    const json doc = rdap::ParseAnswer(answer);
    if (!doc.is_object())
        return r;
    const std::string kind = rdap::AsciiLower(Text(doc, "objectClassName"));
    for (const json& e : Array(doc, "events")) {
        const std::string action = rdap::AsciiLower(Text(e, "eventAction"));
        const std::string date = ParseWhoisDate(Text(e, "eventDate"), DayMonthOrder::Unknown);
        // "last update": MarkMonitor's name for "last changed".
        std::string* slot = action == "registration"                              ? &r.created
                            : action == "expiration"                              ? &r.expires
                            : action == "last changed" || action == "last update" ? &r.updated
                                                                                  : nullptr;
        if (slot && slot->empty())
            *slot = date;
    }
    for (const json& s : Array(doc, "status")) {
        if (s.is_string() && r.status.size() < 64)
            r.status.push_back(rdap::OneLine(s.get<std::string>()));
    }
    for (const json& entity : Array(doc, "entities")) {
        if (HasRole(entity, "registrar") && r.registrar.name.empty())
            Registrar(entity, r.registrar);
        if (HasRole(entity, "registrant")) {
            const rdap::Vcard card = Card(entity);
            if (r.registrantOrganization.empty())
                r.registrantOrganization = card.organisation;
            if (r.registrantCountry.empty())
                r.registrantCountry = card.country;
            if (card.emptyName)
                r.redacted.push_back("registrant_name");
            if (kind != "domain" && r.network.organization.empty())
                r.network.organization = !card.organisation.empty() ? card.organisation : card.name;
        }
    }
    for (const json& item : Array(doc, "redacted")) {
        std::string name = RedactedName(item);
        if (!name.empty() &&
            std::find(r.redacted.begin(), r.redacted.end(), name) == r.redacted.end())
            r.redacted.push_back(std::move(name));
    }
    if (kind == "domain") {
        r.name = Host(Text(doc, "ldhName"));
        if (r.name.empty())
            r.name = Text(doc, "unicodeName");
        // A server's odd ldhName ("NS4 Form") is no host; one listed twice counts once.
        for (const json& ns : Array(doc, "nameservers")) {
            std::string host = NameServerHost(Text(ns, "ldhName"));
            if (!host.empty() && r.nameservers.size() < 64 &&
                std::find(r.nameservers.begin(), r.nameservers.end(), host) == r.nameservers.end())
                r.nameservers.push_back(std::move(host));
        }
        if (const json* dnssec = Member(doc, "secureDNS")) {
            if (const json* signedFlag = Member(*dnssec, "delegationSigned");
                signedFlag && signedFlag->is_boolean())
                r.dnssec = signedFlag->get<bool>() ? "signed" : "unsigned";
        }
    } else if (kind == "ip network" || kind == "autnum") {
        NetworkInfo& n = r.network;
        n.handle = Text(doc, "handle");
        n.name = Text(doc, "name");
        n.country = Text(doc, "country");
        n.registry = Text(doc, "port43");
        const std::string start = Text(doc, "startAddress"), end = Text(doc, "endAddress");
        if (!start.empty() && !end.empty())
            n.range = start + " - " + end;
        const json* first = Member(doc, "startAutnum");
        const json* last = Member(doc, "endAutnum");
        if (first && last && first->is_number_unsigned() && last->is_number_unsigned()) {
            const auto a = first->get<uint64_t>(), b = last->get<uint64_t>();
            n.range = a == b ? "AS" + std::to_string(a)
                             : "AS" + std::to_string(a) + " - AS" + std::to_string(b);
        }
        for (const json& c : Array(doc, "cidr0_cidrs")) {
            std::string prefix = Text(c, "v4prefix");
            if (prefix.empty())
                prefix = Text(c, "v6prefix");
            const json* length = Member(c, "length");
            if (!prefix.empty() && length && length->is_number_unsigned()) {
                n.cidr += (n.cidr.empty() ? "" : ", ") + prefix + "/" +
                          std::to_string(length->get<uint64_t>());
            }
        }
        for (const json& as : Array(doc, "arin_originas0_originautnums")) {
            if (as.is_number_unsigned())
                n.originAs +=
                    (n.originAs.empty() ? "AS" : ", AS") + std::to_string(as.get<uint64_t>());
        }
    }
    return r;
}
