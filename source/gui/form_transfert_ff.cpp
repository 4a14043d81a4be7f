#include "source/gui/form_transfert_ff.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>
#include <vector>

#include "global/ini_file.h"
#include "source/gui/message_boxes.h"
#include "source/gui/open_path.h"
#include "source/transfert/station_list.h"
#include "source/verify/verifier.h"

namespace korvel {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y, bool bold = false) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->move(x, y);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  label->adjustSize();
  return label;
}

template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h,
                        int tag = 0) {
  auto* button = Make<QPushButton>(parent, name, x, y, w, h);
  button->setText(caption);
  button->setProperty("tag", tag);
  return button;
}

QDateEdit* MakeDate(QWidget* parent, const char* name, QDate date, int x, int y) {
  auto* edit = Make<QDateEdit>(parent, name, x, y, 140, 22);
  edit->setDisplayFormat("yyyy-MM-dd");
  edit->setCalendarPopup(true);
  edit->setDate(date);
  return edit;
}

TDateTime ToDateTime(const QDate& date) { return EncodeDate(date.year(), date.month(), date.day()); }

// The full path of a file option: the folder in the tooltip followed by the name.
void SplitFileOption(const QLineEdit* edit, std::string& hint, std::string& text) {
  hint = S(edit->toolTip());
  text = S(edit->text());
}

}  // namespace

TFormTransfertFF::TFormTransfertFF(std::string settingsFolder, QWidget* parent)
    : QWidget(parent), run_(std::make_unique<RunDriver>(*this, std::move(settingsFolder))) {
  setObjectName("FormTransfertFF");
  setWindowTitle(QString::fromUtf8("Transfert FF à interbase"));
  setFont(QFont("MS Sans Serif", 8));
  // Single border, system menu and minimise box only: no resizing, no maximising.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(695, 655);

  pcTransfert = Make<QTabWidget>(this, "pcTransfert", 0, 0, 695, 655);
  tsData = new QWidget;
  tsData->setObjectName("tsData");
  tbDictee = new QWidget;
  tbDictee->setObjectName("tbDictee");
  tbConfig = new QWidget;
  tbConfig->setObjectName("tbConfig");
  pcTransfert->addTab(tsData, "Data Section");
  pcTransfert->addTab(tbDictee, "Dictee");
  pcTransfert->addTab(tbConfig, "Configuration");
  tbResume = new QWidget;
  tbResume->setObjectName("tbResume");
  pcTransfert->addTab(tbResume, QString::fromUtf8("Résumé"));
  BuildSummaryPage(tbResume);
  tbVerification = new QWidget;
  tbVerification->setObjectName("tbVerification");
  pcTransfert->addTab(tbVerification, QString::fromUtf8("Vérification"));
  BuildDataPage(tsData);
  BuildConfigPage(tbConfig);
  memoVerification = Make<QPlainTextEdit>(tbVerification, "memoVerification", 8, 8, 675, 600);
  memoVerification->setReadOnly(true);
  memoVerification->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memoVerification->setLineWrapMode(QPlainTextEdit::NoWrap);
  tbInspection = new QWidget;
  tbInspection->setObjectName("tbInspection");
  pcTransfert->addTab(tbInspection, "Inspection");
  memoInspection = Make<QPlainTextEdit>(tbInspection, "memoInspection", 8, 8, 675, 600);
  memoInspection->setReadOnly(true);
  memoInspection->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memoInspection->setLineWrapMode(QPlainTextEdit::NoWrap);
  FormCreate();
}

TFormTransfertFF::~TFormTransfertFF() {
  if (busy_) QApplication::restoreOverrideCursor();
  // The run core closes the target and writes the monitor and general logs as it goes.
  run_.reset();
}

