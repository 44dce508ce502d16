// The few fields of a record both front ends show first (zwhois --brief, the window's panel).
#include "engine/WhoisRecord.h"

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

} // namespace

std::vector<SummaryLine> RecordSummary(const Registration& r) {
    std::vector<SummaryLine> lines;
    auto add = [&lines](SummaryField field, std::string value) {
        if (!value.empty())
            lines.push_back({field, std::move(value)});
    };
    const NetworkInfo& n = r.network;
    if (!n.Empty()) {
        std::string range = n.range.empty() ? n.cidr : n.range;
        if (!n.cidr.empty() && n.cidr != range)
            range += " (" + n.cidr + ")";
        add(SummaryField::Network, range);
        add(SummaryField::NetworkName, n.name.empty() ? n.handle : n.name);
        std::string owner = n.organization;
        if (!n.country.empty())
            owner += (owner.empty() ? "" : ", ") + n.country;
        add(SummaryField::Owner, owner);
        add(SummaryField::Origin, n.originAs);
        add(SummaryField::Registry, n.registry);
        return lines;
    }
    std::string registrar = r.registrar.name;
    if (!r.registrar.ianaId.empty())
        registrar += " (IANA " + r.registrar.ianaId + ")";
    add(SummaryField::Registrar, registrar);
    add(SummaryField::Created, r.created);
    add(SummaryField::Expires, r.expires);
    add(SummaryField::Status, Joined(r.status));
    add(SummaryField::NameServers, Joined(r.nameservers));
    return lines;
}
