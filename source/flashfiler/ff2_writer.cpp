#include "source/flashfiler/ff2_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "global/text_encoding.h"
#include "source/flashfiler/ff2_format.h"

namespace korvel::ff2 {

namespace {

constexpr uint64_t kNoneLink = 0xFFFFFFFFFFFFFFFFull;
constexpr int32_t kVersion = 21300;
constexpr uint8_t kFiller = 0x46;

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutExtended(uint8_t* p, double v) {
  uint16_t sign = std::signbit(v) ? 0x8000 : 0;
  uint64_t mantissa = 0;
  uint16_t exponent = 0;
  if (std::isnan(v)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(v)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (v != 0.0) {
    int e = 0;
    const double m = std::frexp(std::fabs(v), &e);  // m in [0.5, 1)
    mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
    exponent = static_cast<uint16_t>(e - 1 + 16383);
  }
  PutU64(p, mantissa);
  PutU16(p + 8, static_cast<uint16_t>(sign | exponent));
}

// Delphi TWriter tagged values.
class DictWriter {
 public:
  void Integer(int64_t v) {
    if (v >= -128 && v <= 127) {
      out.push_back(0x02);
      out.push_back(static_cast<char>(v));
    } else if (v >= -32768 && v <= 32767) {
      out.push_back(0x03);
      Raw(v, 2);
    } else {
      out.push_back(0x04);
      Raw(v, 4);
    }
  }
  void Boolean(bool v) { out.push_back(v ? 0x09 : 0x08); }
  void String(const std::string& s) {
    out.push_back(0x06);
    out.push_back(static_cast<char>(s.size()));
    out += s;
  }
  std::string out;

 private:
  void Raw(int64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  }
};

uint32_t RoundUp64(uint32_t n) { return (n + 63) & ~63u; }

}  // namespace

Ff2Writer::Ff2Writer(std::string path, uint32_t block_size) : path_(std::move(path)), block_size_(block_size) {
  if (block_size_ != 4096 && block_size_ != 8192 && block_size_ != 16384 && block_size_ != 32768 &&
      block_size_ != 65536)
    throw std::invalid_argument(path_ + ": invalid block size " + std::to_string(block_size));
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) throw std::runtime_error(path_ + ": cannot create: " + std::strerror(errno));
}

Ff2Writer::~Ff2Writer() {
  if (fd_ >= 0) ::close(fd_);
  if (!finished_) ::unlink(path_.c_str());
}

void Ff2Writer::Fail(const std::string& message) const { throw std::invalid_argument(path_ + ": " + message); }

int Ff2Writer::AddField(const std::string& name, Ff2Type type, int size, int decimals, bool required) {
  if (frozen_) Fail("fields must be defined before the first record");
  const std::string stored = Utf8ToCp1252(name);
  if (stored.empty() || stored.size() > 31) Fail("field name '" + name + "' must have 1 to 31 characters");
  if (!IsValidType(static_cast<int>(type))) Fail("field '" + name + "' has an invalid type");
  FieldDef def;
  def.name = stored;
  def.type = type;
  def.decimals = decimals;
  def.required = required;
  uint32_t length = FixedLength(type);
  if (length == 0) {
    const int max_size = type == Ff2Type::ByteArray ? 65000 : (type == Ff2Type::WideString ? 32000 : 255);
    if (size < 1 || size > max_size) Fail("field '" + name + "' needs a size of 1 to " + std::to_string(max_size));
    if (type == Ff2Type::ByteArray) {
      length = static_cast<uint32_t>(size);
    } else if (type == Ff2Type::WideString) {
      length = 2 * static_cast<uint32_t>(size + 1);
    } else {
      length = static_cast<uint32_t>(size) + 1;
    }
    def.units = size;
  } else {
    def.units = type == Ff2Type::Char ? 1 : size;
  }
  def.offset = logical_length_;
  def.length = length;
  logical_length_ += length;
  fields_.push_back(def);
  return static_cast<int>(fields_.size()) - 1;
}

void Ff2Writer::AddIndex(const std::string& name, const std::vector<std::string>& fields, bool case_insensitive,
                         bool descending, bool unique) {
  if (frozen_) Fail("indexes must be defined before the first record");
  if (fields.empty() || fields.size() > 16) Fail("index '" + name + "' needs 1 to 16 fields");
  IndexDef index;
  index.name = Utf8ToCp1252(name);
  if (index.name.empty() || index.name.size() > 31) Fail("index name '" + name + "' must have 1 to 31 characters");
  index.allow_duplicates = !unique;
  index.ascending = !descending;
  index.case_insensitive = case_insensitive;
  int key_length = static_cast<int>((fields.size() + 7) / 8);
  for (const std::string& field_name : fields) {
    const std::string stored = Utf8ToCp1252(field_name);
    int found = -1;
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (fields_[i].name == stored) found = static_cast<int>(i);
    }
    if (found < 0) Fail("index '" + name + "' names unknown field '" + field_name + "'");
    if (IsBlobType(fields_[static_cast<size_t>(found)].type)) Fail("index '" + name + "' cannot use a BLOB field");
    index.fields.push_back(found);
    key_length += static_cast<int>(fields_[static_cast<size_t>(found)].length);
  }
  index.key_length = key_length;
  indexes_.push_back(index);
}

