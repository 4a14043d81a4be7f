// Turns named parameters (":name") into the positional markers the server takes.
#pragma once

#include <string>
#include <vector>

namespace korvel::fib {

struct ParsedSql {
  // The text with every ":name" and "?" outside quotes and comments replaced by "?".
  std::string sql;
  // One entry per distinct parameter, in order of first appearance; "" for a "?".
  std::vector<std::string> names;
  // For each "?" of `sql`, the index in `names` of the parameter it takes.
  std::vector<int> slots;
};

// Names are compared without regard to case, so ":Code" and ":CODE" are one
// parameter bound once. With `named` false only "?" are parameters: ":name" stays as
// written (the variables of an EXECUTE BLOCK).
ParsedSql ParseParams(const std::string& sql, bool named = true);

}  // namespace korvel::fib
