#include "global/fib/global_fib.h"

namespace korvel::fib {
namespace {

TGlobalFIB* g_instance = nullptr;

}  // namespace

TGlobalFIB::TGlobalFIB() {
  if (!g_instance) g_instance = this;
}

TGlobalFIB::~TGlobalFIB() {
  if (g_instance == this) g_instance = nullptr;
}

TGlobalFIB& GlobalFIB() {
  if (!g_instance) {
    static TGlobalFIB instance;  // registers itself; lives to program end
    (void)instance;
  }
  return *g_instance;
}

std::unique_ptr<TpFIBTransaction> TGlobalFIB::NewTransaction(TpFIBDatabase* aDatabase, bool ReadOnly, bool NoWait) {
  auto tr = std::make_unique<TpFIBTransaction>(aDatabase);
  tr->TRParams.push_back(ReadOnly ? "read" : "write");
  if (NoWait) {
    tr->TRParams.push_back("nowait");
    tr->TRParams.push_back("rec_version");
  } else {
    tr->TRParams.push_back("wait");
    tr->TRParams.push_back("no_rec_version");
  }
  tr->TRParams.push_back("read_committed");
  return tr;
}

std::unique_ptr<TpFIBQuery> TGlobalFIB::NewQuery(TpFIBDatabase* aDatabase, TpFIBTransaction* aTransaction,
                                                 const std::string& SQL) {
  auto q = std::make_unique<TpFIBQuery>(aDatabase, aTransaction);
  q->SetSQLText(SQL);
  return q;
}

std::unique_ptr<TpFIBQuery> TGlobalFIB::NewQuery(TpFIBDatabase* aDatabase, bool ReadOnly, const std::string& SQL,
                                                 bool NoWait) {
  auto q = NewQuery(aDatabase, nullptr, SQL);
  q->AdoptTransaction(NewTransaction(aDatabase, ReadOnly, NoWait));
  return q;
}

void TGlobalFIB::TransactionStart(TpFIBTransaction* pt_Transaction) {
  if (pt_Transaction && !pt_Transaction->Active()) pt_Transaction->StartTransaction();
}

void TGlobalFIB::TransactionCommit(TpFIBTransaction* pt_Transaction) {
  if (pt_Transaction && pt_Transaction->Active()) pt_Transaction->Commit();
}

void TGlobalFIB::TransactionRollBack(TpFIBTransaction* pt_Transaction) {
  if (pt_Transaction && pt_Transaction->Active()) pt_Transaction->Rollback();
}

bool TGlobalFIB::ExecSQLCommit(const std::string& ASQL, const std::vector<Variant>& AParams, TpFIBDatabase* ADatabase) {
  std::unique_ptr<TpFIBQuery> q;
  try {
    q = NewQuery(ADatabase, false, ASQL, true);
    TransactionStart(q->Transaction());
    q->Prepare();
    q->ExecWithParams(AParams);
    q->Close();
    TransactionCommit(q->Transaction());
    return true;
  } catch (const std::exception&) {
    if (q) {
      try {
        TransactionRollBack(q->Transaction());
      } catch (const std::exception&) {
      }
    }
    return false;
  }
}

Variant TGlobalFIB::GetValueFromSelectWP(const std::string& ASQL, const std::vector<Variant>& AParams,
                                         TpFIBDatabase* ADatabase) {
  std::unique_ptr<TpFIBQuery> q = NewQuery(ADatabase, true, ASQL, true);
  TransactionStart(q->Transaction());
  q->ExecWithParams(AParams);
  Variant value = (q->Eof() || q->FieldCount() == 0) ? Variant() : q->Fields(0).AsVariant();
  q->Close();
  TransactionCommit(q->Transaction());
  return value;
}

}  // namespace korvel::fib
