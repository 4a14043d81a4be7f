// The main window: the operator's options, the two check-lists of tables and the
// progress labels, as a thin shell over one run core. The run happens inside the
// click handler of "Transférer" and yields to the event loop where the core says so,
// which keeps the window painted and "Stop" usable.
#pragma once

#include <QWidget>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "source/driver/run_driver.h"
#include "source/run/operator_port.h"
#include "source/run/progress_line.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace korvel {

class TFormTransfertFF : public QWidget, public OperatorPort {
  Q_OBJECT

 public:
  // `settingsFolder` holds "Korvel.ini" and "Database.ini" (the executable's folder
  // when empty). Creating the window reads "Korvel.ini"; showing it prepares the run.
  explicit TFormTransfertFF(std::string settingsFolder = "", QWidget* parent = nullptr);
  ~TFormTransfertFF() override;

  RunDriver& Run() { return *run_; }

  // OperatorPort.
  RunOptions Options() override;
  bool IsChecked(int list, int index) override;
  void SetOperation(const std::string& text) override;
  void SetProgress(int64_t read, int64_t total) override;
  void SetTableRead(int64_t read, int64_t total) override;
  void SetRunPosition(int item, int items) override;
  void ProcessEvents() override;
  void ShowMessage(const std::string& text) override;
  void SetOptionsEnabled(bool enabled) override;
  void SetBusy(bool busy) override;
  void MarkRunFinished() override;
  void RequestTerminate() override;

  // A file option shows the file's name; its tooltip holds the folder.
  static void AssignFichier(QLineEdit* edit, const QString& path);
  // Sets the controls and ticks the items as a run file gives them, as an operator
  // would (the screenshots of a run use it). Call once the window is shown.
  void ApplyRunFile(const RunOptions& options, const std::set<std::pair<int, int>>& checked);

 public slots:
  void btnTransfertClick();
  void btnStopClick();
  void Button1Click();
  void Button2Click();
  void btnVerifierClick();
  void btnInspecterClick();
  void btnOuvrirJournauxClick();
  void btnOuvrirJournalClick();
  void ClickListe();
  void AssignFile();
  void DBComboBoxEtablisExit();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildDataPage(QWidget* page);
  void BuildConfigPage(QWidget* page);
  void BuildSummaryPage(QWidget* page);
  // The run's summary in its tab, as RESUME.txt has it.
  void ShowSummary();
  // The bar and the line under the counter.
  void ShowProgress(int64_t read, int64_t total);
  void FormCreate();
  void FormShow();
  void CreeListChkList();
  QListWidget* List(int list) const;

  std::unique_ptr<RunDriver> run_;
  bool shown_ = false;
  bool running_ = false;
  bool close_pending_ = false;
  bool busy_ = false;
  // The establishment last chosen in the list (DBComboBoxEtablis), kept when left empty.
  std::string establishment_;

  QTabWidget* pcTransfert = nullptr;
  QWidget* tsData = nullptr;
  QWidget* tbDictee = nullptr;
  QWidget* tbConfig = nullptr;
  // The last run's summary: a row per routine, refused counts and rows that do not
  // reconcile marked, and the logs of each row (summary_logs_) to open.
  QWidget* tbResume = nullptr;
  QTableWidget* tblResume = nullptr;
  QPushButton* btnOuvrirJournaux = nullptr;
  QPushButton* btnOuvrirJournal = nullptr;
  std::vector<std::vector<std::string>> summary_logs_;
  // The verification of a finished run: its report, shown after "Verifier".
  QWidget* tbVerification = nullptr;
  QPlainTextEdit* memoVerification = nullptr;
  // The inspection of the legacy tables before a migration: its report, shown after
  // "Inspecter".
  QWidget* tbInspection = nullptr;
  QPlainTextEdit* memoInspection = nullptr;
  QGroupBox* gbOptions = nullptr;
  QComboBox* DBComboBoxEtablis = nullptr;
  QDateEdit* dtpDebut = nullptr;
  QDateEdit* dtpFin = nullptr;
  QLineEdit* edIniFile = nullptr;
  QPushButton* btnScriptBefore = nullptr;
  QLineEdit* edModelePrincipale = nullptr;
  QPushButton* btnPrincipale = nullptr;
  QLineEdit* edModeleSecondaire = nullptr;
  QPushButton* btnSecondaire = nullptr;
  QLineEdit* edtPrefixGlobal = nullptr;
  QComboBox* cmbStationDicteeCopie = nullptr;
  QCheckBox* chkGenerator = nullptr;
  QCheckBox* chkUserPermission = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* btnTransfert = nullptr;
  QPushButton* Button2 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QListWidget* clbListe1 = nullptr;
  QListWidget* clbListe2 = nullptr;
  QPushButton* btnTousListe1 = nullptr;
  QPushButton* btnTousListe2 = nullptr;
  QPushButton* btnVerifier = nullptr;
  QPushButton* btnInspecter = nullptr;
  QLabel* lblOperations = nullptr;
  QLabel* lblCounter = nullptr;
  // Under the label and the counter: the table's records read of its records, the
  // rate and time left (the command line's progress line), the run's ticked item.
  QProgressBar* pbTable = nullptr;
  QLabel* lblProgress = nullptr;
  QLabel* lblPosition = nullptr;
  ProgressLine progress_;
  QLineEdit* edSmtp = nullptr;
  QLineEdit* edPort = nullptr;
  QLineEdit* edDestinataire = nullptr;
  QPushButton* Button1 = nullptr;
};

}  // namespace korvel
