#pragma once

#include "engine/WhoisRecord.h"

#include <string>

namespace cli {

// The record as the JSON object of a query's "record" key: every key always there, null where
// the answer states nothing; "network" null for a domain, "dnssec" true, false or null.
std::string JsonRecord(const Registration& record);

// A few lines for --brief: the query, then the registrar, dates, status and name servers of a
// domain, or the network and its owner; "(no fields read)" when the answer states none.
std::string BriefRecord(const std::string& query, const Registration& record);

} // namespace cli