void TFormTransfertFF::BuildDataPage(QWidget* page) {
  gbOptions = Make<QGroupBox>(page, "gbOptions", 8, 8, 330, 420);
  gbOptions->setTitle("Options");
  QWidget* g = gbOptions;

  MakeLabel(g, "Label3", QString::fromUtf8("Établissement par défaut"), 10, 22);
  DBComboBoxEtablis = Make<QComboBox>(g, "DBComboBoxEtablis", 10, 40, 300, 22);
  DBComboBoxEtablis->setEditable(true);
  DBComboBoxEtablis->setInsertPolicy(QComboBox::NoInsert);
  DBComboBoxEtablis->installEventFilter(this);
  DBComboBoxEtablis->lineEdit()->installEventFilter(this);

  MakeLabel(g, "Label5", QString::fromUtf8("Date de début"), 10, 72);
  dtpDebut = MakeDate(g, "dtpDebut", QDate(1980, 1, 1), 10, 90);
  MakeLabel(g, "Label6", "Date de fin", 170, 72);
  dtpFin = MakeDate(g, "dtpFin", QDate(2012, 1, 1), 170, 90);

  MakeLabel(g, "lblScriptBefore", "Database.ini File", 10, 122);
  edIniFile = Make<QLineEdit>(g, "edIniFile", 10, 140, 270, 22);
  btnScriptBefore = MakeButton(g, "btnScriptBefore", "...", 285, 140, 25, 22, 0);
  MakeLabel(g, "lblModeleGlobal", "Modele Rapport Principale", 10, 172, true);
  edModelePrincipale = Make<QLineEdit>(g, "edModelePrincipale", 10, 190, 270, 22);
  btnPrincipale = MakeButton(g, "btnPrincipale", "...", 285, 190, 25, 22, 2);
  MakeLabel(g, "lblModeleSecondaire", "Modele rapport secondaire", 10, 222);
  edModeleSecondaire = Make<QLineEdit>(g, "edModeleSecondaire", 10, 240, 270, 22);
  btnSecondaire = MakeButton(g, "btnSecondaire", "...", 285, 240, 25, 22, 3);
  for (QPushButton* b : {btnScriptBefore, btnPrincipale, btnSecondaire}) {
    connect(b, &QPushButton::clicked, this, &TFormTransfertFF::AssignFile);
  }

  MakeLabel(g, "Label8", QString::fromUtf8("Préfix Global"), 10, 272);
  edtPrefixGlobal = Make<QLineEdit>(g, "edtPrefixGlobal", 10, 290, 140, 22);
  cmbStationDicteeCopie = Make<QComboBox>(g, "cmbStationDicteeCopie", 10, 322, 300, 22);
  cmbStationDicteeCopie->setEditable(true);
  cmbStationDicteeCopie->setInsertPolicy(QComboBox::NoInsert);
  cmbStationDicteeCopie->setEditText("cmbStationDicteeCopie");

  // Text on the left of the box, as in the original.
  chkGenerator = Make<QCheckBox>(g, "chkGenerator", 10, 356, 200, 22);
  chkGenerator->setText("Generations des ID");
  chkGenerator->setLayoutDirection(Qt::RightToLeft);
  chkUserPermission = Make<QCheckBox>(g, "chkUserPermission", 10, 384, 200, 22);
  chkUserPermission->setText("Droits des usages");
  chkUserPermission->setLayoutDirection(Qt::RightToLeft);

  Button3 = MakeButton(page, "Button3", "Stop", 8, 438, 75, 25);
  btnTransfert = MakeButton(page, "btnTransfert", QString::fromUtf8("Transférer"), 90, 438, 75, 25);
  btnTransfert->setEnabled(false);  // until the lists are filled
  Button2 = MakeButton(page, "Button2", "Button2", 172, 438, 75, 25);
  Edit1 = Make<QLineEdit>(page, "Edit1", 254, 440, 84, 22);
  Edit1->setText("228634");
  connect(Button3, &QPushButton::clicked, this, &TFormTransfertFF::btnStopClick);
  connect(btnTransfert, &QPushButton::clicked, this, &TFormTransfertFF::btnTransfertClick);
  connect(Button2, &QPushButton::clicked, this, &TFormTransfertFF::Button2Click);

  MakeLabel(page, "Label2", QString::fromUtf8("Préalable"), 350, 8, true);
  clbListe1 = Make<QListWidget>(page, "clbListe1", 350, 26, 160, 402);
  btnTousListe1 = MakeButton(page, "btnTousListe1", "Tous", 350, 438, 75, 25, 0);
  MakeLabel(page, "Label4", "Clinique", 520, 8, true);
  clbListe2 = Make<QListWidget>(page, "clbListe2", 520, 26, 160, 402);
  btnTousListe2 = MakeButton(page, "btnTousListe2", "Tous", 520, 438, 75, 25, 1);
  connect(btnTousListe1, &QPushButton::clicked, this, &TFormTransfertFF::ClickListe);
  connect(btnTousListe2, &QPushButton::clicked, this, &TFormTransfertFF::ClickListe);
  btnVerifier = MakeButton(page, "btnVerifier", QString::fromUtf8("Vérifier"), 605, 438, 75, 25);
  btnVerifier->setToolTip(QString::fromUtf8(
      "Après le transfert: chaque enregistrement de l'ancien système est-il dans la cible, refusé dans un journal "
      "ou écarté par une règle?"));
  connect(btnVerifier, &QPushButton::clicked, this, &TFormTransfertFF::btnVerifierClick);
  btnInspecter = MakeButton(page, "btnInspecter", "Inspecter", 430, 438, 85, 25);
  btnInspecter->setToolTip(QString::fromUtf8(
      "Avant le transfert: ce qu'il refuserait ou ignorerait, sans rien écrire dans la cible (INSPECTION.txt)"));
  btnInspecter->setEnabled(false);  // until the lists are filled
  connect(btnInspecter, &QPushButton::clicked, this, &TFormTransfertFF::btnInspecterClick);

  auto* pnlTransfert = Make<QFrame>(page, "pnlTransfert", 0, 474, 689, 150);
  pnlTransfert->setFrameShape(QFrame::StyledPanel);
  auto* pnlGauge = Make<QFrame>(pnlTransfert, "pnlGauge", 8, 8, 673, 134);
  pnlGauge->setFrameShape(QFrame::StyledPanel);
  pnlGauge->setFrameShadow(QFrame::Sunken);
  lblOperations = Make<QLabel>(pnlGauge, "lblOperations", 10, 10, 650, 60);
  lblOperations->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblCounter = Make<QLabel>(pnlGauge, "lblCounter", 10, 72, 200, 20);
  lblPosition = Make<QLabel>(pnlGauge, "lblPosition", 460, 72, 200, 20);
  lblPosition->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pbTable = Make<QProgressBar>(pnlGauge, "pbTable", 10, 94, 650, 16);
  pbTable->setRange(0, 1);
  pbTable->setValue(0);
  lblProgress = Make<QLabel>(pnlGauge, "lblProgress", 10, 112, 650, 18);
}

