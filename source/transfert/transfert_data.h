// The table transfer engine every table routine drives: one legacy table read record
// by record through a source cursor, an optional duplicate check against the target
// and an acceptance policy, a parameterised destination statement (plus named
// auxiliary statements), a general-purpose statement, and the per-table counters
// that decide the batch commits. It knows nothing of individual tables.
//
// All target statements use the database's default transaction, which the routine
// and the run driver commit; the engine starts or ends it only in ExecuteDestQuery
// and CommitDestQuery.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "global/database_error.h"
#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/variant.h"
#include "source/flashfiler/ff_components.h"
#include "source/transfert/insert_batch.h"
#include "source/transfert/inspected_rows.h"
#include "source/transfert/known_keys.h"
#include "source/transfert/transfert_types.h"

namespace korvel {

// What a free statement did: whether the server took it, and the rows it changed.
struct ExecResult {
  bool ok = false;
  int64_t rows = 0;
};

class TTransfertData {
 public:
  TTransfertData() = default;
  ~TTransfertData();
  TTransfertData(const TTransfertData&) = delete;
  TTransfertData& operator=(const TTransfertData&) = delete;

  THaveMsgEvent OnHaveMsgEvent;

  // Once per run, after the target is connected: a new source table on the session
  // and database, and the three target statements.
  void InitDataConnections(TffSession* ASession, TffDatabase* AFFDatabase, fib::TpFIBDatabase* AFBDataBase);

  // Resets the per-table state, selects physical order and opens the table at its
  // first record. False (reported) when the table cannot be opened.
  bool InitSourceTable(const std::string& ATableName);
  // Closes the source and sets its index; the name is checked when the table opens.
  void InitIndexRange(const std::string& AIndexName);
  // Opens the source on that index, restricted to the inclusive key range (none when
  // StartValue is empty). An index
  // or a range that cannot be set is reported (index, bounds, reason: also kept in
  // SourceError()) and gives false: reading the whole table instead would ignore the
  // operator's range.
  bool InitIndexRange(const std::string& AIndexName, const std::vector<Variant>& StartValue,
                      const std::vector<Variant>& EndValue);
  const std::string& SourceError() const { return FSourceError; }
  // Resets the per-table state for a routine whose records come from a query on the
  // target instead of a legacy table; NextQueryRecord counts each row read. Such a
  // record is known by its number (NbTried when it was read): a refusal met when its
  // batch is sent names it in RefusedRecordNumber, the query having moved on.
  void InitQuerySource();
  int64_t RefusedRecordNumber() const { return FRefusedRecord; }
  void NextQueryRecord() { ++FNbTried; }

  // The insert's column list is read here, once: a parameter count that differs from
  // it is an ERoutineFault (a shifted statement would write values into the wrong
  // columns), and the routine may then name its parameters by column.
  void InitDestination(const std::string& AInsSQL, int ANbParams);
  // The columns of "INSERT INTO t (a, b, ...)" as written (empty when it names none).
  static std::vector<std::string> InsertColumns(const std::string& AInsSQL);
  // The parameter of the destination insert that fills `column` (any letter case); an
  // ERoutineFault when the insert has no such column.
  int DestColumnIndex(const std::string& column) const;
  // Changes each time a destination statement is set (column indexes known for one
  // statement hold for it alone).
  int64_t DestinationSerial() const { return FDestinationSerial; }
  static void AddInsertParams(fib::TpFIBQuery& AQuery, int ANbParams);
  static std::string InsertParamsLine(int ANbParams);
  void InitUpdateDestination(const std::string& AUpdateSQL);
  void InitCodeDestCopy(const std::string& ATableName, const TDestSrcFld& AFirstPair, bool AutoPrepare = true);
  void InitCodeDestCopy(const std::string& ATableName, const TDestSrcFld& AFirstPair, const TDestSrcFld& ASecPair);
  void InitTransfertCondition(TCanTransfertType AType, const std::string& ASrcName);
  void InitTransfertCondition(TCanTransfertType AType, int ASrcIndex);
  void InitTransfertCondition(TCanTransfertType AType, const TArrayInt& ASrcArray);
  void InitSubQueries(const std::string& AName, const std::string& ASQL, int ANbParams);

  bool EndTransfert() const;
  bool CanTransfert();
  void SetDestParam(int index, const TParamValue& AParam);
  const fib::TFIBParam& GetDestParam(int index) const;
  int ParamCount() const;
  void SetDestSubParam(const std::string& AName, int index, const TParamValue& AParam);
  void Transfert();
  // Executes the destination statement without counting an added record (an update of
  // existing rows, or a routine that counts what finally landed with CountAdded).
  void ExecuteDestination();
  void CountAdded() { ++FNbAdded; }
  // Rows changed by the last execution of the destination statement.
  int64_t LastRowsAffected() const { return FInspecting ? 1 : FInsQuery->RowsAffected(); }
  void TransfertSubs();
  void TransfertSubsByName(const std::string& AName);
  bool MustCommit() const { return FNbTried > 0 && FNbTried % 2500 == 0; }
  void NextTransfert();

