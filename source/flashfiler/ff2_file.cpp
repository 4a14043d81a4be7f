#include "source/flashfiler/ff2_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/flashfiler/ff2_format.h"
#include "source/flashfiler/ff2_key.h"

namespace korvel::ff2 {

namespace {

constexpr uint32_t kHeaderBytes = 144;  // the part of the header record this reader uses

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

bool IsNoneLink(uint64_t link) { return static_cast<uint32_t>(link) == kNone; }

// Cursor over the dictionary stream: Delphi TWriter tagged values.
class DictReader {
 public:
  DictReader(const std::string& bytes, const Ff2File& file, void (*fail)(const Ff2File&, const std::string&))
      : bytes_(bytes), file_(file), fail_(fail) {}

  size_t remaining() const { return bytes_.size() - pos_; }
  int PeekTag() const { return pos_ < bytes_.size() ? static_cast<uint8_t>(bytes_[pos_]) : -1; }

  int32_t Integer(const char* what) {
    const int tag = Take(1, what)[0];
    switch (tag) {
      case 0x02: return static_cast<int8_t>(Take(1, what)[0]);
      case 0x03: return static_cast<int16_t>(LoadU16(Take(2, what)));
      case 0x04: return static_cast<int32_t>(LoadU32(Take(4, what)));
      default: Bad(what, "an integer", tag);
    }
  }

  bool Boolean(const char* what) {
    const int tag = Take(1, what)[0];
    if (tag == 0x08) return false;
    if (tag == 0x09) return true;
    Bad(what, "a Boolean", tag);
  }

  // 8-bit text (Windows-1252).
  std::string String(const char* what) {
    const int tag = Take(1, what)[0];
    switch (tag) {
      case 0x06: {
        const uint8_t len = Take(1, what)[0];
        return Chars(len, what);
      }
      case 0x0C: return Chars(LoadU32(Take(4, what)), what);
      case 0x14: return Utf8ToCp1252(Chars(LoadU32(Take(4, what)), what));
      case 0x12: {
        const uint32_t units = LoadU32(Take(4, what));
        if (units > remaining() / 2) Short(what);
        const uint8_t* p = Take(units * 2, what);
        std::string utf8;
        for (uint32_t i = 0; i < units; ++i) {
          const uint16_t u = LoadU16(p + 2 * i);
          if (u < 0x80) {
            utf8 += static_cast<char>(u);
          } else if (u < 0x800) {
            utf8 += static_cast<char>(0xC0 | (u >> 6));
            utf8 += static_cast<char>(0x80 | (u & 0x3F));
          } else {
            utf8 += static_cast<char>(0xE0 | (u >> 12));
            utf8 += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (u & 0x3F));
          }
        }
        return Utf8ToCp1252(utf8);
      }
      default: Bad(what, "a string", tag);
    }
  }

  std::string Raw(uint32_t count, const char* what) { return Chars(count, what); }

 private:
  const uint8_t* Take(size_t count, const char* what) {
    if (count > remaining()) Short(what);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes_.data()) + pos_;
    pos_ += count;
    return p;
  }
  std::string Chars(uint64_t count, const char* what) {
    if (count > remaining()) Short(what);
    const uint8_t* p = Take(count, what);
    return std::string(reinterpret_cast<const char*>(p), count);
  }
  [[noreturn]] void Short(const char* what) {
    fail_(file_, std::string("data dictionary ends inside ") + what);
    __builtin_unreachable();
  }
  [[noreturn]] void Bad(const char* what, const char* expected, int tag) {
    fail_(file_, std::string("data dictionary: ") + what + " is not " + expected + " (tag " + Hex(tag) + " at byte " +
                     std::to_string(pos_ - 1) + ")");
    __builtin_unreachable();
  }

  const std::string& bytes_;
  size_t pos_ = 0;
  const Ff2File& file_;
  void (*fail_)(const Ff2File&, const std::string&);
};

}  // namespace

bool IsValidType(int code) { return (code >= 0 && code <= 25) || (code >= 45 && code <= 50); }

bool IsBlobType(Ff2Type type) {
  const int code = static_cast<int>(type);
  return code >= 18 && code <= 25;
}

bool IsStringType(Ff2Type type) { return static_cast<int>(type) >= 46; }