void TFormTransfertFF::BuildConfigPage(QWidget* page) {
  auto* box = Make<QGroupBox>(page, "gbEmail", 8, 8, 330, 150);
  box->setTitle("Avertissement email");
  MakeLabel(box, "lblSmtp", "SMTP", 10, 28);
  edSmtp = Make<QLineEdit>(box, "edSmtp", 100, 25, 210, 22);
  MakeLabel(box, "lblPort", "Port", 10, 58);
  edPort = Make<QLineEdit>(box, "edPort", 100, 55, 80, 22);
  MakeLabel(box, "lblDestinataire", "Destinataire", 10, 88);
  edDestinataire = Make<QLineEdit>(box, "edDestinataire", 100, 85, 210, 22);
  Button1 = MakeButton(box, "Button1", "Test email", 100, 115, 90, 25);
  connect(Button1, &QPushButton::clicked, this, &TFormTransfertFF::Button1Click);
}

void TFormTransfertFF::BuildSummaryPage(QWidget* page) {
  tblResume = Make<QTableWidget>(page, "tblResume", 8, 8, 675, 560);
  const QStringList headers = {"Table",   "Lus",      "Ajoutes",     "Refuses",  "Ignores", "Deplaces",
                               "Refuses", "Presents", "Anterieures", "Secondes", "Lus/s",   "Concorde"};
  tblResume->setColumnCount(static_cast<int>(headers.size()));
  tblResume->setHorizontalHeaderLabels(headers);
  tblResume->verticalHeader()->setVisible(false);
  tblResume->verticalHeader()->setDefaultSectionSize(20);
  tblResume->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblResume->setSelectionMode(QAbstractItemView::SingleSelection);
  tblResume->setEditTriggers(QAbstractItemView::NoEditTriggers);
  btnOuvrirJournaux = MakeButton(page, "btnOuvrirJournaux", "Ouvrir le dossier des journaux", 8, 576, 220, 25);
  btnOuvrirJournal = MakeButton(page, "btnOuvrirJournal", "Ouvrir le journal de la table", 236, 576, 220, 25);
  connect(btnOuvrirJournaux, &QPushButton::clicked, this, &TFormTransfertFF::btnOuvrirJournauxClick);
  connect(btnOuvrirJournal, &QPushButton::clicked, this, &TFormTransfertFF::btnOuvrirJournalClick);
  connect(tblResume, &QTableWidget::cellDoubleClicked, this, [this] { btnOuvrirJournalClick(); });
}

