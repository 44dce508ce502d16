#include "engine/WhoisText.h"

#include "engine/HostRoutines.h"
#include "engine/ServerName.h"
#include "engine/WhoisIdna.h"
#include "kanjconv/KanjConv.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstddef>

const std::vector<std::string> FixedHitPhrases = {"[サブアロケーション]", "p. [ネームサーバ]"};
const std::vector<std::string> ReferralPhrases = {"Whois Server:", "Result obtained from server:"};
const std::vector<std::string> ModernReferralPhrases = {
    "Registrar WHOIS Server:", "ReferralServer:", "refer:"};

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Only A-Z fold: bytes of multi-byte characters are compared exactly.
bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view phrase) {
    if (pos > text.size() || text.size() - pos < phrase.size())
        return false;
    for (size_t k = 0; k < phrase.size(); ++k) {
        if (FoldAscii(text[pos + k]) != FoldAscii(phrase[k]))
            return false;
    }
    return true;
}

bool ContainsNoCase(std::string_view text, std::string_view phrase) {
    if (phrase.empty())
        return true;
    for (size_t pos = 0; pos + phrase.size() <= text.size(); ++pos) {
        if (StartsWithNoCase(text, pos, phrase))
            return true;
    }
    return false;
}

// Blanks and control characters, as a trim of the window's texts removes them.
bool IsBlank(char c) {
    return Byte(c) <= 0x20;
}

std::string_view Trim(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    size_t e = s.size();
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

size_t SkipChars(std::string_view text, size_t pos, std::string_view set) {
    while (pos < text.size() && set.find(text[pos]) != std::string_view::npos)
        ++pos;
    return pos;
}

// A plain loop: find_first_of tests each byte against the set with a call of its own, which
// made a 4 MiB answer take a noticeable pause.
size_t LineEnd(std::string_view text, size_t pos) {
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
        ++pos;
    return pos;
}

// Walks the lines from pos (a line start) and returns the position of the first line that
// begins with phrase, or npos. Between lines CR, LF and spaces are skipped, so a line that
// begins with spaces is found too.
size_t FindPhraseLine(std::string_view text, size_t pos, std::string_view phrase) {
    for (;;) {
        if (StartsWithNoCase(text, pos, phrase))
            return pos;
        pos = LineEnd(text, pos);
        if (pos >= text.size())
            return std::string_view::npos;
        pos = SkipChars(text, pos, "\r\n ");
    }
}

std::string ValueAt(std::string_view text, size_t linePos, std::string_view phrase) {
    size_t from = linePos + phrase.size();
    return std::string(Trim(text.substr(from, LineEnd(text, from) - from)));
}

// Today's referral values are sometimes written as "whois://host" or are web addresses;
// only a valid host name (port 43 at most) can be asked. Anything else counts as no referral.
std::string ReferralHost(std::string_view value) {
    constexpr std::string_view scheme = "whois://";
    if (StartsWithNoCase(value, 0, scheme))
        value.remove_prefix(scheme.size());
    while (!value.empty() && value.back() == '/')
        value.remove_suffix(1);
    if (value.size() > 3 && value.substr(value.size() - 3) == ":43")
        value.remove_suffix(3);
    return IsValidServerName(value) ? std::string(value) : std::string();
}

// Text taken as UTF-8: every byte that starts no well-formed sequence becomes U+FFFD, so
// nothing after this point sees invalid UTF-8.
std::string SanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t len = platform::Utf8SequenceLength(text, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

// The labels of the line that names the record, in the languages registries write them in;
// a blank in a label also stands for "_", "-" or nothing ("domain_name", "domainname").
constexpr std::string_view kRecordNameLabels[] = {
    "domain name", "domain",     "dominio", "nombre de dominio", "nom de domaine",
    "domaine",     "domeinnaam", "domínio", "nome de domínio"};

// The ways registries say, at the start of a line, that a name or address has no record.
constexpr std::string_view kNoMatchPhrases[] = {"No match",
                                                "No entries found",
                                                "No Data Found",
                                                "Not found",
                                                "no matching record",
                                                "No Object Found",
                                                "No such domain",
                                                "Domain not found",
                                                "Nothing found",
                                                "Object does not exist",
                                                "The queried object does not exist",
                                                "The domain name is not registered",
                                                "The domain has not been registered",
                                                "This domain name has not been registered"};

// What a status value says of a name nobody holds ("Domain Status: No Object Found",
// "Status: free", "query_status: 220 Available", "Estado: libre").
constexpr std::string_view kNoRecordWords[] = {
    "no object found", "not found", "available", "free",       "not registered",
    "no entries",      "no match",  "no data",   "disponible", "libre"};

// Words that name a name server's object: a "not found" about one inside a record.
constexpr std::string_view kHostObjectWords[] = {"nameserver",  "name server", "nserver",
                                                 "host object", "host name",   "hostname"};

// All that a line above the record-name line says when the name is free.
constexpr std::string_view kAvailableWords[] = {"available", "available for registration", "free",
                                                "not registered", "unregistered"};

// The same said in a sentence about the name ("x.test is free", "Domain x.test is available
// for registration", "domain \"x.test\" not found."), where "available" alone is too common.
constexpr std::string_view kNoRecordSentences[] = {
    "not found", "not registered", "no match",       "no entries", "no information",
    "is free",   "is available",   "does not exist", "not known",  "no existe"};

// Two names the same, letter case of A-Z and a final dot aside.
bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (!a.empty() && a.back() == '.')
        a.remove_suffix(1);
    if (!b.empty() && b.back() == '.')
        b.remove_suffix(1);
    return !a.empty() && a.size() == b.size() && StartsWithNoCase(a, 0, b);
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return Byte(c) < 0x80; });
}

