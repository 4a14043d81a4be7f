// The process-wide maker of short transactions and statements on the target, each
// with explicit transaction words. What it makes belongs to the caller.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "global/variant.h"

namespace korvel::fib {

class TGlobalFIB {
 public:
  TGlobalFIB();
  ~TGlobalFIB();
  TGlobalFIB(const TGlobalFIB&) = delete;
  TGlobalFIB& operator=(const TGlobalFIB&) = delete;

  // Not started. Words in this order: read|write; nowait rec_version or wait
  // no_rec_version; read_committed.
  std::unique_ptr<TpFIBTransaction> NewTransaction(TpFIBDatabase* aDatabase, bool ReadOnly, bool NoWait);
  // A statement on aDatabase and aTransaction (which may be null: the database's
  // default transaction is then used).
  std::unique_ptr<TpFIBQuery> NewQuery(TpFIBDatabase* aDatabase, TpFIBTransaction* aTransaction,
                                       const std::string& SQL);
  // A statement with a new transaction of its own, freed with it.
  std::unique_ptr<TpFIBQuery> NewQuery(TpFIBDatabase* aDatabase, bool ReadOnly, const std::string& SQL, bool NoWait);

  void TransactionStart(TpFIBTransaction* pt_Transaction);
  void TransactionCommit(TpFIBTransaction* pt_Transaction);
  void TransactionRollBack(TpFIBTransaction* pt_Transaction);

  // Runs one statement in its own write/nowait transaction and commits it. False on
  // any error, which is neither raised nor logged; no transaction is left open.
  bool ExecSQLCommit(const std::string& ASQL, const std::vector<Variant>& AParams, TpFIBDatabase* ADatabase);
  // First column of the first row of a select run in its own read-only transaction
  // (NULL when there is no row). Errors reach the caller.
  Variant GetValueFromSelectWP(const std::string& ASQL, const std::vector<Variant>& AParams, TpFIBDatabase* ADatabase);
};

// The single instance, made on first use.
TGlobalFIB& GlobalFIB();

}  // namespace korvel::fib
