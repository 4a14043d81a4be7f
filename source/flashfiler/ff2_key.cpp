#include "source/flashfiler/ff2_key.h"

#include <cstring>
#include <string>
#include <string_view>

#include "global/text_encoding.h"

namespace korvel::ff2 {

namespace {

inline uint8_t Fold(uint8_t c, bool fold) { return fold && c >= 'a' && c <= 'z' ? c - 32 : c; }

int CompareText(std::string_view a, std::string_view b, bool fold) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t ca = Fold(static_cast<uint8_t>(a[i]), fold);
    const uint8_t cb = Fold(static_cast<uint8_t>(b[i]), fold);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Doubles mapped to unsigned integers of the same order (negative zero below zero),
// so that comparing and encoding agree.
inline uint64_t OrderBits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits >> 63) ? ~bits : bits | (1ull << 63);
}

template <typename T>
inline int Cmp(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

enum class Kind { Signed, Unsigned, Float, Text, Wide, Raw };

Kind KindOf(Ff2Type type) {
  switch (type) {
    case Ff2Type::Boolean:
    case Ff2Type::Byte:
    case Ff2Type::Word16:
    case Ff2Type::Word32:
    case Ff2Type::AutoInc:
    case Ff2Type::WideChar: return Kind::Unsigned;
    case Ff2Type::Int8:
    case Ff2Type::Int16:
    case Ff2Type::Int32:
    case Ff2Type::Comp:
    case Ff2Type::Currency:
    case Ff2Type::StDate:
    case Ff2Type::StTime: return Kind::Signed;
    case Ff2Type::Single:
    case Ff2Type::Double:
    case Ff2Type::Extended:
    case Ff2Type::DateTime: return Kind::Float;
    case Ff2Type::Char:
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr:
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr: return Kind::Text;
    case Ff2Type::WideString: return Kind::Wide;
    default: return Kind::Raw;
  }
}

// Appends bytes to the 16-byte prefix until it is full.
struct PrefixWriter {
  uint64_t words[2] = {0, 0};
  int used = 0;
  bool full() const { return used == 16; }
  void Put(uint8_t byte) {
    if (used < 16) {
      words[used / 8] |= static_cast<uint64_t>(byte) << (8 * (7 - used % 8));
      ++used;
    }
  }
  void PutBigEndian(uint64_t v, int bytes, bool invert) {
    for (int i = bytes - 1; i >= 0 && !full(); --i) {
      const uint8_t b = static_cast<uint8_t>(v >> (8 * i));
      Put(invert ? static_cast<uint8_t>(~b) : b);
    }
  }
};

}  // namespace

KeyComparer::KeyComparer(const Ff2File& file, const IndexDef& index)
    : file_(file), ascending_(index.ascending), case_insensitive_(index.case_insensitive) {
  for (const int field : index.fields) {
    const FieldDef& def = file.fields()[static_cast<size_t>(field)];
    parts_.push_back(Part{field, def.type, def.offset, def.length});
  }
}

int KeyComparer::CompareValues(const Part& part, const uint8_t* a, const uint8_t* b) const {
  const uint8_t* pa = a + part.offset;
  const uint8_t* pb = b + part.offset;
  switch (KindOf(part.type)) {
    case Kind::Signed:
    case Kind::Unsigned: return Cmp(DecodeInteger(part.type, pa), DecodeInteger(part.type, pb));
    case Kind::Float: return Cmp(OrderBits(DecodeFloat(part.type, pa)), OrderBits(DecodeFloat(part.type, pb)));
    case Kind::Text:
      return CompareText(DecodeText(part.type, pa, part.length), DecodeText(part.type, pb, part.length),
                         case_insensitive_);
    case Kind::Wide:
      for (uint32_t i = 0; i + 1 < part.length; i += 2) {
        const uint16_t ua = LoadU16(pa + i);
        const uint16_t ub = LoadU16(pb + i);
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) break;
      }
      return 0;
    case Kind::Raw: {
      const int c = std::memcmp(pa, pb, part.length);
      return Cmp(c, 0);
    }
  }
  return 0;
}

int KeyComparer::Compare(const uint8_t* a, const uint8_t* b) const {
  for (const Part& part : parts_) {
    const bool null_a = file_.IsNull(a, part.field);
    const bool null_b = file_.IsNull(b, part.field);
    if (null_a || null_b) {
      if (null_a && null_b) continue;
      return null_a ? -1 : 1;
    }
    const int c = CompareValues(part, a, b);
    if (c != 0) return ascending_ ? c : -c;
  }
  return 0;
}

