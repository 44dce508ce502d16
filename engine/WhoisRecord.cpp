// The field reader: one pass over the answer's lines, each line cut into a label and a value,
// the label looked up in one table. The labels live here rather than in a data file beside
// Servhit.key: a label only means something together with how its value is read (a date by
// the registry's order, a host name cut from its glue, a heading whose values follow), which a
// list of phrases cannot say, and a reader that opens no file stays a pure function that the
// corpus test, the fuzzer and the benchmark call as the chain does.
#include "engine/WhoisRecord.h"

#include "engine/WhoisText.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

enum class Field {
    None,
    Name,
    Registrar,
    RegistrarId,
    RegistrarUrl,
    AbuseEmail,
    AbusePhone,
    Created,
    Updated,
    Expires,
    Status,
    NameServer,
    Dnssec,
    RegistrantOrg,
    RegistrantCountry,
    // Headings whose block belongs to someone other than the domain.
    Registrant, // the holder: its organisation and country are read
    Contact,    // admin, tech, billing, a registrar's own object: nothing is read
    // Inside a heading's block.
    SubName,
    SubOrg,
    SubCountry,
    SubUrl,
    // Address and AS records.
    Range,
    Cidr,
    NetName,
    Handle,
    Org,
    Country,
    OriginAs,
    Descr,
};

struct Label {
    std::string_view text; // lower case, blanks single, '-' and '_' as blanks
    Field field;
};