void TFormTransfertFF::ShowSummary() {
  const std::vector<TableSummary>& tables = run_->Summary().Tables();
  tblResume->setRowCount(static_cast<int>(tables.size()));
  summary_logs_.clear();
  for (int row = 0; row < static_cast<int>(tables.size()); ++row) {
    const TableSummary& t = tables[static_cast<size_t>(row)];
    summary_logs_.push_back(t.logs);
    const QStringList cells = {Q(t.name),
                               QString::number(t.read),
                               QString::number(t.added),
                               QString::number(t.refused),
                               QString::number(t.passedOver),
                               QString::number(t.moved),
                               QString::number(t.moveRefused),
                               QString::number(t.movePresent),
                               QString::number(t.moveSuperseded),
                               QString::number(t.seconds, 'f', 1),
                               QString::number(t.RecordsPerSecond(), 'f', 0),
                               Q(t.Remark())};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column > 0 && column < cells.size() - 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // Refused records and rows are in the logs: worth a look when there are any.
      if ((column == 3 && t.refused > 0) || (column == 6 && t.moveRefused > 0)) {
        item->setBackground(QColor(0xFF, 0xD0, 0x80));
      }
      if (column == cells.size() - 1 && !t.Reconciles()) {
        item->setBackground(QColor(0xFF, 0x80, 0x80));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      tblResume->setItem(row, column, item);
    }
  }
  tblResume->resizeColumnsToContents();
}

// ------------------------------------------------------------ life of the window

void TFormTransfertFF::FormCreate() {
  std::vector<std::string> stations;
  for (int i = 0; i < cmbStationDicteeCopie->count(); ++i) stations.push_back(S(cmbStationDicteeCopie->itemText(i)));
  FillComboStation(stations);
  const QString text = cmbStationDicteeCopie->currentText();
  cmbStationDicteeCopie->clear();
  for (const std::string& station : stations) cmbStationDicteeCopie->addItem(Q(station));
  cmbStationDicteeCopie->setEditText(text);

  pcTransfert->setTabVisible(pcTransfert->indexOf(tbDictee), false);
  pcTransfert->setTabVisible(pcTransfert->indexOf(tbConfig), true);
  pcTransfert->setCurrentWidget(tsData);
  try {
    const KorvelIni ini = LoadINI(run_->SettingsFolder() + "Korvel.ini");
    edSmtp->setText(Q(ini.smtp));
    edPort->setText(Q(ini.port));
    edDestinataire->setText(Q(ini.destinataire));
  } catch (const std::exception& e) {
    // The window still opens, with the e-mail settings empty.
    gui::ReportApplicationError(e.what());
  }
}

