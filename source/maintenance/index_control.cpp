#include "source/maintenance/index_control.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "global/date_time.h"
#include "global/fib/global_fib.h"
#include "global/string_utils.h"
#include "source/maintenance/sql_names.h"
#include "source/run/run_context.h"

namespace korvel {
namespace {

struct TriggerStateWords {
  const char* inactive;  // end of the ALTER statement
  const char* message;   // part of the operation label
};

TriggerStateWords StateWords(bool pb_Inactive) {
  return pb_Inactive ? TriggerStateWords{" INACTIVE", " (Désactivation"}
                     : TriggerStateWords{" ACTIVE", " (Réactivation"};
}

void EnsureMainTransaction(RunContext& run) { run.target.Begin(); }

}  // namespace

void ChangeStateIndex(RunContext& run, const std::string& ps_TableName, const std::string& ps_Message,
                      bool pb_Inactive) {
  const TriggerStateWords words = StateWords(pb_Inactive);
  run.UI().SetOperation(ps_Message + words.message + " des index de la table: " + ps_TableName + ")");
  run.UI().ProcessEvents();

  EnsureMainTransaction(run);
  fib::TpFIBQuery indexes(run.target.Db());
  indexes.SetSQLText(
      "SELECT DISTINCT a.RDB$INDEX_NAME FROM RDB$INDICES a LEFT JOIN rdb$relation_constraints c ON "
      "(c.rdb$constraint_name = a.rdb$index_name OR c.rdb$index_name = a.rdb$index_name) AND "
      "(c.rdb$constraint_type = 'FOREIGN KEY' OR c.rdb$constraint_type = 'PRIMARY KEY') WHERE a.RDB$RELATION_NAME "
      "=:TABLENAME AND a.RDB$FOREIGN_KEY IS NULL AND (a.RDB$System_Flag <> 1 OR a.rdb$system_flag IS NULL) AND "
      "c.rdb$constraint_name IS NULL AND a.rdb$unique_flag = 0 ORDER BY 1");
  indexes.ParamByName("TABLENAME").SetValue(Variant(ps_TableName));
  indexes.ExecQuery();

  fib::TpFIBQuery pFIBQueryIndex(run.target.Db());
  while (!indexes.Eof()) {
    const std::string statement = "ALTER INDEX " + SqlObjectName(indexes.Fields(0).AsString()) + words.inactive;
    pFIBQueryIndex.Close();
    run.DoLogMonitor(statement, Now());
    run.UI().ProcessEvents();
    pFIBQueryIndex.SetSQLText(statement);
    pFIBQueryIndex.ExecQuery();
    indexes.Next();
    // Each switch is durable before the next; the cursor survives the retaining commit.
    run.target.CommitRetaining();
  }
  indexes.Close();
  run.CommitEtProgress();
}

void ChangeStateTrigger(RunContext& run, const std::string& ps_Trigername, const std::string& ps_Message,
                        bool pb_Inactive) {
  const TriggerStateWords words = StateWords(pb_Inactive);
  run.UI().SetOperation(ps_Message + words.message + " du Trigger " + ps_Trigername);
  run.UI().ProcessEvents();

  EnsureMainTransaction(run);
  fib::TpFIBQuery pFIBQueryIndex(run.target.Db());
  pFIBQueryIndex.SetSQLText("ALTER TRIGGER " + ps_Trigername + words.inactive);
  pFIBQueryIndex.ExecQuery();
  run.CommitEtProgress();
}

void RecomputeIndex(RunContext& run, const std::string& ps_Table, const std::string& ps_Message) {
  run.UI().SetOperation(ps_Message + " (Recompute Index de la table " + ps_Table + ")");
  run.UI().ProcessEvents();

  // System tables are read-only on Firebird 3 (no UPDATE of rdb$statistics): each index
  // of the table gets its selectivity recomputed by SET STATISTICS instead.
  EnsureMainTransaction(run);
  std::vector<std::string> names;
  {
    fib::TpFIBQuery indexes(run.target.Db());
    indexes.SetSQLText("SELECT RDB$INDEX_NAME FROM rdb$indices WHERE rdb$relation_name = " + QuotedStr(ps_Table) +
                       " ORDER BY 1");
    for (indexes.ExecQuery(); !indexes.Eof(); indexes.Next()) names.push_back(indexes.Fields(0).AsString());
  }
  fib::TpFIBQuery pFIBQueryIndex(run.target.Db());
  for (const std::string& name : names) {
    pFIBQueryIndex.SetSQLText("SET STATISTICS INDEX " + SqlObjectName(name));
    pFIBQueryIndex.ExecQuery();
  }
  run.CommitEtProgress();
}

// Rebuilds the indexes the catalogue shows inactive. ChangeStateIndex already rebuilt
// the indexes of every bulk-loaded table when it switched them back on, and the backup
// and restore between the lists rebuilt all the others; what is left is an index that
// a routine switched off and never on again because an error or a stop came between
// the two calls. Indexes have no other safety net, and rebuilding the active ones
// would cost a full rebuild of every large table for nothing. A failed rebuild is
// logged and the pass goes on, so one bad index does not leave the rest off.
void ReIndexPostTransfert(RunContext& run) {
  std::unique_ptr<fib::TpFIBTransaction> transaction =
      fib::GlobalFIB().NewTransaction(run.target.Db(), /*ReadOnly=*/false, /*NoWait=*/true);
  fib::TpFIBDataSet& dataset = run.pFIBDataSetRis;
  if (dataset.Active()) dataset.Close();
  dataset.SetSelectSQL(
      "SELECT a.RDB$INDEX_NAME, a.rdb$index_inactive FROM RDB$INDICES a LEFT JOIN rdb$relation_constraints c ON "
      "(c.rdb$constraint_name = a.rdb$index_name OR c.rdb$index_name = a.rdb$index_name)WHERE a.RDB$FOREIGN_KEY IS "
      "NULL AND (a.RDB$System_Flag <> 1 OR a.rdb$system_flag IS NULL) and c.rdb$constraint_name is null");
  transaction->StartTransaction();
  EnsureMainTransaction(run);
  dataset.Prepare();
  dataset.OpenDataSet();
  std::unique_ptr<fib::TpFIBQuery> query = fib::GlobalFIB().NewQuery(run.target.Db(), transaction.get(), "");

  for (; !dataset.Eof(); dataset.Next()) {
    const fib::TFIBColumn& inactive = dataset.Fields(1);
    if (inactive.IsNull() || inactive.AsInteger() != 1) continue;
    const std::string name = SqlObjectName(dataset.Fields(0).AsString());
    try {
      query->SetSQLText("ALTER INDEX " + name + " INACTIVE");
      query->ExecQuery();
      transaction->CommitRetaining();
      query->SetSQLText("ALTER INDEX " + name + " ACTIVE");
      query->ExecQuery();
      transaction->CommitRetaining();
    } catch (const std::exception& e) {
      run.DoLogMisc(e.what());
      // A refused index change stays pending in the transaction and would fail every
      // later commit: drop it and go on in a new transaction.
      if (transaction->Active()) transaction->Rollback();
      transaction->StartTransaction();
    }
  }
  dataset.Close();
  if (transaction->Active()) transaction->Commit();
}

}  // namespace korvel