KeyComparer::KeyPrefix KeyComparer::Prefix(const uint8_t* record) const {
  PrefixWriter out;
  const bool invert = !ascending_;
  for (const Part& part : parts_) {
    if (out.full()) break;
    if (file_.IsNull(record, part.field)) {
      out.Put(0);
      continue;
    }
    out.Put(1);
    const uint8_t* p = record + part.offset;
    switch (KindOf(part.type)) {
      case Kind::Signed: {
        // Sign bit flipped at the field's own width, so small keys use few prefix bytes.
        const int width = static_cast<int>(part.length);
        const uint64_t bias = 1ull << (8 * width - 1);
        out.PutBigEndian(static_cast<uint64_t>(DecodeInteger(part.type, p)) ^ bias, width, invert);
        break;
      }
      case Kind::Unsigned:
        out.PutBigEndian(static_cast<uint64_t>(DecodeInteger(part.type, p)), static_cast<int>(part.length), invert);
        break;
      case Kind::Float: out.PutBigEndian(OrderBits(DecodeFloat(part.type, p)), 8, invert); break;
      case Kind::Text: {
        // Each character as itself with 0 escaped as 00 FF, then 00 00: shorter texts
        // sort first and the encoding stays prefix-free.
        const std::string_view text = DecodeText(part.type, p, part.length);
        for (const char ch : text) {
          const uint8_t c = Fold(static_cast<uint8_t>(ch), case_insensitive_);
          out.Put(invert ? static_cast<uint8_t>(~c) : c);
          if (c == 0) out.Put(invert ? 0x00 : 0xFF);
          if (out.full()) break;
        }
        out.Put(invert ? 0xFF : 0x00);
        out.Put(invert ? 0xFF : 0x00);
        break;
      }
      case Kind::Wide:
        for (uint32_t i = 0; i + 1 < part.length && !out.full(); i += 2) {
          const uint16_t u = LoadU16(p + i);
          out.PutBigEndian(u, 2, invert);
          if (u == 0) break;
        }
        break;
      case Kind::Raw:
        for (uint32_t i = 0; i < part.length && !out.full(); ++i) out.Put(invert ? static_cast<uint8_t>(~p[i]) : p[i]);
        break;
    }
  }
  return KeyPrefix{out.words[0], out.words[1]};
}

int KeyComparer::CompareToValue(const Part& part, const uint8_t* record, const Variant& value) const {
  const uint8_t* p = record + part.offset;
  switch (part.type) {
    case Ff2Type::Currency: {
      if (const Currency* money = value.currency_if()) return Cmp(DecodeInteger(part.type, p), money->scaled);
      if (value.type() == Variant::Type::Float)
        return Cmp(static_cast<double>(DecodeInteger(part.type, p)), value.AsFloat() * 10000.0);
      int64_t key = 0;
      if (__builtin_mul_overflow(value.AsInteger(), int64_t{10000}, &key)) return value.AsInteger() < 0 ? 1 : -1;
      return Cmp(DecodeInteger(part.type, p), key);
    }
    case Ff2Type::StDate:
    case Ff2Type::StTime:
    case Ff2Type::DateTime:
      return Cmp(OrderBits(DecodeDateTime(part.type, p).value), OrderBits(value.AsDateTime().value));
    case Ff2Type::Boolean: return Cmp(static_cast<int>(p[0] != 0), static_cast<int>(value.AsBoolean()));
    default: break;
  }
  switch (KindOf(part.type)) {
    case Kind::Signed:
    case Kind::Unsigned:
      if (value.type() == Variant::Type::Float)
        return Cmp(static_cast<double>(DecodeInteger(part.type, p)), value.AsFloat());
      return Cmp(DecodeInteger(part.type, p), value.AsInteger());
    case Kind::Float: return Cmp(OrderBits(DecodeFloat(part.type, p)), OrderBits(value.AsFloat()));
    case Kind::Text:
      return CompareText(DecodeText(part.type, p, part.length), Utf8ToCp1252(value.AsString()), case_insensitive_);
    case Kind::Wide: return CompareText(DecodeWideText(part.type, p, part.length), value.AsString(), false);
    case Kind::Raw: {
      const std::string key = value.AsString();
      const int c = std::memcmp(p, key.data(), std::min<size_t>(key.size(), part.length));
      return c != 0 ? Cmp(c, 0) : Cmp<size_t>(part.length, key.size());
    }
  }
  return 0;
}

int KeyComparer::CompareToKey(const uint8_t* record, const std::vector<Variant>& key) const {
  const size_t n = std::min(key.size(), parts_.size());
  for (size_t i = 0; i < n; ++i) {
    const Part& part = parts_[i];
    const bool null_rec = file_.IsNull(record, part.field);
    const bool null_key = key[i].IsNull();
    if (null_rec || null_key) {
      if (null_rec && null_key) continue;
      return null_rec ? -1 : 1;
    }
    const int c = CompareToValue(part, record, key[i]);
    if (c != 0) return ascending_ ? c : -c;
  }
  return 0;
}

}  // namespace korvel::ff2
