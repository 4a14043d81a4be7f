#include "source/transfert/known_keys.h"

#include <bit>
#include <charconv>

#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"

namespace korvel {
namespace {

constexpr uint64_t kFnvOffset = 1469598103934665603ULL;
constexpr uint64_t kFnvPrime = 1099511628211ULL;

void Mix(uint64_t& h, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    h ^= p[i];
    h *= kFnvPrime;
  }
}

// The text as the server compares it with a column of `maxChars` characters in a
// single-byte set: trailing blanks ignored; nothing when it would not fit (the server
// then refuses the check itself) or has a character the set cannot hold.
std::optional<std::string_view> ComparableText(std::string_view text, size_t maxChars) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  text = text.substr(0, end);
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!ascii) {
    if (Cp1252ToUtf8(Utf8ToCp1252(text)) != text) return std::nullopt;
    if (Utf8Length(text) > maxChars) return std::nullopt;
  } else if (text.size() > maxChars) {
    return std::nullopt;
  }
  return text;
}

// Digits with an optional sign, blanks around: an integer as the server reads it from
// a text. Anything else (decimals, exponents, other white space) is left to it.
std::optional<int64_t> ParsedInteger(const Variant& value) {
  if (value.type() == Variant::Type::Integer) return value.AsInteger();
  if (value.type() != Variant::Type::String) return std::nullopt;
  std::string_view text = *value.string_if();
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  int64_t n = 0;
  const auto [end, error] = std::from_chars(first, last, n);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return n;
}

// The same within the column's range (a value out of it is the server's to refuse).
std::optional<int64_t> ComparableInteger(const Variant& value, int bits) {
  std::optional<int64_t> n = ParsedInteger(value);
  if (n && bits < 64) {
    const int64_t limit = int64_t{1} << (bits - 1);
    if (*n < -limit || *n >= limit) return std::nullopt;
  }
  return n;
}

}  // namespace

bool HashSet64::Contains(uint64_t hash) const {
  if (slots_.empty()) return false;
  const uint64_t stored = Stored(hash);
  const size_t mask = slots_.size() - 1;
  for (size_t i = Slot(stored);; i = (i + 1) & mask) {
    if (slots_[i] == stored) return true;
    if (slots_[i] == 0) return false;
  }
}

void HashSet64::Insert(uint64_t hash) {
  if (2 * (size_ + 1) > slots_.size()) Grow();
  const uint64_t stored = Stored(hash);
  const size_t mask = slots_.size() - 1;
  for (size_t i = Slot(stored);; i = (i + 1) & mask) {
    if (slots_[i] == stored) return;
    if (slots_[i] == 0) {
      slots_[i] = stored;
      ++size_;
      return;
    }
  }
}

void HashSet64::Grow() {
  std::vector<uint64_t> old = std::move(slots_);
  const size_t capacity = old.empty() ? 1024 : 2 * old.size();
  slots_.assign(capacity, 0);
  shift_ = 64 - std::countr_zero(capacity);
  size_ = 0;
  for (const uint64_t stored : old) {
    if (stored != 0) Insert(stored);
  }
}

void HashSet64::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  size_ = 0;
  shift_ = 64;
}

void KnownKeys::Clear() {
  loaded_ = false;
  columns_.clear();
  hashes_.Clear();
}