void Ff2Writer::WriteAt(uint64_t offset, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(path_ + ": write failed: " + std::strerror(errno));
    }
    p += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
}

void Ff2Writer::Freeze() {
  if (frozen_) return;
  if (fields_.empty()) Fail("a table needs at least one field");
  frozen_ = true;
  const uint32_t bitmap = (static_cast<uint32_t>(fields_.size()) + 7) / 8;
  record_length_ = std::max<uint32_t>(logical_length_, 8) + bitmap;
  while ((block_size_ - 32) / (record_length_ + 1) < 1) {
    if (block_size_ == 65536) Fail("records of " + std::to_string(record_length_) + " bytes do not fit any block");
    block_size_ *= 2;
  }
  while ((1u << log2_) != block_size_) ++log2_;
  records_per_block_ = (block_size_ - 32) / (record_length_ + 1);
  record_.assign(record_length_, 0);
  next_block_ = 2;

  // Index header (block 1): every index listed, none with a tree.
  std::vector<uint8_t> block(block_size_, kFiller);
  PutU32(&block[0], kSigIndex);
  PutU32(&block[4], kNone);
  PutU32(&block[8], 1);
  PutU32(&block[12], 0);
  block[16] = 0;
  block[17] = 0;
  block[18] = 0;
  block[19] = 0;
  PutU16(&block[20], 0xFFFF);
  PutU16(&block[22], 0);
  PutU32(&block[24], 0);
  PutU32(&block[28], 0);
  PutU32(&block[32], kNone);
  for (size_t i = 0; i < 256; ++i) {
    const bool used = i <= indexes_.size();
    const uint16_t key_length = i == 0 ? 8 : (used ? static_cast<uint16_t>(indexes_[i - 1].key_length) : 0);
    const uint8_t flags = i == 0 ? 2 : (used && indexes_[i - 1].allow_duplicates ? 1 : 0);
    PutU16(&block[36 + 2 * i], key_length);
    block[548 + i] = flags;
    PutU32(&block[804 + 4 * i], 0);
    PutU32(&block[1828 + 4 * i], kNone);
    PutU32(&block[2852 + 4 * i], 0);
  }
  WriteAt(static_cast<uint64_t>(block_size_), block.data(), block.size());

  // Data dictionary stream (blocks 2...).
  DictWriter dict;
  dict.Boolean(false);
  dict.Integer(1);
  dict.String("Data/DataDict File");
  dict.String("FF2");
  dict.Integer(block_size_);
  dict.Integer(0);
  dict.Integer(static_cast<int64_t>(fields_.size()));
  for (const FieldDef& field : fields_) {
    dict.String(field.name);
    dict.String("");
    dict.Integer(field.units);
    dict.Integer(field.decimals);
    dict.Integer(field.offset);
    dict.Integer(field.length);
    dict.Integer(static_cast<int>(field.type));
    dict.Boolean(field.required);
    dict.Boolean(false);
  }
  dict.Integer(logical_length_);
  dict.Integer(static_cast<int64_t>(indexes_.size()) + 1);
  for (const IndexDef& index : indexes_) {
    dict.String(index.name);
    dict.String("");
    dict.Integer(0);
    dict.Integer(index.key_length);
    dict.Integer(static_cast<int64_t>(index.fields.size()));
    for (const int field : index.fields) dict.Integer(field);
    dict.Boolean(index.allow_duplicates);
    dict.Boolean(index.ascending);
    dict.Boolean(index.case_insensitive);
  }
  const uint32_t payload = block_size_ - 32;
  const uint32_t stream_blocks =
      std::max<uint32_t>(1, static_cast<uint32_t>((dict.out.size() + payload - 1) / payload));
  const uint32_t first = next_block_;
  for (uint32_t i = 0; i < stream_blocks; ++i) {
    const uint32_t number = NewBlock();
    const uint32_t next = i + 1 < stream_blocks ? number + 1 : kNone;
    std::fill(block.begin(), block.end(), kFiller);
    PutU32(&block[0], kSigStream);
    PutU32(&block[4], next);
    PutU32(&block[8], number);
    PutU32(&block[12], 0);
    PutU32(&block[16], next);
    PutU32(&block[20], kStreamDict);
    PutU32(&block[24], static_cast<uint32_t>(dict.out.size()));
    PutU32(&block[28], first);
    const size_t start = static_cast<size_t>(i) * payload;
    const size_t take = std::min<size_t>(payload, dict.out.size() - start);
    std::memcpy(&block[32], dict.out.data() + start, take);
    WriteAt(static_cast<uint64_t>(number) * block_size_, block.data(), block.size());
  }
}

