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
    // Labels padded to one column, in the order of SummaryField.
    static constexpr const char* kLabels[] = {
        "registrar:    ", "created:      ", "expires:      ", "status:       ", "name servers: ",
        "network:      ", "name:         ", "owner:        ", "origin:       ", "registry:     "};
    std::string out = query + "\n";
    for (const SummaryLine& line : RecordSummary(r))
        out += "  " + std::string(kLabels[int(line.field)]) + line.value + "\n";
    if (out.size() == query.size() + 1)
        out += "  (no fields read)\n";
    return TerminalText(out);
}

} // namespace cli
