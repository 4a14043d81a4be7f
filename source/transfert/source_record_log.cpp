#include "source/transfert/source_record_log.h"

#include <exception>

#include "source/transfert/src_to_dest.h"

namespace korvel {

int SourceRecordLog::FieldCount() const { return table_ && table_->Active() ? table_->FieldCount() : 0; }

std::string SourceRecordLog::FieldName(int index) const { return table_->Fields(index)->FieldName(); }

bool SourceRecordLog::IsBlobLike(int index) const { return korvel::IsBlobLike(table_->Fields(index)->DataType()); }

std::string SourceRecordLog::Text(int index) const {
  try {
    if (index < 0 || index >= FieldCount()) return {};
    const TField& field = *table_->Fields(index);
    if (field.IsNull()) return {};
    switch (field.DataType()) {
      case TFieldType::ftTime: return FormatDateTime("h:nn", field.AsDateTime());
      case TFieldType::ftDateTime: return DateTimeToStr(field.AsDateTime());
      default: return field.AsString();
    }
  } catch (const std::exception&) {
    return {};  // the log line must be written whatever the field holds
  }
}

}  // namespace korvel
