// The run core: the state of one migration window and every driver operation (start,
// validation, the ordered run with its traps, batch commits, logs), free of any GUI.
// The Qt window and the command-line front end are thin shells around one instance;
// table routines and maintenance steps receive it and use its public parts, as the
// routines of the original window used the window's fields.
//
// One thread: the run happens inside btnTransfertClick and yields to the operator
// interface only where the routines say so.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_services.h"
#include "global/fib/fib_transaction.h"
#include "source/flashfiler/ff_components.h"
#include "source/run/operator_interface.h"
#include "source/run/run_summary.h"
#include "source/transfert/src_to_dest.h"
#include "source/transfert/transfert_data.h"
#include "source/transfert/transfert_dictee.h"
#include "source/transfert/plage_horaire.h"
#include "source/transfert/transfert_log_mgr.h"

namespace korvel {

class TTransfertRun;

// One item of a check-list: its text and the routine it selects (null while the
// routine is not part of the program yet: the item is listed and not run).
struct TTableItem {
  const char* text;
  void (*routine)(TTransfertRun&);
};

// The two lists in their fixed order: "Préalable" (26 items) and "Clinique" (25).
const std::vector<TTableItem>& ListePrealable();
const std::vector<TTableItem>& ListeClinique();

// E-mail settings of "Korvel.ini" (keys SMTP, PORT, DESTINATAIRE, any letter case).
struct TKorvelIni {
  std::string smtp, port, destinataire;
};
// Raises when the file cannot be read, as the original start-up did.
TKorvelIni LoadINI(const std::string& path);

class TTransfertRun {
 public:
  // `settingsFolder` holds "Database.ini" (the executable's folder when empty).
  explicit TTransfertRun(TOperatorInterface& ui, std::string settingsFolder = "",
                         TTransfertLogMgr::Clock clock = Now);
  ~TTransfertRun();
  TTransfertRun(const TTransfertRun&) = delete;
  TTransfertRun& operator=(const TTransfertRun&) = delete;

  // Window preparation: engine objects, source session, establishment table.
  void PrepareTransfert();
  // The codes of the source establishment table, for the establishment list.
  std::vector<std::string> EtablissementCodes();
  // Window close: target disconnected, engine objects freed, logs closed.
  void FormClose();

  // The run (the click on "Transférer").
  void btnTransfertClick();
  void btnStopClick();
  // (Re)connects the target and binds the engine to both databases.
  void ForceNewDataPath();
  bool ValidateTransfertOptions();
  bool ValidateAllLicences();

  // Shared by the table routines.
  void CommitEtProgress();
  void SauvegarderLeFichierLogEtCommit();
  void DoLogError(const void* Sender, const std::string& AMsg, bool ASaveCallStack);
  void DoLogMonitor(const std::string& EventText, TDateTime EventTime);
  void DoLogMisc(const std::string& AMsg);
  // "Table " + name + "\r\nTransfert des donnees" in the operation label.
  void ShowTableOperation(const std::string& displayName);
  // The engine's tried-record count in the counter label.
  void ShowCounter();
  // Logs a record the target refused, with the source record's values.
  void LogRecordError(const std::exception& error);
  // Sends the records the engine still holds in its batch.
  void FlushPending();

  void SendEmail();

  // Whether the item of the clinical list shown as `text` is ticked.
  bool ClinicalItemTicked(std::string_view text);

  TOperatorInterface& UI() { return ui_; }
  TRunOptions Options() { return ui_.Options(); }
  const std::string& SettingsFolder() const { return settings_folder_; }

  // Run state.
  bool StopAllProcess = true;
  bool FImpExamenNonLu = false;
  std::string numeroEtablis;
  std::string numeroPrescripDebut;
  std::string numeroPrescripFin;
  // Whether the last run got past validation and through its finishing steps.
  bool LastRunCompleted = false;
  // Whether an error ended the table phase of the last run (later tables not run).
  bool TablePhaseFailed = false;
  // The private reports were moved and wait for this run's examinations before those
  // that no examination refers to are deleted.
  bool PrivateReportCleanupPending = false;
  // What became of each table routine of the last run.
  TRunSummary Summary;
  // Why the target could not be opened ("" when it could).
  std::string TargetError;

  TTransfertLogMgr FLogMgr;
  std::unique_ptr<TTransfertData> FDataMgr;
  std::unique_ptr<TSrcToDest> FParamMgr;
  std::unique_ptr<TTransfertDictee> FDicteeMgr;
  std::unique_ptr<TTransfertStatut> FStatutMgr;
  std::vector<std::string> slEtablissement, slRadiologiste, slTechnologue;
  // The visits' time slots, built by the visits and read by the examinations.
  std::unique_ptr<TTransfertPlageHoraire> FPlageMgr;

  // Source side.
  TffCommsEngine ffCommsEngine{"EngineTransfert"};
  TffSession ffSession{"SessionTransfert"};
  TffDatabase ffDatabaseRadio;
  TffDatabase ffDatabaseDictee;
  TffTable TableEtablis;
  // The clinic settings table, opened by the routines that read it directly.
  TffTable TableParm;

  // Target side.
  fib::TpFIBDatabase pFIBDatabaseRis;
  fib::TpFIBTransaction pFIBTransactionRis{&pFIBDatabaseRis};
  fib::TpFIBTransaction IBTransactionReferant{&pFIBDatabaseRis};
  fib::TpFIBDataSet pFIBDataSetRis{&pFIBDatabaseRis};
  fib::TpFIBQuery pFIBQueryExecute{&pFIBDatabaseRis};
  fib::TpFIBQuery pFIBQuerySecurity{&pFIBDatabaseRis};
  fib::TpFIBQuery pFIBQueryStation{&pFIBDatabaseRis};
  fib::TpFIBQuery pFIBQueryIndex{&pFIBDatabaseRis};
  fib::TpFIBQuery pFIBQueryTmp{&pFIBDatabaseRis};
  // The two queries of the second transaction.
  fib::TpFIBQuery IBQuery{&pFIBDatabaseRis, &IBTransactionReferant};
  fib::TpFIBQuery IBQuerySelect{&pFIBDatabaseRis, &IBTransactionReferant};
  fib::TpFIBService BackupService1;
  fib::TpFIBService RestoreService1;
  fib::TpFIBService FBSecurityService;

 private:
  void RunList(const std::vector<TTableItem>& items, int list);
  // The checks made before the first table: the target opened (before the options are
  // validated, which reads it), the legacy folder there (after).
  bool CheckTarget();
  bool CheckLegacy();
  void WriteSummaryFiles();
  void Trap(const std::function<void()>& step);

  TOperatorInterface& ui_;
  std::string settings_folder_;
};

}  // namespace korvel