// Normalised labels, looked up in a hash table made at first use.
const Label kLabels[] = {
    {"domain", Field::Name},
    {"domain name", Field::Name},
    {"domainname", Field::Name},
    {"domain information", Field::None},
    {"nom de domaine", Field::Name},
    {"dominio", Field::Name},
    {"도메인이름", Field::Name},
    {"ドメイン名", Field::Name},
    {"registrar", Field::Registrar},
    {"registrar name", Field::Registrar},
    {"sponsoring registrar", Field::Registrar},
    {"registration service provider", Field::Registrar},
    {"authorized agency", Field::Registrar},
    {"current registar", Field::Registrar},
    {"current registrar", Field::Registrar},
    {"registrar organization", Field::Registrar},
    {"registrar iana id", Field::RegistrarId},
    {"sponsoring registrar iana id", Field::RegistrarId},
    {"registrar url", Field::RegistrarUrl},
    {"registrar website", Field::RegistrarUrl},
    {"registrar web", Field::RegistrarUrl},
    {"registrar abuse contact email", Field::AbuseEmail},
    {"registrar abuse contact phone", Field::AbusePhone},
    {"abuse contact email", Field::AbuseEmail},
    {"creation date", Field::Created},
    {"created", Field::Created},
    {"created date", Field::Created},
    {"created on", Field::Created},
    {"create date", Field::Created},
    {"domain created", Field::Created},
    {"domain registered", Field::Created},
    {"domain record activated", Field::Created},
    {"domain name commencement date", Field::Created},
    {"record created", Field::Created},
    {"record created on", Field::Created},
    {"registered", Field::Created},
    {"registered date", Field::Created},
    {"registered on", Field::Created},
    {"registration date", Field::Created},
    {"registration time", Field::Created},
    {"first registration date", Field::Created},
    {"domain registration date", Field::Created},
    {"activation date", Field::Created},
    {"등록일", Field::Created},
    {"登録年月日", Field::Created},
    {"updated", Field::Updated},
    {"updated date", Field::Updated},
    {"last updated", Field::Updated},
    {"last update", Field::Updated},
    {"last modified", Field::Updated},
    {"modified", Field::Updated},
    {"changed", Field::Updated},
    {"domain record last updated", Field::Updated},
    {"record last updated on", Field::Updated},
    {"last updated date", Field::Updated},
    {"최근 정보 변경일", Field::Updated},
    {"最終更新", Field::Updated},
    {"registry expiry date", Field::Expires},
    {"registrar registration expiration date", Field::Expires},
    {"expiration date", Field::Expires},
    {"expiration time", Field::Expires},
    {"expiry date", Field::Expires},
    {"expire date", Field::Expires},
    {"expire", Field::Expires},
    {"expires", Field::Expires},
    {"expires on", Field::Expires},
    {"expired", Field::Expires},
    {"domain expires", Field::Expires},
    {"record expires on", Field::Expires},
    {"record will expire on", Field::Expires},
    {"paid till", Field::Expires},
    {"valid until", Field::Expires},
    {"renewal date", Field::Expires},
    {"domain expiration date", Field::Expires},
    {"사용 종료일", Field::Expires},
    {"有効期限", Field::Expires},
    {"domain status", Field::Status},
    {"status", Field::Status},
    {"state", Field::Status},
    {"registration status", Field::Status},
    {"状態", Field::Status},
    {"name server", Field::NameServer},
    {"name servers", Field::NameServer},
    {"nameserver", Field::NameServer},
    {"nameservers", Field::NameServer},
    {"nserver", Field::NameServer},
    {"dns", Field::NameServer},
    {"dns servers", Field::NameServer},
    {"domain nameservers", Field::NameServer},
    {"name servers information", Field::NameServer},
    {"host name", Field::NameServer},
    {"hostname", Field::NameServer},
    {"ns name", Field::NameServer},
    {"primary server", Field::NameServer},
    {"secondary server", Field::NameServer},
    {"domain servers in listed order", Field::NameServer},
    {"domain name servers", Field::NameServer},
    {"ネームサーバ", Field::NameServer},
    {"1차 네임서버", Field::NameServer},
    {"2차 네임서버", Field::NameServer},
    {"primary name server", Field::NameServer},
    {"secondary name server", Field::NameServer},
    {"dnssec", Field::Dnssec},
    {"signing key", Field::Dnssec},
    {"registrant organization", Field::RegistrantOrg},
    {"registrant organisation", Field::RegistrantOrg},
    {"registrant country", Field::RegistrantCountry},
    {"registrant country code", Field::RegistrantCountry},
    {"registrant", Field::Registrant},
    {"registrant contact", Field::Registrant},
    {"holder", Field::Registrant},
    {"holder of domain name", Field::Registrant},
    {"owner", Field::Registrant},
    {"domain holder", Field::Registrant},
    {"administrative contact", Field::Contact},
    {"admin contact", Field::Contact},
    {"technical contact", Field::Contact},
    {"tech contact", Field::Contact},
    {"billing contact", Field::Contact},
    {"technical contacts", Field::Contact},
    {"administrative contacts", Field::Contact},
    {"contact", Field::Contact},
    {"contacts", Field::Contact},
    {"nic hdl", Field::Contact},
    {"person", Field::Contact},
    {"role", Field::Contact},
    {"name", Field::SubName},
    {"organization", Field::Org},
    {"organisation", Field::Org},
    {"org", Field::Org},
    {"org name", Field::Org},
    {"orgname", Field::Org},
    {"組織名", Field::Org},
    {"country", Field::Country},
    {"country code", Field::Country},
    {"url", Field::SubUrl},
    {"website", Field::SubUrl},
    {"netrange", Field::Range},
    {"inetnum", Field::Range},
    {"inet6num", Field::Range},
    {"ipネットワークアドレス", Field::Range},
    {"network address", Field::Range},
    {"cidr", Field::Cidr},
    {"route", Field::Cidr},
    {"route6", Field::Cidr},
    {"netname", Field::NetName},
    {"net name", Field::NetName},
    {"network name", Field::NetName},
    {"ネットワーク名", Field::NetName},
    {"nethandle", Field::Handle},
    {"aut num", Field::Handle},
    {"as number", Field::Handle},
    {"as番号", Field::Handle},
    {"originas", Field::OriginAs},
    {"origin", Field::OriginAs},
    {"origin as", Field::OriginAs},
    {"descr", Field::Descr},
    {"as name", Field::Descr},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

Field Lookup(std::string_view label) {
    // Hashed: every line of an answer asks, so a 4 MiB answer asks a million times.
    static const std::unordered_map<std::string_view, Field> table = [] {
        std::unordered_map<std::string_view, Field> t;
        for (const Label& l : kLabels)
            t.emplace(l.text, l.field);
        return t;
    }();
    if (auto it = table.find(label); it != table.end())
        return it->second;
    // "ns_name_01", "nserver 2": a numbered label is its kind's.
    const size_t last = label.find_last_not_of("0123456789");
    if (last == std::string_view::npos || last + 1 == label.size() || label.size() - last > 3)
        return Field::None;
    auto it = table.find(Trim(label.substr(0, last + 1)));
    return it != table.end() ? it->second : Field::None;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c | 0x20);
    }
    return out;
}