uint32_t FixedLength(Ff2Type type) {
  switch (type) {
    case Ff2Type::Boolean:
    case Ff2Type::Char:
    case Ff2Type::Byte:
    case Ff2Type::Int8: return 1;
    case Ff2Type::WideChar:
    case Ff2Type::Word16:
    case Ff2Type::Int16: return 2;
    case Ff2Type::Word32:
    case Ff2Type::Int32:
    case Ff2Type::AutoInc:
    case Ff2Type::Single:
    case Ff2Type::StDate:
    case Ff2Type::StTime: return 4;
    case Ff2Type::Extended: return 10;
    case Ff2Type::ByteArray:
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr:
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr:
    case Ff2Type::WideString: return 0;
    default: return 8;  // Double, Comp, Currency, DateTime, BLOB numbers
  }
}

const char* TypeName(Ff2Type type) {
  switch (type) {
    case Ff2Type::Boolean: return "Boolean";
    case Ff2Type::Char: return "Char";
    case Ff2Type::WideChar: return "WideChar";
    case Ff2Type::Byte: return "Byte";
    case Ff2Type::Word16: return "Word16";
    case Ff2Type::Word32: return "Word32";
    case Ff2Type::Int8: return "Int8";
    case Ff2Type::Int16: return "Int16";
    case Ff2Type::Int32: return "Int32";
    case Ff2Type::AutoInc: return "AutoInc";
    case Ff2Type::Single: return "Single";
    case Ff2Type::Double: return "Double";
    case Ff2Type::Extended: return "Extended";
    case Ff2Type::Comp: return "Comp";
    case Ff2Type::Currency: return "Currency";
    case Ff2Type::StDate: return "StDate";
    case Ff2Type::StTime: return "StTime";
    case Ff2Type::DateTime: return "DateTime";
    case Ff2Type::Blob: return "BLOB";
    case Ff2Type::BlobMemo: return "BLOBMemo";
    case Ff2Type::BlobFmtMemo: return "BLOBFmtMemo";
    case Ff2Type::BlobOleObj: return "BLOBOLEObj";
    case Ff2Type::BlobGraphic: return "BLOBGraphic";
    case Ff2Type::BlobDbsOleObj: return "BLOBDBSOLEObj";
    case Ff2Type::BlobTypedBin: return "BLOBTypedBin";
    case Ff2Type::BlobFile: return "BLOBFile";
    case Ff2Type::ByteArray: return "ByteArray";
    case Ff2Type::ShortString: return "ShortString";
    case Ff2Type::ShortAnsiStr: return "ShortAnsiStr";
    case Ff2Type::NullString: return "NullString";
    case Ff2Type::NullAnsiStr: return "NullAnsiStr";
    case Ff2Type::WideString: return "WideString";
  }
  return "?";
}

double LoadExtended(const uint8_t* p) {
  const uint64_t mantissa = LoadU64(p);
  const uint16_t sign_exp = LoadU16(p + 8);
  const int exponent = sign_exp & 0x7FFF;
  const bool negative = (sign_exp & 0x8000) != 0;
  double v;
  if (exponent == 0x7FFF) {
    v = (mantissa << 1) == 0 ? HUGE_VAL : NAN;
  } else {
    v = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  }
  return negative ? -v : v;
}

int64_t DecodeInteger(Ff2Type type, const uint8_t* p) {
  switch (type) {
    case Ff2Type::Boolean: return p[0] != 0;
    case Ff2Type::Byte: return p[0];
    case Ff2Type::Int8: return static_cast<int8_t>(p[0]);
    case Ff2Type::Word16:
    case Ff2Type::WideChar: return LoadU16(p);
    case Ff2Type::Int16: return static_cast<int16_t>(LoadU16(p));
    case Ff2Type::Word32:
    case Ff2Type::AutoInc: return LoadU32(p);
    case Ff2Type::Int32:
    case Ff2Type::StDate:
    case Ff2Type::StTime: return static_cast<int32_t>(LoadU32(p));
    case Ff2Type::Comp:
    case Ff2Type::Currency: return static_cast<int64_t>(LoadU64(p));
    default: return 0;
  }
}

double DecodeFloat(Ff2Type type, const uint8_t* p) {
  switch (type) {
    case Ff2Type::Single: return LoadSingle(p);
    case Ff2Type::Double:
    case Ff2Type::DateTime: return LoadDouble(p);
    case Ff2Type::Extended: return LoadExtended(p);
    case Ff2Type::Currency: return static_cast<double>(static_cast<int64_t>(LoadU64(p))) / 10000.0;
    default: return static_cast<double>(DecodeInteger(type, p));
  }
}

