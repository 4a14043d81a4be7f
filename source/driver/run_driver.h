// The driver of a migration: the two check-lists, the start checks, the ordered run
// of the ticked routines with its traps, the finishing sequence and the notice. It
// owns the run context the routines receive, and is the only part of the program that
// knows the routines. The Qt window and the command-line front end are thin shells
// around one driver.
//
// One thread: the run happens inside btnTransfertClick and yields to the operator
// interface only where the routines say so.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "source/run/operator_port.h"
#include "source/run/run_context.h"

namespace korvel {

// One item of a check-list: its text and the routine it selects (null while the
// routine is not part of the program yet: the item is listed and not run).
struct TableItem {
  const char* text;
  void (*routine)(RunContext&);
};

// The two lists in their fixed order: "Préalable" (26 items) and "Clinique" (25).
const std::vector<TableItem>& ListePrealable();
const std::vector<TableItem>& ListeClinique();

// The texts of the items `isChecked(list, index)` says are ticked (lists 1 and 2).
std::set<std::string> TickedItemTexts(const std::function<bool(int list, int index)>& isChecked);

// E-mail settings of "Korvel.ini" (keys SMTP, PORT, DESTINATAIRE, any letter case).
struct KorvelIni {
  std::string smtp, port, destinataire;
};
// Raises when the file cannot be read, as the original start-up did.
KorvelIni LoadINI(const std::string& path);

class RunDriver {
 public:
  // `settingsFolder` holds "Database.ini" (the executable's folder when empty).
  explicit RunDriver(OperatorPort& ui, std::string settingsFolder = "", TTransfertLogMgr::Clock clock = Now);
  ~RunDriver();
  RunDriver(const RunDriver&) = delete;
  RunDriver& operator=(const RunDriver&) = delete;

  // What the routines receive: engine, logs, target session, the run's values.
  RunContext& Context() { return ctx_; }

  // Window preparation: engine objects, source session, establishment table.
  void PrepareTransfert();
  // The codes of the source establishment table, for the establishment list.
  std::vector<std::string> EtablissementCodes();
  // Window close: target disconnected, engine objects freed, logs closed.
  void FormClose();

  // The run (the click on "Transférer").
  void btnTransfertClick();
  // The inspection (the click on "Inspecter"): the ticked tables read over the run's
  // range and checked as a migration would, with nothing written to the target (its
  // transactions are read-only, the routines' writing steps left out). Its table logs
  // go to "Inspection" under the day's log folder; the findings are in
  // LastInspection, the counts in Summary(), and INSPECTION.txt and INSPECTION.csv
  // are written beside the logs (InspectionFile, "" when they could not be).
  void btnInspecterClick();
  Inspection LastInspection;
  std::string InspectionFile;
  void btnStopClick();
  // (Re)connects the target and binds the engine to both databases.
  void ForceNewDataPath();
  bool ValidateTransfertOptions();
  bool ValidateAllLicences();
  void SendEmail();

  // Whether the item of the clinical list shown as `text` is ticked.
  bool ClinicalItemTicked(std::string_view text);

  const std::string& SettingsFolder() const { return ctx_.SettingsFolder(); }
  // Where today's logs, final report and summary are written.
  std::string LogFolder() const { return ctx_.FLogMgr.Folder(); }
  // The summary of the last run, as RESUME.txt shows it.
  const RunSummary& Summary() const { return ctx_.Summary; }
  // Whether "Stop" was asked during the current run.
  bool StopRequested() const { return !ctx_.StopAllProcess; }

  // Whether the last run got past validation and through its finishing steps.
  bool LastRunCompleted = false;
  // Whether an error ended the table phase of the last run (later tables not run).
  bool TablePhaseFailed = false;
  // Why the target could not be opened ("" when it could).
  std::string TargetError;

 private:
  void RunList(const std::vector<TableItem>& items, int list);
  // The start of a migration or an inspection: the target and the legacy tables opened,
  // the options checked (false, the operator told why, when the run cannot start), the
  // run's range set.
  bool BeginRun();
  // Both lists; a migration backs the target up and restores it between them. An
  // error that ends the table phase is logged (TablePhaseFailed).
  void RunTables(bool backupBetweenLists);
  // The items of both lists that are ticked and have a routine.
  int TickedItems();
  // The checks made before the first table: the target opened (before the options are
  // validated, which reads it), the legacy folder there (after).
  bool CheckTarget();
  bool CheckLegacy();
  void WriteSummaryFiles();

  OperatorPort& ui_;
  RunContext ctx_;
  int position_ = 0, ticked_ = 0;  // the run's place among the ticked items
};

}  // namespace korvel