void Ff2Writer::EncodeField(size_t index, const Variant& value, uint8_t* record) {
  const FieldDef& field = fields_[index];
  uint8_t* p = record + field.offset;
  const std::string which = "field '" + Cp1252ToUtf8(field.name) + "'";
  auto integer_in = [&](int64_t low, int64_t high) {
    const int64_t v = value.AsInteger();
    if (v < low || v > high) Fail(which + ": value " + std::to_string(v) + " out of range");
    return v;
  };
  auto text = [&]() {
    if (const std::string* s = value.string_if()) return Utf8ToCp1252(*s);
    if (const Bytes* b = value.bytes_if()) return b->data;
    return Utf8ToCp1252(value.AsString());
  };
  switch (field.type) {
    case Ff2Type::Boolean: p[0] = value.AsBoolean() ? 1 : 0; break;
    case Ff2Type::Char: {
      const std::string s = text();
      if (s.size() > 1) Fail(which + ": more than one character");
      p[0] = s.empty() ? 0 : static_cast<uint8_t>(s[0]);
      break;
    }
    case Ff2Type::Byte: p[0] = static_cast<uint8_t>(integer_in(0, 255)); break;
    case Ff2Type::Int8: p[0] = static_cast<uint8_t>(integer_in(-128, 127)); break;
    case Ff2Type::Word16: PutU16(p, static_cast<uint16_t>(integer_in(0, 65535))); break;
    case Ff2Type::Int16: PutU16(p, static_cast<uint16_t>(integer_in(-32768, 32767))); break;
    case Ff2Type::Word32:
    case Ff2Type::AutoInc: {
      const int64_t v = integer_in(0, 0xFFFFFFFFll);
      PutU32(p, static_cast<uint32_t>(v));
      if (field.type == Ff2Type::AutoInc && v > auto_inc_) auto_inc_ = static_cast<uint32_t>(v);
      break;
    }
    case Ff2Type::Int32: PutU32(p, static_cast<uint32_t>(integer_in(INT32_MIN, INT32_MAX))); break;
    case Ff2Type::Single: {
      const float f = static_cast<float>(value.AsFloat());
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      PutU32(p, bits);
      break;
    }
    case Ff2Type::Double: {
      const double d = value.AsFloat();
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      PutU64(p, bits);
      break;
    }
    case Ff2Type::Extended: PutExtended(p, value.AsFloat()); break;
    case Ff2Type::Comp: PutU64(p, static_cast<uint64_t>(value.AsInteger())); break;
    case Ff2Type::Currency: {
      int64_t scaled = 0;
      if (const Currency* money = value.currency_if()) {
        scaled = money->scaled;
      } else if (value.type() == Variant::Type::Float) {
        scaled = Currency::FromDouble(value.AsFloat()).scaled;
      } else if (__builtin_mul_overflow(value.AsInteger(), int64_t{10000}, &scaled)) {
        Fail(which + ": value out of range");
      }
      PutU64(p, static_cast<uint64_t>(scaled));
      break;
    }
    case Ff2Type::StDate: {
      const double days = std::floor(value.AsDateTime().value) - kStDateOrigin;
      if (days < 0 || days > 876581) Fail(which + ": date out of range");
      PutU32(p, static_cast<uint32_t>(static_cast<int32_t>(days)));
      break;
    }
    case Ff2Type::StTime: {
      const double v = value.AsDateTime().value;
      const int64_t seconds = std::llround(std::fabs(v - std::trunc(v)) * 86400.0);
      PutU32(p, static_cast<uint32_t>(std::min<int64_t>(seconds, 86399)));
      break;
    }
    case Ff2Type::DateTime: {
      const double d = value.AsDateTime().value + kDateTimeDelta;
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      PutU64(p, bits);
      break;
    }
    case Ff2Type::Blob:
    case Ff2Type::BlobMemo:
    case Ff2Type::BlobFmtMemo:
    case Ff2Type::BlobOleObj:
    case Ff2Type::BlobGraphic:
    case Ff2Type::BlobDbsOleObj:
    case Ff2Type::BlobTypedBin:
    case Ff2Type::BlobFile:
      if (field.type == Ff2Type::BlobFile) Fail(which + ": file BLOBs cannot be written");
      PutU64(p, WriteBlob(text()));
      break;
    case Ff2Type::ByteArray: {
      const std::string s = text();
      if (s.size() > field.length) Fail(which + ": " + std::to_string(s.size()) + " bytes, more than its size");
      std::memcpy(p, s.data(), s.size());
      break;
    }
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr:
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr: {
      const std::string s = text();
      if (s.size() > static_cast<size_t>(field.units))
        Fail(which + ": text of " + std::to_string(s.size()) + " characters, longer than its size " +
             std::to_string(field.units));
      const bool short_string = field.type == Ff2Type::ShortString || field.type == Ff2Type::ShortAnsiStr;
      if (short_string) p[0] = static_cast<uint8_t>(s.size());
      std::memcpy(p + (short_string ? 1 : 0), s.data(), s.size());
      break;
    }
    case Ff2Type::WideChar:
    case Ff2Type::WideString: {
      std::vector<uint16_t> units;
      const std::string s = value.AsString();
      for (size_t i = 0; i < s.size();) {
        const uint8_t c = static_cast<uint8_t>(s[i]);
        uint32_t cp = c;
        int extra = 0;
        if (c >= 0xF0) {
          cp = c & 0x07;
          extra = 3;
        } else if (c >= 0xE0) {
          cp = c & 0x0F;
          extra = 2;
        } else if (c >= 0xC0) {
          cp = c & 0x1F;
          extra = 1;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (static_cast<uint8_t>(s[i]) & 0x3F);
        if (cp >= 0x10000) {
          cp -= 0x10000;
          units.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
          units.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
          units.push_back(static_cast<uint16_t>(cp));
        }
      }
      const size_t room = field.type == Ff2Type::WideChar ? 1 : field.length / 2 - 1;
      if (units.size() > room) Fail(which + ": text longer than its size");
      for (size_t i = 0; i < units.size(); ++i) PutU16(p + 2 * i, units[i]);
      break;
    }
  }
}

uint8_t* Ff2Writer::SegmentPtr(uint64_t offset) {
  const uint32_t block = static_cast<uint32_t>(offset >> log2_);
  return blob_blocks_.at(block).data() + (offset & (block_size_ - 1));
}

uint64_t Ff2Writer::AllocSegment(uint32_t size) {
  if (blob_block_ == kNone || blob_used_ + size > block_size_) {
    blob_block_ = NewBlock();
    std::vector<uint8_t>& block = blob_blocks_[blob_block_];
    block.assign(block_size_, kFiller);
    PutU32(&block[0], kSigBlob);
    PutU32(&block[4], kNone);
    PutU32(&block[8], blob_block_);
    PutU32(&block[12], 0);
    PutU32(&block[16], 0);
    blob_used_ = 28;
  }
  const uint64_t offset = static_cast<uint64_t>(blob_block_) * block_size_ + blob_used_;
  blob_used_ += size;
  return offset;
}

uint64_t Ff2Writer::WriteBlob(const std::string& bytes) {
  const uint32_t max_segment = ((block_size_ - 28) / 64) * 64;
  const uint32_t max_content = max_segment - 20;
  const uint32_t per_lookup = (max_segment - 20) / 12;
  if (bytes.size() > 0xFFFFFFFFull) throw std::invalid_argument(path_ + ": BLOB larger than 4 GB");
  const uint32_t length = static_cast<uint32_t>(bytes.size());
  const uint32_t contents = (length + max_content - 1) / max_content;
  const uint32_t lookups = (contents + per_lookup - 1) / per_lookup;

  const uint64_t head = AllocSegment(64);
  std::vector<uint64_t> lookup_offsets(lookups);
  for (uint32_t i = 0; i < lookups; ++i) {
    const uint32_t entries = std::min(per_lookup, contents - i * per_lookup);
    lookup_offsets[i] = AllocSegment(RoundUp64(20 + 12 * entries));
  }
  std::vector<uint64_t> content_offsets(contents);
  for (uint32_t i = 0; i < contents; ++i) {
    const uint32_t take = std::min(max_content, length - i * max_content);
    content_offsets[i] = AllocSegment(RoundUp64(take + 20));
  }

  uint8_t* h = SegmentPtr(head);
  h[0] = 'H';
  h[1] = 0;
  PutU16(h + 2, 64);
  PutU32(h + 4, length);
  PutU32(h + 8, contents);
  PutU64(h + 12, lookups > 0 ? lookup_offsets[0] : kNoneLink);
  for (uint32_t i = 0; i < lookups; ++i) {
    const uint32_t entries = std::min(per_lookup, contents - i * per_lookup);
    uint8_t* l = SegmentPtr(lookup_offsets[i]);
    l[0] = 'L';
    l[1] = 0;
    PutU16(l + 2, static_cast<uint16_t>(RoundUp64(20 + 12 * entries)));
    PutU64(l + 4, head);
    PutU64(l + 12, i + 1 < lookups ? lookup_offsets[i + 1] : kNoneLink);
    for (uint32_t e = 0; e < entries; ++e) {
      const uint32_t c = i * per_lookup + e;
      PutU64(l + 20 + 12 * e, content_offsets[c]);
      PutU32(l + 28 + 12 * e, std::min(max_content, length - c * max_content));
    }
  }
  for (uint32_t i = 0; i < contents; ++i) {
    const uint32_t take = std::min(max_content, length - i * max_content);
    uint8_t* c = SegmentPtr(content_offsets[i]);
    c[0] = 'C';
    c[1] = 0;
    PutU16(c + 2, static_cast<uint16_t>(RoundUp64(take + 20)));
    PutU64(c + 4, head);
    PutU64(c + 12, i + 1 < contents ? content_offsets[i + 1] : kNoneLink);
    std::memcpy(c + 20, bytes.data() + static_cast<size_t>(i) * max_content, take);
  }
  ++blob_count_;
  FlushBlobBlocks(true);
  return head;
}

void Ff2Writer::FlushBlobBlocks(bool keep_current) {
  for (auto it = blob_blocks_.begin(); it != blob_blocks_.end();) {
    if (keep_current && it->first == blob_block_) {
      ++it;
      continue;
    }
    WriteAt(static_cast<uint64_t>(it->first) * block_size_, it->second.data(), it->second.size());
    it = blob_blocks_.erase(it);
  }
}

void Ff2Writer::FlushDataBlock(uint32_t next_block) {
  uint8_t* b = data_block_.data();
  PutU32(b + 24, next_block);
  // Unused slots of the last block are free slots, linked in the free list.
  const uint32_t slot = record_length_ + 1;
  const uint64_t base = static_cast<uint64_t>(data_block_number_) * block_size_ + 32;
  for (uint32_t i = slots_used_; i < records_per_block_; ++i) {
    uint8_t* s = b + 32 + static_cast<size_t>(i) * slot;
    s[0] = 0xFF;
    std::memset(s + 1, 0, record_length_);
    PutU64(s + 1, i + 1 < records_per_block_ ? base + static_cast<uint64_t>(i + 1) * slot : kNoneLink);
  }
  WriteAt(static_cast<uint64_t>(data_block_number_) * block_size_, b, block_size_);
}

void Ff2Writer::AppendRecord(const std::vector<Variant>& values) {
  if (finished_) Fail("the file is already finished");
  Freeze();
  if (values.size() != fields_.size())
    Fail("a record needs " + std::to_string(fields_.size()) + " values, got " + std::to_string(values.size()));
  std::fill(record_.begin(), record_.end(), 0);
  uint8_t* bitmap = record_.data() + logical_length_;
  std::memset(bitmap, 0xFF, (fields_.size() + 7) / 8);
  for (size_t i = 0; i < fields_.size(); ++i) {
    const Variant* value = &values[i];
    Variant next_number;
    if (value->IsNull()) {
      if (fields_[i].type != Ff2Type::AutoInc) continue;
      next_number = Variant(static_cast<int64_t>(auto_inc_) + 1);
      value = &next_number;
    }
    EncodeField(i, *value, record_.data());
    bitmap[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
  }

  if (data_block_number_ == kNone || slots_used_ == records_per_block_) {
    const uint32_t number = NewBlock();
    if (data_block_number_ != kNone) {
      FlushDataBlock(number);
      prev_data_block_ = data_block_number_;
    } else {
      first_data_block_ = number;
    }
    data_block_number_ = number;
    data_block_.assign(block_size_, kFiller);
    uint8_t* b = data_block_.data();
    PutU32(b, kSigData);
    PutU32(b + 4, kNone);
    PutU32(b + 8, number);
    PutU32(b + 12, 0);
    PutU32(b + 16, records_per_block_);
    PutU32(b + 20, record_length_);
    PutU32(b + 24, kNone);
    PutU32(b + 28, prev_data_block_);
    slots_used_ = 0;
    ++data_blocks_;
  }
  uint8_t* s = data_block_.data() + 32 + static_cast<size_t>(slots_used_) * (record_length_ + 1);
  s[0] = 0;
  std::memcpy(s + 1, record_.data(), record_length_);
  ++slots_used_;
  ++record_count_;
}

void Ff2Writer::Finish() {
  if (finished_) return;
  Freeze();
  uint64_t first_free = kNoneLink;
  uint32_t free_slots = 0;
  if (data_block_number_ != kNone) {
    free_slots = records_per_block_ - slots_used_;
    if (free_slots > 0)
      first_free = static_cast<uint64_t>(data_block_number_) * block_size_ + 32 +
                   static_cast<uint64_t>(slots_used_) * (record_length_ + 1);
    FlushDataBlock(kNone);
  }
  FlushBlobBlocks(false);

  std::vector<uint8_t> block(block_size_, kFiller);
  uint8_t* h = block.data();
  PutU32(h + 0, kSigHeader);
  PutU32(h + 4, kNone);
  PutU32(h + 8, 0);
  PutU32(h + 12, 0);
  PutU32(h + 16, block_size_);
  PutU32(h + 20, 0);
  PutU32(h + 24, log2_);
  PutU32(h + 28, next_block_);
  PutU32(h + 32, 0);
  PutU32(h + 36, kNone);
  PutU32(h + 40, static_cast<uint32_t>(record_count_));
  PutU32(h + 44, free_slots);
  PutU64(h + 48, first_free);
  PutU32(h + 56, record_length_);
  PutU32(h + 60, record_length_ + 1);
  PutU32(h + 64, records_per_block_);
  PutU32(h + 68, first_data_block_);
  PutU32(h + 72, data_block_number_);
  PutU32(h + 76, blob_count_);
  PutU64(h + 80, kNoneLink);
  PutU64(h + 88, kNoneLink);
  PutU32(h + 96, auto_inc_);
  PutU32(h + 100, static_cast<uint32_t>(indexes_.size() + 1));
  PutU32(h + 104, 1);
  PutU32(h + 108, 1);
  PutU32(h + 112, static_cast<uint32_t>(fields_.size()));
  PutU32(h + 116, 2);
  PutU32(h + 120, kVersion);
  WriteAt(0, block.data(), block.size());
  if (::ftruncate(fd_, static_cast<off_t>(static_cast<uint64_t>(next_block_) * block_size_)) != 0 ||
      ::close(fd_) != 0) {
    fd_ = -1;
    throw std::runtime_error(path_ + ": cannot finish the file: " + std::strerror(errno));
  }
  fd_ = -1;
  finished_ = true;
}

}  // namespace korvel::ff2
