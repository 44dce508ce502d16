#pragma once

#include <string>
#include <string_view>

// A registry's limit notice: the text a server sends instead of an answer once one address
// has asked too often ("Queried interval is too short", "440 Request Denied", "%ERROR:201:
// access denied"). It is no verdict on the name: the chain ends the step as failed
// (rate-limited), and a bulk run asks the server again after a pause.
//
// The phrases are built in, as the no-match and referral phrases are, not read from a file
// the user edits like Servhit.key: a notice is a line that holds a phrase and is short, and
// it is looked for before the hit test, so a phrase that also occurs in records would turn
// every answer of that registry into a failure and, in a bulk run, into pauses.

// The notice line (comment marks and blanks around it removed) when `text` (an answer after
// PrepareAnswer) is a limit notice, else empty. `shown`, when given, gets the part of the
// answer to show for it: the notice's paragraph to the end, trimmed.
std::string LimitNotice(std::string_view text, std::string* shown = nullptr);
