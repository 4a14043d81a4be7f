// Read-only view of one FlashFiler 2 table file (.FF2): header, data dictionary,
// live records in physical order, BLOB values and record order for a named index.
//
// The file is mapped in memory; records are handed out as pointers into the mapping,
// never copied. Every structural fault (truncated file, wrong signature, block number
// past the end, impossible dictionary, loops in a chain) raises EffDatabaseError with
// the file name and the fault. An Ff2File is immutable once opened and may be read
// from several threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "global/date_time.h"
#include "source/flashfiler/ff_error.h"

namespace korvel::ff2 {

// Field type codes as stored in the dictionary.
enum class Ff2Type : uint8_t {
  Boolean = 0,
  Char = 1,
  WideChar = 2,
  Byte = 3,
  Word16 = 4,
  Word32 = 5,
  Int8 = 6,
  Int16 = 7,
  Int32 = 8,
  AutoInc = 9,
  Single = 10,
  Double = 11,
  Extended = 12,
  Comp = 13,
  Currency = 14,
  StDate = 15,
  StTime = 16,
  DateTime = 17,
  Blob = 18,
  BlobMemo = 19,
  BlobFmtMemo = 20,
  BlobOleObj = 21,
  BlobGraphic = 22,
  BlobDbsOleObj = 23,
  BlobTypedBin = 24,
  BlobFile = 25,
  ByteArray = 45,
  ShortString = 46,
  ShortAnsiStr = 47,
  NullString = 48,
  NullAnsiStr = 49,
  WideString = 50,
};

bool IsValidType(int code);
bool IsBlobType(Ff2Type type);
bool IsStringType(Ff2Type type);
// Byte length a type must have; 0 for the types whose length follows their size.
uint32_t FixedLength(Ff2Type type);
const char* TypeName(Ff2Type type);

constexpr uint32_t kNone = 0xFFFFFFFFu;
// The client applications' day origin: DateTime values count days from 0001-01-01 = 1.
constexpr double kDateTimeDelta = 693594.0;
// StDate counts days from 1600-01-01; that day is this TDateTime day number.
constexpr int32_t kStDateOrigin = -109571;

struct FileHeader {
  uint32_t block_size = 0;
  uint32_t log2_block_size = 0;
  uint32_t used_blocks = 0;
  int32_t encrypted = 0;
  int32_t record_count = 0;
  int32_t deleted_record_count = 0;
  int32_t record_length = 0;
  int32_t records_per_block = 0;
  uint32_t first_data_block = kNone;
  uint32_t last_data_block = kNone;
  uint32_t blob_count = 0;
  uint32_t auto_inc_value = 0;
  int32_t index_count = 0;
  uint32_t index_header_block = kNone;
  int32_t field_count = 0;
  uint32_t data_dict_block = 0;
  int32_t version = 0;
};

struct FieldDef {
  std::string name;  // as stored (8-bit text)
  std::string description;
  int32_t units = 0;
  int32_t decimals = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
  Ff2Type type = Ff2Type::Boolean;
  bool required = false;
  std::string default_value;  // raw bytes in storage format; empty when none
  bool has_default = false;
};

struct IndexDef {
  std::string name;
  std::string description;
  int32_t file_number = 0;
  int32_t key_length = 0;
  bool user_defined = false;  // no field list: the order lives only in the stored tree
  std::vector<int> fields;    // field numbers, dictionary order
  bool allow_duplicates = true;
  bool ascending = true;
  bool case_insensitive = false;
};

// Name of index 0 (physical order). "Seq. Access Index" is accepted as well.
inline constexpr const char* kSeqIndexName = "Sequential Access Index";
inline constexpr const char* kSeqIndexShortName = "Seq. Access Index";

class Ff2File {
 public:
  // Maps and checks the file. Throws EffDatabaseError naming the file and the fault.
  static std::shared_ptr<const Ff2File> Open(const std::string& path);
  // Reads a copy of the given bytes (tests, fuzzing); `name` appears in error messages.
  static std::shared_ptr<const Ff2File> FromBytes(std::string_view bytes, const std::string& name);

  ~Ff2File();
  Ff2File(const Ff2File&) = delete;
  Ff2File& operator=(const Ff2File&) = delete;

  const std::string& path() const { return path_; }
  const FileHeader& header() const { return header_; }
  const std::vector<FieldDef>& fields() const { return fields_; }
  // Named indexes; their index number is position + 1 (index 0 is not listed).
  const std::vector<IndexDef>& indexes() const { return indexes_; }
  uint32_t logical_record_length() const { return logical_record_length_; }
  // Index count of the dictionary, index 0 included.
  int dictionary_index_count() const { return static_cast<int>(indexes_.size()) + 1; }

