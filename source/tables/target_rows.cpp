#include "source/tables/target_rows.h"

#include <memory>

#include "global/fib/fib_transaction.h"
#include "source/run/run_context.h"

namespace korvel {

void ForEachTargetRow(RunContext& run, const std::string& sql, const std::function<bool(fib::TpFIBQuery&)>& row) {
  fib::TpFIBQuery query(run.target.Db());
  run.target.ReadSnapshot(query);
  query.SetSQLText(sql);
  try {
    for (query.ExecQuery(); !query.Eof(); query.Next()) {
      if (!row(query)) break;
    }
  } catch (...) {
    query.Close();
    query.Transaction()->Rollback();
    throw;
  }
  query.Close();
  query.Transaction()->Commit();
}

void LogSharedNames(RunContext& run, const std::string& sql, const std::string& what, const std::string& whats,
                    const std::string& outcome) {
  ForEachTargetRow(run, sql, [&](fib::TpFIBQuery& row) {
    run.DoLogError(nullptr,
                   what + " " + row.Fields(0).AsString() + ": " + row.Fields(1).AsString() + " " + whats +
                       " de ce nom, " + outcome,
                   false);
    return true;
  });
}

std::string TextOf(const fib::TFIBColumn& column) { return column.IsNull() ? std::string() : column.AsString(); }

}  // namespace korvel
