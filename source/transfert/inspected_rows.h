// The rows an inspection counts as written, as far as references need them: an
// inspection writes nothing, yet a record whose reference names a row an earlier
// record of the same inspection would have written (a detail line of a master row
// migrated just before) must pass, and one whose reference names no row at all must
// be refused, as the target's foreign key refuses it in a migration.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "global/database_error.h"
#include "global/fib/fib_query.h"
#include "source/transfert/known_keys.h"

namespace korvel {

class InspectedRows {
 public:
  // Forgets every row (a new inspection).
  void Clear();
  // The unique keys and the foreign keys of `table`, which `insert` (prepared, its
  // parameters the columns `columns` in order) writes. Keys or references that use a
  // column the insert does not write are left out (a trigger may fill it).
  void Prepare(fib::TpFIBQuery& insert, const std::string& table, const std::vector<std::string>& columns);
  // The error the server would give when a reference of the insert's values names a
  // row neither the target nor this inspection holds; nothing when each holds.
  std::optional<EDatabaseError> MissingReference();
  // The insert's row counts as written: its unique keys are kept.
  void Written();
  // Whether `table` holds a row whose `column` (one of its unique keys) is `value`, in
  // the target or among the rows this inspection counts as written.
  bool Holds(const std::string& table, const std::string& column, const TParamValue& value);

 private:
  struct Reference {
    std::string name;
    std::vector<int> params;           // the insert's parameters, in the key's order
    std::vector<std::string> columns;  // the referencing columns
    std::string table;                 // the referenced table
    std::vector<std::string> targets;  // its columns, in the same order
    std::unique_ptr<fib::TpFIBQuery> exists;
  };
  struct UniqueKey {
    std::vector<int> params;
    std::vector<std::string> columns;
  };
  // The hash of `values` as the key `columns` of `table`.
  uint64_t Hash(const std::string& table, const std::vector<std::string>& columns, const std::vector<int>& params,
                bool& anyNull) const;

  fib::TpFIBQuery* insert_ = nullptr;
  std::string table_;
  std::vector<UniqueKey> keys_;
  std::vector<Reference> references_;
  // Per table, the keys of the rows written.
  std::map<std::string, HashSet64> written_;
  // Per "table.column", the target's look-up.
  std::map<std::string, std::unique_ptr<fib::TpFIBQuery>> holds_;
};

}  // namespace korvel
