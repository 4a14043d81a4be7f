#include "source/run/transfert_run.h"

#include <unistd.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <utility>

#include "global/fib/database_login.h"
#include "global/ini_file.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/flashfiler/start_session.h"
#include "source/maintenance/backup_restore.h"
#include "source/maintenance/finishing.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/notification/send_email.h"
#include "source/transfert/source_record_log.h"

namespace korvel {
namespace {

std::string CurrentDirectory() {
  std::error_code ec;
  const std::string dir = std::filesystem::current_path(ec).string();
  return ec ? std::string(".") : dir;
}

}  // namespace

TKorvelIni LoadINI(const std::string& path) {
  const IniFile ini = IniFile::Load(path);
  return TKorvelIni{ini.Value("SMTP", ""), ini.Value("PORT", ""), ini.Value("DESTINATAIRE", "")};
}

TTransfertRun::TTransfertRun(TOperatorInterface& ui, std::string settingsFolder, TTransfertLogMgr::Clock clock)
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
  pFIBDatabaseRis.UseMainConnectionSettings();
  pFIBDatabaseRis.DefaultTransaction = &pFIBTransactionRis;
  pFIBTransactionRis.TRParams = {"write", "nowait", "rec_version", "read_committed"};
  IBTransactionReferant.TRParams = {"write", "nowait", "rec_version", "read_committed"};
  pFIBDataSetRis.SetSelectSQL("SELECT ETABLISSEMENT, NOM FROM ETABLISSEMENT");
}

TTransfertRun::~TTransfertRun() {
  try {
    FormClose();
  } catch (...) {
  }
}

// ------------------------------------------------------------ window life

void TTransfertRun::PrepareTransfert() {
  FDataMgr = std::make_unique<TTransfertData>();
  FParamMgr = std::make_unique<TSrcToDest>();
  FDicteeMgr = std::make_unique<TTransfertDictee>();
  FStatutMgr = std::make_unique<TTransfertStatut>();
  slEtablissement.clear();
  auto log_error = [this](const void* sender, const std::string& msg, bool stack) { DoLogError(sender, msg, stack); };
  FDataMgr->OnHaveMsgEvent = log_error;
  FParamMgr->OnHaveMsgEvent = log_error;
  if (!ffCommsEngine.Active() || !ffSession.Active()) {
    StartSession(ffCommsEngine, ffSession, true, [this](const std::string& text) { ui_.ShowMessage(text); });
  }
  try {
    if (!TableEtablis.Active()) TableEtablis.Open();
  } catch (const std::exception& e) {
    // Without a source the window still opens; the runs then fail table by table.
    DoLogMisc(e.what());
  }
}

std::vector<std::string> TTransfertRun::EtablissementCodes() {
  std::vector<std::string> codes;
  if (!TableEtablis.Active()) return codes;
  const TField* code = TableEtablis.FindField("Code");
  if (!code) return codes;
  for (TableEtablis.First(); !TableEtablis.Eof(); TableEtablis.Next()) codes.push_back(code->AsString());
  TableEtablis.First();
  return codes;
}

void TTransfertRun::FormClose() {
  slRadiologiste.clear();
  slTechnologue.clear();
  slEtablissement.clear();
  try {
    pFIBDatabaseRis.Close();
  } catch (const std::exception& e) {
    DoLogMisc(e.what());
  }
  FDicteeMgr.reset();
  FStatutMgr.reset();
  FPlageMgr.reset();
  try {
    FDataMgr.reset();
  } catch (const std::exception& e) {
    DoLogMisc(e.what());
  }
  FParamMgr.reset();
  FLogMgr.Close();
}

// ------------------------------------------------------------ logs

// Records still waiting in the engine's batch go first: whatever the server says of
// them belongs before any later line, as when each record was sent on its own.
void TTransfertRun::FlushPending() {
  if (FDataMgr) FDataMgr->FlushBatch();
}

void TTransfertRun::DoLogError(const void*, const std::string& AMsg, bool ASaveCallStack) {
  FlushPending();
  FLogMgr.TableErrorLog(AMsg, ASaveCallStack);
}

