// What an inspection of the legacy tables found before a migration: each record the
// migration would refuse or pass over, and each remark it would log about a record
// it takes (a value it leaves out...), with the record's key and values and the lines
// the migration would write. The record loops report here as they read; the messages
// are those the routines log, through the same code. Written beside the logs as
// INSPECTION.txt (to read) and INSPECTION.csv (';' separators, Windows-1252).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/run/run_summary.h"
#include "source/transfert/transfert_log_mgr.h"

namespace korvel {

struct InspectionFinding {
  // An orphan is staged, then deleted before its move for a reference it lacks.
  enum class Kind { refused, passedOver, orphan, remark };
  std::string item;   // the check-list item
  std::string table;  // the legacy table
  Kind kind = Kind::remark;
  std::string key;      // the record's first field ("" for a remark about the table)
  std::string message;  // what the migration would log, lines joined by " / "
  std::string values;   // "Field: value" of each field but the large objects
};

class Inspection {
 public:
  // The item whose routine runs next.
  void BeginItem(const std::string& item) { item_ = item; }
  // A record of `table` is about to be read: messages from now on are its own. What was
  // logged since the last record is a remark about the table.
  void BeginRecord(const std::string& table);
  // A line the migration would write in the table's log.
  void Message(const std::string& text);
  // The record is done; `record` is the legacy record, read at its position.
  void EndRecord(InspectionFinding::Kind kind, const LogRecordSource& record);
  void EndRecordTaken(const LogRecordSource& record);
  // The table is read: remarks logged after its last record belong to it.
  void EndTable();
  // A table of the current item that cannot be inspected (its records are rows the
  // same run writes first...), with why.
  void NotInspected(const std::string& table, const std::string& why);

  const std::vector<InspectionFinding>& Findings() const { return findings_; }
  struct Skip {
    std::string item, table, why;
  };
  const std::vector<Skip>& Skipped() const { return skipped_; }
  // Whether a migration would refuse or pass over nothing and remark on nothing.
  bool Clean() const { return findings_.empty(); }

  // The report: the counts of `summary` (one row per item), the tables not inspected,
  // then the findings by item; and the findings as CSV lines, a header first, then a
  // line per table not inspected ("Non inspectee").
  std::string Text(const RunSummary& summary) const;
  std::string Csv() const;

  static const char* KindText(InspectionFinding::Kind kind);

 private:
  void Add(InspectionFinding::Kind kind, const std::string& key, const std::string& values);

  std::string item_, table_;
  std::vector<std::string> pending_;
  std::vector<InspectionFinding> findings_;
  std::vector<Skip> skipped_;
};

}  // namespace korvel
