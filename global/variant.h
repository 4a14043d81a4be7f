// A typed value that may be NULL: the unit passed between the source reader, the
// converter and the target statements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "global/date_time.h"

namespace korvel {

// Fixed-point money, 4 decimals, as the legacy currency type stores it.
struct Currency {
  int64_t scaled = 0;  // value * 10000
  static Currency FromDouble(double v);
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  // The exact decimal text, without trailing zeros: "-2.5", "100",
  // "922337203685477.5807". A double cannot hold the larger amounts to the last digit.
  std::string ToString() const;
  // Rounded half away from zero, as the legacy application rounds money.
  int64_t Rounded() const;
  friend bool operator==(Currency a, Currency b) { return a.scaled == b.scaled; }
};

// Raw bytes of a large object (binary or text).
struct Bytes {
  std::string data;
  friend bool operator==(const Bytes& a, const Bytes& b) { return a.data == b.data; }
};

class Variant {
 public:
  enum class Type { Null, String, Integer, Float, Currency, DateTime, Boolean, Bytes };

  Variant() = default;
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(int v) : value_(static_cast<int64_t>(v)) {}
  Variant(int64_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(korvel::Currency v) : value_(v) {}
  Variant(TDateTime v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(korvel::Bytes v) : value_(std::move(v)) {}

  static Variant Null() { return Variant(); }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsNull() const { return type() == Type::Null; }

  // Conversions with the program's fixed formats: decimal point ".", dates
  // "yyyy-mm-dd" (with " h:nn" when there is a time), Booleans "True"/"False".
  // NULL gives "" / 0 / false. A text that is not a number gives 0.
  std::string AsString() const;
  int64_t AsInteger() const;
  double AsFloat() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;

  const std::string* string_if() const { return std::get_if<std::string>(&value_); }
  // Makes the value a text and returns it for filling; an existing text keeps its
  // storage, so refilling allocates nothing once warm.
  std::string& MutableString();
  // When the value is a text, moves it out (leaving the value NULL); returns false
  // otherwise. Lets a holder keep the text's storage while the value is of another type.
  bool TakeString(std::string& out);
  const korvel::Bytes* bytes_if() const { return std::get_if<korvel::Bytes>(&value_); }
  const korvel::Currency* currency_if() const { return std::get_if<korvel::Currency>(&value_); }

  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  std::variant<std::monostate, std::string, int64_t, double, korvel::Currency, TDateTime, bool, korvel::Bytes> value_;
};

// A value that can be cleared to NULL without giving up its storage: the parameter
// object handed from the converter to the statements, and the statements' parameters.
class TParamValue {
 public:
  bool IsNull() const { return null_; }
  // NULL when cleared.
  const Variant& Value() const;
  void SetValue(const Variant& v);
  void Assign(const TParamValue& other);
  void Clear() { null_ = true; }
  // A text value to fill in place.
  std::string& SetText();
  std::string AsString() const { return Value().AsString(); }

 private:
  Variant value_;
  std::string spare_;  // storage of the last text, kept while the value holds another type
  bool null_ = true;
};

// Shortest text that reads back as the same double, with "." as decimal point.
std::string FloatToStr(double v);
// "$" before the amount, 2 decimals, thousands separated by ",": "$1,234.50", "-$3.00".
std::string CurrToStrF(double v);

}  // namespace korvel