void TTransfertRun::DoLogMonitor(const std::string& EventText, TDateTime EventTime) {
  FLogMgr.MonitorLog(EventText, EventTime);
}

void TTransfertRun::DoLogMisc(const std::string& AMsg) {
  FlushPending();
  FLogMgr.GenericErrorLog(AMsg);
}

void TTransfertRun::LogRecordError(const std::exception& error) {
  FlushPending();
  FLogMgr.TableErrorLog(error, SourceRecordLog(FDataMgr ? FDataMgr->SrcTable() : nullptr));
}

// ------------------------------------------------------------ shared by the routines

void TTransfertRun::ShowTableOperation(const std::string& displayName) {
  ui_.SetOperation("Table " + displayName + "\r\nTransfert des donnees");
}

void TTransfertRun::ShowCounter() { ui_.SetCounter(std::to_string(FDataMgr->NbTried())); }

void TTransfertRun::CommitEtProgress() {
  FlushPending();
  if (pFIBTransactionRis.Active()) pFIBTransactionRis.Commit();
  pFIBTransactionRis.StartTransaction();
  ui_.ProcessEvents();
}

void TTransfertRun::SauvegarderLeFichierLogEtCommit() {
  FlushPending();
  FLogMgr.EndTableLog(FDataMgr->NbAdded(), FDataMgr->NbTried());
  FParamMgr->ClearPreviousParameters();
  ui_.SetOperation("");
  if (pFIBTransactionRis.Active()) pFIBTransactionRis.Commit();
  pFIBDatabaseRis.Close();
  pFIBDatabaseRis.Open();
  pFIBTransactionRis.StartTransaction();
}

// ------------------------------------------------------------ connection

void TTransfertRun::ForceNewDataPath() {
  try {
    const TRunOptions options = ui_.Options();
    if (!Trim(options.edIniFile).empty()) {
      if (pFIBDatabaseRis.Connected()) pFIBDatabaseRis.Close();
      pFIBDatabaseRis.DatabaseName = fib::ReadDatabaseName(options.edIniFileHint + options.edIniFile);
      pFIBDatabaseRis.Open();
    } else {
      fib::IBDatabaseLogin(pFIBDatabaseRis, [this](const std::string& msg) { DoLogMisc(msg); }, settings_folder_);
    }
    if (!pFIBDatabaseRis.Connected()) pFIBDatabaseRis.Open();
    TargetError.clear();
  } catch (const std::exception& e) {
    TargetError = e.what();
    DoLogMisc(std::string("ForceNewDataPath ") + e.what());
  }
  // The engine is bound even when the target could not be opened: each table then
  // fails on the closed connection and says so in the logs.
  if (!FDataMgr) PrepareTransfert();
  FDataMgr->InitDataConnections(&ffSession, &ffDatabaseRadio, &pFIBDatabaseRis);
  FDataMgr->SetRecordAtATime(ui_.Options().unParUn);
  try {
    if (pFIBDatabaseRis.Connected() && !pFIBTransactionRis.Active()) pFIBTransactionRis.StartTransaction();
  } catch (const std::exception& e) {
    DoLogMisc(std::string("ForceNewDataPath ") + e.what());
  }
}

// ------------------------------------------------------------ validation

