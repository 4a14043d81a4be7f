#include "source/tables/table_loop.h"

#include <cstring>
#include <memory>
#include <type_traits>

#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"
#include "source/run/traps.h"
#include "source/transfert/source_record_log.h"

namespace korvel {

const TField& RecordParams::Field(int index) {
  try {
    return run_.FDataMgr->SrcField(index);
  } catch (const EDatabaseError& e) {
    throw ERoutineFault(e.what());  // a layout fault, as for names below
  }
}

const TField& RecordParams::Field(const char* name) {
  for (const auto& [key, field] : names_) {
    if (key == name) return *field;
  }
  // An unknown name is a fault of the routine or of the legacy layout, not of one
  // record: it ends the table instead of refusing every record.
  const TField* field = nullptr;
  try {
    field = &run_.FDataMgr->SrcField(run_.FDataMgr->FieldByName(name));
  } catch (const EDatabaseError& e) {
    throw ERoutineFault(e.what());
  }
  names_.emplace_back(name, field);
  return *field;
}

int RecordParams::Column(const char* column) {
  if (columns_serial_ != run_.FDataMgr->DestinationSerial()) {
    columns_.clear();
    columns_serial_ = run_.FDataMgr->DestinationSerial();
    next_column_ = 0;
  }
  const size_t n = columns_.size();
  for (size_t k = 0; k < n; ++k) {
    const size_t i = (next_column_ + k) % n;
    if (columns_[i].first == column) {
      next_column_ = i + 1;
      return columns_[i].second;
    }
  }
  const int index = run_.FDataMgr->DestColumnIndex(column);
  columns_.emplace_back(column, index);
  next_column_ = columns_.size();
  return index;
}

const TField* RecordParams::OptionalField(const char* name) {
  for (const auto& [key, field] : optional_) {
    if (std::strcmp(key, name) == 0) return field;
  }
  const TField* field = run_.FDataMgr->SrcTable()->FindField(name);
  optional_.emplace_back(name, field);
  if (!field) {
    run_.DoLogError(nullptr,
                    std::string("Champ ") + name + " absent de la table " + run_.FDataMgr->SrcTable()->TableName() +
                        ": colonne laissee vide",
                    false);
  }
  return field;
}

void RecordParams::CopyOptional(int param, const char* name) {
  const TField* field = OptionalField(name);
  if (field) {
    Copy(param, *field);
  } else {
    Null(param);
  }
}

void RecordParams::NotANumber(const TField& field, const TField& key) {
  std::string text = field.AsString();
  if (Trim(text).empty()) return;  // blank: no value, nothing to say
  run_.DoLogError(nullptr,
                  key.FieldName() + " " + key.AsString() + ": " + field.FieldName() + " '" + text +
                      "' n'est pas un nombre, valeur ignoree",
                  false);
}

template <typename T>
std::optional<T> RecordParams::Auxiliary(const TField& field, const TField& key, T (TField::*read)() const) {
  if (field.IsNull()) return std::nullopt;
  try {
    return (field.*read)();
  } catch (const EDatabaseError&) {
    NotANumber(field, key);
    return std::nullopt;
  }
}

std::optional<int64_t> RecordParams::AuxiliaryInteger(const TField& field, const TField& key) {
  return Auxiliary(field, key, &TField::AsInteger);
}

std::optional<double> RecordParams::AuxiliaryNumber(const TField& field, const TField& key) {
  return Auxiliary(field, key, &TField::AsFloat);
}

void RecordParams::CopyOr(int param, const TField& field, const std::string& fallback) {
  default_.Value = fallback;
  Set(param, run_.FParamMgr->AssignSrcToDestNotNull(&field, default_));
}

void RecordParams::Constant(int param, const std::string& value) {
  default_.Value = value;
  Set(param, run_.FParamMgr->AssignSrcToDestNotNull(nullptr, default_));
}

namespace {

// The record steps shared by both loops: extra test, assignment and insert in the
// record trap, sub-statements each in their own trap. Returns whether the record was
// accepted (for the batch test).
template <typename Source, typename Hooks, typename Refused>
bool TransferOneRecord(RunContext& run, bool engineAccepted, Source& source, const Hooks& hooks,
                       const Refused& logRefused, LoopResult& result) {
  if (!engineAccepted) {
    ++result.refused;  // the engine's check has logged why
    return false;
  }
  if (hooks.accept) {
    Verdict verdict = Verdict::refuse;
    // A value the test could not read refuses this record only.
    RefuseRecordOnError([&] { verdict = hooks.accept(source); }, logRefused);
    if (verdict == Verdict::refuse) ++result.refused;
    if (verdict == Verdict::passOver) ++result.passedOver;
    if (verdict != Verdict::accept) return false;
  }
  // A value the target or the converter refuses (a bad date...) refuses this record
  // only; a fault of the routine (ERoutineFault) goes on up and ends the table.
  bool checked = false;  // the routine looked at its own insert: no sub-statements
  const bool inserted = RefuseRecordOnError(
      [&] {
        hooks.assign(source);
        if constexpr (std::is_same_v<Hooks, RoutineHooks>) {
          if (hooks.written) {
            checked = true;
            run.FDataMgr->ExecuteDestination();
            const Verdict verdict = hooks.written(source);
            if (verdict != Verdict::accept) {
              ++(verdict == Verdict::refuse ? result.refused : result.passedOver);
              return;
            }
            run.FDataMgr->CountAdded();
            ++result.added;
            return;
          }
        }
        run.FDataMgr->Transfert();
        ++result.added;
      },
      logRefused);
  if (!inserted) {
    ++result.refused;
    return true;
  }
  if (checked) return true;
  // In a batch the record's own row may still wait: anything a sub-statement says
  // sends it first, and once it is refused its sub-statements end, as one by one they
  // would never have run.
  TTransfertData& engine = *run.FDataMgr;
  struct InSubStatements {
    TTransfertData& engine;
    explicit InSubStatements(TTransfertData& e) : engine(e) { engine.SetInSubStatements(true); }
    ~InSubStatements() { engine.SetInSubStatements(false); }
  } in_subs{engine};
  for (const auto& sub : hooks.subStatements) {
    if (engine.CurrentRowRefused()) break;
    RefuseRecordOnError([&] { sub(source); },
                        [&](const EDatabaseError& e) {
                          engine.FlushBatch();
                          if (engine.CurrentRowRefused()) return;
                          ++result.subRefused;
                          logRefused(e);
                        });
  }
  return true;
}

// Ends the table's batch however the loop is left.
struct FastTable {
  TTransfertData& engine;
  ~FastTable() {
    try {
      engine.EndFastTable();
    } catch (const std::exception&) {
      // Already leaving on an error: the records left are those of that error.
    }
  }
};

void FinishLoop(RunContext& run, bool refreshCounter, const std::function<void()>& closing,
                const std::function<void()>& afterSave) {
  if (refreshCounter) run.ShowCounter();
  // The legacy table is read: its order and mapping go before the closing statements,
  // the server's heaviest work, need their memory.
  if (TffTable* source = run.FDataMgr->SrcTable()) source->Close();
  if (closing) closing();
  run.SauvegarderLeFichierLogEtCommit();
  if (afterSave) afterSave();
}

}  // namespace

void InspectBeginRecord(RunContext& run) {
  if (!run.inspection) return;
  run.FDataMgr->TakeOrphan();  // what the last record left, if it was refused
  run.inspection->BeginRecord(run.FDataMgr->SrcTable()->TableName());
}

void InspectEndRecord(RunContext& run, const LoopResult& before, const LoopResult& after) {
  if (!run.inspection) return;
  const SourceRecordLog record(run.FDataMgr->SrcTable());
  if (after.refused != before.refused) {
    run.inspection->EndRecord(InspectionFinding::Kind::refused, record);
  } else if (after.passedOver != before.passedOver) {
    run.inspection->EndRecord(InspectionFinding::Kind::passedOver, record);
  } else if (const std::string orphan = run.FDataMgr->TakeOrphan(); !orphan.empty()) {
    run.inspection->Message(orphan);
    run.inspection->EndRecord(InspectionFinding::Kind::orphan, record);
  } else {
    run.inspection->EndRecordTaken(record);
  }
}

bool EngineAccepts(RunContext& run) {
  bool accepted = false;
  RefuseRecordOnError(run, [&] { accepted = run.FDataMgr->CanTransfert(); });
  return accepted;
}

namespace {

// Every loop's outcome counts in the run's summary, whichever way it ends.
struct SummaryOf {
  RunContext& run;
  const LoopResult& result;
  ~SummaryOf() { run.Summary.AddLoop(result.opened, result.read, result.added, result.refused, result.passedOver); }
};

// What an inspection keeps of a routine's steps: its checks and conversions, none of
// the steps that write (switching indexes or triggers, sub-rows, the moves, a backup).
RoutineHooks InspectedHooks(const RoutineHooks& hooks) {
  RoutineHooks inspected = hooks;
  inspected.beforeFirstRecord = nullptr;
  inspected.subStatements.clear();
  inspected.closing = nullptr;
  inspected.afterSave = nullptr;
  return inspected;
}

}  // namespace

LoopResult RunTableRoutine(RunContext& run, const TableRoutine& routine, const RoutineHooks& given) {
  Inspection* const inspection = run.inspection;
  if (inspection && (given.written || routine.destinationSql)) {
    // Its records update rows the same run writes first: only the run can tell.
    inspection->NotInspected(routine.labelName, "met a jour des lignes que le transfert ecrit lui-meme");
    return {};
  }
  RoutineHooks inspected;
  if (inspection) inspected = InspectedHooks(given);
  const RoutineHooks& hooks = inspection ? inspected : given;
  TTransfertData& engine = *run.FDataMgr;
  LoopResult result;
  SummaryOf summary{run, result};
  run.FLogMgr.StartTableLog(routine.logName);
  run.ShowTableOperation(routine.labelName);
  if (!engine.InitSourceTable(routine.sourceTable)) return result;
  if (!routine.indexName.empty() && !engine.InitIndexRange(routine.indexName, routine.rangeStart, routine.rangeEnd)) {
    // The table is refused rather than read whole or in the wrong order: say so where
    // the run's problems are gathered too, and close its log.
    run.DoLogMisc(engine.SourceError());
    run.Summary.RefuseTable();
    run.SauvegarderLeFichierLogEtCommit();
    return result;
  }
  result.opened = true;
  if (hooks.beforeFirstRecord) {
    hooks.beforeFirstRecord();
    run.ShowTableOperation(routine.labelName);  // the switching steps showed their own labels
  }
  if (routine.destinationSql) {
    engine.InitUpdateDestination(routine.destinationSql);
  } else {
    engine.InitDestination(routine.insertHead, routine.nbParams);
  }
  if (hooks.setup) hooks.setup();
  RecordParams params(run);
  auto log_refused = [&](const EDatabaseError& e) {
    if (hooks.onRefused) {
      hooks.onRefused(e);
    } else {
      run.LogRecordError(e);
    }
  };
  // Batched inserts and in-memory duplicate checks, for the routines whose record
  // steps only assign and insert (their own rows and their sub-statements' rows): a
  // test of their own may read the target, which must then be up to date. A refused record reaches the
  // routine's handler with the source on it, whenever the batch is sent.
  const bool fast = (!hooks.accept || hooks.acceptReadsRecordOnly) && !hooks.written && !routine.destinationSql;
  FastTable fast_table{engine};
  if (fast) {
    engine.BeginFastTable(
        [&](const EDatabaseError& e) {
          --result.added;
          ++result.refused;
          log_refused(e);
        },
        [&] { --result.added; },
        [&](const EDatabaseError& e) {
          ++result.subRefused;
          log_refused(e);
        });
  }
  while (!engine.EndTransfert() && run.StopAllProcess) {
    const LoopResult before = result;
    InspectBeginRecord(run);
    const bool engine_accepted = !routine.checkAcceptance || EngineAccepts(run);
    const bool accepted = TransferOneRecord(run, engine_accepted, params, hooks, log_refused, result);
    InspectEndRecord(run, before, result);
    if ((accepted || !routine.batchOnlyAfterAccepted) && engine.MustCommit()) {
      run.ShowCounter();
      run.CommitEtProgress();
    }
    engine.NextTransfert();
    ++result.read;
    run.KeepResponsive();
  }
  engine.EndFastTable();
  FinishLoop(run, routine.refreshCounterAtEnd, hooks.closing, hooks.afterSave);
  if (inspection) inspection->EndTable();
  return result;
}

LoopResult RunTableRoutine(RunContext& run, const TableRoutine& routine, const std::function<void()>& setup,
                           const std::function<void(RecordParams&)>& assign, const std::function<void()>& closing) {
  RoutineHooks hooks;
  hooks.setup = setup;
  hooks.assign = assign;
  hooks.closing = closing;
  return RunTableRoutine(run, routine, hooks);
}

namespace {

// The current row of a target query, as the table log prints a refused record.
class QueryRowLog : public LogRecordSource {
 public:
  explicit QueryRowLog(fib::TpFIBQuery& query) : query_(query) {}
  int FieldCount() const override { return query_.FieldCount(); }
  std::string FieldName(int index) const override { return query_.Fields(index).Name(); }
  bool IsBlobLike(int index) const override { return query_.Fields(index).SQLType() == 520; }  // SQL_BLOB
  std::string Text(int index) const override {
    const fib::TFIBColumn& column = query_.Fields(index);
    return column.IsNull() ? std::string() : column.AsString();
  }

