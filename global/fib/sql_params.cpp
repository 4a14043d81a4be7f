#include "global/fib/sql_params.h"

#include <cctype>

#include "global/string_utils.h"

namespace korvel::fib {
namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

}  // namespace

ParsedSql ParseParams(const std::string& sql, bool named) {
  ParsedSql out;
  out.sql.reserve(sql.size());
  const size_t n = sql.size();
  for (size_t i = 0; i < n;) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {  // literal or quoted identifier; a doubled quote stays inside
      size_t j = i + 1;
      while (j < n) {
        if (sql[j] == c) {
          if (j + 1 < n && sql[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      const size_t end = j < n ? j + 1 : n;
      out.sql.append(sql, i, end - i);
      i = end;
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      const size_t end = sql.find('\n', i);
      const size_t stop = end == std::string::npos ? n : end;
      out.sql.append(sql, i, stop - i);
      i = stop;
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? n : end + 2;
      out.sql.append(sql, i, stop - i);
      i = stop;
    } else if (named && c == ':' && i + 1 < n && IsNameStart(sql[i + 1])) {
      size_t j = i + 1;
      while (j < n && IsNameChar(sql[j])) ++j;
      const std::string name = sql.substr(i + 1, j - i - 1);
      int index = -1;
      for (size_t k = 0; k < out.names.size(); ++k) {
        if (!out.names[k].empty() && SameText(out.names[k], name)) index = static_cast<int>(k);
      }
      if (index < 0) {
        index = static_cast<int>(out.names.size());
        out.names.push_back(name);
      }
      out.slots.push_back(index);
      out.sql.push_back('?');
      i = j;
    } else if (c == '?') {
      out.slots.push_back(static_cast<int>(out.names.size()));
      out.names.emplace_back();
      out.sql.push_back('?');
      ++i;
    } else {
      out.sql.push_back(c);
      ++i;
    }
  }
  return out;
}

}  // namespace korvel::fib