bool TTransfertRun::ValidateAllLicences() {
  bool valid = true;
  try {
    if (!pFIBTransactionRis.Active()) pFIBTransactionRis.StartTransaction();
    pFIBDataSetRis.Close();
    pFIBDataSetRis.SetSelectSQL(
        "SELECT NOUVELLE_LICENCE, LICENCE FROM TMPMEDECINFF tm WHERE tm.nouvelle_licence_ok = 'F' AND "
        "tm.nouvelle_licence_operation IS NULL UNION SELECT NOUVELLE_LICENCE, LICENCE FROM tmpradiolff tr WHERE "
        "tr.nouvelle_licence_ok = 'F' AND tr.nouvelle_licence_operation IS NULL");
    pFIBDataSetRis.OpenDataSet();
    for (; valid && !pFIBDataSetRis.Eof(); pFIBDataSetRis.Next()) {
      const fib::TFIBColumn& nouvelle = pFIBDataSetRis.Fields(0);
      const fib::TFIBColumn& ancienne = pFIBDataSetRis.Fields(1);
      if (nouvelle.IsNull() && ancienne.IsNull()) {
        valid = false;
        break;
      }
      const std::string number = nouvelle.IsNull() ? ancienne.AsString() : nouvelle.AsString();
      bool digits = number.size() == 7;
      for (size_t i = 0; digits && i < number.size(); ++i) {
        digits = (number[i] >= '0' && number[i] <= '9') || (i == 0 && (number[i] == '-' || number[i] == '+'));
      }
      valid = digits;
    }
    pFIBDataSetRis.Close();
  } catch (const std::exception& e) {
    DoLogMisc(e.what());
  }
  try {
    if (pFIBTransactionRis.Active()) pFIBTransactionRis.Commit();
    pFIBDatabaseRis.Close();
    pFIBDatabaseRis.Open();
    pFIBTransactionRis.StartTransaction();
  } catch (const std::exception& e) {
    DoLogMisc(e.what());
  }
  return valid;
}

bool TTransfertRun::ClinicalItemTicked(std::string_view text) {
  const auto& items = ListeClinique();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].text == text) return ui_.IsChecked(2, static_cast<int>(i));
  }
  return false;
}

bool TTransfertRun::ValidateTransfertOptions() {
  std::string message;
  try {
    const TRunOptions options = ui_.Options();
    if (numeroEtablis.empty()) {
      message = "Un etablissement doit etre selectionner";
    } else if (Trim(options.edModelePrincipale).empty()) {
      message = "Un modele de rapport doit etre specifier";
    } else if (options.edtPrefixGlobal.empty()) {
      message = "Un préfix global est obligatoire";
    }
    // Checked before the first table: a threshold found bad by the patients alone would
    // leave every visit without its patient, deleted from staging as an orphan.
    if (ClinicalItemTicked("Patient") && !IntegerFromText(options.Edit1)) {
      message = "Le numero de patient de depart doit etre un nombre entier: '" + options.Edit1 + "'";
    }
    if (FDicteeMgr && FDicteeMgr->DicteeActif) {
      if (FDicteeMgr->DicteeSecurise) {
        if (Trim(FDicteeMgr->GetPathSecurise()).empty()) {
          message = "Un repertoire securise doit etre specifier";
        } else if (Trim(FDicteeMgr->GetServeurSecurise()).empty()) {
          message = "Un serveur securise doit etre specifier";
        }
      } else if (Trim(FDicteeMgr->PathDictee).empty()) {
        message = "un repertoire de dictee doit etre specifier";
      }
      if (options.cmbStationDicteeCopie.empty()) message = "Vous devez sélectionner une station de copie";
    }
    if (!ValidateAllLicences()) message = "Des licences sont toujours invalides, executer TransfertReferant de nouveau";
  } catch (const std::exception&) {
    // The message recorded so far is the one shown.
  }
  if (message.empty()) return true;
  ui_.ShowMessage(message);
  return false;
}

// ------------------------------------------------------------ the run

void TTransfertRun::btnStopClick() {
  StopAllProcess = false;
  DoLogMisc("USER FORCED STOP");
}

void TTransfertRun::Trap(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    DoLogMisc(e.what());
  }
}

void TTransfertRun::RunList(const std::vector<TTableItem>& items, int list) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (!StopAllProcess) break;
    if (!items[i].routine || !ui_.IsChecked(list, static_cast<int>(i))) continue;
    Summary.Begin(items[i].text);
    try {
      items[i].routine(*this);
    } catch (...) {
      Summary.End();
      throw;
    }
    Summary.End();
  }
}