  // Round trips. Between BeginFastTable and EndFastTable, records Transfert accepts are
  // sent in batches (flushed by FlushBatch, which every statement that reads or writes
  // the target through the engine, every commit and every log line of the run calls
  // first), and the duplicate check answers from keys read once. Results, refused
  // records and logs are those of one record at a time: a record the server refuses
  // at flush is handed to `refused` with the source positioned on it, and counts no
  // more as added. A flush the server fails for a reason that is no record's raises
  // ERoutineFault; the records it could not send count no more as added, and `unsent`
  // hears of each. SetRecordAtATime(true) keeps the one-at-a-time path (diagnosis).
  //
  // The rows of the named sub-statements (a record's own further rows) wait in batches
  // of their own: a flush sends the records' rows first, then the sub-rows of the
  // records the target took, never those of a refused record; a sub-row the target
  // refuses is handed to `subRefused`. Every refusal of a flush is handed on in the
  // order one by one gives: by record, and within a record in the order its rows were
  // written. Sub-statements are batched only when no two of the statements take values
  // from the same generator (one by one interleaves them); otherwise the table runs one
  // record at a time.
  using RefusedRecord = std::function<void(const EDatabaseError&)>;
  void SetRecordAtATime(bool on) { FRecordAtATime = on; }
  bool RecordAtATime() const { return FRecordAtATime; }
  void BeginFastTable(RefusedRecord refused, std::function<void()> unsent = {}, RefusedRecord subRefused = {});
  void EndFastTable();
  void FlushBatch();
  // Whether a row still waits in a batch.
  bool BatchPending() const;
  // Whether the current record's own row was refused when its batch went: one by one,
  // its sub-statements would never have run.
  bool CurrentRowRefused() const;
  // The current record's position: in the legacy table, or its number in a query.
  int64_t SourceRecord() const;
  // While the current record's sub-statements run: a log line they write after their
  // record was refused is one one by one never writes (SilencesLogs).
  void SetInSubStatements(bool on) { FInSubStatements = on; }
  bool SilencesLogs() const { return FInSubStatements && CurrentRowRefused(); }
  // An inspection: the records are read, checked and converted as in a migration, but
  // nothing is written. A destination statement's values are checked as the server
  // would take them (InsertRefusal), an insert's references against the target and
  // the rows the inspection counts as written (InspectedRows), and the statement
  // counts one row; when it writes the checked table the record's key is kept, so
  // that a later record with that key is refused as it would be. A free statement
  // that is not a SELECT is skipped.
  void SetInspecting(bool on) {
    FInspecting = on;
    FInspectedRows.Clear();
  }
  bool Inspecting() const { return FInspecting; }
  // The references the table's staged rows need to be moved (until the next table).
  // An inspection checks each record's against the target and its own rows; the
  // record's orphan line, if it has one, is taken once (TakeOrphan, "" for none).
  void SetStagedReferences(std::vector<StagedReference> references) { FStagedReferences = std::move(references); }
  std::string TakeOrphan() { return std::exchange(FOrphan, std::string()); }

  // Duplicate checks the server answered (the others came from memory).
  int64_t CheckRoundTrips() const { return FCheckRoundTrips; }
  // Batches of several records the server took whole.
  int64_t BatchesSent() const { return FBatch.BlocksSent(); }

  int FieldByName(const std::string& AFieldName) const;
  TField& SrcField(int index) const;
  int FieldCount() const;
  TffTable* SrcTable() const { return FFFTable.get(); }

  // A value for AFieldName of ATableName not used yet there: the source cut to
  // AMaxLength, then its first AMaxLength - 1 characters followed by 1..9; NULL
  // when all ten are taken or the source is empty.
  const TParamValue& MakePKString(const std::string& ATableName, const std::string& AFieldName,
                                  const std::string& ASrcValue, int AMaxLength, TFieldType ATypeToAdd);

  // Runs one statement on the general-purpose query; errors are reported (message
  // then SQL) and swallowed; the result says whether the server took it and how many
  // rows it changed. Never counted as added records.
  ExecResult ExecuteDestQuery(const std::string& ASQL);
  const fib::TFIBColumn* GetExeQryField(int index) const;
  int GetExeQryRecordCount() const;
  bool GetExeQryEOF() const;
  void NextExeQryRecord();
  // Commits the default transaction, reconnects and starts a new one. A failed commit
  // is reported; a failed reconnection shows at the next statement.
  void CommitDestQuery();

