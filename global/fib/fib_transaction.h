// A transaction on one database with explicit parameter words ("read", "write",
// "wait", "nowait", "rec_version", "no_rec_version", "read_committed",
// "concurrency", "consistency"), used in the order given.
#pragma once

#include <string>
#include <vector>

namespace Firebird {
class ITransaction;
}

namespace korvel::fib {

class TpFIBDatabase;

class TpFIBTransaction {
 public:
  explicit TpFIBTransaction(TpFIBDatabase* database = nullptr);
  ~TpFIBTransaction();
  TpFIBTransaction(const TpFIBTransaction&) = delete;
  TpFIBTransaction& operator=(const TpFIBTransaction&) = delete;

  std::vector<std::string> TRParams;

  TpFIBDatabase* DefaultDatabase() const { return database_; }
  void SetDefaultDatabase(TpFIBDatabase* database);

  void StartTransaction();
  void Commit();
  void CommitRetaining();
  void Rollback();
  bool Active() const { return handle_ != nullptr; }

  // Raises when not active.
  Firebird::ITransaction* RequireHandle() const;

 private:
  friend class TpFIBDatabase;
  // Ends the transaction without raising (used when its connection closes).
  void Abandon();

  TpFIBDatabase* database_ = nullptr;
  Firebird::ITransaction* handle_ = nullptr;
};

}  // namespace korvel::fib