void TFormTransfertFF::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TFormTransfertFF::FormShow() {
  SetBusy(true);
  try {
    run_->PrepareTransfert();
    for (const std::string& code : run_->EtablissementCodes()) DBComboBoxEtablis->addItem(Q(code));
    DBComboBoxEtablis->setCurrentIndex(-1);
    DBComboBoxEtablis->setEditText("");
    CreeListChkList();
  } catch (const std::exception& e) {
    gui::ReportApplicationError(e.what());
  }
  SetBusy(false);
}

void TFormTransfertFF::CreeListChkList() {
  for (const auto& [list, items] : {std::pair{clbListe1, &ListePrealable()}, std::pair{clbListe2, &ListeClinique()}}) {
    list->clear();
    for (const TableItem& item : *items) {
      auto* entry = new QListWidgetItem(QString::fromUtf8(item.text), list);
      entry->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      entry->setCheckState(Qt::Unchecked);
    }
  }
  btnTransfert->setEnabled(true);
  btnInspecter->setEnabled(true);
}

void TFormTransfertFF::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Closing mid-run would free the engine under the running table: stop the run
    // and close once it has ended.
    close_pending_ = true;
    run_->btnStopClick();
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

bool TFormTransfertFF::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && (watched == DBComboBoxEtablis || watched == DBComboBoxEtablis->lineEdit())) {
    DBComboBoxEtablisExit();
  }
  return QWidget::eventFilter(watched, event);
}

// ------------------------------------------------------------ handlers

void TFormTransfertFF::btnTransfertClick() {
  if (running_) return;
  running_ = true;
  try {
    run_->btnTransfertClick();
  } catch (const std::exception& e) {
    // The end-of-run e-mail failed: the run itself is complete and logged.
    gui::ReportApplicationError(e.what());
  }
  running_ = false;
  if (run_->LastRunCompleted) {
    ShowSummary();
    if (tblResume->rowCount() > 0) pcTransfert->setCurrentWidget(tbResume);
  }
  if (close_pending_) close();
}

void TFormTransfertFF::btnInspecterClick() {
  if (running_) return;
  running_ = true;
  try {
    run_->btnInspecterClick();
  } catch (const std::exception& e) {
    gui::ReportApplicationError(e.what());
  }
  running_ = false;
  if (run_->LastRunCompleted) {
    memoInspection->setPlainText(Q(run_->LastInspection.Text(run_->Summary())));
    pcTransfert->setCurrentWidget(tbInspection);
  }
  if (close_pending_) close();
}

void TFormTransfertFF::btnStopClick() { run_->btnStopClick(); }

void TFormTransfertFF::btnOuvrirJournauxClick() { gui::OpenPath(run_->LogFolder()); }

void TFormTransfertFF::btnOuvrirJournalClick() {
  const int row = tblResume->currentRow();
  if (row < 0 || row >= static_cast<int>(summary_logs_.size())) {
    gui::ShowMessageBox("Choisissez une ligne du resume");
    return;
  }
  const std::vector<std::string>& logs = summary_logs_[static_cast<size_t>(row)];
  if (logs.empty()) {
    gui::ShowMessageBox("Cette table n'a pas de journal");
    return;
  }
  // A routine's first log is its table's; the others (a second table it writes) are
  // beside it in the folder.
  gui::OpenPath(run_->LogFolder() + logs.front() + ".txt");
}

void TFormTransfertFF::btnVerifierClick() {
  if (running_) return;
  const RunOptions options = Options();
  const std::set<std::string> ticked = TickedItemTexts([this](int list, int index) { return IsChecked(list, index); });
  std::error_code ec;
  const std::string log_root = std::filesystem::current_path(ec).string() + "/LogErreur";
  try {
    // The legacy folder the run itself reads.
    const std::optional<std::string> legacy = run_->Context().ffSession.AliasFolder("radio");
    if (!legacy) throw std::runtime_error("Alias 'radio' not found");
    const Verification verification = VerifyMigration(TargetDatabaseName(options, run_->Context().SettingsFolder()),
                                                      *legacy, options, ticked, log_root);
    verification.Save(log_root);
    memoVerification->setPlainText(Q(verification.Text()));
    pcTransfert->setCurrentWidget(tbVerification);
    if (!verification.Complete()) {
      gui::ShowMessageBox("Des enregistrements de l'ancien systeme manquent dans la cible: voir l'onglet Verification");
    }
  } catch (const std::exception& e) {
    gui::ShowMessageBox(std::string("La verification ne peut pas lire ses bases: ") + e.what());
  }
}

