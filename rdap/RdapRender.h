#pragma once

#include <string>
#include <string_view>

namespace rdap {

// Readable text of one answer (object, handle, status, events, registrar, entities by role with
// their jCards, nameservers, DNSSEC, remarks, notices folded). Lines end in "\n", UTF-8 kept;
// control characters of the answer become spaces so no server can drive the terminal.
// Malformed input renders what can be read; not JSON at all gives a one-line explanation.
// Never throws.
std::string Render(std::string_view json);
// For a 404 (or other error object): "No match: <title>: <description>" for 404, otherwise
// "Error (HTTP <status>): <title>: <description>"; one line.
std::string RenderError(std::string_view json, long httpStatus);
// What a 2xx answer holds. A record is a JSON object RDAP defines: one with an objectClassName,
// or a search answer (a "...SearchResults" array) that carries rdapConformance. An error object
// carries rdapConformance and an errorCode (given in `errorCode`). Anything else (a portal's
// HTML page, JSON of another service, a help answer) is not an answer to the query.
enum class AnswerKind { Record, ErrorObject, NotRdap };
AnswerKind ClassifyAnswer(std::string_view json, long* errorCode = nullptr);
// The registry-to-registrar link: first link with rel "related" and type application/rdap+json
// whose href is a domain lookup (not HTML, not an IP block); empty when none.
std::string RegistrarLink(std::string_view json);

} // namespace rdap
