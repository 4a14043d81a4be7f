// The common shape of a table routine: start the table log, show the table, open the
// source, prepare the destination, walk the records (accept, assign, insert, commit
// every 2500 records read), refresh the counter, close the table. A routine states
// its differences through the options and the steps it hooks in; the same loop walks
// a result set of the target for the routines whose source is a query there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "global/fib/fib_query.h"
#include "source/run/run_context.h"

namespace korvel {

// Destination parameters of the current record, each set by its column name or by its
// position in the insert.
class RecordParams {
 public:
  explicit RecordParams(RunContext& run) : run_(run) {}

  // The source field by position / by name (names resolved once per table, after the
  // index and range are set). An unknown one is an ERoutineFault.
  const TField& Field(int index);
  const TField& Field(const char* name);

  // A field some clinics' layouts lack: looked up once; when absent, null, and one line
  // of the table log says so (the record still migrates, its column NULL).
  const TField* OptionalField(const char* name);
  // copy of X, NULL when the layout has no such field
  void CopyOptional(int param, const char* name);

  // An auxiliary number of the record (a time slot, a role), nothing when it has none.
  // A value that is not one (a text field of some layouts) never refuses its record:
  // it is written in the table log with the record's key and read as none.
  std::optional<int64_t> AuxiliaryInteger(const TField& field, const TField& key);
  std::optional<double> AuxiliaryNumber(const TField& field, const TField& key);

  // The parameter that fills destination column `column` (a literal; any letter case),
  // looked up once per destination statement. A column the insert does not name is an
  // ERoutineFault. Every setter below takes a column name as well as a position.
  int Column(const char* column);

  // copy of X
  void Copy(int param, const TField& field) { Set(param, run_.FParamMgr->AssignSrcToDest(field)); }
  // X or D
  void CopyOr(int param, const TField& field, const std::string& fallback);
  // X or the text of another field
  void CopyOrTextOf(int param, const TField& field, const TField& other) { CopyOr(param, field, other.AsString()); }
  // constant C
  void Constant(int param, const std::string& value);
  void Null(int param) { Set(param, null_); }
  void Set(int param, const TParamValue& value) { run_.FDataMgr->SetDestParam(param, value); }
  TSrcToDest& Converter() { return *run_.FParamMgr; }

  void Copy(const char* column, const TField& field) { Copy(Column(column), field); }
  void CopyOr(const char* column, const TField& field, const std::string& fallback) {
    CopyOr(Column(column), field, fallback);
  }
  void CopyOrTextOf(const char* column, const TField& field, const TField& other) {
    CopyOrTextOf(Column(column), field, other);
  }
  void CopyOptional(const char* column, const char* name) { CopyOptional(Column(column), name); }
  void Constant(const char* column, const std::string& value) { Constant(Column(column), value); }
  void Null(const char* column) { Null(Column(column)); }
  void Set(const char* column, const TParamValue& value) { Set(Column(column), value); }

 private:
  RunContext& run_;
  // Logs an auxiliary value that is not a number.
  void NotANumber(const TField& field, const TField& key);
  template <typename T>
  std::optional<T> Auxiliary(const TField& field, const TField& key, T (TField::*read)() const);

  TDefault default_;
  TParamValue null_;
  std::vector<std::pair<const char*, const TField*>> names_;
  // Destination columns looked up for the statement `columns_serial_`; assignments
  // mostly follow the insert's order, so the search starts after the last one found.
  std::vector<std::pair<const char*, int>> columns_;
  int64_t columns_serial_ = -1;
  size_t next_column_ = 0;
  // Optional fields looked up, found or not (null).
  std::vector<std::pair<const char*, const TField*>> optional_;
};

struct TableRoutine {
  const char* logName;
  const char* labelName;
  const char* sourceTable;
  const char* insertHead;
  int nbParams;
  // The routine asks the engine whether to insert each record.
  bool checkAcceptance = true;
  // The batch test is made only after an accepted record.
  bool batchOnlyAfterAccepted = false;
  // The counter is shown once more after the loop.
  bool refreshCounterAtEnd = true;
  // A statement with named parameters run for each record instead of the insert (an
  // update of rows migrated earlier); `insertHead` and `nbParams` are then unused.
  const char* destinationSql = nullptr;
  // Read in this index's order instead of physical order and, when `rangeStart` is not
  // empty, only the records whose key lies in [rangeStart, rangeEnd].
  std::string indexName = "";
  std::vector<Variant> rangeStart = {};
  std::vector<Variant> rangeEnd = {};

