#include "global/in_param_str.h"

#include "global/string_utils.h"

namespace korvel {
namespace {

std::vector<std::string>& Arguments() {
  static std::vector<std::string> args;
  return args;
}

}  // namespace

void SetCommandLineArguments(std::vector<std::string> args) { Arguments() = std::move(args); }

bool InParamStr(const std::string& NomParamStr, std::string& ValeurParamStr) {
  for (const std::string& arg : Arguments()) {
    const size_t eq = arg.find('=');
    const std::string name = eq == std::string::npos ? arg : arg.substr(0, eq);
    if (SameText(name, NomParamStr)) {
      ValeurParamStr = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
      return true;
    }
  }
  return false;
}

bool InParamStr(const std::string& NomParamStr) {
  std::string ignored;
  return InParamStr(NomParamStr, ignored);
}

}  // namespace korvel
