#include "source/driver/run_driver.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <utility>

#include "global/fib/database_login.h"
#include "global/ini_file.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/maintenance/backup_restore.h"
#include "source/maintenance/finishing.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/notification/send_email.h"
#include "source/run/traps.h"

namespace korvel {
namespace {

std::string CurrentDirectory() {
  std::error_code ec;
  const std::string dir = std::filesystem::current_path(ec).string();
  return ec ? std::string(".") : dir;
}

}  // namespace

KorvelIni LoadINI(const std::string& path) {
  const IniFile ini = IniFile::Load(path);
  return KorvelIni{ini.Value("SMTP", ""), ini.Value("PORT", ""), ini.Value("DESTINATAIRE", "")};
}

RunDriver::RunDriver(OperatorPort& ui, std::string settingsFolder, TTransfertLogMgr::Clock clock)
    : ui_(ui), ctx_(ui, std::move(settingsFolder), std::move(clock)) {
  ctx_.SetClinicalTicked([this](std::string_view text) { return ClinicalItemTicked(text); });
}

RunDriver::~RunDriver() {
  try {
    FormClose();
  } catch (...) {
  }
}

// ------------------------------------------------------------ window life

void RunDriver::PrepareTransfert() {
  const std::string alias_file = ui_.Options().aliasFile;
  if (!alias_file.empty()) ctx_.ffSession.SetAliasFile(alias_file);
  ctx_.PrepareEngine();
  try {
    if (!ctx_.TableEtablis.Active()) ctx_.TableEtablis.Open();
  } catch (const std::exception& e) {
    // Without a source the window still opens; the runs then fail table by table.
    ctx_.DoLogMisc(e.what());
  }
}

std::vector<std::string> RunDriver::EtablissementCodes() {
  std::vector<std::string> codes;
  TffTable& table = ctx_.TableEtablis;
  if (!table.Active()) return codes;
  const TField* code = table.FindField("Code");
  if (!code) return codes;
  for (table.First(); !table.Eof(); table.Next()) codes.push_back(code->AsString());
  table.First();
  return codes;
}

void RunDriver::FormClose() { ctx_.Release(); }

// ------------------------------------------------------------ connection

void RunDriver::ForceNewDataPath() {
  try {
    const RunOptions options = ui_.Options();
    if (!Trim(options.targetIniFile).empty()) {
      ctx_.target.Open(fib::ReadDatabaseName(options.targetIniFolder + options.targetIniFile));
    } else {
      fib::IBDatabaseLogin(
          *ctx_.target.Db(), [this](const std::string& msg) { ctx_.DoLogMisc(msg); }, ctx_.SettingsFolder());
    }
    ctx_.target.Connect();
    TargetError.clear();
  } catch (const std::exception& e) {
    TargetError = e.what();
    ctx_.DoLogMisc(std::string("ForceNewDataPath ") + e.what());
  }
  // The engine is bound even when the target could not be opened: each table then
  // fails on the closed connection and says so in the logs.
  if (!ctx_.FDataMgr) PrepareTransfert();
  ctx_.BindEngine(ui_.Options().recordAtATime);
  try {
    if (ctx_.target.Connected()) ctx_.target.Begin();
  } catch (const std::exception& e) {
    ctx_.DoLogMisc(std::string("ForceNewDataPath ") + e.what());
  }
}

// ------------------------------------------------------------ validation

bool RunDriver::ValidateAllLicences() {
  bool valid = true;
  try {
    ctx_.target.Begin();
    fib::TpFIBDataSet& pFIBDataSetRis = ctx_.pFIBDataSetRis;
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
    ctx_.DoLogMisc(e.what());
  }
  try {
    ctx_.target.CommitAndReconnect();
  } catch (const std::exception& e) {
    ctx_.DoLogMisc(e.what());
  }
  return valid;
}

bool RunDriver::ClinicalItemTicked(std::string_view text) {
  const auto& items = ListeClinique();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].text == text) return ui_.IsChecked(2, static_cast<int>(i));
  }
  return false;
}

