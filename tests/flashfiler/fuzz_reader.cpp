// libFuzzer target: any byte string given to the table reader either reads or raises
// EffDatabaseError; it never crashes, reads out of bounds or loops. Each accepted
// input is read completely: every record's dump line (BLOBs included) and the order
// of every named index with a key range over it.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string_view>

#include "source/flashfiler/ff2_dump.h"
#include "source/flashfiler/ff2_file.h"
#include "source/flashfiler/ff2_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  try {
    const auto file = ff2::Ff2File::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.FF2");
    std::ostringstream sink;
    for (const uint64_t ref : file->records()) {
      for (size_t field = 0; field < file->fields().size(); ++field) {
        try {
          sink << ff2::DumpValue(*file, file->Record(ref), static_cast<int>(field));
        } catch (const EffDatabaseError&) {
          // a damaged BLOB: reported for this value only
        }
      }
    }
    for (int index = 1; index <= static_cast<int>(file->indexes().size()); ++index) {
      try {
        const std::vector<uint64_t> order = file->SortedRecords(index);
        if (!order.empty()) {
          const ff2::KeyComparer comparer(*file, file->indexes()[static_cast<size_t>(index - 1)]);
          const std::vector<Variant> key = {Variant("M"), Variant(int64_t{5})};
          sink << comparer.CompareToKey(file->Record(order[order.size() / 2]), key);
        }
      } catch (const EffDatabaseError&) {
      }
    }
  } catch (const EffDatabaseError&) {
  }
  return 0;
}
