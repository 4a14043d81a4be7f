// Small text helpers used across the program (ASCII letter case, trimming, SQL literals).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Compares ignoring ASCII letter case.
bool SameText(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Upper case of a UTF-8 text, accented Latin letters included (é -> É, œ -> Œ).
std::string AnsiUpperCase(std::string_view utf8);
// Removes blanks and control characters (<= ' ') at both ends / at the left / at the right.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// The text as a SQL literal: single quotes around it, embedded single quotes doubled.
std::string QuotedStr(std::string_view s);
// A decimal integer written alone (blanks around it allowed), or nothing: "12" is one,
// "", "abc", "2.5" and "12 3" are not.
std::optional<int64_t> IntegerFromText(std::string_view s);
// Splits on one separator character; keeps empty pieces.
std::vector<std::string> Split(std::string_view s, char sep);

}  // namespace korvel
