#pragma once

#include <string>
#include <string_view>
#include <vector>

// The directory of WHOIS servers (Server.wis): one server per line, a comma list of the
// server, the markers "+" (answers IPv4 queries), "-" (does not), "*" (every domain) and
// domain suffixes without their leading dot. These are the pure operations behind the
// controller's LoadServers / SaveServers / PrepareCandidates / BuildCandidates / NextCandidate.

// Splits one directory line into its fields (the same splitter serves the list editor).
std::vector<std::string> SplitServerFields(std::string_view line);

// -2 for the empty field, 0 for "-", 1 for "+", 2 for "*" (exact comparison), -1 otherwise.
int MarkerIndex(std::string_view field);

// Replaces `list` with the file's lines if the file exists (UTF-8, or legacy CP932 decoded
// to UTF-8), otherwise empties it. Errors other than "does not exist" throw
// std::runtime_error.
void LoadServerFile(const std::string& path, std::vector<std::string>& list);

// Writes each line followed by CR LF, replacing the file safely. Throws std::runtime_error
// on failure; the old file is then left as it was.
void SaveServerFile(const std::string& path, const std::vector<std::string>& list);

// Makes sure a line beginning with `server` is listed (appending "<server>,+,*," otherwise),
// then rebuilds `candidates` as BuildServerCandidates does.
void PrepareServerCandidates(std::vector<std::string>& serverList, const std::string& server,
                             const std::string& target, bool targetIsIP,
                             std::vector<std::string>& candidates);

// Rebuilds `candidates`: the first fields of the lines that serve `target`, in directory
// order, each at most once (letter case ignored), leaving out the line of `server` itself.
// Suffixes match the target without regard to the case of A-Z.
// `targetIsIP` is whether the target is a dotted quad.
void BuildServerCandidates(const std::vector<std::string>& serverList, const std::string& server,
                           const std::string& target, bool targetIsIP,
                           std::vector<std::string>& candidates);

// Takes the next non-empty candidate out of the queue; empty when none is left.
std::string NextServerCandidate(std::vector<std::string>& candidates);

// The servers whose lines list a domain suffix that `target` ends with (the registries of
// the name), in directory order; "*" lines are not among them.
std::vector<std::string> RegistryServers(const std::vector<std::string>& serverList,
                                         const std::string& target);
