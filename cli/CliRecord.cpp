// The registration record in zwhois's two forms: a JSON object and --brief's lines.
#include "cli/CliRecord.h"

#include "cli/CliOutput.h"

namespace cli {
namespace {

std::string OrNull(const std::string& value) {
    return value.empty() ? "null" : JsonString(value);
}

std::string Members(std::initializer_list<std::pair<const char*, std::string>> members) {
    std::string out = "{";
    for (const auto& [key, value] : members)
        out += (out.size() > 1 ? ",\"" : "\"") + std::string(key) + "\":" + value;
    return out + "}";
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

void Line(std::string& out, const char* label, const std::string& value) {
    if (!value.empty())
        out += "  " + std::string(label) + value + "\n";
}

} // namespace

std::string JsonRecord(const Registration& r) {
    const RegistrarInfo& g = r.registrar;
    const bool hasRegistrar = !g.name.empty() || !g.ianaId.empty() || !g.url.empty() ||
                              !g.abuseEmail.empty() || !g.abusePhone.empty();
    const bool hasRegistrant = !r.registrantOrganization.empty() || !r.registrantCountry.empty();
    const NetworkInfo& n = r.network;
    return Members({
        {"name", OrNull(r.name)},
        {"registrar", hasRegistrar ? Members({{"name", OrNull(g.name)},
                                              {"iana_id", OrNull(g.ianaId)},
                                              {"url", OrNull(g.url)},
                                              {"abuse_email", OrNull(g.abuseEmail)},
                                              {"abuse_phone", OrNull(g.abusePhone)}})
                                   : "null"},
        {"created", OrNull(r.created)},
        {"updated", OrNull(r.updated)},
        {"expires", OrNull(r.expires)},
        {"status", JsonStringArray(r.status)},
        {"nameservers", JsonStringArray(r.nameservers)},
        {"dnssec", r.dnssec.empty()       ? "null"
                   : r.dnssec == "signed" ? "true"
                                          : "false"},
        {"registrant", hasRegistrant ? Members({{"organization", OrNull(r.registrantOrganization)},
                                                {"country", OrNull(r.registrantCountry)}})
                                     : "null"},
        {"redacted", JsonStringArray(r.redacted)},
        {"network", n.Empty() ? "null"
                              : Members({{"range", OrNull(n.range)},
                                         {"cidr", OrNull(n.cidr)},
                                         {"name", OrNull(n.name)},
                                         {"handle", OrNull(n.handle)},
                                         {"organization", OrNull(n.organization)},
                                         {"country", OrNull(n.country)},
                                         {"origin_as", OrNull(n.originAs)},
                                         {"registry", OrNull(n.registry)}})},
    });
}

std::string BriefRecord(const std::string& query, const Registration& r) {
    std::string out = query + "\n";
    const NetworkInfo& n = r.network;
    if (!n.Empty()) {
        std::string range = n.range.empty() ? n.cidr : n.range;
        if (!n.cidr.empty() && n.cidr != range)
            range += " (" + n.cidr + ")";
        Line(out, "network:      ", range);
        Line(out, "name:         ", n.name.empty() ? n.handle : n.name);
        std::string owner = n.organization;
        if (!n.country.empty())
            owner += (owner.empty() ? "" : ", ") + n.country;
        Line(out, "owner:        ", owner);
        Line(out, "origin:       ", n.originAs);
        Line(out, "registry:     ", n.registry);
    } else {
        std::string registrar = r.registrar.name;
        if (!r.registrar.ianaId.empty())
            registrar += " (IANA " + r.registrar.ianaId + ")";
        Line(out, "registrar:    ", registrar);
        Line(out, "created:      ", r.created);
        Line(out, "expires:      ", r.expires);
        Line(out, "status:       ", Joined(r.status));
        Line(out, "name servers: ", Joined(r.nameservers));
    }
    if (out.size() == query.size() + 1)
        out += "  (no fields read)\n";
    return TerminalText(out);
}

} // namespace cli