// An internationalised name written in its letters by the registry and asked in its ASCII
// form, or the other way round; wireQuery is WhoisWireQuery(query). Only a name whose labels
// can match (ASCII ones equal, the others against "xn--" ones) is converted, which keeps an
// answer of many such lines quick.
bool SameIdn(std::string_view name, std::string_view query, std::string_view wireQuery) {
    if (IsAscii(name))
        return !IsAscii(query) && SameName(name, wireQuery);
    const std::vector<std::string> mine = SplitLabels(name), asked = SplitLabels(wireQuery);
    if (mine.size() != asked.size())
        return false;
    for (size_t k = 0; k < mine.size(); ++k) {
        if (IsAscii(mine[k]) ? !SameName(mine[k], asked[k])
                             : !StartsWithNoCase(asked[k], 0, "xn--"))
            return false;
    }
    return SameName(WhoisWireQuery(name), wireQuery);
}

// The end of label at pos, or npos. A-Z match in either case; a blank of the label matches
// one blank, "_" or "-", or nothing.
size_t MatchLabel(std::string_view text, size_t pos, std::string_view label) {
    for (char c : label) {
        if (c == ' ') {
            if (pos < text.size() && (text[pos] == ' ' || text[pos] == '_' || text[pos] == '-'))
                ++pos;
        } else if (pos < text.size() && FoldAscii(text[pos]) == FoldAscii(c)) {
            ++pos;
        } else {
            return std::string_view::npos;
        }
    }
    return pos;
}

// The word at pos: up to the next blank.
std::string_view WordAt(std::string_view text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    return text.substr(pos, end - pos);
}

// A status value that begins, after a status code ("220 Available"), with a word of
// kNoRecordWords; or a sentence that holds one of kNoRecordSentences.
bool SaysNoRecord(std::string_view text, bool sentence) {
    text = Trim(text);
    if (sentence)
        return std::any_of(std::begin(kNoRecordSentences), std::end(kNoRecordSentences),
                           [&](std::string_view words) { return ContainsNoCase(text, words); });
    text.remove_prefix(SkipChars(text, 0, "0123456789 "));
    return std::any_of(std::begin(kNoRecordWords), std::end(kNoRecordWords),
                       [&](std::string_view word) { return StartsWithNoCase(text, 0, word); });
}

