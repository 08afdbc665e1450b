// The usage text of every family and subcommand, in one table so that they
// read alike: synopsis, what it does, options, an example, exit codes.
#pragma once

#include <string>
#include <vector>

namespace rylcli {

// Whether family (and sub, when not empty) has a help text.
bool HasHelp(const std::string& family, const std::string& sub);
// The subcommands of a family, empty for a family without them.
std::vector<std::string> Subcommands(const std::string& family);
// The full text; the overview of all families for an empty family.
std::string HelpText(const std::string& family, const std::string& sub);
// Prints HelpText on stdout (asked for) and returns 0.
int PrintHelp(const std::string& family, const std::string& sub);
// The synopsis lines only, on stderr after a usage error.
void PrintSynopsis(const std::string& family, const std::string& sub);

}  // namespace rylcli