void TFormTransfertFF::Button1Click() {
  try {
    run_->SendEmail();
  } catch (const std::exception& e) {
    gui::ReportApplicationError(e.what());
  }
}

void TFormTransfertFF::Button2Click() {
  // Reconnecting under a running table would break its statements.
  if (running_) return;
  try {
    run_->ForceNewDataPath();
  } catch (const std::exception& e) {
    gui::ReportApplicationError(e.what());
  }
}

void TFormTransfertFF::ClickListe() {
  auto* button = qobject_cast<QPushButton*>(sender());
  if (!button) return;
  QListWidget* list = button->property("tag").toInt() == 0 ? clbListe1 : clbListe2;
  const bool tick = button->text() == "Tous";
  for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(tick ? Qt::Checked : Qt::Unchecked);
  button->setText(tick ? "Aucun" : "Tous");
}

void TFormTransfertFF::AssignFile() {
  auto* button = qobject_cast<QPushButton*>(sender());
  if (!button) return;
  const QString path = QFileDialog::getOpenFileName(this, QString(), Q(ExecutableFolder()));
  if (path.isEmpty()) return;
  switch (button->property("tag").toInt()) {
    case 0: AssignFichier(edIniFile, path); break;
    case 2: AssignFichier(edModelePrincipale, path); break;
    case 3: AssignFichier(edModeleSecondaire, path); break;
    default: break;
  }
}

void TFormTransfertFF::ApplyRunFile(const RunOptions& o, const std::set<std::pair<int, int>>& checked) {
  DBComboBoxEtablis->setEditText(Q(o.establishment));
  DBComboBoxEtablisExit();
  const auto date = [](TDateTime value) {
    const DateParts parts = DecodeDateTime(value);
    return QDate(parts.year, parts.month, parts.day);
  };
  dtpDebut->setDate(date(o.periodStart));
  dtpFin->setDate(date(o.periodEnd));
  const std::pair<QLineEdit*, std::string> files[] = {{edIniFile, o.targetIniFolder + o.targetIniFile},
                                                      {edModelePrincipale, o.mainModelFolder + o.mainModelFile},
                                                      {edModeleSecondaire, o.secondModelFolder + o.secondModelFile}};
  for (const auto& [edit, path] : files) {
    if (!path.empty()) AssignFichier(edit, Q(path));
  }
  edtPrefixGlobal->setText(Q(o.globalPrefix));
  Edit1->setText(Q(o.firstPatientNumber));
  chkGenerator->setChecked(o.resetGenerators);
  chkUserPermission->setChecked(o.grantUserPermissions);
  for (const auto& [edit, value] :
       {std::pair{edSmtp, o.smtpServer}, std::pair{edPort, o.smtpPort}, std::pair{edDestinataire, o.recipient}}) {
    if (!value.empty()) edit->setText(Q(value));
  }
  for (int list = 1; list <= 2; ++list) {
    for (int i = 0; i < List(list)->count(); ++i) {
      List(list)->item(i)->setCheckState(checked.count({list, i}) ? Qt::Checked : Qt::Unchecked);
    }
  }
}

void TFormTransfertFF::AssignFichier(QLineEdit* edit, const QString& path) {
  const QFileInfo info(path);
  QString folder = info.absolutePath();
  if (!folder.endsWith('/')) folder += '/';
  edit->setToolTip(folder);
  edit->setText(info.fileName());
}

void TFormTransfertFF::DBComboBoxEtablisExit() {
  const QString text = DBComboBoxEtablis->currentText();
  if (!text.isEmpty()) establishment_ = S(text);
}