bool RunDriver::ValidateTransfertOptions() {
  std::string message;
  try {
    const RunOptions options = ui_.Options();
    if (ctx_.numeroEtablis.empty()) {
      message = "Un etablissement doit etre selectionner";
    } else if (Trim(options.mainModelFile).empty()) {
      message = "Un modele de rapport doit etre specifier";
    } else if (options.globalPrefix.empty()) {
      message = "Un préfix global est obligatoire";
    }
    // Checked before the first table: a threshold found bad by the patients alone would
    // leave every visit without its patient, deleted from staging as an orphan.
    if (ClinicalItemTicked("Patient") && !IntegerFromText(options.firstPatientNumber)) {
      message = "Le numero de patient de depart doit etre un nombre entier: '" + options.firstPatientNumber + "'";
    }
    const std::unique_ptr<TTransfertDictee>& FDicteeMgr = ctx_.FDicteeMgr;
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
      if (options.dictationCopyStation.empty()) message = "Vous devez sélectionner une station de copie";
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

void RunDriver::btnStopClick() {
  ctx_.StopAllProcess = false;
  ctx_.DoLogMisc("USER FORCED STOP");
}

int RunDriver::TickedItems() {
  int ticked = 0;
  for (const auto& [items, list] : {std::pair{&ListePrealable(), 1}, std::pair{&ListeClinique(), 2}}) {
    for (size_t i = 0; i < items->size(); ++i)
      ticked += (*items)[i].routine && ui_.IsChecked(list, static_cast<int>(i));
  }
  return ticked;
}

void RunDriver::RunList(const std::vector<TableItem>& items, int list) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (!ctx_.StopAllProcess) break;
    if (!items[i].routine || !ui_.IsChecked(list, static_cast<int>(i))) continue;
    ui_.SetRunPosition(++position_, ticked_);
    ctx_.Summary.Begin(items[i].text);
    if (ctx_.inspection) ctx_.inspection->BeginItem(items[i].text);
    try {
      items[i].routine(ctx_);
    } catch (...) {
      ctx_.Summary.End();
      throw;
    }
    ctx_.Summary.End();
  }
}

bool RunDriver::CheckTarget() {
  if (ctx_.target.Connected()) return true;
  ui_.ShowMessage("La base de donnees cible ne peut pas etre ouverte: " +
                  (TargetError.empty() ? ctx_.target.Name() : TargetError));
  return false;
}

bool RunDriver::CheckLegacy() {
  try {
    if (!ctx_.ffDatabaseRadio.Active()) ctx_.ffDatabaseRadio.Open();
  } catch (const std::exception& e) {
    ui_.ShowMessage(std::string("Les tables de l'ancien systeme ne peuvent pas etre lues: ") + e.what());
    return false;
  }
  return true;
}

