#include "source/maintenance/generators.h"

#include <exception>

#include "global/string_utils.h"
#include "source/maintenance/sql_names.h"
#include "source/run/run_context.h"

namespace korvel {
namespace {

// First column of the general-purpose statement's current row; null when the
// statement was refused (the engine has already reported it) or returned no column.
const fib::TFIBColumn* FirstColumn(TTransfertData& data) {
  try {
    return data.GetExeQryField(0);
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

void SetGenerator(RunContext& run, const std::string& sNomTable, const std::string& sNomCle,
                  const std::string& sMessage) {
  run.UI().SetOperation(sMessage + " SetGenerator table:" + sNomTable);
  run.UI().ProcessEvents();
  TTransfertData& data = *run.FDataMgr;

  // Callers spell table names in mixed case ("Patient") while a generator created
  // without quotes is stored in upper case: compare as the server resolves an
  // unquoted name, an exact match (a generator created quoted) first.
  const std::string vGenName = QuotedStr("GEN_ID_" + sNomTable);
  data.ExecuteDestQuery("SELECT RDB$GENERATOR_NAME FROM RDB$GENERATORS WHERE UPPER(RDB$GENERATOR_NAME) = UPPER(" +
                        vGenName + ") ORDER BY CASE WHEN RDB$GENERATOR_NAME = " + vGenName +
                        " THEN 0 WHEN RDB$GENERATOR_NAME = UPPER(" + vGenName + ") THEN 1 ELSE 2 END");
  const fib::TFIBColumn* generator = FirstColumn(data);
  if (!generator || generator->IsNull()) return;
  const std::string storedName = SqlObjectName(generator->AsString());

  const std::string maxSql = "SELECT MAX(" + sNomCle + ") FROM " + sNomTable;
  data.ExecuteDestQuery(maxSql);
  const fib::TFIBColumn* maximum = FirstColumn(data);
  if (!maximum || maximum->IsNull()) return;
  const std::string vValue = Trim(maximum->AsString());
  // The value goes into the statement text (SET GENERATOR takes no parameter), so
  // only a whole number may.
  if (!IsIntegerText(vValue)) {
    data.SetErrMsg("Valeur maximale non entière (" + vValue + ") pour GEN_ID_" + sNomTable + ": " + maxSql, true);
    return;
  }
  data.ExecuteDestQuery("SET GENERATOR " + storedName + " TO " + vValue);
}

void GestionDesGenerator(RunContext& run) {
  fib::TpFIBDataSet& relations = run.pFIBDataSetRis;
  if (relations.Active()) relations.Close();
  relations.SetSelectSQL("Select RDB$relation_name from RDB$relations where RDB$system_flag = 0");
  run.target.Begin();
  relations.OpenDataSet();
  while (!relations.Eof()) {
    const std::string table = Trim(relations.Fields(0).AsString());
    run.FDataMgr->ExecuteDestQuery(
        "SELECT rdb$field_name FROM rdb$relation_fields WHERE rdb$field_position = 0 AND rdb$relation_name = " +
        QuotedStr(table));
    const fib::TFIBColumn* column = FirstColumn(*run.FDataMgr);
    if (column && !column->IsNull() && table != "SECURITE") {
      const std::string key = Trim(column->AsString());
      try {
        SetGenerator(run, table, key, "GENERATOR");
      } catch (const std::exception& e) {
        run.DoLogMisc(std::string(e.what()) + " GEN_ID_" + table);
      }
    }
    relations.Next();
    run.UI().ProcessEvents();
  }
  relations.Close();

  if (run.IBTransactionReferant.Active()) run.IBTransactionReferant.Commit();
  run.target.CommitAndReconnect();
}

void UpdateIdGlobal(RunContext& run) {
  fib::TpFIBQuery& query = run.pFIBQueryExecute;
  query.Close();
  query.SetSQLText("UPDATE param p SET p.valeur=" + QuotedStr(run.Options().globalPrefix) +
                   " WHERE p.id_param='Préfixe Global'");
  run.target.Begin();
  query.ExecQuery();
  run.CommitEtProgress();
}

}  // namespace korvel
