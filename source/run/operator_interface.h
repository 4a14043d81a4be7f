// How the run core speaks to the person running it: the Qt window, the command-line
// front end and the tests each implement this. The core never includes a GUI header.
#pragma once

#include <string>

#include "global/date_time.h"

namespace korvel {

// The operator's options as the window shows them at the moment they are read.
struct TRunOptions {
  std::string numeroEtablis;         // default establishment (DBComboBoxEtablis)
  TDateTime dtpDebut = EncodeDate(1980, 1, 1);
  TDateTime dtpFin = EncodeDate(2012, 1, 1);
  // File options: folder (the edit's hint, with its trailing separator) and name.
  std::string edIniFileHint, edIniFile;
  std::string edModelePrincipaleHint, edModelePrincipale;
  std::string edModeleSecondaireHint, edModeleSecondaire;
  std::string edtPrefixGlobal;
  std::string cmbStationDicteeCopie;
  bool chkGenerator = false;
  bool chkUserPermission = false;
  // Every record sent on its own and every key asked of the server (diagnosis): slower
  // against a server, same results.
  bool unParUn = false;
  std::string Edit1 = "228634";      // patient threshold
  std::string edSmtp, edPort, edDestinataire;
};

class TOperatorInterface {
 public:
  virtual ~TOperatorInterface() = default;

  virtual TRunOptions Options() = 0;
  // Whether item `index` of list 1 ("Préalable") or 2 ("Clinique") is ticked now.
  virtual bool IsChecked(int list, int index) = 0;

  // lblOperations / lblCounter, repainted at once.
  virtual void SetOperation(const std::string& text) = 0;
  virtual void SetCounter(const std::string& text) = 0;
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
