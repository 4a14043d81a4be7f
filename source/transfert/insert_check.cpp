#include "source/transfert/insert_check.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "global/string_utils.h"
#include "global/text_encoding.h"

namespace korvel {
namespace {

// Status codes the server gives these refusals, in its order.
constexpr int64_t kDsqlError = 335544569, kSqlErr = 335544436, kArithExcept = 335544321;
constexpr int64_t kStringTruncation = 335544914, kTruncLimits = 335545033, kOutOfRange = 335544779;
constexpr int64_t kConvertError = 335544334;

EDatabaseError TooLong(size_t expected, size_t actual) {
  return EDatabaseError(
      "Dynamic SQL Error\n-SQL error code = -303\n-arithmetic exception, numeric overflow, or string "
      "truncation\n-string "
      "right truncation\n-expected length " +
          std::to_string(expected) + ", actual " + std::to_string(actual),
      {kDsqlError, kSqlErr, kArithExcept, kStringTruncation, kTruncLimits});
}

EDatabaseError OutOfRange() {
  return EDatabaseError("arithmetic exception, numeric overflow, or string truncation\n-numeric value is out of range",
                        {kArithExcept, kOutOfRange});
}

EDatabaseError NotANumber(const std::string& text) {
  return EDatabaseError("conversion error from string \"" + text + "\"", {kConvertError});
}

// "VARCHAR(20) CHARACTER SET X" / "CHAR(3) ..." : the length in characters, else 0.
size_t TextLength(const std::string& type) {
  if (type.rfind("VARCHAR(", 0) != 0 && type.rfind("CHAR(", 0) != 0) return 0;
  return std::strtoul(type.c_str() + type.find('(') + 1, nullptr, 10);
}

// The largest magnitude an integer column holds, in units of its scale; 0 for a
// column that is no integer.
bool IntegerColumn(const std::string& type, int64_t& limit, int& scale) {
  scale = 0;
  int precision = 0;
  if (type == "SMALLINT") {
    precision = 4;
  } else if (type == "INTEGER") {
    precision = 9;
  } else if (type == "BIGINT") {
    precision = 18;
  } else if (type.rfind("NUMERIC(", 0) == 0) {
    precision = std::atoi(type.c_str() + 8);
    scale = std::atoi(type.c_str() + type.find(',') + 1);
  } else {
    return false;
  }
  limit = precision <= 4 ? 32767 : precision <= 9 ? 2147483647 : INT64_MAX;
  return true;
}

// A number as the server reads it from text: blanks around, an optional sign, digits
// with at most one point, an optional exponent.
std::optional<double> NumberOfText(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return std::nullopt;
  size_t i = 0;
  if (trimmed[i] == '+' || trimmed[i] == '-') ++i;
  bool digits = false, point = false;
  for (; i < trimmed.size(); ++i) {
    const char c = trimmed[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (i < trimmed.size() && (trimmed[i] == 'e' || trimmed[i] == 'E')) {
    size_t j = i + 1;
    if (j < trimmed.size() && (trimmed[j] == '+' || trimmed[j] == '-')) ++j;
    if (j == trimmed.size()) return std::nullopt;
    for (; j < trimmed.size(); ++j) {
      if (trimmed[j] < '0' || trimmed[j] > '9') return std::nullopt;
    }
    i = trimmed.size();
  }
  if (i != trimmed.size()) return std::nullopt;
  return std::strtod(trimmed.c_str(), nullptr);
}

std::optional<EDatabaseError> Refusal(const std::string& type, const Variant& value) {
  if (value.IsNull()) return std::nullopt;
  if (const size_t length = TextLength(type)) {
    if (value.type() != Variant::Type::String) return std::nullopt;
    const std::string& text = *value.string_if();
    // The server measures characters of the column's set; trailing blanks it cuts.
    const bool utf8 = type.find("UTF8") != std::string::npos;
    const auto measure = [&](std::string_view s) { return utf8 ? Utf8Length(s) : Utf8ToCp1252(s).size(); };
    size_t kept = text.size();
    while (kept > 0 && text[kept - 1] == ' ') --kept;
    if (measure(std::string_view(text).substr(0, kept)) <= length) return std::nullopt;
    return TooLong(length, measure(text));
  }
  int64_t limit = 0;
  int scale = 0;
  if (!IntegerColumn(type, limit, scale)) return std::nullopt;
  double number = 0;
  switch (value.type()) {
    case Variant::Type::String: {
      const std::optional<double> read = NumberOfText(*value.string_if());
      if (!read) return NotANumber(*value.string_if());
      number = *read;
      break;
    }
    case Variant::Type::Integer:
      if (scale == 0) {
        const int64_t n = value.AsInteger();
        return n > limit || n < -limit - 1 ? std::optional<EDatabaseError>(OutOfRange()) : std::nullopt;
      }
      number = static_cast<double>(value.AsInteger());
      break;
    case Variant::Type::Float: number = value.AsFloat(); break;
    case Variant::Type::Currency: number = value.currency_if()->ToDouble(); break;
    default: return std::nullopt;
  }
  const double scaled = std::round(number * std::pow(10.0, scale));
  if (scaled > static_cast<double>(limit) || scaled < -static_cast<double>(limit) - 1) return OutOfRange();
  return std::nullopt;
}

}  // namespace

std::optional<EDatabaseError> InsertRefusal(fib::TpFIBQuery& insert) {
  const int slots = insert.SlotCount();
  for (int i = 0; i < slots; ++i) {
    const std::string type = insert.ParamTypeDeclaration(i);
    std::optional<EDatabaseError> refusal = Refusal(type, insert.Params(insert.ParamSlot(i)).Value());
    if (refusal) return refusal;
  }
  return std::nullopt;
}

}  // namespace korvel