TDateTime DecodeDateTime(Ff2Type type, const uint8_t* p) {
  switch (type) {
    case Ff2Type::DateTime: return TDateTime(LoadDouble(p) - kDateTimeDelta);
    case Ff2Type::StDate: return TDateTime(static_cast<double>(static_cast<int32_t>(LoadU32(p))) + kStDateOrigin);
    case Ff2Type::StTime: return TDateTime(static_cast<int32_t>(LoadU32(p)) / 86400.0);
    default: return TDateTime(DecodeFloat(type, p));
  }
}

std::string_view DecodeText(Ff2Type type, const uint8_t* p, uint32_t length) {
  const char* chars = reinterpret_cast<const char*>(p);
  switch (type) {
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr: return std::string_view(chars + 1, std::min<uint32_t>(p[0], length - 1));
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr: {
      const void* zero = std::memchr(p, 0, length);
      return std::string_view(chars, zero ? static_cast<const uint8_t*>(zero) - p : length);
    }
    case Ff2Type::Char: return p[0] == 0 ? std::string_view() : std::string_view(chars, 1);
    default: return std::string_view(chars, length);
  }
}

std::string DecodeWideText(Ff2Type type, const uint8_t* p, uint32_t length) {
  std::string out;
  const uint32_t units = length / 2;
  for (uint32_t i = 0; i < units; ++i) {
    uint32_t cp = LoadU16(p + 2 * i);
    if (cp == 0 && type == Ff2Type::WideString) break;
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units) {
      const uint32_t low = LoadU16(p + 2 * i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------

std::shared_ptr<const Ff2File> Ff2File::Open(const std::string& path) {
  std::shared_ptr<Ff2File> file(new Ff2File());
  file->path_ = path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) file->Fail(std::string("cannot open: ") + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    file->Fail(std::string("cannot read its size: ") + std::strerror(err));
  }
  file->size_ = static_cast<uint64_t>(st.st_size);
  if (file->size_ > 0) {
    // Mapped, not loaded: pages come in as they are read and go back behind the reader
    // (Touch). The system is asked to read ahead, into its own cache, not ours.
    void* base = ::mmap(nullptr, file->size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (base == MAP_FAILED) {
      const int err = errno;
      ::close(fd);
      file->Fail(std::string("cannot map in memory: ") + std::strerror(err));
    }
    ::madvise(base, file->size_, MADV_WILLNEED);
    file->mapping_ = base;
    file->data_ = static_cast<const uint8_t*>(base);
  }
  file->fd_ = fd;  // kept for CopyRecord; closed with the file
  file->Parse();
  return file;
}

std::shared_ptr<const Ff2File> Ff2File::FromBytes(std::string_view bytes, const std::string& name) {
  std::shared_ptr<Ff2File> file(new Ff2File());
  file->path_ = name;
  file->owned_.assign(bytes.data(), bytes.size());
  file->data_ = reinterpret_cast<const uint8_t*>(file->owned_.data());
  file->size_ = file->owned_.size();
  file->Parse();
  return file;
}

Ff2File::~Ff2File() {
  if (mapping_ != nullptr) ::munmap(mapping_, size_);
  if (fd_ >= 0) ::close(fd_);
}

void Ff2File::CopyRecord(uint64_t ref, uint8_t* out) const {
  const size_t length = static_cast<size_t>(header_.record_length);
  if (fd_ < 0) {
    std::memcpy(out, Record(ref), length);
    return;
  }
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(ref + 1 + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      Fail("cannot read the record at offset " + std::to_string(ref) +
           (n < 0 ? ": " + std::string(std::strerror(errno)) : ": end of file"));
    done += static_cast<size_t>(n);
  }
}

void Ff2File::Fail(const std::string& fault) const { throw EffDatabaseError(path_ + ": " + fault); }

void Ff2File::Parse() {
  ParseHeader();
  ParseDictionary();
  ReadDataChain();
  ReleasePages();
}

void Ff2File::Touch(uint64_t offset) const {
  constexpr uint64_t kWindow = 32u << 20;
  // A scattered read (a BLOB) maps the pages around it too (the kernel's fault-around).
  constexpr uint64_t kPerScatteredRead = 64u << 10;
  touched_low_ = std::min(touched_low_, offset);
  touched_high_ = std::max(touched_high_, offset);
  ++touched_reads_;
  if (std::min(touched_high_ - touched_low_, touched_reads_ * kPerScatteredRead) > kWindow) ReleasePages();
}

void Ff2File::ReleasePages() const {
  if (mapping_ != nullptr) ::madvise(mapping_, size_, MADV_DONTNEED);
  touched_low_ = UINT64_MAX;
  touched_high_ = 0;
  touched_reads_ = 0;
}

void Ff2File::ParseHeader() {
  if (size_ < 4) Fail("truncated: " + std::to_string(size_) + " bytes, too short for a table file");
  const uint32_t signature = LoadU32(data_);
  if (signature == kSigHeaderV1) Fail("FlashFiler 1 table file; only FlashFiler 2 files can be read");
  if (signature != kSigHeader) Fail("not a FlashFiler 2 table file (signature " + Hex(signature) + ")");
  if (size_ < kHeaderBytes) Fail("truncated: " + std::to_string(size_) + " bytes, too short for the file header");
  const uint8_t* h = data_;
  header_.block_size = LoadU32(h + 16);
  header_.encrypted = static_cast<int32_t>(LoadU32(h + 20));
  header_.log2_block_size = LoadU32(h + 24);
  header_.used_blocks = LoadU32(h + 28);
  header_.record_count = static_cast<int32_t>(LoadU32(h + 40));
  header_.deleted_record_count = static_cast<int32_t>(LoadU32(h + 44));
  header_.record_length = static_cast<int32_t>(LoadU32(h + 56));
  const int32_t length_plus_flag = static_cast<int32_t>(LoadU32(h + 60));
  header_.records_per_block = static_cast<int32_t>(LoadU32(h + 64));
  header_.first_data_block = LoadU32(h + 68);
  header_.last_data_block = LoadU32(h + 72);
  header_.blob_count = LoadU32(h + 76);
  header_.auto_inc_value = LoadU32(h + 96);
  header_.index_count = static_cast<int32_t>(LoadU32(h + 100));
  header_.index_header_block = LoadU32(h + 108);
  header_.field_count = static_cast<int32_t>(LoadU32(h + 112));
  header_.data_dict_block = LoadU32(h + 116);
  header_.version = static_cast<int32_t>(LoadU32(h + 120));

  const uint32_t bs = header_.block_size;
  if (bs != 4096 && bs != 8192 && bs != 16384 && bs != 32768 && bs != 65536)
    Fail("invalid block size " + std::to_string(bs) + " in the file header");
  if (header_.log2_block_size > 31 || (1u << header_.log2_block_size) != bs)
    Fail("block size " + std::to_string(bs) + " does not match its logarithm " +
         std::to_string(header_.log2_block_size));
  if (header_.encrypted != 0) Fail("encrypted table; encrypted files cannot be read");
  const uint64_t expected = static_cast<uint64_t>(header_.used_blocks) * bs;
  if (header_.used_blocks == 0) Fail("file header says the file has no blocks");
  if (size_ < expected)
    Fail("truncated: the header says " + std::to_string(header_.used_blocks) + " blocks (" + std::to_string(expected) +
         " bytes) but the file has " + std::to_string(size_) + " bytes");
  if (size_ > expected)
    warnings_.push_back("the file has " + std::to_string(size_ - expected) + " bytes past its last block");
  block_limit_ = header_.used_blocks;
  if (header_.record_length < 1 || static_cast<uint32_t>(header_.record_length) > bs - 33)
    Fail("invalid record length " + std::to_string(header_.record_length) + " in the file header");
  if (length_plus_flag != header_.record_length + 1)
    Fail("record slot length " + std::to_string(length_plus_flag) + " does not match record length " +
         std::to_string(header_.record_length));
  const int32_t per_block = static_cast<int32_t>((bs - 32) / static_cast<uint32_t>(length_plus_flag));
  if (header_.records_per_block != per_block)
    Fail("records per block " + std::to_string(header_.records_per_block) + " should be " + std::to_string(per_block));
  if (header_.data_dict_block == 0) Fail("the table has no data dictionary");
}

const uint8_t* Ff2File::Block(uint32_t block, uint32_t signature, const char* what) const {
  if (block >= block_limit_)
    Fail(std::string(what) + ": block number " + std::to_string(block) + " is past the end of the file (" +
         std::to_string(block_limit_) + " blocks)");
  if (block == 0) Fail(std::string(what) + ": refers to block 0, the file header");
  const uint8_t* p = data_ + static_cast<uint64_t>(block) * header_.block_size;
  if (LoadU32(p) != signature)
    Fail(std::string(what) + ": block " + std::to_string(block) + " has signature " + Hex(LoadU32(p)) + ", expected " +
         Hex(signature));
  if (LoadU32(p + 8) != block)
    Fail(std::string(what) + ": block " + std::to_string(block) + " says it is block " +
         std::to_string(LoadU32(p + 8)));
  return p;
}

std::string Ff2File::ReadStream(uint32_t first_block) const {
  const uint32_t payload = header_.block_size - 32;
  const uint8_t* first = Block(first_block, kSigStream, "data dictionary");
  if (LoadU32(first + 20) != kStreamDict)
    Fail("data dictionary: block " + std::to_string(first_block) + " is not a dictionary stream");
  const int32_t length = static_cast<int32_t>(LoadU32(first + 24));
  if (length < 0 || static_cast<uint64_t>(length) > size_)
    Fail("data dictionary: impossible stream length " + std::to_string(length));
  std::string out;
  out.reserve(static_cast<size_t>(length));
  std::vector<bool> visited(block_limit_, false);
  uint32_t block = first_block;
  const uint8_t* p = first;
  while (true) {
    visited[block] = true;
    const size_t take = std::min<size_t>(payload, static_cast<size_t>(length) - out.size());
    out.append(reinterpret_cast<const char*>(p + 32), take);
    if (out.size() == static_cast<size_t>(length)) break;
    const uint32_t next = LoadU32(p + 16);
    if (next == kNone)
      Fail("data dictionary: stream ends after " + std::to_string(out.size()) + " of " + std::to_string(length) +
           " bytes");
    if (next < block_limit_ && visited[next])
      Fail("data dictionary: the stream's block chain loops back to block " + std::to_string(next));
    block = next;
    p = Block(block, kSigStream, "data dictionary");
  }
  return out;
}

void Ff2File::ParseDictionary() {
  const std::string dict = ReadStream(header_.data_dict_block);
  DictReader in(dict, *this, [](const Ff2File& file, const std::string& fault) { file.Fail(fault); });

  if (in.Boolean("the encryption flag")) Fail("encrypted table; encrypted files cannot be read");
  const int32_t file_count = in.Integer("the file count");
  if (file_count < 1 || file_count > 256) Fail("data dictionary: impossible file count " + std::to_string(file_count));
  bool blobs_elsewhere = false;
  for (int32_t i = 0; i < file_count; ++i) {
    in.String("a file description");
    in.String("a file extension");
    in.Integer("a file block size");
    const int32_t type = in.Integer("a file type");
    if (type == 2 && i != 0) blobs_elsewhere = true;
  }
  if (blobs_elsewhere) warnings_.push_back("BLOBs are kept in a separate file, which this reader does not open");

  const int32_t field_count = in.Integer("the field count");
  // The smallest possible field descriptor takes 18 bytes of stream.
  if (field_count < 0 || static_cast<size_t>(field_count) > in.remaining() / 18)
    Fail("data dictionary claims " + std::to_string(field_count) + " fields, more than its stream can hold (" +
         std::to_string(dict.size()) + " bytes)");
  if (field_count != header_.field_count)
    warnings_.push_back("the file header says " + std::to_string(header_.field_count) + " fields, the dictionary " +
                        std::to_string(field_count));
  fields_.resize(static_cast<size_t>(field_count));
  for (FieldDef& field : fields_) {
    field.name = in.String("a field name");
    field.description = in.String("a field description");
    field.units = in.Integer("a field size");
    field.decimals = in.Integer("a field's decimal places");
    const int32_t offset = in.Integer("a field offset");
    const int32_t length = in.Integer("a field length");
    const int32_t type = in.Integer("a field type");
    const std::string which = "field '" + field.name + "'";
    if (!IsValidType(type)) Fail("data dictionary: " + which + " has unknown type code " + std::to_string(type));
    if (offset < 0 || length <= 0 || offset > header_.record_length || length > header_.record_length)
      Fail("data dictionary: " + which + " (offset " + std::to_string(offset) + ", length " + std::to_string(length) +
           ") does not fit a record of " + std::to_string(header_.record_length) + " bytes");
    field.offset = static_cast<uint32_t>(offset);
    field.length = static_cast<uint32_t>(length);
    field.type = static_cast<Ff2Type>(type);
    const uint32_t fixed = FixedLength(field.type);
    if (fixed != 0 && field.length != fixed)
      Fail("data dictionary: " + which + " of type " + TypeName(field.type) + " has length " + std::to_string(length) +
           " instead of " + std::to_string(fixed));
    if (field.type == Ff2Type::WideString && field.length % 2 != 0)
      Fail("data dictionary: " + which + " is a wide string of odd length " + std::to_string(length));
    field.required = in.Boolean("a field's required flag");
    if (in.Boolean("a field's validity flag")) {
      in.String("a field's picture");
      const bool has_min = in.Boolean("a field's minimum flag");
      const bool has_max = in.Boolean("a field's maximum flag");
      const bool has_default = in.Boolean("a field's default flag");
      if (has_min) in.Raw(field.length, "a field's minimum");
      if (has_max) in.Raw(field.length, "a field's maximum");
      if (has_default) {
        field.default_value = in.Raw(field.length, "a field's default value");
        field.has_default = true;
      }
    }
  }

  const int32_t logical = in.Integer("the logical record length");
  const uint32_t bitmap_bytes = (static_cast<uint32_t>(field_count) + 7) / 8;
  if (logical < 0 || static_cast<uint64_t>(logical) + bitmap_bytes > static_cast<uint64_t>(header_.record_length))
    Fail("data dictionary: logical record length " + std::to_string(logical) + " and " + std::to_string(bitmap_bytes) +
         " null-flag bytes do not fit a record of " + std::to_string(header_.record_length) + " bytes");
  logical_record_length_ = static_cast<uint32_t>(logical);
  for (const FieldDef& field : fields_) {
    if (static_cast<uint64_t>(field.offset) + field.length > logical_record_length_)
      Fail("data dictionary: field '" + field.name + "' (offset " + std::to_string(field.offset) + ", length " +
           std::to_string(field.length) + ") lies outside the record's " + std::to_string(logical) + " field bytes");
  }

  const int32_t index_count = in.Integer("the index count");
  if (index_count < 1 || index_count > 256)
    Fail("data dictionary: impossible index count " + std::to_string(index_count));
  if (index_count != header_.index_count)
    warnings_.push_back("the file header says " + std::to_string(header_.index_count) + " indexes, the dictionary " +
                        std::to_string(index_count));
  indexes_.resize(static_cast<size_t>(index_count - 1));
  for (IndexDef& index : indexes_) {
    index.name = in.String("an index name");
    index.description = in.String("an index description");
    index.file_number = in.Integer("an index file number");
    index.key_length = in.Integer("an index key length");
    const int32_t count = in.Integer("an index field count");
    if (count == -1) {
      index.user_defined = true;
    } else if (count < 0 || count > field_count) {
      Fail("data dictionary: index '" + index.name + "' claims " + std::to_string(count) + " fields");
    }
    for (int32_t i = 0; i < count; ++i) {
      const int32_t field = in.Integer("an index field number");
      if (field < 0 || field >= field_count)
        Fail("data dictionary: index '" + index.name + "' names field number " + std::to_string(field) + " of " +
             std::to_string(field_count));
      index.fields.push_back(field);
      if (in.PeekTag() == 0x06) in.String("an index helper name");
    }
    index.allow_duplicates = in.Boolean("an index's duplicates flag");
    index.ascending = in.Boolean("an index's direction flag");
    index.case_insensitive = in.Boolean("an index's case flag");
  }
}

void Ff2File::ReadDataChain() {
  const uint32_t bs = header_.block_size;
  const uint32_t slot = static_cast<uint32_t>(header_.record_length) + 1;
  const uint32_t slots = static_cast<uint32_t>(header_.records_per_block);
  if (header_.record_count > 0)
    records_.reserve(std::min<uint64_t>(static_cast<uint64_t>(header_.record_count), size_ / slot));
  std::vector<bool> visited(block_limit_, false);
  uint32_t block = header_.first_data_block;
  uint64_t data_blocks = 0;
  while (block != kNone) {
    if (block < block_limit_) Touch(static_cast<uint64_t>(block) * bs);
    const uint8_t* p = Block(block, kSigData, "data block chain");
    if (visited[block]) Fail("data block chain loops back to block " + std::to_string(block));
    visited[block] = true;
    ++data_blocks;
    if (LoadU32(p + 16) != slots || LoadU32(p + 20) != static_cast<uint32_t>(header_.record_length))
      Fail("data block " + std::to_string(block) + " holds " + std::to_string(LoadU32(p + 16)) + " records of " +
           std::to_string(LoadU32(p + 20)) + " bytes, the header says " + std::to_string(slots) + " of " +
           std::to_string(header_.record_length));
    const uint64_t base = static_cast<uint64_t>(block) * bs + 32;
    for (uint32_t i = 0; i < slots; ++i) {
      const uint64_t ref = base + static_cast<uint64_t>(i) * slot;
      if (data_[ref] == 0) records_.push_back(ref);
    }
    block = LoadU32(p + 24);
  }
  if (static_cast<int64_t>(records_.size()) != header_.record_count)
    warnings_.push_back("the file header says " + std::to_string(header_.record_count) +
                        " records, the data blocks hold " + std::to_string(records_.size()));
  (void)data_blocks;
}

int Ff2File::FindIndex(std::string_view name) const {
  if (name.empty() || SameText(name, kSeqIndexName) || SameText(name, kSeqIndexShortName)) return 0;
  for (size_t i = 0; i < indexes_.size(); ++i) {
    if (SameText(Cp1252ToUtf8(indexes_[i].name), name) || SameText(indexes_[i].name, name))
      return static_cast<int>(i) + 1;
  }
  return -1;
}

std::vector<uint64_t> Ff2File::SortedRecords(int index_number, const std::function<bool(const uint8_t*)>& keep) const {
  if (index_number < 0 || index_number > static_cast<int>(indexes_.size()))
    Fail("index number " + std::to_string(index_number) + " does not exist");
  if (index_number == 0 && !keep) return records_;
  if (records_.size() > UINT32_MAX) Fail("more than 4,294,967,295 records: too many to sort");
  std::unique_ptr<KeyComparer> comparer;
  if (index_number > 0) {
    const IndexDef& index = indexes_[static_cast<size_t>(index_number - 1)];
    if (index.user_defined)
      Fail("index '" + index.name + "' is user-defined: its order cannot be rebuilt from the records");
    comparer = std::make_unique<KeyComparer>(*this, index);
  }
  // 20 bytes a record: the key's first 16 bytes (in order) and the record's position in
  // records_; whole keys are compared only when those bytes are equal.
  struct __attribute__((packed, aligned(4))) Entry {
    uint64_t high;
    uint64_t low;
    uint32_t ordinal;
  };
  static_assert(sizeof(Entry) == 20);
  std::vector<Entry> entries;
  entries.reserve(keep ? 0 : records_.size());
  for (size_t i = 0; i < records_.size(); ++i) {
    Touch(records_[i]);
    const uint8_t* record = Record(records_[i]);
    if (keep && !keep(record)) continue;
    const KeyComparer::KeyPrefix prefix = comparer ? comparer->Prefix(record) : KeyComparer::KeyPrefix{};
    entries.push_back(Entry{prefix.high, prefix.low, static_cast<uint32_t>(i)});
  }
  if (comparer) {
    // By prefix first, touching no record; then each run of equal prefixes by its whole
    // keys.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      if (a.high != b.high) return a.high < b.high;
      if (a.low != b.low) return a.low < b.low;
      return a.ordinal < b.ordinal;
    });
    // Tied records are read by copy, not through the mapping: scattered page faults cost
    // more than reads, and would map much of the file.
    const size_t length = static_cast<size_t>(header_.record_length);
    std::vector<uint8_t> images;
    std::vector<uint32_t> order;
    std::vector<Entry> sorted_run;
    for (auto run = entries.begin(); run != entries.end();) {
      auto run_end = run + 1;
      while (run_end != entries.end() && run_end->high == run->high && run_end->low == run->low) ++run_end;
      const size_t count = static_cast<size_t>(run_end - run);
      if (count > 4096) {
        // A key most records share: compared two copies at a time.
        images.resize(2 * length);
        std::sort(run, run_end, [&](const Entry& a, const Entry& b) {
          const uint64_t ra = records_[a.ordinal], rb = records_[b.ordinal];
          CopyRecord(ra, images.data());
          CopyRecord(rb, images.data() + length);
          const int c = comparer->Compare(images.data(), images.data() + length);
          return c != 0 ? c < 0 : ra < rb;
        });
      } else if (count > 1) {
        images.resize(count * length);
        order.resize(count);
        for (size_t i = 0; i < count; ++i) {
          CopyRecord(records_[run[i].ordinal], images.data() + i * length);
          order[i] = static_cast<uint32_t>(i);
        }
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
          const int c = comparer->Compare(images.data() + a * length, images.data() + b * length);
          return c != 0 ? c < 0 : records_[run[a].ordinal] < records_[run[b].ordinal];
        });
        sorted_run.clear();
        for (const uint32_t i : order) sorted_run.push_back(run[i]);
        std::copy(sorted_run.begin(), sorted_run.end(), run);
      }
      run = run_end;
    }
  }
  ReleasePages();
  std::vector<uint64_t> sorted(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) sorted[i] = records_[entries[i].ordinal];
  return sorted;
}

