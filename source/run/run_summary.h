// What became of each table routine of a run, for the operator: records read, added,
// refused (logged) and passed over by the record loops; rows moved and refused by the
// moves; elapsed time; and whether the counts reconcile. Written beside the logs as
// RESUME.txt (a table to read) and RESUME.csv (for a spreadsheet: ';' separators,
// Windows-1252, like the logs).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

struct TableSummary {
  std::string name;  // the item of the check-list
  int64_t read = 0, added = 0, refused = 0, passedOver = 0;
  int64_t moved = 0, moveRefused = 0;
  // Staged rows the moves found in their final table already (an earlier run moved them).
  int64_t movePresent = 0;
  // Earlier runs' staged copies of a record a later run staged again.
  int64_t moveSuperseded = 0;
  // Record loops that did not open their source, moves that could not run or stopped,
  // moves that could not say what became of every row they counted.
  int loopsNotOpened = 0, movesFailed = 0, tablesRefused = 0, movesUnaccounted = 0;
  // Legacy tables the clinic's migration cannot do without (its establishments and
  // settings) that could not be opened.
  int requiredMissing = 0;
  double seconds = 0;
  // The table logs the routine wrote ("TablePaiement"), in the order it began them.
  std::vector<std::string> logs;

  // read = added + refused + passed over for the record loops, and every move ran to
  // its end (a move counts each row it was given as moved or refused).
  bool Reconciles() const {
    return read == added + refused + passedOver && movesFailed == 0 && tablesRefused == 0 && requiredMissing == 0 &&
           movesUnaccounted == 0;
  }
  double RecordsPerSecond() const { return seconds > 0 ? read / seconds : 0; }
  // "oui", or "NON", with why in brackets ("NON (deplacement incomplet)").
  std::string Remark() const;
};

class RunSummary {
 public:
  void Clear() { tables_.clear(); }
  // A routine starts and ends; the loops and moves in between count for it.
  void Begin(const std::string& name);
  void End();
  void AddLoop(bool opened, int64_t read, int64_t added, int64_t refused, int64_t passedOver);
  void AddMove(bool ok, int64_t moved, int64_t refused, int64_t present = 0, int64_t superseded = 0);
  // The routine began the table log `name`.
  void AddLog(const std::string& name);
  // A move whose rows counted before it ran are not all moved, refused, present or
  // superseded.
  void UnaccountedMove();
  // The routine refused its table whole (an index or a range it could not set, a
  // threshold that is not a number): nothing was read, and the row says so.
  void RefuseTable();
  // A legacy table the run cannot do without could not be opened: the row does not
  // reconcile (a table some clinics lack is only marked as not opened).
  void MissingRequiredSource();

  const std::vector<TableSummary>& Tables() const { return tables_; }
  bool Reconciles() const;
  // The table as text (UTF-8, LF) and as CSV lines.
  std::string Text() const;
  std::string Csv() const;

 private:
  TableSummary* Current();

  std::vector<TableSummary> tables_;
  std::chrono::steady_clock::time_point started_;
  bool open_ = false;
};

}  // namespace korvel