  void SetErrMsg(const std::string& AMsg, bool ASaveCallStack) const;

  int32_t NbTried() const { return FNbTried; }
  int32_t NbAdded() const { return FNbAdded; }
  TCanTransfertType CanType() const { return FCanType; }
  const std::string& DestName() const { return FDestName; }

 private:
  void PrepareTransfert();
  void OpenFFTable();
  void DoCompositeFieldIndex(const TDestSrcFld& APair);
  int PreparePKQuery();
  int NullKeyCount();
  // The value of a key expression: a field, or "A+B" as the text "A B".
  void AssignKeyValue(TParamValue& param, const std::string& expression);
  void AssignFieldValue(TParamValue& param, const TField& field);
  std::string FieldText(int index) const;
  bool FieldEmpty(int index);
  void ReportDuplicate();
  fib::TpFIBTransaction* DefaultTransaction() const;
  // Whether the check's bound key is certainly absent from the known keys.
  bool KnownAbsent();
  void LoadKnownKeys();
  void RememberInsertedKey();
  // Known keys no longer match the target (a statement of its own wrote there).
  void ForgetKnownKeys();
  struct SubQuery;
  // Starts the sub-statements' batches; false when one cannot be batched.
  bool StartSubBatches(std::vector<std::string> generators);
  void ExecuteSub(SubQuery& sub);
  // An inspection's statement: its values checked, the record's checked key kept.
  void InspectDestination();
  uint64_t CheckedKeyHash();
  // Whether the destination statement writes the table the duplicate check reads.
  bool WritesCheckedTable();

  std::unique_ptr<TffTable> FFFTable;
  TffSession* FSession = nullptr;
  TParamValue FParam;
  fib::TpFIBDatabase* FFBDatabase = nullptr;
  std::unique_ptr<fib::TpFIBQuery> FExeQuery;
  std::unique_ptr<fib::TpFIBQuery> FInsQuery;
  std::unique_ptr<fib::TpFIBQuery> FPkQuery;
  // A named sub-statement: "INSERT INTO t(columns)" with its VALUES markers, and its
  // batch in a fast table.
  struct SubQuery {
    std::string name;
    std::string head;
    std::unique_ptr<fib::TpFIBQuery> query;
    InsertBatch batch;
  };
  std::vector<std::unique_ptr<SubQuery>> FSubQueries;
  std::string FPkName;
  std::string FSecName;
  int32_t FPkIndex = 0;
  int32_t FSecIndex = -1;
  int32_t FSrcIndex = -1;
  int32_t FNbTried = 0;
  int32_t FNbAdded = 0;
  TArrayInt FSrcArray;
  std::string FDestName;
  bool FUseDest = false;
  TCanTransfertType FCanType = TCanTransfertType::ctStandard;
  std::string FSourceError;
  std::string scratch_;

  std::string FInsHead;
  std::vector<std::string> FInsColumns;  // upper case
  int64_t FDestinationSerial = 0;
  std::vector<std::string> FPkColumns;
  bool FRecordAtATime = false;
  bool FFastTable = false;
  bool FFlushing = false;
  bool FKeysTried = false;
  // Insert parameter of each check column, when the insert writes the checked table.
  std::vector<int> FKeyParams;
  bool FKeysFollowInserts = false;
  InsertBatch FBatch;
  KnownKeys FKeys;
  RefusedRecord FRefused;
  RefusedRecord FSubRefused;
  std::function<void()> FUnsent;
  // The rows waiting in the batches, by tag: the record's position and its statement
  // (-1 for the record's own row, else the sub-statement's index).
  struct PendingRow {
    int64_t record;
    int statement;
  };
  std::vector<PendingRow> FPending;
  // The records whose own row the last flush refused.
  std::vector<int64_t> FLastRefused;
  bool FInSubStatements = false;
  bool FQuerySource = false;
  int64_t FRefusedRecord = -1;
  bool FInspecting = false;
  // The checked keys of the records an inspection counts as written in this table.
  HashSet64 FInspected;
  // The rows of the whole inspection, for the references of later records.
  InspectedRows FInspectedRows;
  std::vector<StagedReference> FStagedReferences;
  std::string FOrphan;
  int64_t FRowsSerial = -1;
  int64_t FWritesSerial = -1;
  std::string FWritesDest;
  bool FWritesChecked = false;
  std::vector<const TParamValue*> FKeyValues;
  int64_t FCheckRoundTrips = 0;
};

}  // namespace korvel
