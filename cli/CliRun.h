#pragma once

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "engine/WhoisSession.h"

#include <string>

namespace cli {

// Each runs one operation of the command line and returns the exit status. Messages go to
// standard error as "zwhois: ..."; results to standard output.
int RunWhoisQueries(const CliOptions& options, Session& session);
int RunLookup(const CliOptions& options, Session& session);
int RunExpn(const CliOptions& options, Session& session);
int RunPing(const CliOptions& options, Session& session);
int RunTrace(const CliOptions& options, Session& session);
int RunUpdateRdap(const CliOptions& options, Session& session);

// One line on standard error, after the program's name.
void Complain(const std::string& message);

// Standard input, read whole; false when Ctrl-C came first.
bool ReadStandardInput(std::string& text);

// The encoding chosen on the command line, else the settings file's.
int ChosenEncoding(const CliOptions& options, const HomeFiles& files);

// Prints a chain's end: each failure on standard error, then the text on standard output (a
// blank line before it unless it is the first) with "no match" on standard error, or with
// json one object (its "record" the fields read), or with brief the record's few lines in
// place of the text. Returns the exit status the result calls for.
int ReportChain(const WhoisSession& chain, bool json, bool first, bool brief);

// The WHOIS chains of the queries, paced and side by side (CliBulk.cpp): each answer printed
// in the order of the queries. Returns the worst status, or kExitInterrupted after Ctrl-C
// once the answers in by then are printed.
int RunQueries(const CliOptions& options, Session& session, const std::vector<std::string>& queries,
               const HomeFiles& files);

// Readies the controller for WHOIS chains (port, server directory, RDAP; a directory that
// cannot be read is reported and left empty) and returns the chain's settings from the
// options and the home folder's files (found once by the caller).
SessionSettings PrepareWhois(const CliOptions& options, const HomeFiles& files, TPingTrace& trace);

} // namespace cli
