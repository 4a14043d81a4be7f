// Command-line lookup: arguments are name=value entries; an argument without "="
// is a name with an empty value.
#pragma once

#include <string>
#include <vector>

namespace korvel {

// Arguments the lookups search; set once by main (argv[1..]).
void SetCommandLineArguments(std::vector<std::string> args);

// Finds NomParamStr, ignoring letter case; the first matching entry wins. When found,
// sets ValeurParamStr to its value; otherwise leaves it as it was.
bool InParamStr(const std::string& NomParamStr, std::string& ValeurParamStr);
bool InParamStr(const std::string& NomParamStr);

}  // namespace korvel