bool KnownKeys::Load(fib::TpFIBDatabase& database, fib::TpFIBTransaction* transaction, const std::string& table,
                     const std::vector<std::string>& columns) {
  Clear();
  fib::TpFIBQuery query(&database, transaction);
  if (!query.Transaction()->Active()) query.Transaction()->StartTransaction();
  try {
    // The columns' types and collations: only binary text and integers are held.
    for (const std::string& name : columns) {
      query.SetSQLText(
          "SELECT f.RDB$FIELD_TYPE, f.RDB$CHARACTER_LENGTH, COALESCE(rf.RDB$COLLATION_ID, f.RDB$COLLATION_ID, 0), "
          "COALESCE(f.RDB$FIELD_SCALE, 0), c.RDB$CHARACTER_SET_NAME, c.RDB$DEFAULT_COLLATE_NAME FROM "
          "RDB$RELATION_FIELDS rf JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE LEFT JOIN "
          "RDB$CHARACTER_SETS c ON c.RDB$CHARACTER_SET_ID = f.RDB$CHARACTER_SET_ID WHERE rf.RDB$RELATION_NAME = "
          ":T AND rf.RDB$FIELD_NAME = :C");
      query.ExecWithParams({Variant(UpperCase(table)), Variant(UpperCase(name))});
      if (query.Eof()) throw std::runtime_error("no column");
      const int64_t type = query.Fields(0).AsInteger();
      KeyColumn column{name};
      if (type == 14 || type == 37) {  // CHAR, VARCHAR
        const std::string set = Trim(query.Fields(4).AsString());
        // The connection's own set: a text goes to the column unchanged.
        const bool single_byte = set == "ISO8859_1" || set == "NONE";
        if (!single_byte || query.Fields(2).AsInteger() != 0 || Trim(query.Fields(5).AsString()) != set) {
          throw std::runtime_error("collation");
        }
        column.kind = KeyKind::text;
        column.maxChars = static_cast<size_t>(query.Fields(1).AsInteger());
      } else if ((type == 7 || type == 8 || type == 16) && query.Fields(3).AsInteger() == 0) {
        column.kind = KeyKind::integer;
        column.bits = type == 7 ? 16 : type == 8 ? 32 : 64;
      } else {
        throw std::runtime_error("type");
      }
      query.Close();
      columns_.push_back(column);
    }
    std::string select = "SELECT ";
    for (size_t i = 0; i < columns.size(); ++i) select += (i ? ", " : "") + columns[i];
    query.SetSQLText(select + " FROM " + table);
    std::vector<Variant> row(columns.size());
    std::vector<TParamValue> values(columns.size());
    std::vector<const TParamValue*> pointers;
    for (const TParamValue& v : values) pointers.push_back(&v);
    for (query.ExecQuery(); !query.Eof(); query.Next()) {
      for (size_t i = 0; i < columns.size(); ++i) {
        const fib::TFIBColumn& field = query.Fields(static_cast<int>(i));
        if (field.IsNull()) {
          values[i].Clear();
        } else if (columns_[i].kind == KeyKind::integer) {
          values[i].SetValue(Variant(field.AsInteger()));
        } else {
          values[i].SetText() = field.AsString();
        }
      }
      if (const auto h = Hash(pointers)) hashes_.Insert(*h);
    }
    query.Close();
  } catch (const std::exception&) {
    query.Close();
    Clear();
    return false;
  }
  loaded_ = true;
  return true;
}

std::optional<uint64_t> KnownKeys::Hash(const std::vector<const TParamValue*>& values) const {
  if (values.size() != columns_.size()) return std::nullopt;
  uint64_t h = kFnvOffset;
  for (size_t i = 0; i < values.size(); ++i) {
    const TParamValue& value = *values[i];
    if (value.IsNull()) return std::nullopt;
    if (columns_[i].kind == KeyKind::integer) {
      const std::optional<int64_t> n = ComparableInteger(value.Value(), columns_[i].bits);
      if (!n) return std::nullopt;
      Mix(h, &*n, sizeof *n);
    } else {
      const Variant& v = value.Value();
      std::string integer_text;
      std::string_view text;
      if (v.type() == Variant::Type::String) {
        text = *v.string_if();
      } else if (v.type() == Variant::Type::Integer) {
        integer_text = std::to_string(v.AsInteger());
        text = integer_text;
      } else {
        return std::nullopt;
      }
      const std::optional<std::string_view> comparable = ComparableText(text, columns_[i].maxChars);
      if (!comparable) return std::nullopt;
      const uint64_t size = comparable->size();
      Mix(h, &size, sizeof size);
      Mix(h, comparable->data(), comparable->size());
    }
  }
  return h;
}

}  // namespace korvel
