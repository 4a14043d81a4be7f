// Writes a FlashFiler 2 table file that Ff2File (and the engine's own layout rules)
// reads: file header, index header, data dictionary, data blocks and BLOB blocks.
// Index trees are not written: the index header lists every index as empty, and the
// reader rebuilds index order from the records. Used by tests and by the sample
// clinic generator.
//
// Usage:
//   Ff2Writer w("Patient.FF2");
//   w.AddField("AutoNum", Ff2Type::AutoInc);
//   w.AddField("Nom", Ff2Type::ShortString, 30);
//   w.AddField("Naissance", Ff2Type::DateTime);
//   w.AddIndex("xNom", {"Nom", "AutoNum"}, /*case_insensitive=*/true);
//   w.AppendRecord({Variant(), Variant("DUPONT"), Variant(EncodeDate(1950, 2, 1))});
//   w.Finish();
//
// Values are korvel::Variant: Null for NULL (an AutoInc given Null takes the next
// number), texts in UTF-8 (stored as Windows-1252), Bytes for binary BLOBs. A value
// that does not fit its field (text too long, integer out of range) raises
// std::invalid_argument naming the field; nothing is cut silently. Not thread-safe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "global/variant.h"
#include "source/flashfiler/ff2_file.h"

namespace korvel::ff2 {

class Ff2Writer {
 public:
  // `block_size` is the smallest block size to use; a larger one is chosen when a
  // record would not fit. Creates (truncates) the file at once.
  explicit Ff2Writer(std::string path, uint32_t block_size = 4096);
  // An unfinished file is removed.
  ~Ff2Writer();
  Ff2Writer(const Ff2Writer&) = delete;
  Ff2Writer& operator=(const Ff2Writer&) = delete;

  // `size`: characters for the string types, bytes for ByteArray; ignored by the
  // fixed-size types. `decimals` is a display hint. Returns the field number.
  // REQUIRES: no record appended yet.
  int AddField(const std::string& name, Ff2Type type, int size = 0, int decimals = 0, bool required = false);
  // REQUIRES: no record appended yet; the fields exist.
  void AddIndex(const std::string& name, const std::vector<std::string>& fields, bool case_insensitive = false,
                bool descending = false, bool unique = false);

  // One value per field, in field order.
  void AppendRecord(const std::vector<Variant>& values);
  // Writes the header and closes the file. The writer cannot be used afterwards.
  void Finish();

  int64_t record_count() const { return record_count_; }

 private:
  struct Field {
    FieldDef def;
  };
  void Freeze();
  void Fail(const std::string& message) const;
  void WriteAt(uint64_t offset, const void* data, size_t size);
  uint32_t NewBlock() { return next_block_++; }
  void EncodeField(size_t field, const Variant& value, uint8_t* out);
  uint64_t WriteBlob(const std::string& bytes);
  uint64_t AllocSegment(uint32_t size);
  uint8_t* SegmentPtr(uint64_t offset);
  void FlushBlobBlocks(bool keep_current);
  void FlushDataBlock(uint32_t next_block);

  std::string path_;
  int fd_ = -1;
  bool frozen_ = false;
  bool finished_ = false;
  uint32_t block_size_;
  uint32_t log2_ = 0;
  std::vector<FieldDef> fields_;
  std::vector<IndexDef> indexes_;
  uint32_t logical_length_ = 0;
  uint32_t record_length_ = 0;
  uint32_t records_per_block_ = 0;
  uint32_t next_block_ = 0;

  // Data block being filled.
  std::vector<uint8_t> data_block_;
  uint32_t data_block_number_ = kNone;
  uint32_t prev_data_block_ = kNone;
  uint32_t first_data_block_ = kNone;
  uint32_t slots_used_ = 0;
  uint64_t data_blocks_ = 0;
  int64_t record_count_ = 0;
  std::vector<uint8_t> record_;

  // BLOB blocks not yet written (the current one and those of the BLOB in progress).
  std::map<uint32_t, std::vector<uint8_t>> blob_blocks_;
  uint32_t blob_block_ = kNone;
  uint32_t blob_used_ = 0;  // bytes used in the current BLOB block (from its start)
  uint32_t blob_count_ = 0;
  uint32_t auto_inc_ = 0;
};

}  // namespace korvel::ff2
