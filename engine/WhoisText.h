#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The text side of a WHOIS chain: what the window does with each answer, without any Qt.
// The window's handlers and a command-line front end share it. All texts handed out are
// UTF-8; only ConvertCode produces Shift-JIS, as the conversions of kanjconv do.

// The radio items of the "コード変換" menu (their Tag).
constexpr int kCodeAuto = 0;
constexpr int kCodeJis = 1;
constexpr int kCodeSjis = 2;
constexpr int kCodeEuc = 3;
constexpr int kCodeUtf8 = 4;

// Built-in phrases, UTF-8. Referral phrases are tried in this order.
extern const std::vector<std::string> FixedHitPhrases;
extern const std::vector<std::string> ReferralPhrases;
// Today's registries name the next server in lines the two phrases above do not catch, and
// often in the answer's first paragraph; these are searched from the first line, after them.
extern const std::vector<std::string> ModernReferralPhrases;

// CR LF stays one line break; every other CR and LF becomes CR LF. The byte after a
// Shift-JIS lead byte is copied without being examined when it can be a trail byte.
std::string NormalizeLineBreaks(std::string_view answer);

// The text converted by the mode, in Shift-JIS: 0 AutoDetect, 1 JisToSjis, 3 EucToSjis;
// any other mode returns the text unchanged.
std::string ConvertCode(std::string_view text, int mode);

// An answer (already normalised) as the window shows it, in UTF-8, by the conversion mode.
// A zero byte ends the text in every mode.
std::string AnswerToUtf8(std::string_view text, int mode);

// NormalizeLineBreaks, then AnswerToUtf8, with each bidirectional control shown as U+FFFD:
// the step the window runs on every WHOIS and SMTP
// answer before anything else looks at it.
std::string PrepareAnswer(std::string_view raw, int mode);

// Whether an answer is a hit: a line that begins, after blanks, with one of hitKeys, or one of
// FixedHitPhrases anywhere. Letter case of A-Z does not matter; empty keys never match.
bool IsHitAnswer(std::string_view text, const std::vector<std::string>& hitKeys);

// The trimmed rest of the first line, from the first paragraph break on, that begins with
// phrase; empty when there is none or its value is empty.
std::string PhraseValue(std::string_view text, std::string_view phrase);

// The server named by a referral line, or empty; only a valid host name or address counts.
std::string FindReferral(std::string_view text);

// The shown part of an answer: from its first blank line to its end, trimmed.
std::string AnswerBody(std::string_view text);
// The body to show for a chain step: the answer without its leading banner only (lines of
// "[ ... ]", "%" or "#", and notice paragraphs that hold no record line), trimmed. Every
// no-match line and record line is shown, comment or not; an answer that is all banner is
// shown whole.
std::string ShownBody(std::string_view text, const std::vector<std::string>& hitKeys);

// "whois -h " + server + " " + query.
std::string WhoisCommandLine(std::string_view server, std::string_view query);

// The lines of Servhit.key (UTF-8, or CP932 when the file is not valid UTF-8), empty lines
// left out. Returns false, leaving keys empty, when the file cannot be read.
bool LoadHitKeys(const std::string& path, std::vector<std::string>& keys);

// The labels of a query: cut at dots and at blanks; a final dot adds no empty label.
std::vector<std::string> SplitLabels(std::string_view query);

// The server named by a referral line for this query, or empty: like FindReferral, but an
// old registry answer listing several domains, each with its own "Whois Server:" line, gives
// the line of the query's own block, and IANA's "refer:" is not taken when the answer is the
// record of the query itself (IANA refers onward only for names below it).
std::string FindReferralFor(std::string_view text, std::string_view query);

// Whether the answer is the record of the query: a line names it after a domain label
// ("Domain Name:", "domain_name:", "Domain.....:", "Dominio:", "Domain NAME (ACTIVE)", the
// label alone with the name on the next line; any letter case, in ASCII or IDNA form), and
// nothing says the name has no record: SaysNoMatch, the rest of that line, the line below
// it, or any other sentence about the name ("x.test is free").
bool RecordNamesQuery(std::string_view text, std::string_view query);

// Whether a line begins, after blanks and comment marks, with a registry's "not found" phrase,
// or a status field's value says so ("Domain Status: No Object Found", "Status: free").
bool SaysNoMatch(std::string_view text);

