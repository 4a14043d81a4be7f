// What a table routine or a finishing step may use during a run: the engine, the
// converter and the logs, the legacy tables' components, the target session, the
// operator, the run's values, and the few operations every routine shares (commit and
// progress, logging a refused record, ending a table). The driver owns one context per
// window and hands it to each routine in turn; nothing here knows any routine.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "global/fib/fib_query.h"
#include "global/fib/fib_services.h"
#include "global/fib/fib_transaction.h"
#include "source/flashfiler/ff_components.h"
#include "source/run/inspection.h"
#include "source/run/operator_port.h"
#include "source/run/run_summary.h"
#include "source/run/target_session.h"
#include "source/transfert/plage_horaire.h"
#include "source/transfert/src_to_dest.h"
#include "source/transfert/transfert_data.h"
#include "source/transfert/transfert_dictee.h"
#include "source/transfert/transfert_log_mgr.h"

namespace korvel {

class RunContext {
 public:
  // `settingsFolder` holds "Database.ini" (the executable's folder when empty).
  RunContext(OperatorPort& ui, std::string settingsFolder, TTransfertLogMgr::Clock clock);
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // The engine, converter and dictation objects made anew; the legacy session started.
  void PrepareEngine();
  // The engine bound to the legacy session and the target (after the target opened).
  void BindEngine(bool recordAtATime);
  // Target closed, engine objects freed, logs closed.
  void Release();

  OperatorPort& UI() { return ui_; }
  RunOptions Options() { return ui_.Options(); }
  const std::string& SettingsFolder() const { return settings_folder_; }
  // Whether the item of the clinical list shown as `text` is ticked (the driver, which
  // holds the lists, answers).
  bool ClinicalItemTicked(std::string_view text) { return clinical_ticked_ && clinical_ticked_(text); }
  void SetClinicalTicked(std::function<bool(std::string_view)> ticked) { clinical_ticked_ = std::move(ticked); }

  // ---- shared by the routines
  // Flush, commit, start the next transaction, let the operator's events run.
  void CommitEtProgress();
  // Between commits: at most a few times a second, the counter refreshed and the
  // operator's events run, so "Stop" is honoured within a second even on a table that
  // reads a few hundred records a second. Cheap enough to call for every record.
  void KeepResponsive();
  // Ends the table: its log closed with the engine's counts, the converter's memory
  // cleared, the label emptied, the target committed and reconnected.
  void SauvegarderLeFichierLogEtCommit();
  void DoLogError(const void* Sender, const std::string& AMsg, bool ASaveCallStack);
  void DoLogMonitor(const std::string& EventText, TDateTime EventTime);
  void DoLogMisc(const std::string& AMsg);
  // "Table " + name + "\r\nTransfert des donnees" in the operation label.
  void ShowTableOperation(const std::string& displayName);
  // The engine's tried-record count (of the table's records) in the counter label.
  void ShowCounter();
  // Logs a record the target refused, with the source record's values.
  void LogRecordError(const std::exception& error);

  // ---- the run's values
  // Set during an inspection: the loops read and check and write nothing, and report
  // each record a migration would refuse or pass over here.
  Inspection* inspection = nullptr;
  bool StopAllProcess = true;
  bool FImpExamenNonLu = false;
  std::string numeroEtablis;
  std::string numeroPrescripDebut;
  std::string numeroPrescripFin;
  // The private reports were moved and wait for this run's examinations before those
  // that no examination refers to are deleted.
  bool PrivateReportCleanupPending = false;
  // What became of each table routine of the run.
  RunSummary Summary;

  // ---- engine, converter, logs
  TTransfertLogMgr FLogMgr;
  std::unique_ptr<TTransfertData> FDataMgr;
  std::unique_ptr<TSrcToDest> FParamMgr;
  std::unique_ptr<TTransfertDictee> FDicteeMgr;
  std::unique_ptr<TTransfertStatut> FStatutMgr;
  std::vector<std::string> slEtablissement, slRadiologiste, slTechnologue;
  // The visits' time slots, built by the visits and read by the examinations.
  std::unique_ptr<TTransfertPlageHoraire> FPlageMgr;

  // ---- legacy side
  TffCommsEngine ffCommsEngine{"EngineTransfert"};
  TffSession ffSession{"SessionTransfert"};
  TffDatabase ffDatabaseRadio;
  TffDatabase ffDatabaseDictee;
  TffTable TableEtablis;
  // The clinic settings table, opened by the routines that read it directly.
  TffTable TableParm;

  // ---- target side
  TargetSession target;
  // The second transaction of the original window, and the statements and services
  // the finishing steps use; all on the session's connection.
  fib::TpFIBTransaction IBTransactionReferant{target.Db()};
  fib::TpFIBDataSet pFIBDataSetRis{target.Db()};
  fib::TpFIBQuery pFIBQueryExecute{target.Db()};
  fib::TpFIBService BackupService1;
  fib::TpFIBService RestoreService1;
  fib::TpFIBService FBSecurityService;

 private:
  OperatorPort& ui_;
  std::string settings_folder_;
  std::chrono::steady_clock::time_point last_events_{};
  unsigned since_events_ = 0;  // records since the clock was last read
  std::function<bool(std::string_view)> clinical_ticked_;
};

}  // namespace korvel