  // Record reference numbers (file offset of each live slot) in physical order.
  const std::vector<uint64_t>& records() const { return records_; }
  // The record image of a reference number taken from records().
  const uint8_t* Record(uint64_t ref) const { return data_ + ref + 1; }
  // The file is mapped, not loaded: a reader announces the offsets it reads, and the
  // pages read before the last 32 MB of the file (or the last 512 scattered reads) are
  // given back, so that a table larger than memory is read through a bounded window.
  void Touch(uint64_t offset) const;
  // Gives back every mapped page; they are mapped again from the system's cache on use.
  void ReleasePages() const;
  // Copies the record image of `ref` (header().record_length bytes) into `out`, read
  // from the file rather than the mapping: for records read in an order of their own.
  void CopyRecord(uint64_t ref, uint8_t* out) const;
  bool IsNull(const uint8_t* record, int field) const {
    return (record[logical_record_length_ + (field >> 3)] >> (field & 7)) & 1;
  }

  // Index number for a name (0 for "Sequential Access Index" / "Seq. Access Index" /
  // ""), matched ignoring letter case; -1 when unknown.
  int FindIndex(std::string_view name) const;
  // Record references ordered by index `index_number` (1-based named index): fields
  // compared one by one with the index's case rule and direction, NULL first, ties
  // by reference. Throws for a user-defined index. With `keep`, only the records it
  // accepts are sorted (a range read keeps one month of twenty years).
  std::vector<uint64_t> SortedRecords(int index_number, const std::function<bool(const uint8_t*)>& keep = {}) const;

  // The bytes of a BLOB; an empty string for "no BLOB" numbers. Throws on faults.
  std::string ReadBlob(uint64_t blob_number) const;

  // Problems that do not stop reading (stale header counts); one line each.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  Ff2File() = default;
  void Parse();
  void ParseHeader();
  void ParseDictionary();
  void ReadDataChain();
  [[noreturn]] void Fail(const std::string& fault) const;
  const uint8_t* Block(uint32_t block, uint32_t signature, const char* what) const;
  std::string ReadStream(uint32_t first_block) const;

  std::string path_;
  const uint8_t* data_ = nullptr;
  uint64_t size_ = 0;
  void* mapping_ = nullptr;   // mmap base when mapped
  int fd_ = -1;               // the open file when mapped
  std::string owned_;         // bytes when not mapped
  uint64_t block_limit_ = 0;  // blocks that exist both in the header and in the file

  FileHeader header_;
  std::vector<FieldDef> fields_;
  std::vector<IndexDef> indexes_;
  uint32_t logical_record_length_ = 0;
  std::vector<uint64_t> records_;
  std::vector<std::string> warnings_;
  // The offsets read since the pages were last given back (see Touch).
  mutable uint64_t touched_low_ = UINT64_MAX, touched_high_ = 0, touched_reads_ = 0;
};

// Little-endian loads from unaligned memory.
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
double LoadExtended(const uint8_t* p);
inline double LoadDouble(const uint8_t* p) {
  const uint64_t bits = LoadU64(p);
  double v;
  __builtin_memcpy(&v, &bits, sizeof v);
  return v;
}
inline float LoadSingle(const uint8_t* p) {
  const uint32_t bits = LoadU32(p);
  float v;
  __builtin_memcpy(&v, &bits, sizeof v);
  return v;
}

// Field value decoding shared by the component layer, the dump and the index sort.
// `p` points at the field's bytes; the caller has checked the null bit.
int64_t DecodeInteger(Ff2Type type, const uint8_t* p);
double DecodeFloat(Ff2Type type, const uint8_t* p);
// Date and time types as the program's TDateTime (day 0 = 1899-12-30).
TDateTime DecodeDateTime(Ff2Type type, const uint8_t* p);
// False for date-time values no calendar can show (NaN, beyond 0001-01-01 ..
// 9999-12-31): damaged bytes that must not reach date formatting.
inline bool IsValidDateTime(TDateTime dt) { return dt.value >= -693594.0 && dt.value < 2958466.0; }
// Text bytes (8-bit) of a ShortString/NullString/Char field, without terminator.
std::string_view DecodeText(Ff2Type type, const uint8_t* p, uint32_t length);
// UTF-8 of a WideChar/WideString field.
std::string DecodeWideText(Ff2Type type, const uint8_t* p, uint32_t length);

}  // namespace korvel::ff2