bool TTransfertRun::CheckTarget() {
  if (pFIBDatabaseRis.Connected()) return true;
  ui_.ShowMessage("La base de donnees cible ne peut pas etre ouverte: " +
                  (TargetError.empty() ? pFIBDatabaseRis.DatabaseName : TargetError));
  return false;
}

bool TTransfertRun::CheckLegacy() {
  try {
    if (!ffDatabaseRadio.Active()) ffDatabaseRadio.Open();
  } catch (const std::exception& e) {
    ui_.ShowMessage(std::string("Les tables de l'ancien systeme ne peuvent pas etre lues: ") + e.what());
    return false;
  }
  return true;
}

void TTransfertRun::WriteSummaryFiles() {
  const std::string text_path = FLogMgr.CreateSaveToFileName("RESUME");
  const std::string csv_path = text_path.substr(0, text_path.size() - 4) + ".csv";
  for (const auto& [path, content] : {std::pair{text_path, Summary.Text()}, std::pair{csv_path, Summary.Csv()}}) {
    std::string bytes = Utf8ToCp1252(content);
    std::string crlf;
    for (const char c : bytes) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << crlf;
    if (!out) DoLogMisc("Le resume ne peut pas etre ecrit: " + path);
  }
}

void TTransfertRun::btnTransfertClick() {
  LastRunCompleted = false;
  TablePhaseFailed = false;
  PrivateReportCleanupPending = false;
  StopAllProcess = true;
  FImpExamenNonLu = true;
  Summary.Clear();
  ForceNewDataPath();
  // A run that cannot reach its target or its legacy tables does not start: the
  // operator sees why at once instead of in every table's log.
  if (!CheckTarget()) return;
  if (!ValidateTransfertOptions()) return;
  if (!CheckLegacy()) return;
  ui_.SetOptionsEnabled(false);
  FLogMgr.StartTransfertLog();
  const TRunOptions options = ui_.Options();
  numeroPrescripDebut = FormatDateTime("yyyymmdd", options.dtpDebut) + "-000";
  numeroPrescripFin = FormatDateTime("yyyymmdd", options.dtpFin) + "-999";
  const std::string log_folder = CurrentDirectory() + "/LogErreur/";
  std::error_code ec;
  std::filesystem::create_directories(log_folder, ec);
  if (ec) {
    ui_.ShowMessage("Impossible de créer le Répertoire " + log_folder);
    ui_.RequestTerminate();
  }
  ui_.SetBusy(true);

  try {
    bool any_prealable = false;
    for (size_t i = 0; i < ListePrealable().size(); ++i) any_prealable |= ui_.IsChecked(1, static_cast<int>(i));
    RunList(ListePrealable(), 1);
    if (any_prealable) {
      DatabaseBackupRestore(*this, "RIS_APRES_PREALABLE_" + FormatDateTime("yyyymmdd_hhnnss", Now()) + ".FBK");
    }
    RunList(ListeClinique(), 2);
  } catch (const std::exception& e) {
    DoLogMisc(e.what());
    TablePhaseFailed = true;
    // The table that failed keeps what it logged, under its own name.
    FLogMgr.CloseTableLog();
  }

  Trap([&] { CopyModelToDatabase(*this); });
  if (ui_.Options().chkUserPermission) Trap([&] { AjoutDesDroits(*this); });
  if (ui_.Options().chkGenerator) Trap([&] { GestionDesGenerator(*this); });
  Trap([&] {
    ui_.SetOptionsEnabled(true);
    FLogMgr.EndTransfertLog();
  });
  Trap([&] { ReIndexPostTransfert(*this); });
  Trap([&] { FinTransfert(*this); });
  Trap([&] { WriteSummaryFiles(); });

  ui_.SetBusy(false);
  ui_.MarkRunFinished();
  LastRunCompleted = true;
  // No server named: no notice to send, which is not an error of the port.
  if (!Trim(ui_.Options().edSmtp).empty()) SendEmail();
}

void TTransfertRun::SendEmail() {
  const TRunOptions options = ui_.Options();
  ::korvel::SendEmail(options.edSmtp, options.edPort, options.edDestinataire);
}

}  // namespace korvel
