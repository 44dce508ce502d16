#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace srvsetup {

// One directory line as a row of the server list editor shows it.
struct ServerRow {
    std::string Server;  // the first field
    std::string IPFlag;  // "+", "-" or empty
    std::string Domains; // "*" or the domain fields, sorted, joined with commas
};

// Lays a directory line out as a row. The fields after the server are sorted without regard
// to letter case; a field that is a leading part of "*+-" is taken as that marker, so "*+"
// counts as "*" and "+-" as "+"; with "*" the domain fields are not shown.
ServerRow MakeServerRow(std::string_view line);

// Joins domain fields with commas, quoting a field that the line grammar would otherwise
// split or misread (blanks, control characters, commas, double quotes).
std::string JoinDomainFields(const std::vector<std::string>& fields);

// The line the editor writes from its edits: server, ",", "+," or "-," for IP index 0 or 1
// (nothing for -1), then the domain text exactly as typed.
std::string BuildServerLine(const std::string& server, int ipIndex, const std::string& domains);

} // namespace srvsetup