std::string Ff2File::ReadBlob(uint64_t blob_number) const {
  if (blob_number == 0 || IsNoneLink(blob_number)) return {};
  Touch(blob_number);
  const uint32_t bs = header_.block_size;
  const uint32_t log2 = header_.log2_block_size;
  const std::string what = "BLOB " + Hex(blob_number);
  // Returns the segment at a file offset after checking its block and alignment.
  auto segment = [&](uint64_t offset, const char* kind) -> const uint8_t* {
    const uint64_t block = offset >> log2;
    const uint32_t in_block = static_cast<uint32_t>(offset & (bs - 1));
    if (block >= block_limit_)
      Fail(what + ": " + kind + " segment in block " + std::to_string(block) + ", past the end of the file (" +
           std::to_string(block_limit_) + " blocks)");
    const uint8_t* p = Block(static_cast<uint32_t>(block), kSigBlob, what.c_str());
    if (in_block < 28 || (in_block - 28) % 64 != 0 || in_block + 64 > bs)
      Fail(what + ": " + kind + " segment at " + Hex(offset) + " is not on a segment boundary");
    return p + in_block;
  };
  const uint8_t* head = segment(blob_number, "header");
  if (head[0] == 'D') Fail(what + " has been deleted");
  if (head[0] != 'H') Fail(what + ": no BLOB header segment at that offset");
  const uint32_t length = LoadU32(head + 4);
  const int32_t segment_count = static_cast<int32_t>(LoadU32(head + 8));
  if (segment_count == -1) Fail(what + " is a file BLOB (content kept in an outside file), which cannot be read");
  if (segment_count == -2) Fail(what + " is a link to a BLOB of another table, which cannot be read");
  if (length == 0) return {};
  if (length > size_) Fail(what + ": length " + std::to_string(length) + " is larger than the file");
  std::string out;
  out.reserve(length);
  uint64_t lookup = LoadU64(head + 12);
  // Each lookup segment takes at least 64 bytes of the file: more than that many means a loop.
  uint64_t lookups_left = size_ / 64 + 1;
  // Entries past the BLOB's segment count hold garbage: never follow them.
  int64_t entries_left = segment_count;
  while (out.size() < length) {
    if (IsNoneLink(lookup) || entries_left <= 0)
      Fail(what + ": content ends after " + std::to_string(out.size()) + " of " + std::to_string(length) + " bytes");
    if (lookups_left-- == 0) Fail(what + ": its lookup segments form a loop");
    const uint8_t* lk = segment(lookup, "lookup");
    if (lk[0] != 'L') Fail(what + ": expected a lookup segment at " + Hex(lookup));
    const uint32_t lk_len = LoadU16(lk + 2);
    const uint32_t lk_room = bs - static_cast<uint32_t>(lookup & (bs - 1));
    if (lk_len < 20 || lk_len > lk_room)
      Fail(what + ": lookup segment at " + Hex(lookup) + " has bad length " + std::to_string(lk_len));
    const uint32_t entries = (lk_len - 20) / 12;
    for (uint32_t e = 0; e < entries && out.size() < length && entries_left > 0; ++e, --entries_left) {
      const uint8_t* entry = lk + 20 + 12 * e;
      const uint64_t content = LoadU64(entry);
      const uint32_t count = LoadU32(entry + 8);
      const uint8_t* seg = segment(content, "content");
      if (seg[0] != 'C') Fail(what + ": expected a content segment at " + Hex(content));
      const uint32_t seg_len = LoadU16(seg + 2);
      const uint32_t room = bs - static_cast<uint32_t>(content & (bs - 1));
      if (seg_len < 20 || seg_len > room || count > seg_len - 20)
        Fail(what + ": content segment at " + Hex(content) + " claims " + std::to_string(count) +
             " bytes in a segment of " + std::to_string(seg_len));
      const size_t take = std::min<size_t>(count, length - out.size());
      out.append(reinterpret_cast<const char*>(seg + 20), take);
    }
    lookup = LoadU64(lk + 12);
  }
  return out;
}

}  // namespace korvel::ff2
