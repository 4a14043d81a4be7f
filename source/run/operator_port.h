// How the run core speaks to the person running it: the Qt window, the command-line
// front end and the tests each implement this. The core never includes a GUI header.
#pragma once

#include <cstdint>
#include <string>

#include "global/date_time.h"

namespace korvel {

// The operator's options at the moment they are read. The window maps its widgets
// onto them (the widget of each is named beside it); the command line reads them from
// the run file.
struct RunOptions {
  std::string establishment;                       // default establishment (DBComboBoxEtablis)
  TDateTime periodStart = EncodeDate(1980, 1, 1);  // dtpDebut
  TDateTime periodEnd = EncodeDate(2012, 1, 1);    // dtpFin
  // File options: folder (with its trailing separator) and name.
  std::string targetIniFolder, targetIniFile;      // edIniFile: the target's Database.ini
  std::string mainModelFolder, mainModelFile;      // edModelePrincipale: main report model
  std::string secondModelFolder, secondModelFile;  // edModeleSecondaire: second report model
  std::string globalPrefix;                        // edtPrefixGlobal
  std::string dictationCopyStation;                // cmbStationDicteeCopie
  bool resetGenerators = false;                    // chkGenerator
  bool grantUserPermissions = false;               // chkUserPermission
  // Every record sent on its own and every key asked of the server (diagnosis): slower
  // against a server, same results.
  bool recordAtATime = false;
  std::string firstPatientNumber = "228634";    // Edit1: patients below it are not migrated
  std::string smtpServer, smtpPort, recipient;  // edSmtp, edPort, edDestinataire
  // The legacy alias file ("" = KORVEL_ALIAS_FILE, else korvel-aliases.ini beside the
  // executable).
  std::string aliasFile;
};

class OperatorPort {
 public:
  virtual ~OperatorPort() = default;

  virtual RunOptions Options() = 0;
  // Whether item `index` of list 1 ("Préalable") or 2 ("Clinique") is ticked now.
  virtual bool IsChecked(int list, int index) = 0;

  // lblOperations, repainted at once.
  virtual void SetOperation(const std::string& text) = 0;
  // lblCounter: `read` records of the current table so far, of `total` (0 when not
  // known); the label shows `read`.
  virtual void SetProgress(int64_t read, int64_t total) = 0;
  // The current table is done: `read` of its `total` records were read. Only the
  // progress shows it (the counter keeps what the routine last showed).
  virtual void SetTableRead(int64_t /*read*/, int64_t /*total*/) {}
  // The run is at ticked item `item` (from 1) of `items`, both lists together.
  virtual void SetRunPosition(int item, int items) = 0;
  // Lets the event loop run once (repaint, a click on "Stop").
  virtual void ProcessEvents() = 0;
  // A modal message box with one OK button.
  virtual void ShowMessage(const std::string& text) = 0;

  // GestionDesComposantes: the option controls all enabled or all disabled.
  virtual void SetOptionsEnabled(bool enabled) = 0;
  virtual void SetBusy(bool busy) = 0;
  // The options box turns lime green: the run is over.
  virtual void MarkRunFinished() = 0;
  // The application should end once control returns to the event loop.
  virtual void RequestTerminate() = 0;
};

}  // namespace korvel
