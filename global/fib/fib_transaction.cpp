#include "global/fib/fib_transaction.h"

#include <vector>

#include "global/fib/fib_client.h"
#include "global/fib/fib_database.h"
#include "global/string_utils.h"

namespace korvel::fib {
namespace {

unsigned char TpbTag(const std::string& word) {
  const std::string w = LowerCase(Trim(word));
  if (w == "read") return isc_tpb_read;
  if (w == "write") return isc_tpb_write;
  if (w == "wait") return isc_tpb_wait;
  if (w == "nowait") return isc_tpb_nowait;
  if (w == "rec_version") return isc_tpb_rec_version;
  if (w == "no_rec_version") return isc_tpb_no_rec_version;
  if (w == "read_committed") return isc_tpb_read_committed;
  if (w == "concurrency") return isc_tpb_concurrency;
  if (w == "consistency") return isc_tpb_consistency;
  throw EDatabaseError("Unknown transaction parameter \"" + word + "\"");
}

}  // namespace

TpFIBTransaction::TpFIBTransaction(TpFIBDatabase* database) { SetDefaultDatabase(database); }

TpFIBTransaction::~TpFIBTransaction() {
  Abandon();
  if (database_) database_->Unregister(this);
}

void TpFIBTransaction::SetDefaultDatabase(TpFIBDatabase* database) {
  if (database_ == database) return;
  if (Active()) throw EDatabaseError("Cannot change the database of an active transaction");
  if (database_) database_->Unregister(this);
  database_ = database;
  if (database_) database_->Register(this);
}

void TpFIBTransaction::StartTransaction() {
  if (Active()) throw EDatabaseError("Transaction already active");
  if (!database_) throw EDatabaseError("Transaction has no database");
  std::vector<unsigned char> tpb{isc_tpb_version3};
  for (const std::string& word : TRParams) tpb.push_back(TpbTag(word));
  Firebird::IAttachment* att = database_->RequireAttachment();
  Call([&] {
    Status st;
    handle_ = att->startTransaction(&st, static_cast<unsigned>(tpb.size()), tpb.data());
  });
}

void TpFIBTransaction::Commit() {
  Firebird::ITransaction* tr = RequireHandle();
  Call([&] {
    Status st;
    tr->commit(&st);
  });
  handle_ = nullptr;
}

void TpFIBTransaction::CommitRetaining() {
  Firebird::ITransaction* tr = RequireHandle();
  Call([&] {
    Status st;
    tr->commitRetaining(&st);
  });
}

void TpFIBTransaction::Rollback() {
  Firebird::ITransaction* tr = RequireHandle();
  try {
    Status st;
    tr->rollback(&st);
  } catch (const Firebird::FbException& e) {
    // A failed rollback still ends the transaction for us: the server drops it with
    // the connection.
    tr->release();
    handle_ = nullptr;
    throw ToDatabaseError(e.getStatus());
  }
  handle_ = nullptr;
}

Firebird::ITransaction* TpFIBTransaction::RequireHandle() const {
  if (!handle_) throw EDatabaseError("Transaction is not active");
  return handle_;
}

void TpFIBTransaction::Abandon() {
  if (!handle_) return;
  try {
    Rollback();
  } catch (const EDatabaseError&) {
  }
}

}  // namespace korvel::fib
