#include "source/maintenance/sql_names.h"

#include "global/string_utils.h"

namespace korvel {
namespace {

bool IsPlainUpperIdentifier(std::string_view name) {
  if (name.empty() || !(name[0] >= 'A' && name[0] <= 'Z')) return false;
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string SqlObjectName(std::string_view storedName) {
  const std::string name = TrimRight(storedName);
  if (IsPlainUpperIdentifier(name)) return name;
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

bool IsIntegerText(std::string_view text) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

}  // namespace korvel
