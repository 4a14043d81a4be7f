#include "source/run/target_session.h"

#include <utility>
#include <vector>

namespace korvel {

TargetSession::TargetSession() {
  database_.UseMainConnectionSettings();
  database_.DefaultTransaction = &main_;
  main_.TRParams = {"write", "nowait", "rec_version", "read_committed"};
}

void TargetSession::Open(const std::string& name) {
  if (database_.Connected()) database_.Close();
  database_.DatabaseName = name;
  database_.Open();
}

void TargetSession::Connect() {
  if (!database_.Connected()) database_.Open();
}

void TargetSession::Close() { database_.Close(); }

void TargetSession::Begin() {
  if (!main_.Active()) main_.StartTransaction();
}

void TargetSession::SetReadOnly(bool on) {
  const std::vector<std::string> params = {on ? "read" : "write", "nowait", "rec_version", "read_committed"};
  if (main_.TRParams == params) return;
  const bool active = main_.Active();
  if (active) main_.Commit();
  main_.TRParams = params;
  if (active) main_.StartTransaction();
}

void TargetSession::Commit() {
  Flush();
  if (main_.Active()) main_.Commit();
  main_.StartTransaction();
}

void TargetSession::CommitRetaining() {
  Flush();
  main_.CommitRetaining();
}

void TargetSession::CommitAndReconnect() {
  Flush();
  if (main_.Active()) main_.Commit();
  database_.Close();
  database_.Open();
  main_.StartTransaction();
}

void TargetSession::CommitAndClose() {
  Flush();
  if (main_.Active()) main_.Commit();
  database_.Close();
}

void TargetSession::OpenAndBegin() {
  database_.Open();
  main_.StartTransaction();
}

void TargetSession::Execute(const std::string& sql) {
  Flush();
  Begin();
  statement_.Close();
  statement_.SetSQLText(sql);
  statement_.ExecQuery();
}

void TargetSession::ReadSnapshot(fib::TpFIBQuery& query) {
  ReadInOwnTransaction(query, {"read", "nowait", "concurrency"});
}

void TargetSession::ReadCommitted(fib::TpFIBQuery& query) {
  ReadInOwnTransaction(query, {"read", "nowait", "rec_version", "read_committed"});
}

void TargetSession::ReadInOwnTransaction(fib::TpFIBQuery& query, std::vector<std::string> params) {
  auto reader = std::make_unique<fib::TpFIBTransaction>(&database_);
  reader->TRParams = std::move(params);
  query.SetDatabase(&database_);
  query.AdoptTransaction(std::move(reader));
  query.Transaction()->StartTransaction();
}

}  // namespace korvel