 private:
  fib::TpFIBQuery& query_;
};

// Copies of the query rows whose records may still wait in the batch, by record
// number: a refusal met when the batch goes is logged with its own row. The slots
// are reused from one batch to the next.
class HeldRows : public LogRecordSource {
 public:
  void Keep(int64_t record, fib::TpFIBQuery& query) {
    if (names_.empty()) {
      for (int i = 0; i < query.FieldCount(); ++i) {
        names_.push_back(query.Fields(i).Name());
        blobs_.push_back(query.Fields(i).SQLType() == 520);  // SQL_BLOB
      }
    }
    if (count_ == 0) first_ = record;
    if (count_ == rows_.size()) rows_.emplace_back();
    std::vector<std::string>& row = rows_[count_++];
    row.resize(names_.size());
    for (size_t i = 0; i < names_.size(); ++i) {
      const fib::TFIBColumn& column = query.Fields(static_cast<int>(i));
      row[i] = column.IsNull() ? std::string() : column.AsString();
    }
  }
  // The batch is empty: no row kept is needed any more.
  void Release() { count_ = 0; }
  const LogRecordSource& Row(int64_t record) {
    shown_ = &rows_.at(static_cast<size_t>(record - first_));
    return *this;
  }

  int FieldCount() const override { return static_cast<int>(names_.size()); }
  std::string FieldName(int index) const override { return names_[static_cast<size_t>(index)]; }
  bool IsBlobLike(int index) const override { return blobs_[static_cast<size_t>(index)]; }
  std::string Text(int index) const override { return (*shown_)[static_cast<size_t>(index)]; }