// Lower case, '-' '_' and runs of blanks as one blank, dots and blanks at the ends cut.
std::string NormalLabel(std::string_view label) {
    std::string out;
    out.reserve(label.size());
    for (char c : label) {
        if (c == '-' || c == '_' || IsBlank(c)) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
        }
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

// A line cut into label and value. hasLabel is false for a line that is only a value.
struct Cut {
    std::string label; // normalised
    std::string_view value;
    bool hasLabel = false;
};

std::string_view SkipLeaders(std::string_view v) {
    while (!v.empty() && (v.front() == '.' || IsBlank(v.front())))
        v.remove_prefix(1);
    return v;
}

Cut CutLine(std::string_view line) {
    Cut cut;
    // "a. [Domain Name]   value", "[Created on]   value": JPRS and JPNIC.
    std::string_view rest = line;
    if (rest.size() > 3 && rest[1] == '.' && rest[2] == ' ' && rest[0] >= 'a' && rest[0] <= 'z')
        rest = Trim(rest.substr(3));
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close != std::string_view::npos && close < 64) {
            cut.label = NormalLabel(rest.substr(1, close - 1));
            cut.value = Trim(rest.substr(close + 1));
            cut.hasLabel = true;
            return cut;
        }
    }
    const size_t colon = line.find(':');
    const size_t tab = line.find('\t');
    const size_t dots = line.find("...");
    size_t at = std::min({colon, tab, dots});
    if (at != std::string_view::npos && at > 0 && at <= 64) {
        std::string_view label = line.substr(0, at);
        // "http://...", "12:00": not a label.
        if (at == colon && line.substr(at).starts_with("://"))
            return cut;
        cut.label = NormalLabel(label);
        std::string_view value = line.substr(at + 1);
        if (at == dots || at == tab) {
            value = SkipLeaders(line.substr(at));
            if (!value.empty() && value.front() == ':')
                value.remove_prefix(1);
        }
        cut.value = Trim(SkipLeaders(value));
        cut.hasLabel = !cut.label.empty();
        return cut;
    }
    return cut;
}

// "Registered on 30th April 2003 ...", "Record created on 2001-03-21": a date label and its
// date with only a blank between, read only when what follows is a date.
const std::string_view kPhraseLabels[] = {
    "record created on", "record expires on", "record last updated on", "registered on",
    "created on",        "expires on",        "domain record activated"};

bool IsIpAddress(std::string_view s) {
    if (s.find(':') != std::string_view::npos)
        return s.find('.') == std::string_view::npos || s.find("::") != std::string_view::npos;
    return !s.empty() && std::all_of(s.begin(), s.end(),
                                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

} // namespace

std::string NameServerHost(std::string_view value) {
    value = Trim(value);
    size_t end = 0;
    while (end < value.size() && !IsBlank(value[end]) && value[end] != '(' && value[end] != '[' &&
           value[end] != ',')
        ++end;
    std::string host = Lower(value.substr(0, end));
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    if (host.empty() || host.find('.') == std::string::npos || IsIpAddress(host))
        return {};
    for (char c : host) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
              c == '_' || static_cast<unsigned char>(c) >= 0x80))
            return {};
    }
    return host;
}