namespace {

// A report beside the logs: Windows-1252 with CR LF line ends, like them.
bool WriteReport(const std::string& path, const std::string& utf8) {
  std::string crlf;
  for (const char c : Utf8ToCp1252(utf8)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << crlf;
  return static_cast<bool>(out);
}

}  // namespace

void RunDriver::WriteSummaryFiles() {
  const std::string text_path = ctx_.FLogMgr.CreateSaveToFileName("RESUME");
  const std::string csv_path = text_path.substr(0, text_path.size() - 4) + ".csv";
  for (const auto& [path, content] :
       {std::pair{text_path, ctx_.Summary.Text()}, std::pair{csv_path, ctx_.Summary.Csv()}}) {
    if (!WriteReport(path, content)) ctx_.DoLogMisc("Le resume ne peut pas etre ecrit: " + path);
  }
}

bool RunDriver::BeginRun() {
  LastRunCompleted = false;
  TablePhaseFailed = false;
  ctx_.PrivateReportCleanupPending = false;
  ctx_.StopAllProcess = true;
  ctx_.FImpExamenNonLu = true;
  ctx_.Summary.Clear();
  // The window keeps the establishment last chosen in its list; an empty choice keeps
  // the one before.
  const std::string establishment = ui_.Options().establishment;
  if (!establishment.empty()) ctx_.numeroEtablis = establishment;
  ForceNewDataPath();
  // A run that cannot reach its target or its legacy tables does not start: the
  // operator sees why at once instead of in every table's log.
  if (!CheckTarget()) return false;
  if (!ValidateTransfertOptions()) return false;
  if (!CheckLegacy()) return false;
  ui_.SetOptionsEnabled(false);
  const RunOptions options = ui_.Options();
  ctx_.numeroPrescripDebut = FormatDateTime("yyyymmdd", options.periodStart) + "-000";
  ctx_.numeroPrescripFin = FormatDateTime("yyyymmdd", options.periodEnd) + "-999";
  const std::string log_folder = CurrentDirectory() + "/LogErreur/";
  std::error_code ec;
  std::filesystem::create_directories(log_folder, ec);
  if (ec) {
    ui_.ShowMessage("Impossible de créer le Répertoire " + log_folder);
    ui_.RequestTerminate();
  }
  return true;
}

void RunDriver::RunTables(bool backupBetweenLists) {
  try {
    bool any_prealable = false;
    for (size_t i = 0; i < ListePrealable().size(); ++i) any_prealable |= ui_.IsChecked(1, static_cast<int>(i));
    position_ = 0;
    ticked_ = TickedItems();
    RunList(ListePrealable(), 1);
    if (any_prealable && backupBetweenLists) {
      DatabaseBackupRestore(ctx_, "RIS_APRES_PREALABLE_" + FormatDateTime("yyyymmdd_hhnnss", Now()) + ".FBK");
    }
    RunList(ListeClinique(), 2);
  } catch (const std::exception& e) {
    ctx_.DoLogMisc(e.what());
    TablePhaseFailed = true;
    // The table that failed keeps what it logged, under its own name.
    ctx_.FLogMgr.CloseTableLog();
  }
}

void RunDriver::btnTransfertClick() {
  if (!BeginRun()) return;
  ctx_.FLogMgr.StartTransfertLog();
  ui_.SetBusy(true);
  RunTables(true);

  RunFinishingStep(ctx_, [&] { CopyModelToDatabase(ctx_); });
  if (ui_.Options().grantUserPermissions) RunFinishingStep(ctx_, [&] { AjoutDesDroits(ctx_); });
  if (ui_.Options().resetGenerators) RunFinishingStep(ctx_, [&] { GestionDesGenerator(ctx_); });
  RunFinishingStep(ctx_, [&] {
    ui_.SetOptionsEnabled(true);
    ctx_.FLogMgr.EndTransfertLog();
  });
  RunFinishingStep(ctx_, [&] { ReIndexPostTransfert(ctx_); });
  RunFinishingStep(ctx_, [&] { FinTransfert(ctx_); });
  RunFinishingStep(ctx_, [&] { WriteSummaryFiles(); });

  ui_.SetBusy(false);
  ui_.MarkRunFinished();
  LastRunCompleted = true;
  // No server named: no notice to send, which is not an error of the port.
  if (!Trim(ui_.Options().smtpServer).empty()) SendEmail();
}

void RunDriver::btnInspecterClick() {
  LastInspection = Inspection();
  InspectionFile.clear();
  // Whatever happens, the next run is a migration again, in read-write transactions.
  struct Restore {
    RunContext& ctx;
    ~Restore() {
      ctx.inspection = nullptr;
      if (ctx.FDataMgr) ctx.FDataMgr->SetInspecting(false);
      ctx.FLogMgr.SetSubFolder("");
      try {
        ctx.target.SetReadOnly(false);
      } catch (const std::exception& e) {
        ctx.DoLogMisc(e.what());
      }
    }
  } restore{ctx_};
  ctx_.target.SetReadOnly(true);
  if (!BeginRun()) return;
  // Its table logs say what a migration would log; they go apart from a migration's.
  ctx_.FLogMgr.SetSubFolder("Inspection");
  ctx_.FLogMgr.StartTransfertLog();
  ctx_.inspection = &LastInspection;
  ctx_.FDataMgr->SetInspecting(true);
  ui_.SetBusy(true);
  RunTables(false);
  RunFinishingStep(ctx_, [&] {
    ui_.SetOptionsEnabled(true);
    ctx_.FLogMgr.EndTransfertLog();
  });
  ctx_.FLogMgr.SetSubFolder("");
  RunFinishingStep(ctx_, [&] {
    const std::string text_path = ctx_.FLogMgr.CreateSaveToFileName("INSPECTION");
    const std::string csv_path = text_path.substr(0, text_path.size() - 4) + ".csv";
    if (!WriteReport(text_path, LastInspection.Text(ctx_.Summary)) || !WriteReport(csv_path, LastInspection.Csv())) {
      ctx_.DoLogMisc("L'inspection ne peut pas etre ecrite: " + text_path);
      return;
    }
    InspectionFile = text_path;
  });
  ui_.SetBusy(false);
  ui_.MarkRunFinished();
  LastRunCompleted = true;
}

void RunDriver::SendEmail() {
  const RunOptions options = ui_.Options();
  ::korvel::SendEmail(options.smtpServer, options.smtpPort, options.recipient);
}

}  // namespace korvel
