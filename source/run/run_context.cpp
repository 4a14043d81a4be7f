#include "source/run/run_context.h"

#include <exception>
#include <utility>

#include "global/ini_file.h"
#include "source/flashfiler/start_session.h"
#include "source/run/traps.h"
#include "source/transfert/source_record_log.h"

namespace korvel {

RunContext::RunContext(OperatorPort& ui, std::string settingsFolder, TTransfertLogMgr::Clock clock)
    : FLogMgr(std::move(clock)), ui_(ui), settings_folder_(std::move(settingsFolder)) {
  if (settings_folder_.empty()) settings_folder_ = ExecutableFolder();
  ffSession.SetCommsEngine(&ffCommsEngine);
  ffDatabaseRadio.SetSession(&ffSession);
  ffDatabaseRadio.SetAliasName("radio");
  ffDatabaseDictee.SetSession(&ffSession);
  ffDatabaseDictee.SetAliasName("Dictee");
  ffDatabaseDictee.SetDatabaseName("Dictee");
  TableEtablis.SetDatabase(&ffDatabaseRadio);
  TableEtablis.SetTableName("Etablis");
  TableEtablis.SetIndexName("Seq. Access Index");
  TableParm.SetDatabase(&ffDatabaseRadio);
  TableParm.SetTableName("Parm");
  TableParm.SetIndexName("Primaire");
  IBTransactionReferant.TRParams = {"write", "nowait", "rec_version", "read_committed"};
  pFIBDataSetRis.SetSelectSQL("SELECT ETABLISSEMENT, NOM FROM ETABLISSEMENT");
  FLogMgr.SetOnTableLog([this](const std::string& name) { Summary.AddLog(name); });
}

RunContext::~RunContext() {
  try {
    Release();
  } catch (...) {
  }
}

void RunContext::PrepareEngine() {
  FDataMgr = std::make_unique<TTransfertData>();
  FParamMgr = std::make_unique<TSrcToDest>();
  FDicteeMgr = std::make_unique<TTransfertDictee>();
  FStatutMgr = std::make_unique<TTransfertStatut>();
  slEtablissement.clear();
  auto log_error = [this](const void* sender, const std::string& msg, bool stack) { DoLogError(sender, msg, stack); };
  FDataMgr->OnHaveMsgEvent = log_error;
  FParamMgr->OnHaveMsgEvent = log_error;
  target.SetPendingBatch([this] {
    if (FDataMgr) FDataMgr->FlushBatch();
  });
  if (!ffCommsEngine.Active() || !ffSession.Active()) {
    StartSession(ffCommsEngine, ffSession, true, [this](const std::string& text) { ui_.ShowMessage(text); });
  }
}

void RunContext::BindEngine(bool recordAtATime) {
  if (!FDataMgr) PrepareEngine();
  FDataMgr->InitDataConnections(&ffSession, &ffDatabaseRadio, target.Db());
  FDataMgr->SetRecordAtATime(recordAtATime);
}

void RunContext::Release() {
  slRadiologiste.clear();
  slTechnologue.clear();
  slEtablissement.clear();
  SkipStepOnError(*this, [&] { target.Close(); });
  FDicteeMgr.reset();
  FStatutMgr.reset();
  FPlageMgr.reset();
  SkipStepOnError(*this, [&] { FDataMgr.reset(); });
  FParamMgr.reset();
  FLogMgr.Close();
}

// ------------------------------------------------------------ logs

void RunContext::DoLogError(const void*, const std::string& AMsg, bool ASaveCallStack) {
  target.Flush();
  if (FDataMgr && FDataMgr->SilencesLogs()) return;
  if (inspection) inspection->Message(AMsg);
  FLogMgr.TableErrorLog(AMsg, ASaveCallStack);
}

void RunContext::DoLogMonitor(const std::string& EventText, TDateTime EventTime) {
  FLogMgr.MonitorLog(EventText, EventTime);
}

void RunContext::DoLogMisc(const std::string& AMsg) {
  target.Flush();
  FLogMgr.GenericErrorLog(AMsg);
}

void RunContext::LogRecordError(const std::exception& error) {
  target.Flush();
  if (inspection) inspection->Message(error.what());
  FLogMgr.TableErrorLog(error, SourceRecordLog(FDataMgr ? FDataMgr->SrcTable() : nullptr));
}

// ------------------------------------------------------------ shared by the routines

void RunContext::ShowTableOperation(const std::string& displayName) {
  ui_.SetOperation("Table " + displayName + "\r\nTransfert des donnees");
  last_events_ = std::chrono::steady_clock::now();
}

void RunContext::ShowCounter() {
  // The reader knows the live record count of the table's range.
  const TffTable* table = FDataMgr->SrcTable();
  ui_.SetProgress(FDataMgr->NbTried(), table && table->Active() ? table->RecordCount() : 0);
}

void RunContext::CommitEtProgress() {
  target.Commit();
  ui_.ProcessEvents();
  last_events_ = std::chrono::steady_clock::now();
}

void RunContext::KeepResponsive() {
  // The clock is read every 64 records only.
  if (++since_events_ < 64) return;
  since_events_ = 0;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_events_ < std::chrono::milliseconds(200)) return;
  last_events_ = now;
  ShowCounter();
  ui_.ProcessEvents();
}

void RunContext::SauvegarderLeFichierLogEtCommit() {
  target.Flush();
  // The bar ends where the reading of the table ended, whatever the routine showed last.
  const int64_t read = FDataMgr->NbTried();
  if (const TffTable* table = FDataMgr->SrcTable(); table && read > 0) {
    ui_.SetTableRead(read, table->Active() ? table->RecordCount() : table->ClosedRecordCount());
  }
  FLogMgr.EndTableLog(FDataMgr->NbAdded(), FDataMgr->NbTried());
  FParamMgr->ClearPreviousParameters();
  ui_.SetOperation("");
  target.CommitAndReconnect();
}

}  // namespace korvel
