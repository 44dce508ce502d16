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

// NormalizeLineBreaks, then AnswerToUtf8: the step the window runs on every WHOIS and SMTP
// answer before anything else looks at it.
std::string PrepareAnswer(std::string_view raw, int mode);

// Whether an answer is a hit: a line that begins, after blanks, with one of hitKeys, or one of
// FixedHitPhrases anywhere. Letter case of A-Z does not matter; empty keys never match.
bool IsHitAnswer(std::string_view text, const std::vector<std::string>& hitKeys);

// The trimmed rest of the first line, from the first paragraph break on, that begins with
// phrase; empty when there is none or its value is empty.
std::string PhraseValue(std::string_view text, std::string_view phrase);

// The server named by a referral line, or empty.
std::string FindReferral(std::string_view text);

// The shown part of an answer: from its first blank line to its end, trimmed.
std::string AnswerBody(std::string_view text);
// The body to show for a chain step: AnswerBody, except that an answer whose first paragraph
// already holds the record (a hit or referral line) is shown whole, so today's answers that
// begin with their data are not hidden.
std::string ShownBody(std::string_view text, const std::vector<std::string>& hitKeys);

// "whois -h " + server + " " + query.
std::string WhoisCommandLine(std::string_view server, std::string_view query);

// The lines of Servhit.key (UTF-8, or CP932 when the file is not valid UTF-8), empty lines
// left out. Returns false, leaving keys empty, when the file cannot be read.
bool LoadHitKeys(const std::string& path, std::vector<std::string>& keys);

// The labels of a query: cut at dots and at blanks; a final dot adds no empty label.
std::vector<std::string> SplitLabels(std::string_view query);

// At most this many referrals are followed in one chain.
constexpr int kMaxReferrals = 10;

// What one chain remembers between its answers; reset when a new chain starts.
struct WhoisChainState {
    int Referrals = 0;
    void Reset() { Referrals = 0; }
};

// One answer of a chain, with everything the choice of the next step depends on.
struct WhoisAnswer {
    int32_t ErrorCode = 0;
    std::string Query;         // the query of this step
    std::string Converted;     // PrepareAnswer of the answer
    std::string AskedServer;   // the server name this step was sent to (as looked up)
    std::string CurrentTarget; // the controller's name for that server
    std::string QueryText;     // the controller's FQueryText
    std::string LastQuery;     // the query the chain started with
    bool AutoChange = false;   // "Auto jump Detail Server"
    bool SweepCheck = false;   // "連続検索"
};

// The next step of the chain and the texts the window shows for it.
struct WhoisStep {
    enum Kind { Hit, RetryParent, FollowReferral, NextCandidate, End };
    Kind kind = End;
    std::string MemoText; // the whole new text of the text area
    // RetryParent: WhoisDirect(Query). FollowReferral and NextCandidate: WhoisResolve(Server,
    // Query); NextCandidate then sets status panel 1 to StatusText.
    std::string Server;
    std::string Query;
    std::string StatusText;
    // Hit: OpenWeb is enabled with WebHint as its hint exactly when OpenWeb is set.
    bool OpenWeb = false;
    std::string WebHint;
    // End: the referral that was found and not followed (AutoChange off, or refused).
    std::string Referral;
    // End: the referral was refused because it named the server just asked or the chain had
    // followed kMaxReferrals already.
    bool ReferralRefused = false;
};

// Chooses the next step from one answer. nextCandidate is the directory's NextCandidate: it
// is called once, only when the sweep is consulted. state counts the referrals followed.
WhoisStep ChooseWhoisStep(const WhoisAnswer& answer, const std::vector<std::string>& hitKeys,
                          WhoisChainState& state,
                          const std::function<std::string()>& nextCandidate);