  // Read on `index` from `from` to `to` (the first field of its key), both included.
  void Range(const char* index, const Variant& from, const Variant& to) {
    indexName = index;
    rangeStart = {from};
    rangeEnd = {to};
  }
};

// What an extra acceptance test decides for one record.
enum class Verdict {
  accept,
  refuse,    // refused: the test has logged why
  passOver,  // left out by a rule of the routine, without a log line
};

// The steps a routine hooks into the loop; all optional but `assign`.
struct RoutineHooks {
  // Once the source is open on its index and range, before anything is written
  // (switching the target's indexes off...): a table refused at opening leaves the
  // target as it was.
  std::function<void()> beforeFirstRecord;
  // After InitDestination: the duplicate check and policy.
  std::function<void()> setup;
  // After the engine accepted the record.
  std::function<Verdict(RecordParams&)> accept;
  // Whether `accept` reads nothing but the record (no target table): records may then
  // wait in a batch while it decides.
  bool acceptReadsRecordOnly = false;
  // Fills the parameters of an accepted record.
  std::function<void(RecordParams&)> assign;
  // After the statement ran: whether the record counts as added, or as refused (an
  // update that found no row; the hook logs why).
  std::function<Verdict(RecordParams&)> written;
  // After the main insert, each in its own trap: one that the target refuses is
  // logged with the record; the record stays added.
  std::vector<std::function<void(RecordParams&)>> subStatements;
  // Replaces the logging of a record the target refused (by default: logged with the
  // record's fields).
  std::function<void(const EDatabaseError&)> onRefused;
  // After the counter refresh, before the table is closed.
  std::function<void()> closing;
  // After the table log is saved and committed (a backup...).
  std::function<void()> afterSave;
};

// How a loop went: whether its source opened, and what became of each record read
// (read = added + refused + passedOver).
struct LoopResult {
  bool opened = false;
  int64_t read = 0;
  int64_t added = 0;
  int64_t refused = 0;
  int64_t passedOver = 0;
  // Sub-statements the target refused (their record stays added).
  int64_t subRefused = 0;
};

LoopResult RunTableRoutine(RunContext& run, const TableRoutine& routine, const RoutineHooks& hooks);

// An inspection's account of a record of a loop of the routine's own (RunTableRoutine
// gives it for its records): before the record is handled, then after, with the
// loop's counts before and after it. Nothing outside an inspection.
void InspectBeginRecord(RunContext& run);
void InspectEndRecord(RunContext& run, const LoopResult& before, const LoopResult& after);

// The engine's acceptance of the current record. A value the target refuses during the
// duplicate check (a key longer than its column...) refuses this record, logged with
// its fields, instead of ending the table.
bool EngineAccepts(RunContext& run);

// The code-table shape: `setup` sets the duplicate check and policy, `assign` fills
// the parameters of an accepted record, `closing` runs before the table is closed.
LoopResult RunTableRoutine(RunContext& run, const TableRoutine& routine, const std::function<void()>& setup,
                           const std::function<void(RecordParams&)>& assign, const std::function<void()>& closing = {});

// A routine whose records are the rows of a query on the target.
struct QueryRoutine {
  const char* logName;
  const char* labelName;
  std::string selectSql;
  const char* insertHead;
  int nbParams;
  // Whether "Stop" ends the loop, and whether it commits every 2500 rows read (else
  // once, when the table is saved).
  bool stoppable = true;
  bool batchCommits = true;
};

struct QueryHooks {
  std::function<void()> beforeFirstRecord;
  std::function<void()> setup;
  std::function<Verdict(fib::TpFIBQuery&)> accept;
  std::function<void(fib::TpFIBQuery&)> assign;
  std::vector<std::function<void(fib::TpFIBQuery&)>> subStatements;
  // The refused record's row: the query's, or a copy kept while its batch waited.
  std::function<void(const EDatabaseError&, const LogRecordSource&)> onRefused;
  std::function<void()> closing;
  std::function<void()> afterSave;
};

// The text of the column `name` (letter case aside) of a row; "" for NULL or no such
// column.
std::string RowText(const LogRecordSource& row, const std::string& name);

// The query reads in a read-only transaction of its own, so the batch commits of the
// main transaction never close its cursor. A routine without an extra test or
// sub-statements sends its records in batches, as the record loops do.
LoopResult RunQueryRoutine(RunContext& run, const QueryRoutine& routine, const QueryHooks& hooks);

}  // namespace korvel
