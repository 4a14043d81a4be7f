#include "global/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korvel {

Currency Currency::FromDouble(double v) { return Currency{std::llround(v * 10000.0)}; }

std::string Currency::ToString() const {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

int64_t Currency::Rounded() const {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  const auto units = static_cast<int64_t>(magnitude / 10000 + (magnitude % 10000 >= 5000 ? 1 : 0));
  return negative ? -units : units;
}

std::string FloatToStr(double v) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string CurrToStrF(double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2f", std::fabs(v));
  const std::string digits(buf);
  const size_t int_len = digits.find('.');
  const bool negative = v < 0 && digits != "0.00";
  std::string out = negative ? "-$" : "$";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && i < int_len && (int_len - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string& Variant::MutableString() {
  if (auto* s = std::get_if<std::string>(&value_)) return *s;
  return value_.emplace<std::string>();
}

bool Variant::TakeString(std::string& out) {
  auto* s = std::get_if<std::string>(&value_);
  if (!s) return false;
  out = std::move(*s);
  value_ = std::monostate{};
  return true;
}

const Variant& TParamValue::Value() const {
  static const Variant kNull;
  return null_ ? kNull : value_;
}

void TParamValue::SetValue(const Variant& v) {
  if (v.IsNull()) {
    null_ = true;
    return;
  }
  if (&v == &value_) {  // its own value: nothing to copy (SetText would clear it first)
    null_ = false;
    return;
  }
  if (v.type() != Variant::Type::String) value_.TakeString(spare_);
  if (const std::string* text = v.string_if()) {
    SetText() = *text;  // the kept storage is reused
  } else {
    value_ = v;
  }
  null_ = false;
}

void TParamValue::Assign(const TParamValue& other) {
  if (other.null_) {
    null_ = true;
    return;
  }
  SetValue(other.value_);
}

std::string& TParamValue::SetText() {
  null_ = false;
  if (!value_.string_if() && spare_.capacity() > std::string().capacity()) value_ = Variant(std::move(spare_));
  std::string& s = value_.MutableString();
  s.clear();
  return s;
}

std::string Variant::AsString() const {
  switch (type()) {
    case Type::Null: return {};
    case Type::String: return std::get<std::string>(value_);
    case Type::Integer: return std::to_string(std::get<int64_t>(value_));
    case Type::Float: return FloatToStr(std::get<double>(value_));
    case Type::Currency: return std::get<Currency>(value_).ToString();
    case Type::DateTime: return DateTimeToStr(std::get<TDateTime>(value_));
    case Type::Boolean: return std::get<bool>(value_) ? "True" : "False";
    case Type::Bytes: return std::get<Bytes>(value_).data;
  }
  return {};
}

int64_t Variant::AsInteger() const {
  switch (type()) {
    case Type::String: return std::strtoll(std::get<std::string>(value_).c_str(), nullptr, 10);
    case Type::Integer: return std::get<int64_t>(value_);
    case Type::Float: return std::llround(std::get<double>(value_));
    case Type::Currency: return std::get<Currency>(value_).Rounded();
    case Type::DateTime: return static_cast<int64_t>(std::get<TDateTime>(value_).value);
    case Type::Boolean: return std::get<bool>(value_) ? 1 : 0;
    default: return 0;
  }
}

double Variant::AsFloat() const {
  switch (type()) {
    case Type::String: return std::strtod(std::get<std::string>(value_).c_str(), nullptr);
    case Type::Integer: return static_cast<double>(std::get<int64_t>(value_));
    case Type::Float: return std::get<double>(value_);
    case Type::Currency: return std::get<Currency>(value_).ToDouble();
    case Type::DateTime: return std::get<TDateTime>(value_).value;
    case Type::Boolean: return std::get<bool>(value_) ? 1.0 : 0.0;
    default: return 0.0;
  }
}

TDateTime Variant::AsDateTime() const {
  if (type() == Type::DateTime) return std::get<TDateTime>(value_);
  if (type() == Type::String) {
    TDateTime dt;
    return TryParseDateTime(std::get<std::string>(value_), dt) ? dt : TDateTime();
  }
  return TDateTime(AsFloat());
}

bool Variant::AsBoolean() const {
  if (type() == Type::Boolean) return std::get<bool>(value_);
  if (type() == Type::String) {
    const std::string& s = std::get<std::string>(value_);
    return s == "True" || s == "true" || s == "TRUE" || s == "1";
  }
  return AsFloat() != 0.0;
}

}  // namespace korvel