namespace {

bool SaysRedacted(std::string_view value) {
    const std::string v = Lower(value.substr(0, 120));
    return v.find("redacted") != std::string::npos ||
           v.find("data protected") != std::string::npos ||
           v.find("not disclosed") != std::string::npos || v.find("withheld") != std::string::npos;
}

std::string SnakeName(std::string_view normalLabel) {
    std::string out(normalLabel);
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

void AddUnique(std::vector<std::string>& list, std::string value) {
    if (!value.empty() && list.size() < 64 &&
        std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(std::move(value));
}

// "MARK-0292", "ACTI-0024": a registry's handle for a registrar, not its name.
bool IsHandle(std::string_view s) {
    return !s.empty() && s.find(' ') == std::string_view::npos &&
           std::any_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::none_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

void SetOnce(std::string& field, std::string_view value) {
    if (field.empty())
        field = std::string(value.substr(0, 256));
}

// An EPP status value is one word followed by its URL; other registries write phrases.
std::string StatusOf(std::string_view value) {
    value = Trim(value);
    const size_t blank = value.find(' ');
    if (blank != std::string_view::npos) {
        std::string_view rest = Trim(value.substr(blank));
        if (rest.starts_with("http") || rest.starts_with("(http"))
            value = value.substr(0, blank);
    }
    return std::string(value.substr(0, 128));
}

std::string DnssecOf(std::string_view value) {
    const std::string v = Lower(Trim(value));
    if (v.empty())
        return {};
    if (v.find("unsigned") != std::string::npos || v == "no" || v == "false" ||
        v.find("inactive") != std::string::npos || v.starts_with("not "))
        return "unsigned";
    if (v.find("signed") != std::string::npos || v == "yes" || v == "true" ||
        v.find("active") != std::string::npos || v.starts_with("ds "))
        return "signed";
    return {};
}

// "MarkMonitor Inc. (http://www.markmonitor.com)": the name, the URL apart.
void TakeRegistrar(RegistrarInfo& r, std::string_view value) {
    if (!r.name.empty() || value.empty())
        return;
    // nic.at: "NETPLANET GmbH ( https://nic.at/registrar/597 )".
    const size_t open = value.find(" (");
    if (open != std::string_view::npos && value.back() == ')') {
        const std::string_view url = Trim(value.substr(open + 2, value.size() - open - 3));
        if (url.starts_with("http")) {
            SetOnce(r.url, url);
            value = Trim(value.substr(0, open));
        }
    }
    SetOnce(r.name, value);
}

class Reader {
public:
    explicit Reader(std::string_view query) : order_(RegistryDateOrder(query)) {}

    void Line(std::string_view raw) {
        const size_t indent = raw.find_first_not_of(" \t");
        std::string_view line = Trim(raw);
        if (line.empty()) {
            Blank();
            return;
        }
        if (line.front() == '%' || line.front() == '#' || line.starts_with(">>>"))
            return;
        if (line.find_first_not_of("-=_*") == std::string_view::npos)
            return; // a rule under a heading
        Cut cut = CutLine(line);
        if (!cut.hasLabel && line.size() <= 40) {
            // "Name servers", "Nameservers": a heading without a colon, its values below.
            std::string label = NormalLabel(line);
            const Field heading = Lookup(label);
            if (heading == Field::NameServer || heading == Field::Registrant ||
                heading == Field::Contact) {
                cut.label = std::move(label);
                cut.hasLabel = true;
            }
        }
        const Field field = cut.hasLabel ? Lookup(cut.label) : Field::None;
        // The block of a heading: its lines until one stands as far left as the heading, or,
        // when they stand no further right, until a blank line.
        if (heading_ != Field::None) {
            if (headingLines_ == 0 && indent > headingIndent_)
                headingIndented_ = true;
            if (headingIndented_ && indent <= headingIndent_)
                EndHeading();
        }
        if (heading_ != Field::None &&
            !(field != Field::None && IsDomainField(field) && indent <= headingIndent_)) {
            InHeading(line, cut, field);
            return;
        }
        if (paragraphContact_)
            return;
        if (cut.hasLabel && SaysRedacted(cut.value) &&
            (cut.label.starts_with("registrant") || cut.label.starts_with("admin") ||
             cut.label.starts_with("tech") || cut.label.starts_with("billing")))
            AddUnique(r_.redacted, SnakeName(cut.label));
        if (!cut.hasLabel || field == Field::None) {
            Phrase(line);
            return;
        }
        if (firstInParagraph_ && (field == Field::Contact) && !cut.value.empty()) {
            // An object of its own: "nic-hdl: X", "contact: X", "person: X".
            paragraphContact_ = true;
            return;
        }
        lineFirst_ = firstInParagraph_;
        firstInParagraph_ = false;
        if (cut.value.empty()) {
            StartHeading(field, indent);
            return;
        }
        Take(field, cut, /*inHeading=*/false);
        if (field == Field::NameServer || field == Field::Status) {
            // "nameservers: ns1.example.pl." with the others on the lines below, further right.
            StartHeading(field, indent);
            headingIndented_ = true;
            headingLines_ = 1;
        }
    }

    Registration Done() {
        Blank();
        // Only an address or AS record keeps network fields; a domain's "Country:" is not one.
        NetworkInfo& n = r_.network;
        if (n.range.empty() && n.cidr.empty() && n.handle.empty())
            n = {};
        else if (n.organization.empty())
            n.organization = descr_;
        return std::move(r_);
    }

private:
    static bool IsDomainField(Field f) {
        return f == Field::Name || f == Field::Registrar || f == Field::Created ||
               f == Field::Updated || f == Field::Expires || f == Field::Status ||
               f == Field::NameServer || f == Field::Dnssec || f == Field::Registrant ||
               f == Field::Contact || f == Field::RegistrantOrg || f == Field::RegistrarUrl ||
               f == Field::RegistrarId;
    }

    void Blank() {
        // A blank line right below a heading ("Name Servers Information:", blank, names)
        // does not end it.
        if (heading_ != Field::None && headingLines_ > 0)
            EndHeading();
        paragraphContact_ = false;
        firstInParagraph_ = true;
        registrarParagraph_ = false;
    }

    void StartHeading(Field field, size_t indent) {
        heading_ = field;
        headingIndent_ = indent;
        headingIndented_ = false;
        headingLines_ = 0;
    }
    void EndHeading() { heading_ = Field::None; }

    void InHeading(std::string_view line, const Cut& cut, Field field) {
        ++headingLines_;
        switch (heading_) {
        case Field::Registrant:
            if (field == Field::Org && !SaysRedacted(cut.value))
                SetOnce(r_.registrantOrganization, cut.value);
            else if (!cut.hasLabel && headingLines_ == 1 && !SaysRedacted(line))
                SetOnce(r_.registrantOrganization, line); // the holder's name stands first
            else if (field == Field::Country)
                SetOnce(r_.registrantCountry, cut.value);
            if (cut.hasLabel && SaysRedacted(cut.value))
                AddUnique(r_.redacted, "registrant_" + SnakeName(cut.label));
            else if (!cut.hasLabel && headingLines_ == 1 && SaysRedacted(line))
                AddUnique(r_.redacted, "registrant");
            return;
        case Field::Contact:
            return;
        case Field::Registrar:
            if (field == Field::SubName || field == Field::Org || field == Field::Registrar)
                TakeRegistrar(r_.registrar, cut.value);
            else if (field == Field::SubUrl || field == Field::RegistrarUrl)
                SetOnce(r_.registrar.url, cut.value);
            else if (field == Field::None && headingLines_ == 1 && !cut.label.starts_with("http"))
                TakeRegistrar(r_.registrar, line); // the name stands first under the heading
            return;
        case Field::NameServer:
            if (cut.hasLabel && field != Field::None && field != Field::NameServer) {
                EndHeading();
                Line(line);
                return;
            }
            AddUnique(r_.nameservers,
                      NameServerHost(field == Field::NameServer ? cut.value : line));
            return;
        case Field::Status:
            if (cut.hasLabel && field != Field::None) {
                EndHeading();
                Line(line);
                return;
            }
            AddUnique(r_.status, StatusOf(line));
            return;
        case Field::Name:
            if (headingLines_ == 1)
                SetOnce(r_.name, Lower(line));
            return;
        case Field::None:
            return;
        default:
            // "Relevant dates:" and other headings of dates hold labelled lines.
            if (cut.hasLabel && field != Field::None) {
                Take(field, cut, true);
                return;
            }
            if (headingLines_ == 1 && IsDate(heading_))
                TakeDate(heading_, line);
            else
                Phrase(line);
            return;
        }
    }

    static bool IsDate(Field f) {
        return f == Field::Created || f == Field::Updated || f == Field::Expires;
    }

    void Phrase(std::string_view line) {
        if (line.size() < 12 || (line[0] | 0x20) < 'c' || (line[0] | 0x20) > 'r')
            return; // every phrase begins with c, d, e or r
        char buf[40];
        const size_t n = std::min(line.size(), sizeof buf);
        for (size_t i = 0; i < n; ++i)
            buf[i] = line[i] >= 'A' && line[i] <= 'Z' ? static_cast<char>(line[i] | 0x20) : line[i];
        const std::string_view low(buf, n);
        for (std::string_view p : kPhraseLabels) {
            if (low.starts_with(p) && low.size() > p.size() && IsBlank(line[p.size()])) {
                const Field f = Lookup(p);
                std::string_view value = Trim(line.substr(p.size()));
                bool ambiguous = false;
                if (!ParseWhoisDate(value, order_, &ambiguous).empty() || ambiguous)
                    TakeDate(f, value);
                return;
            }
        }
    }

    void TakeDate(Field f, std::string_view value) {
        std::string& slot = f == Field::Created   ? r_.created
                            : f == Field::Updated ? r_.updated
                                                  : r_.expires;
        // A later line may hold the date the first could not give, but not a million of them.
        if (!slot.empty() || dateTries_ >= 64)
            return;
        ++dateTries_;
        bool ambiguous = false;
        slot = ParseWhoisDate(value, order_, &ambiguous);
        if (ambiguous)
            AddUnique(r_.ambiguousDates, std::string(Trim(value.substr(0, 64))));
    }

    void Take(Field field, const Cut& cut, bool inHeading) {
        const std::string_view v = cut.value;
        switch (field) {
        case Field::Name:
            SetOnce(r_.name, Lower(v.substr(0, v.find(' '))));
            break;
        case Field::Registrar:
            TakeRegistrar(r_.registrar, v);
            registrarParagraph_ = lineFirst_;
            break;
        case Field::SubName:
            // "Registrar: MARK-0292" heading the registrar's object, then its "Name:".
            if (registrarParagraph_ && IsHandle(r_.registrar.name))
                r_.registrar.name = std::string(v.substr(0, 256));
            break;
        case Field::RegistrarId:
            SetOnce(r_.registrar.ianaId, v);
            break;
        case Field::RegistrarUrl:
            SetOnce(r_.registrar.url, v);
            break;
        case Field::AbuseEmail:
            SetOnce(r_.registrar.abuseEmail, v);
            break;
        case Field::AbusePhone:
            SetOnce(r_.registrar.abusePhone, v);
            break;
        case Field::Created:
        case Field::Updated:
        case Field::Expires:
            TakeDate(field, v);
            break;
        case Field::Status:
            AddUnique(r_.status, StatusOf(v));
            break;
        case Field::NameServer:
            // DK Hostmaster's "DNS:" names the domain itself; its servers follow as Hostname.
            if (std::string host = NameServerHost(v); !(cut.label == "dns" && host == r_.name))
                AddUnique(r_.nameservers, std::move(host));
            break;
        case Field::Dnssec:
            SetOnce(r_.dnssec, DnssecOf(v));
            break;
        case Field::RegistrantOrg:
            if (!SaysRedacted(v))
                SetOnce(r_.registrantOrganization, v);
            break;
        case Field::RegistrantCountry:
            if (!SaysRedacted(v))
                SetOnce(r_.registrantCountry, v);
            break;
        case Field::Range:
            SetOnce(r_.network.range, v);
            if (v.find('/') != std::string_view::npos && v.find(' ') == std::string_view::npos)
                SetOnce(r_.network.cidr, v);
            break;
        case Field::Cidr:
            SetOnce(r_.network.cidr, v);
            break;
        case Field::NetName:
            SetOnce(r_.network.name, v);
            break;
        case Field::Handle:
            SetOnce(r_.network.handle, v);
            break;
        case Field::Org:
            if (!inHeading)
                SetOnce(r_.network.organization, v);
            break;
        case Field::Descr:
            SetOnce(descr_, v);
            break;
        case Field::Country:
            if (!inHeading)
                SetOnce(r_.network.country, v);
            break;
        case Field::OriginAs:
            SetOnce(r_.network.originAs, v);
            break;
        default:
            break;
        }
    }

    DayMonthOrder order_;
    Registration r_;
    Field heading_ = Field::None;
    size_t headingIndent_ = 0;
    bool headingIndented_ = false;
    int headingLines_ = 0;
    bool paragraphContact_ = false;
    bool firstInParagraph_ = true;
    bool lineFirst_ = false;
    int dateTries_ = 0;
    bool registrarParagraph_ = false;
    std::string descr_; // RIPE's first descr: the organisation where no org-name is given
};

} // namespace

Registration ReadWhoisRecord(std::string_view text, std::string_view query) {
    Reader reader(query);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        reader.Line(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return reader.Done();
}

bool StatesRegistration(std::string_view text, std::string_view query) {
    const Registration r = ReadWhoisRecord(text, query);
    const bool dated = !r.created.empty() || !r.expires.empty();
    return r.name.empty() && dated && (!r.registrar.name.empty() || !r.nameservers.empty()) &&
           !SaysNoMatch(text);
}

Registration MergeRecords(const Registration& registry, const Registration& registrar) {
    Registration out = registry;
    auto fill = [](std::string& a, const std::string& b) {
        if (a.empty())
            a = b;
    };
    fill(out.name, registrar.name);
    fill(out.registrar.name, registrar.registrar.name);
    fill(out.registrar.ianaId, registrar.registrar.ianaId);
    // The registrar knows its own address and abuse desk best.
    if (!registrar.registrar.url.empty())
        out.registrar.url = registrar.registrar.url;
    if (!registrar.registrar.abuseEmail.empty())
        out.registrar.abuseEmail = registrar.registrar.abuseEmail;
    if (!registrar.registrar.abusePhone.empty())
        out.registrar.abusePhone = registrar.registrar.abusePhone;
    fill(out.created, registrar.created);
    fill(out.updated, registrar.updated);
    fill(out.expires, registrar.expires);
    if (out.status.empty())
        out.status = registrar.status;
    if (out.nameservers.empty())
        out.nameservers = registrar.nameservers;
    fill(out.dnssec, registrar.dnssec);
    // The registrant is the registrar's customer: its record of them wins.
    if (!registrar.registrantOrganization.empty() || !registrar.registrantCountry.empty()) {
        out.registrantOrganization = registrar.registrantOrganization;
        out.registrantCountry = registrar.registrantCountry;
    }
    for (const std::string& f : registrar.redacted)
        AddUnique(out.redacted, f);
    for (const std::string& f : registrar.ambiguousDates)
        AddUnique(out.ambiguousDates, f);
    if (out.network.Empty())
        out.network = registrar.network;
    return out;
}
