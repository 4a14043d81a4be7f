// A connection to a target database: the embedded engine for a plain path, a server
// for "host:path" (or "host/port:path"). Statements and transactions made on it are
// registered so that Close() can end them before detaching.
#pragma once

#include <string>
#include <vector>

namespace Firebird {
class IAttachment;
}

namespace korvel::fib {

class TpFIBQuery;
class TpFIBTransaction;

class TpFIBDatabase {
 public:
  TpFIBDatabase() = default;
  ~TpFIBDatabase();
  TpFIBDatabase(const TpFIBDatabase&) = delete;
  TpFIBDatabase& operator=(const TpFIBDatabase&) = delete;

  // Database name as the client library takes it.
  std::string DatabaseName;
  // Connection parameters as "name=value": lc_ctype, user_name, password,
  // sql_role_name. Unknown names raise at Open().
  std::vector<std::string> DBParams;
  int SQLDialect = 3;
  // Transaction used by statements that are given none.
  TpFIBTransaction* DefaultTransaction = nullptr;

  // The settings of the main target connection (ISO8859_1, SYSDBA, role
  // role_administrateur, dialect 3).
  void UseMainConnectionSettings();

  void Open();
  // Frees every prepared statement, rolls back active transactions, then detaches.
  // Statements keep their SQL and prepare again on next use.
  void Close();
  bool Connected() const { return attachment_ != nullptr; }

  // Increases each time the connection is opened, so that statements know their
  // prepared handle belongs to an older connection.
  unsigned Generation() const { return generation_; }
  Firebird::IAttachment* Attachment() const { return attachment_; }
  // Raises when not connected.
  Firebird::IAttachment* RequireAttachment() const;

  // True for "host:path": the service manager is then the server's, not the local one.
  static bool IsRemoteName(const std::string& name);

 private:
  friend class TpFIBQuery;
  friend class TpFIBTransaction;
  void Register(TpFIBQuery* q) { queries_.push_back(q); }
  void Register(TpFIBTransaction* t) { transactions_.push_back(t); }
  void Unregister(TpFIBQuery* q);
  void Unregister(TpFIBTransaction* t);

  Firebird::IAttachment* attachment_ = nullptr;
  unsigned generation_ = 0;
  std::vector<TpFIBQuery*> queries_;
  std::vector<TpFIBTransaction*> transactions_;
};

}  // namespace korvel::fib
