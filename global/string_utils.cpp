#include "global/string_utils.h"

#include <cctype>
#include <charconv>

#include "global/text_encoding.h"

namespace korvel {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string AnsiUpperCase(std::string_view utf8) {
  std::string bytes = Utf8ToCp1252(utf8);
  for (char& c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') {
      c = static_cast<char>(b - 0x20);
    } else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
      c = static_cast<char>(b - 0x20);
    } else if (b == 0x9A || b == 0x9C || b == 0x9E) {  // s caron, oe, z caron
      c = static_cast<char>(b - 0x10);
    } else if (b == 0xFF) {
      c = static_cast<char>(0x9F);
    }
  }
  return Cp1252ToUtf8(bytes);
}

std::string TrimLeft(std::string_view s) {
  size_t a = 0;
  while (a < s.size() && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  return std::string(s.substr(a));
}

std::string TrimRight(std::string_view s) {
  size_t b = s.size();
  while (b > 0 && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  return std::string(s.substr(0, b));
}

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::optional<int64_t> IntegerFromText(std::string_view s) {
  const std::string trimmed = Trim(s);
  int64_t value = 0;
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (first == last || ec != std::errc() || end != last) return std::nullopt;
  return value;
}

std::string QuotedStr(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back('\'');
  for (const char c : s) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  out.push_back('\'');
  return out;
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == sep) {
      parts.emplace_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace korvel