// ------------------------------------------------------------ OperatorPort

RunOptions TFormTransfertFF::Options() {
  RunOptions o;
  o.establishment = establishment_;
  o.periodStart = ToDateTime(dtpDebut->date());
  o.periodEnd = ToDateTime(dtpFin->date());
  SplitFileOption(edIniFile, o.targetIniFolder, o.targetIniFile);
  SplitFileOption(edModelePrincipale, o.mainModelFolder, o.mainModelFile);
  SplitFileOption(edModeleSecondaire, o.secondModelFolder, o.secondModelFile);
  o.globalPrefix = S(edtPrefixGlobal->text());
  o.dictationCopyStation = S(cmbStationDicteeCopie->currentText());
  o.resetGenerators = chkGenerator->isChecked();
  o.grantUserPermissions = chkUserPermission->isChecked();
  o.firstPatientNumber = S(Edit1->text());
  o.smtpServer = S(edSmtp->text());
  o.smtpPort = S(edPort->text());
  o.recipient = S(edDestinataire->text());
  return o;
}

QListWidget* TFormTransfertFF::List(int list) const { return list == 1 ? clbListe1 : clbListe2; }

bool TFormTransfertFF::IsChecked(int list, int index) {
  const QListWidgetItem* item = List(list)->item(index);
  return item && item->checkState() == Qt::Checked;
}

void TFormTransfertFF::SetOperation(const std::string& text) {
  lblOperations->setText(Q(text).replace("\r\n", "\n"));
  lblOperations->repaint();
  // A new operation starts its own rate; its bar fills from empty.
  progress_.Start(text, ProgressLine::Clock::now());
  pbTable->setRange(0, 1);
  pbTable->setValue(0);
  lblProgress->clear();
}

void TFormTransfertFF::SetProgress(int64_t read, int64_t total) {
  lblCounter->setText(QString::number(read));
  lblCounter->repaint();
  ShowProgress(read, total);
}

void TFormTransfertFF::SetTableRead(int64_t read, int64_t total) {
  if (total > 0) ShowProgress(read, total);
}

void TFormTransfertFF::ShowProgress(int64_t read, int64_t total) {
  // The line itself says when it is due (a few times a second at most).
  const std::string line = progress_.Update(read, total, ProgressLine::Clock::now());
  if (line.empty()) return;
  if (total > 0) {
    // Per mille: a bar's range is an int, a legacy table's count may not be.
    pbTable->setRange(0, 1000);
    pbTable->setValue(static_cast<int>(std::min<int64_t>(1000, read * 1000 / total)));
  } else {
    pbTable->setRange(0, 0);  // busy, count unknown
  }
  lblProgress->setText(Q(line));
  pbTable->repaint();
  lblProgress->repaint();
}

void TFormTransfertFF::SetRunPosition(int item, int items) {
  lblPosition->setText(QString("Table %1 de %2").arg(item).arg(items));
  lblPosition->repaint();
}

void TFormTransfertFF::ProcessEvents() { QCoreApplication::processEvents(); }

void TFormTransfertFF::ShowMessage(const std::string& text) { gui::ShowMessageBox(text); }

void TFormTransfertFF::SetOptionsEnabled(bool enabled) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{btnTransfert, dtpDebut, dtpFin, DBComboBoxEtablis, btnTousListe1, btnTousListe2,
                                       chkGenerator, chkUserPermission, edModelePrincipale, btnPrincipale,
                                       edModeleSecondaire, btnSecondaire, edIniFile, btnScriptBefore}) {
    w->setEnabled(enabled);
  }
}

void TFormTransfertFF::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TFormTransfertFF::MarkRunFinished() {
  QPalette palette = gbOptions->palette();
  palette.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
  gbOptions->setPalette(palette);
  gbOptions->setAutoFillBackground(true);
  gbOptions->repaint();
}

void TFormTransfertFF::RequestTerminate() {
  // Takes effect when control returns to the event loop; the run goes on until then.
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace korvel
