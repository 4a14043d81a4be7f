// Order of the records in a named index, rebuilt from the record bytes: the index's
// fields compared one by one (NULL first, also when descending), strings byte by byte
// over the shorter length then the shorter first, ASCII letters folded in
// case-insensitive indexes, numbers and dates by value, the whole field comparison
// negated for a descending index.
#pragma once

#include <cstdint>
#include <vector>

#include "global/variant.h"
#include "source/flashfiler/ff2_file.h"

namespace korvel::ff2 {

class KeyComparer {
 public:
  KeyComparer(const Ff2File& file, const IndexDef& index);

  // <0, 0, >0 as record a sorts before, with, after record b (no tie-break).
  int Compare(const uint8_t* a, const uint8_t* b) const;
  // The first 16 bytes of an order-preserving encoding of the record's key, as two
  // big-endian words: when two prefixes differ they order the records as Compare
  // does. Sorting on it keeps most comparisons inside a small array in cache.
  struct KeyPrefix {
    uint64_t high = 0;
    uint64_t low = 0;
    friend bool operator==(const KeyPrefix&, const KeyPrefix&) = default;
    friend bool operator<(const KeyPrefix& a, const KeyPrefix& b) {
      return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
  };
  KeyPrefix Prefix(const uint8_t* record) const;
  // The record against a key given as values, one per index field in order; only the
  // values given are compared (a shorter key is a prefix). A Null value is a NULL key
  // part. Text keys are UTF-8.
  int CompareToKey(const uint8_t* record, const std::vector<Variant>& key) const;
  size_t field_count() const { return parts_.size(); }

 private:
  struct Part {
    int field;
    Ff2Type type;
    uint32_t offset;
    uint32_t length;
  };
  int CompareValues(const Part& part, const uint8_t* a, const uint8_t* b) const;
  int CompareToValue(const Part& part, const uint8_t* record, const Variant& value) const;

  const Ff2File& file_;
  std::vector<Part> parts_;
  bool ascending_;
  bool case_insensitive_;
};

}  // namespace korvel::ff2
