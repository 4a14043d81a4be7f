// The run's side of the target: one connection, its main transaction, and the records
// the engine still holds in its insert batch. Every commit, statement and log line
// goes through here, and each sends the pending batch first: whatever the server says
// of those records then belongs before it, exactly as when each record was sent on its
// own. Routines never reach the connection or the transaction themselves.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"

namespace korvel {

class TargetSession {
 public:
  TargetSession();
  TargetSession(const TargetSession&) = delete;
  TargetSession& operator=(const TargetSession&) = delete;

  // What sends the pending batch (the engine's); none until the engine is bound.
  void SetPendingBatch(std::function<void()> flush) { flush_ = std::move(flush); }
  // Sends the records still waiting in the batch.
  void Flush() {
    if (flush_) flush_();
  }

  // The connection, for binding statements to it (they run in the main transaction
  // unless given one of their own).
  fib::TpFIBDatabase* Db() { return &database_; }
  const std::string& Name() const { return database_.DatabaseName; }
  bool Connected() const { return database_.Connected(); }

  // Opens `name` (closing the connection first when one is open).
  void Open(const std::string& name);
  // Opens the connection when it is closed.
  void Connect();
  // Closes the connection; records still in the batch are not sent.
  void Close();
  // The main transaction is active (started when it was not).
  void Begin();
  // Read-only transactions from now on (the server then refuses any write), or
  // read-write ones again: an active transaction is committed and the next one
  // started in the new mode.
  void SetReadOnly(bool on);
  bool InTransaction() const { return main_.Active(); }

  // Flush, commit the main transaction, start the next one.
  void Commit();
  // Flush, commit and keep the transaction's context (cursors stay open).
  void CommitRetaining();
  // Flush, commit, close and open the connection, start a transaction: frees what the
  // server keeps per connection (prepared statements, a table's cached plans).
  void CommitAndReconnect();
  // Flush, commit, close: the database is free for a backup or a restore.
  void CommitAndClose();
  // Open the connection again and start a transaction.
  void OpenAndBegin();
  // Flush, then `sql` in the main transaction.
  void Execute(const std::string& sql);

  // `query` reads in a transaction of its own, started here: a snapshot (concurrency)
  // that never sees what the run commits meanwhile, or read-committed rows.
  void ReadSnapshot(fib::TpFIBQuery& query);
  void ReadCommitted(fib::TpFIBQuery& query);

 private:
  void ReadInOwnTransaction(fib::TpFIBQuery& query, std::vector<std::string> params);

  fib::TpFIBDatabase database_;
  fib::TpFIBTransaction main_{&database_};
  fib::TpFIBQuery statement_{&database_};
  std::function<void()> flush_;
};

}  // namespace korvel
