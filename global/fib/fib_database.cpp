#include "global/fib/fib_database.h"

#include <algorithm>
#include <memory>

#include "global/fib/fib_client.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"

namespace korvel::fib {
namespace {

struct XpbDisposer {
  void operator()(Firebird::IXpbBuilder* p) const { p->dispose(); }
};

int DpbTag(const std::string& name) {
  const std::string n = LowerCase(name);
  if (n == "lc_ctype") return isc_dpb_lc_ctype;
  if (n == "user_name" || n == "user") return isc_dpb_user_name;
  if (n == "password") return isc_dpb_password;
  if (n == "sql_role_name" || n == "role") return isc_dpb_sql_role_name;
  throw EDatabaseError("Unknown connection parameter \"" + name + "\"");
}

}  // namespace

TpFIBDatabase::~TpFIBDatabase() {
  try {
    Close();
  } catch (...) {
  }
  for (TpFIBQuery* q : queries_) q->database_ = nullptr;
  for (TpFIBTransaction* t : transactions_) t->database_ = nullptr;
}

void TpFIBDatabase::UseMainConnectionSettings() {
  DBParams = {"lc_ctype=ISO8859_1", "user_name=SYSDBA", "password=quilmorane", "sql_role_name=role_administrateur"};
  SQLDialect = 3;
}

bool TpFIBDatabase::IsRemoteName(const std::string& name) {
  // A drive letter ("C:\...") is a local Windows path, not a host.
  const size_t colon = name.find(':');
  return colon != std::string::npos && colon > 1;
}

void TpFIBDatabase::Open() {
  if (attachment_) return;
  Call([&] {
    Status st;
    std::unique_ptr<Firebird::IXpbBuilder, XpbDisposer> dpb(
        Util()->getXpbBuilder(&st, Firebird::IXpbBuilder::DPB, nullptr, 0));
    for (const std::string& param : DBParams) {
      const size_t eq = param.find('=');
      const std::string name = Trim(param.substr(0, eq));
      const std::string value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
      dpb->insertString(&st, DpbTag(name), value.c_str());
    }
    dpb->insertInt(&st, isc_dpb_sql_dialect, SQLDialect);
    attachment_ = Provider()->attachDatabase(&st, DatabaseName.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
  });
  ++generation_;
}

void TpFIBDatabase::Close() {
  if (!attachment_) return;
  for (TpFIBQuery* q : queries_) q->Unprepare();
  for (TpFIBTransaction* t : transactions_) t->Abandon();
  Firebird::IAttachment* att = attachment_;
  attachment_ = nullptr;
  try {
    Status st;
    att->detach(&st);
  } catch (const Firebird::FbException& e) {
    att->release();
    throw ToDatabaseError(e.getStatus());
  }
}

Firebird::IAttachment* TpFIBDatabase::RequireAttachment() const {
  // Coded as the server codes a connection that is gone: no row is to blame.
  if (!attachment_) throw EDatabaseError("Database not connected: \"" + DatabaseName + "\"", {335544324});
  return attachment_;
}

void TpFIBDatabase::Unregister(TpFIBQuery* q) { std::erase(queries_, q); }
void TpFIBDatabase::Unregister(TpFIBTransaction* t) { std::erase(transactions_, t); }

}  // namespace korvel::fib
