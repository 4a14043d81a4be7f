// The keys a duplicate check looks up, read from the target once and kept in memory as
// 64-bit hashes, so that a key the target lacks is answered without a round trip. A
// key whose hash is present is still asked of the server (it may only share the hash),
// and so is any key this class cannot put in the form the server compares: only text
// columns of the connection's set (ISO8859_1 or NONE) in their binary collation
// (trailing blanks ignored, letter case kept) and integer columns are held.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "global/fib/fib_database.h"
#include "global/variant.h"

namespace korvel {

// A set of 64-bit hashes in one flat array (8 to 16 bytes a key, against 40 or more in
// a node-based set): the keys of a table of millions of rows are held for its whole run.
class HashSet64 {
 public:
  bool Contains(uint64_t hash) const;
  void Insert(uint64_t hash);
  void Clear();
  size_t Size() const { return size_; }

 private:
  // 0 marks an empty slot; a hash of 0 is held as another value (a shared hash only
  // sends the key to the server).
  static uint64_t Stored(uint64_t hash) { return hash != 0 ? hash : 0x9E3779B97F4A7C15ull; }
  size_t Slot(uint64_t stored) const { return static_cast<size_t>((stored * 0xBF58476D1CE4E5B9ull) >> shift_); }
  void Grow();

  std::vector<uint64_t> slots_;
  size_t size_ = 0;
  int shift_ = 64;
};

class KnownKeys {
 public:
  enum class KeyKind { text, integer };
  struct KeyColumn {
    std::string name;
    KeyKind kind = KeyKind::text;
    size_t maxChars = 0;  // text columns
    int bits = 64;        // integer columns
  };

  // Reads the keys of `table` in `transaction` (which sees its own uncommitted rows).
  // False (and nothing held) when a column is of a kind not held, or the table cannot
  // be read.
  bool Load(fib::TpFIBDatabase& database, fib::TpFIBTransaction* transaction, const std::string& table,
            const std::vector<std::string>& columns);
  void Clear();
  bool Loaded() const { return loaded_; }
  const std::vector<KeyColumn>& Columns() const { return columns_; }

  // The hash of a key given as the values the check binds, or nothing when a value
  // cannot be compared here. A NULL never equals anything: no hash either.
  std::optional<uint64_t> Hash(const std::vector<const TParamValue*>& values) const;
  bool MayContain(uint64_t hash) const { return hashes_.Contains(hash); }
  void Add(uint64_t hash) { hashes_.Insert(hash); }
  size_t Size() const { return hashes_.Size(); }

 private:
  bool loaded_ = false;
  std::vector<KeyColumn> columns_;
  HashSet64 hashes_;
};

}  // namespace korvel