// Whether a line speaks of a name server's (host's) object rather than the domain's.
bool SpeaksOfHostObject(std::string_view line) {
    return std::any_of(std::begin(kHostObjectWords), std::end(kHostObjectWords),
                       [&](std::string_view word) { return ContainsNoCase(line, word); });
}

// Whether a line says only that the name asked for is free ("AVAILABLE", "Domain is
// available.", "This domain name is not registered"), so that a field or a sentence about
// something else never counts.
bool SaysOnlyAvailable(std::string_view line) {
    line = Trim(line.substr(SkipChars(line, 0, "%#* \t")));
    while (!line.empty() && (line.back() == '.' || line.back() == '!'))
        line.remove_suffix(1);
    for (std::string_view lead : {"this ", "the "})
        if (StartsWithNoCase(line, 0, lead))
            line.remove_prefix(lead.size());
    for (std::string_view subject : {"domain name ", "domain ", "name "}) {
        if (StartsWithNoCase(line, 0, subject)) {
            line.remove_prefix(subject.size());
            if (!StartsWithNoCase(line, 0, "is "))
                return false;
            line.remove_prefix(3);
            break;
        }
    }
    return std::any_of(std::begin(kAvailableWords), std::end(kAvailableWords),
                       [&](std::string_view words) {
                           return line.size() == words.size() && StartsWithNoCase(line, 0, words);
                       });
}

// Whether a line holds the query as a word of its own, quotes and brackets aside.
bool MentionsName(std::string_view line, std::string_view query) {
    for (size_t pos = 0; pos < line.size();) {
        std::string_view word = WordAt(line, pos);
        // Every blank and control byte separates words, so each turn moves on.
        pos += std::max<size_t>(word.size(), 1);
        while (!word.empty() && std::string_view("\"'([<").find(word.front()) != word.npos)
            word.remove_prefix(1);
        while (!word.empty() && std::string_view("\"')]>,;:").find(word.back()) != word.npos)
            word.remove_suffix(1);
        if (SameName(word, query))
            return true;
    }
    return false;
}

// The position after a record-name label and its separator at pos (a line start after
// blanks), or npos: the label, then blanks, tabs or dots, then an optional colon. A label must end
// there: "Domains:" and "Domain-ID:" name nothing.
size_t AfterRecordLabel(std::string_view text, size_t pos) {
    pos = SkipChars(text, pos, "* ");
    for (std::string_view label : kRecordNameLabels) {
        const size_t at = MatchLabel(text, pos, label);
        if (at == std::string_view::npos)
            continue;
        const size_t sep = SkipChars(text, at, " \t.");
        size_t value = sep;
        // "Domain:.............name": dot leaders after the colon too.
        if (value < text.size() && text[value] == ':')
            value = SkipChars(text, value + 1, " \t.");
        else if (sep == at && sep < text.size() && text[sep] != '\r' && text[sep] != '\n')
            continue;
        return value;
    }
    return std::string_view::npos;
}

// A banner line: "[ ... ]" (JPRS, JPNIC), or a comment beginning with "%" or "#".
bool IsBannerLine(std::string_view line) {
    line = Trim(line);
    if (line.empty())
        return true;
    return line.front() == '%' || line.front() == '#' ||
           (line.size() >= 2 && line.front() == '[' && line.back() == ']');
}

// Some registries write everything as comments, their "not found" too (registro.br's
// "% No match for domain"): such a line is the answer, not banner.
size_t SkipBannerLines(std::string_view text, size_t pos) {
    while (pos < text.size()) {
        const size_t end = LineEnd(text, pos);
        const std::string_view line = text.substr(pos, end - pos);
        if (!IsBannerLine(line) || SaysNoMatch(line))
            break;
        pos = SkipChars(text, end, kCrLf);
    }
    return pos;
}