 private:
  std::vector<std::string> names_;
  std::vector<bool> blobs_;
  std::vector<std::vector<std::string>> rows_;
  size_t count_ = 0;
  int64_t first_ = 0;
  const std::vector<std::string>* shown_ = nullptr;
};

}  // namespace

std::string RowText(const LogRecordSource& row, const std::string& name) {
  for (int i = 0; i < row.FieldCount(); ++i) {
    if (UpperCase(row.FieldName(i)) == UpperCase(name)) return row.Text(i);
  }
  return {};
}

LoopResult RunQueryRoutine(RunContext& run, const QueryRoutine& routine, const QueryHooks& hooks) {
  if (run.inspection) {
    // Its records are rows of the target, staged by this run or by the tools before it.
    run.inspection->NotInspected(routine.labelName, "lit des lignes de la cible preparees pour le transfert");
    return {};
  }
  TTransfertData& engine = *run.FDataMgr;
  LoopResult result;
  SummaryOf summary{run, result};
  run.FLogMgr.StartTableLog(routine.logName);
  run.ShowTableOperation(routine.labelName);
  engine.InitQuerySource();
  fib::TpFIBQuery source(run.target.Db());
  try {
    // A snapshot: the rows the loop itself commits never join the set it is reading.
    run.target.ReadSnapshot(source);
    source.SetSQLText(routine.selectSql);
    source.ExecQuery();
  } catch (const std::exception& e) {
    engine.SetErrMsg(std::string("Erreur Ouverture, ne peut transferer: ") + e.what() + " " + routine.selectSql, false);
    return result;
  }
  result.opened = true;
  if (hooks.beforeFirstRecord) hooks.beforeFirstRecord();
  engine.InitDestination(routine.insertHead, routine.nbParams);
  if (hooks.setup) hooks.setup();
  QueryRowLog row_log(source);
  auto log_row = [&](const EDatabaseError& e, const LogRecordSource& row) {
    if (hooks.onRefused) {
      hooks.onRefused(e, row);
    } else {
      run.FLogMgr.TableErrorLog(e, row);
    }
  };
  auto log_refused = [&](const EDatabaseError& e) { log_row(e, row_log); };
  const bool fast = !hooks.accept && hooks.subStatements.empty();
  HeldRows held;
  FastTable fast_table{engine};
  if (fast) {
    engine.BeginFastTable(
        [&](const EDatabaseError& e) {
          --result.added;
          ++result.refused;
          log_row(e, held.Row(engine.RefusedRecordNumber()));
        },
        [&] { --result.added; });
  }
  while (!source.Eof() && (run.StopAllProcess || !routine.stoppable)) {
    if (fast) held.Keep(engine.NbTried(), source);
    TransferOneRecord(run, true, source, hooks, log_refused, result);
    if (fast && !engine.BatchPending()) held.Release();
    engine.NextQueryRecord();
    ++result.read;
    if (routine.batchCommits && engine.MustCommit()) {
      run.ShowCounter();
      run.CommitEtProgress();
    }
    run.KeepResponsive();
    source.Next();
  }
  engine.EndFastTable();
  source.Close();
  if (source.Transaction()->Active()) source.Transaction()->Commit();
  FinishLoop(run, true, hooks.closing, hooks.afterSave);
  return result;
}

}  // namespace korvel
