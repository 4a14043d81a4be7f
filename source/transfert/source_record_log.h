// The current source record as the table log reads it when a record is refused.
#pragma once

#include <string>

#include "source/flashfiler/ff_components.h"
#include "source/transfert/transfert_log_mgr.h"

namespace korvel {

class SourceRecordLog : public LogRecordSource {
 public:
  explicit SourceRecordLog(const TffTable* table) : table_(table) {}
  int FieldCount() const override;
  std::string FieldName(int index) const override;
  bool IsBlobLike(int index) const override;
  // The field as the legacy program showed it as text: times and date-times with the
  // fixed "h:nn" time format.
  std::string Text(int index) const override;

 private:
  const TffTable* table_;
};

}  // namespace korvel