// "Label: value" or "Label:" as records write their fields; a web address's "http:" is not.
bool IsFieldLine(std::string_view line) {
    line = Trim(line);
    const size_t colon = line.find(':');
    return colon != std::string_view::npos && colon > 0 && colon <= 40 &&
           (colon + 1 == line.size() || line[colon + 1] == ' ' || line[colon + 1] == '\t');
}

// A paragraph of prose that holds no field, no hit and no "not found" line.
bool IsNoticeParagraph(std::string_view para, const std::vector<std::string>& hitKeys) {
    if (IsHitAnswer(para, hitKeys) || SaysNoMatch(para))
        return false;
    for (size_t pos = 0; pos < para.size();) {
        const size_t end = LineEnd(para, pos);
        if (IsFieldLine(para.substr(pos, end - pos)))
            return false;
        pos = SkipChars(para, end, kCrLf);
    }
    return true;
}

} // namespace

std::string NormalizeLineBreaks(std::string_view answer) {
    std::string out;
    out.reserve(answer.size() + answer.size() / 16 + 2);
    const size_t n = answer.size();
    size_t i = 0;
    while (i < n) {
        const char c = answer[i];
        // A Shift-JIS pair is copied whole. CR and LF are never trail bytes, so a line break
        // after a UTF-8 or EUC character whose last byte looks like a lead byte stays one.
        if (IsSjisLead(Byte(c)) && i + 1 < n && IsSjisTrail(Byte(answer[i + 1]))) {
            out += c;
            out += answer[i + 1];
            i += 2;
        } else if (c == '\r') {
            out += kCrLf;
            i += (i + 1 < n && answer[i + 1] == '\n') ? 2 : 1;
        } else if (c == '\n') {
            out += kCrLf;
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string ConvertCode(std::string_view text, int mode) {
    switch (mode) {
    case kCodeAuto:
        return AutoDetect(text);
    case kCodeJis:
        return JisToSjis(text);
    case kCodeEuc:
        return EucToSjis(text);
    default:
        return std::string(text);
    }
}

std::string AnswerToUtf8(std::string_view text, int mode) {
    text = text.substr(0, text.find('\0'));
    switch (mode) {
    case kCodeJis:
    case kCodeEuc:
        return platform::Cp932ToUtf8(ConvertCode(text, mode));
    case kCodeSjis:
        return platform::Cp932ToUtf8(text);
    case kCodeUtf8:
        return SanitizeUtf8(text);
    case kCodeAuto:
        // Most servers answer in UTF-8 today. Such a text is kept as it is even when the EUC
        // test alone would hold for it (its pairs of high bytes can pass that test), since
        // converting it would garble it; JIS text is 7-bit and so valid UTF-8 too.
        if (IsJisText(text) == 0 && platform::IsValidUtf8(text))
            return std::string(text);
        return platform::Cp932ToUtf8(ConvertCode(text, mode));
    default:
        return platform::ToUtf8(text);
    }
}

std::string PrepareAnswer(std::string_view raw, int mode) {
    std::string text = AnswerToUtf8(NormalizeLineBreaks(raw), mode);
    // A bidirectional control would reorder the text around it on any screen, so that one
    // name could pass for another; it is shown as U+FFFD, as a terminal shows other controls.
    size_t pos = text.find('\xE2');
    while (pos != std::string::npos) {
        if (platform::BidiControlLength(text, pos) != 0)
            text.replace(pos, 3, kReplacement);
        pos = text.find('\xE2', pos + 1);
    }
    return text;
}

bool IsHitAnswer(std::string_view text, const std::vector<std::string>& hitKeys) {
    size_t pos = 0;
    for (;;) {
        pos = SkipChars(text, pos, "\t\r\n ");
        if (pos >= text.size())
            break;
        for (const auto& key : hitKeys) {
            if (!key.empty() && StartsWithNoCase(text, pos, key))
                return true;
        }
        pos = SkipChars(text, LineEnd(text, pos), kCrLf);
    }
    for (const auto& phrase : FixedHitPhrases) {
        if (ContainsNoCase(text, phrase))
            return true;
    }
    return false;
}

std::string PhraseValue(std::string_view text, std::string_view phrase) {
    size_t pos = 0;
    size_t blank = text.find(kBlankLine);
    if (blank != std::string_view::npos)
        pos = SkipChars(text, blank, "\r\n ");
    size_t line = FindPhraseLine(text, pos, phrase);
    return line == std::string_view::npos ? std::string() : ValueAt(text, line, phrase);
}

std::string FindReferral(std::string_view text) {
    // Without a query no block is the query's own and no record names it.
    return FindReferralFor(text, {});
}

std::string AnswerBody(std::string_view text) {
    size_t blank = text.find(kBlankLine);
    if (blank != std::string_view::npos)
        text.remove_prefix(blank);
    return std::string(Trim(text));
}

std::string ShownBody(std::string_view text, const std::vector<std::string>& hitKeys) {
    size_t pos = 0;
    for (;;) {
        pos = SkipBannerLines(text, pos);
        // A notice paragraph goes only when more text follows it.
        const size_t blank = text.find(kBlankLine, pos);
        if (blank == std::string_view::npos || SkipChars(text, blank, "\r\n\t ") >= text.size() ||
            !IsNoticeParagraph(text.substr(pos, blank - pos), hitKeys))
            break;
        pos = blank;
    }
    // An answer made only of comments (IANA's for a name it has no data on) is shown whole
    // rather than as an empty text.
    const std::string_view shown = Trim(text.substr(pos));
    return std::string(shown.empty() ? Trim(text) : shown);
}

std::string WhoisCommandLine(std::string_view server, std::string_view query) {
    std::string line = "whois -h ";
    line += server;
    line += ' ';
    line += query;
    return line;
}

bool LoadHitKeys(const std::string& path, std::vector<std::string>& keys) {
    keys.clear();
    std::vector<std::string> lines;
    if (!platform::ReadTextLines(path, lines))
        return false;
    // An empty phrase would match every line and make every answer a hit.
    for (auto& line : lines) {
        if (!line.empty())
            keys.push_back(std::move(line));
    }
    return true;
}

std::vector<std::string> SplitLabels(std::string_view query) {
    query = query.substr(0, query.find('\0'));
    std::vector<std::string> labels;
    const size_t n = query.size();
    auto skipBlanks = [&](size_t p) {
        while (p < n && IsBlank(query[p]))
            ++p;
        return p;
    };
    size_t pos = skipBlanks(0);
    while (pos < n) {
        size_t start = pos;
        while (pos < n && !IsBlank(query[pos]) && query[pos] != '.')
            ++pos;
        labels.emplace_back(query.substr(start, pos - start));
        pos = skipBlanks(pos);
        if (pos < n && query[pos] == '.')
            pos = skipBlanks(pos + 1);
    }
    return labels;
}

std::string FindReferralFor(std::string_view text, std::string_view query) {
    // The query's own block begins at the "Domain Name:" line that names it.
    const size_t start = SkipChars(text, 0, "\r\n ");
    for (size_t pos = Trim(query).empty() ? text.size() : start; pos < text.size();) {
        size_t line = FindPhraseLine(text, pos, "Domain Name:");
        if (line == std::string_view::npos)
            break;
        if (SameName(ValueAt(text, line, "Domain Name:"), query)) {
            size_t server = FindPhraseLine(text, line, ReferralPhrases[0]);
            if (server != std::string_view::npos) {
                std::string value = ReferralHost(ValueAt(text, server, ReferralPhrases[0]));
                if (!value.empty())
                    return value;
            }
            break;
        }
        pos = SkipChars(text, LineEnd(text, line), "\r\n ");
    }
    for (const auto& phrase : ReferralPhrases) {
        std::string value = ReferralHost(PhraseValue(text, phrase));
        if (!value.empty())
            return value;
    }
    const bool ownRecord = RecordNamesQuery(text, query);
    for (const auto& phrase : ModernReferralPhrases) {
        if (ownRecord && phrase == "refer:")
            continue;
        size_t line = FindPhraseLine(text, start, phrase);
        if (line == std::string_view::npos)
            continue;
        std::string host = ReferralHost(ValueAt(text, line, phrase));
        if (!host.empty())
            return host;
    }
    return {};
}

bool RecordNamesQuery(std::string_view text, std::string_view query) {
    if (Trim(query).empty() || SaysNoMatch(text))
        return false;
    const std::string wireQuery = WhoisWireQuery(query);
    bool named = false;
    // The line below the one that named the query.
    size_t below = std::string_view::npos;
    for (size_t pos = SkipChars(text, 0, "\r\n\t "); pos < text.size();
         pos = SkipChars(text, LineEnd(text, pos), "\r\n\t ")) {
        const std::string_view line = text.substr(pos, LineEnd(text, pos) - pos);
        // "x.test is free", "Domain x.test is not registered", or a sentence right below the
        // record-name line: a no-match about this name wins wherever it is said.
        if ((pos == below || MentionsName(line, query)) && !IsFieldLine(line) &&
            !SpeaksOfHostObject(line) && SaysNoRecord(line, true))
            return false;
        // "AVAILABLE" above "Domain: x.test": the registry names what it was asked for.
        if (!named && SaysOnlyAvailable(line))
            return false;
        size_t value = named ? std::string_view::npos : AfterRecordLabel(text, pos);
        if (value == std::string_view::npos)
            continue;
        // A label alone on its line has the name on the next one ("Domain name:" then
        // "    GOOGLE.TK is Active", or "Domain:" then "name:       google.ee").
        if (value >= text.size() || text[value] == '\r' || text[value] == '\n') {
            value = SkipChars(text, value, "\r\n\t ");
            const size_t sub = MatchLabel(text, value, "name");
            const size_t colon = sub == std::string_view::npos ? sub : SkipChars(text, sub, " \t");
            if (colon < text.size() && text[colon] == ':')
                value = SkipChars(text, colon + 1, " \t");
        }
        const size_t end = LineEnd(text, value);
        const std::string_view name = WordAt(text, value);
        if (!SameName(name, query) && !SameName(text.substr(value, end - value), query) &&
            !SameIdn(name, query, wireQuery))
            continue;
        // "Domain Name: x.test (not registered)".
        if (SaysNoRecord(text.substr(value + name.size(), end - value - name.size()), true))
            return false;
        named = true;
        below = SkipChars(text, end, "\r\n\t ");
    }
    return named;
}

bool SaysNoMatch(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        pos = SkipChars(text, pos, "\r\n\t %#*");
        const size_t end = LineEnd(text, pos);
        const std::string_view line = text.substr(pos, end - pos);
        // "No match for nameserver NS1.X.TEST" inside a record: one of its parts has no object
        // of its own, the record is still there.
        if (SpeaksOfHostObject(line)) {
            pos = end;
            continue;
        }
        for (std::string_view phrase : kNoMatchPhrases) {
            if (StartsWithNoCase(text, pos, phrase))
                return true;
        }
        // A status field whose value says so, in any label ("Status:", "Domain Status:",
        // "query_status:", "Estado:"): "free" (DENIC), "AVAILABLE" (EURid), "No Object Found".
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon <= 40 &&
            (ContainsNoCase(line.substr(0, colon), "status") ||
             ContainsNoCase(line.substr(0, colon), "estado")) &&
            SaysNoRecord(line.substr(colon + 1), false))
            return true;
        pos = end;
    }
    return false;
}
