// The window under the offscreen platform: its controls and defaults, the lists, the
// "Tous" buttons, the file-option rule, and whole runs clicked from the window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "global/fib/global_fib.h"
#include "notification/smtp_sink.h"
#include "source/flashfiler/ff2_writer.h"
#include "source/gui/form_transfert_ff.h"
#include "source/gui/message_boxes.h"
#include "source/gui/open_path.h"
#include "support/target_db.h"
#include "tools/legacy_layouts.h"
#include "tools/sample_clinic.h"

namespace korvel {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "gui_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own globals go first at exit, and an application object
  // destroyed after them crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

const char* const kPrealable[] = {
    "Modalite", "Modific",       "Anatom",       "Activite",    "Acte",          "Dictionnaire", "ModCompl",
    "ModSoft",  "MotCorr",       "Station",      "TxtProto",    "TypePres",      "Diagnostique", "Codetransac",
    "EtatType", "EtatTypeTitre", "RemMajoree",   "Export",      "Etablissement", "Radiologiste", "Securite",
    "ParmEpur", "Message",       "HL7ExamenHop", "HL7ExamenRX", "HL7Radiol"};
const char* const kClinique[] = {"Patient",
                                 "Referant",
                                 "Prive",
                                 "ciePrivee_Acte",
                                 "Rapport Prive",
                                 "Etat",
                                 "R1606",
                                 "R1606b",
                                 "Releve",
                                 "FacturationExt",
                                 "Prescription (visite)",
                                 "Examen",
                                 "Paiement",
                                 "PretFilm",
                                 "Log",
                                 "Injection",
                                 "Autorisation",
                                 "HistoEpur",
                                 "HistoEtat",
                                 "HistoLot",
                                 "HistoReleve",
                                 "HistoTransfert",
                                 "Sorvane",
                                 "FACCSC",
                                 "FACCSD"};

// The option controls that a run disables and enables again.
const char* const kOptionControls[] = {"btnTransfert",      "dtpDebut",           "dtpFin",
                                       "DBComboBoxEtablis", "btnTousListe1",      "btnTousListe2",
                                       "chkGenerator",      "chkUserPermission",  "edModelePrincipale",
                                       "btnPrincipale",     "edModeleSecondaire", "btnSecondaire",
                                       "edIniFile",         "btnScriptBefore"};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    gui::SetMessageHandler([this](gui::MessageKind kind, const std::string& text) {
      (kind == gui::MessageKind::Information ? messages : errors).push_back(text);
    });
    folder = testing::ScratchDir();
    legacy = folder + "/radio";
    std::filesystem::create_directories(legacy);
    ASSERT_EQ(chdir(folder.c_str()), 0);
  }
  void TearDown() override {
    window.reset();
    gui::SetMessageHandler({});
  }

  // The window on a settings folder; the legacy session is opened on `legacy` before
  // the window is shown, so showing it prepares the run without an address file.
  void Open() {
    window = std::make_unique<TFormTransfertFF>(folder + "/");
    window->Run().Context().ffSession.AddAlias("radio", legacy);
    window->Run().Context().ffCommsEngine.Open();
    window->Run().Context().ffSession.Open();
    window->show();
  }
  template <typename W>
  W* Find(const char* name) {
    W* widget = window->findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  static std::vector<std::string> Texts(QListWidget* list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i) texts.push_back(list->item(i)->text().toStdString());
    return texts;
  }

  std::unique_ptr<TFormTransfertFF> window;
  std::vector<std::string> messages, errors;
  std::string folder, legacy;
};

TEST_F(WindowTest, ControlsCaptionsAndDefaults) {
  std::ofstream(folder + "/Korvel.ini")
      << "smtp=mail.clinique.example\r\nport=25\r\ndestinataire=op@clinique.example\r\n";
  Open();
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Transfert FF à interbase"));
  EXPECT_EQ(window->size(), QSize(695, 655));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());

  auto* tabs = Find<QTabWidget>("pcTransfert");
  ASSERT_EQ(tabs->count(), 6);
  EXPECT_EQ(tabs->tabText(0), "Data Section");
  EXPECT_EQ(tabs->tabText(1), "Dictee");
  EXPECT_EQ(tabs->tabText(2), "Configuration");
  EXPECT_EQ(tabs->tabText(3), QString::fromUtf8("Résumé"));
  EXPECT_EQ(tabs->tabText(4), QString::fromUtf8("Vérification"));
  EXPECT_EQ(tabs->tabText(5), "Inspection");
  EXPECT_EQ(Find<QPushButton>("btnVerifier")->text(), QString::fromUtf8("Vérifier"));
  EXPECT_EQ(Find<QPushButton>("btnInspecter")->text(), "Inspecter");
  EXPECT_FALSE(tabs->isTabVisible(1));
  EXPECT_TRUE(tabs->isTabVisible(2));
  EXPECT_EQ(tabs->currentWidget()->objectName(), "tsData");

  EXPECT_EQ(Find<QGroupBox>("gbOptions")->title(), "Options");
  EXPECT_EQ(Find<QLineEdit>("Edit1")->text(), "228634");
  EXPECT_EQ(Find<QDateEdit>("dtpDebut")->date(), QDate(1980, 1, 1));
  EXPECT_EQ(Find<QDateEdit>("dtpDebut")->text(), "1980-01-01");
  EXPECT_EQ(Find<QDateEdit>("dtpFin")->text(), "2012-01-01");
  EXPECT_FALSE(Find<QCheckBox>("chkGenerator")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("chkUserPermission")->isChecked());
  EXPECT_EQ(Find<QCheckBox>("chkGenerator")->text(), "Generations des ID");
  EXPECT_EQ(Find<QCheckBox>("chkUserPermission")->text(), "Droits des usages");
  EXPECT_EQ(Find<QPushButton>("btnTransfert")->text(), QString::fromUtf8("Transférer"));
  EXPECT_TRUE(Find<QPushButton>("btnTransfert")->isEnabled());  // the lists are filled
  EXPECT_EQ(Find<QPushButton>("Button3")->text(), "Stop");
  EXPECT_EQ(Find<QPushButton>("Button2")->text(), "Button2");
  EXPECT_EQ(Find<QPushButton>("Button1")->text(), "Test email");
  EXPECT_EQ(Find<QPushButton>("btnTousListe1")->text(), "Tous");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), QString::fromUtf8("Préalable"));
  EXPECT_EQ(Find<QLabel>("Label4")->text(), "Clinique");
  EXPECT_EQ(Find<QLabel>("lblOperations")->text(), "");
  EXPECT_EQ(Find<QLabel>("lblCounter")->text(), "");

  auto* station = Find<QComboBox>("cmbStationDicteeCopie");
  EXPECT_EQ(station->currentText(), "cmbStationDicteeCopie");
  char host[256] = "";
  gethostname(host, sizeof host);
  EXPECT_GE(station->findText(QString::fromStdString(std::string(host).substr(0, 19))), 0);

  // Korvel.ini keys in lower case are found.
  EXPECT_EQ(Find<QLineEdit>("edSmtp")->text(), "mail.clinique.example");
  EXPECT_EQ(Find<QLineEdit>("edPort")->text(), "25");
  EXPECT_EQ(Find<QLineEdit>("edDestinataire")->text(), "op@clinique.example");

  std::vector<std::string> prealable(std::begin(kPrealable), std::end(kPrealable));
  std::vector<std::string> clinique(std::begin(kClinique), std::end(kClinique));
  EXPECT_EQ(Texts(Find<QListWidget>("clbListe1")), prealable);
  EXPECT_EQ(Texts(Find<QListWidget>("clbListe2")), clinique);
  for (int list = 1; list <= 2; ++list) {
    for (int i = 0; i < 26; ++i) EXPECT_FALSE(window->IsChecked(list, i));
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(errors.empty());
}

TEST_F(WindowTest, MissingKorvelIniIsReportedAndTheWindowStillOpens) {
  Open();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Korvel.ini"), std::string::npos) << errors[0];
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(Find<QLineEdit>("edSmtp")->text(), "");
}

TEST_F(WindowTest, TousTwiceTicksThenUnticksItsOwnList) {
  Open();
  auto* tous1 = Find<QPushButton>("btnTousListe1");
  auto* tous2 = Find<QPushButton>("btnTousListe2");
  tous2->click();
  EXPECT_EQ(tous2->text(), "Aucun");
  EXPECT_TRUE(window->IsChecked(2, 0));
  EXPECT_TRUE(window->IsChecked(2, 24));
  EXPECT_FALSE(window->IsChecked(1, 0));  // tag 1 acts on the clinical list only
  tous2->click();
  EXPECT_EQ(tous2->text(), "Tous");
  EXPECT_FALSE(window->IsChecked(2, 0));
  tous1->click();
  EXPECT_TRUE(window->IsChecked(1, 25));
  EXPECT_EQ(tous1->text(), "Aucun");
}

TEST_F(WindowTest, FileOptionsShowTheNameAndHoldTheFolderInTheTooltip) {
  Open();
  auto* edit = Find<QLineEdit>("edIniFile");
  TFormTransfertFF::AssignFichier(edit, QString::fromStdString(folder + "/autre/Base.ini"));
  EXPECT_EQ(edit->text(), "Base.ini");
  EXPECT_EQ(edit->toolTip().toStdString(), folder + "/autre/");
  const RunOptions options = window->Options();
  EXPECT_EQ(options.targetIniFolder + options.targetIniFile, folder + "/autre/Base.ini");
}

TEST_F(WindowTest, LeavingTheEstablishmentListEmptyKeepsTheChosenCode) {
  Open();
  auto* combo = Find<QComboBox>("DBComboBoxEtablis");
  combo->setEditText("CLI01");
  window->DBComboBoxEtablisExit();
  EXPECT_EQ(window->Options().establishment, "CLI01");
  combo->setEditText("");
  window->DBComboBoxEtablisExit();
  EXPECT_EQ(window->Options().establishment, "CLI01");
}

// Whole runs on an embedded target, with the end-of-run e-mail going to a loopback
// SMTP server.
class WindowRunTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    database = testing::FreshDatabase("gui");
    std::ofstream(folder + "/Database.ini") << "[Database]\r\nDatabaseName=" << database << "\r\n";
    std::ofstream(folder + "/modele.rtf") << "{\\rtf1 Modele}\n";
    std::string why;
    ASSERT_TRUE(sink.Start(&why)) << why;
    std::ofstream(folder + "/Korvel.ini")
        << "SMTP=127.0.0.1\r\nPORT=" << sink.Port() << "\r\nDESTINATAIRE=op@clinique.example\r\n";
    Open();
  }
  // The options a run needs to pass validation.
  void FillOptions() {
    Find<QComboBox>("DBComboBoxEtablis")->setEditText("CLI01");
    window->DBComboBoxEtablisExit();
    TFormTransfertFF::AssignFichier(Find<QLineEdit>("edModelePrincipale"),
                                    QString::fromStdString(folder + "/modele.rtf"));
    Find<QLineEdit>("edtPrefixGlobal")->setText("KV");
  }
  void WriteAnatom(int rows) {
    ff2::Ff2Writer writer(legacy + "/Anatom.FF2");
    for (const auto& f : sample::LegacyLayout("Anatom")) writer.AddField(f.name, f.type, f.size);
    for (int i = 0; i < rows; ++i) writer.AppendRecord({Variant("R" + std::to_string(i)), Variant("region")});
    writer.Finish();
  }
  int64_t Count(const std::string& table) {
    fib::TpFIBDatabase db;
    db.DatabaseName = database;
    db.UseMainConnectionSettings();
    db.Open();
    return fib::GlobalFIB().GetValueFromSelectWP("SELECT COUNT(*) FROM " + table, {}, &db).AsInteger();
  }
  bool Green() {
    auto* box = Find<QGroupBox>("gbOptions");
    return box->autoFillBackground() && box->palette().color(QPalette::Window) == QColor(0x00, 0xFF, 0x00);
  }

  testing::SmtpSink sink{testing::ScratchDir() + "/mail"};
  std::string database;
};

TEST_F(WindowRunTest, NothingTickedFinishesGreenEnabledAndSendsTheEmail) {
  FillOptions();
  Find<QPushButton>("btnTransfert")->click();
  EXPECT_TRUE(messages.empty()) << messages[0];
  EXPECT_TRUE(errors.empty()) << errors[0];
  EXPECT_TRUE(Green());
  for (const char* name : kOptionControls) EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
  const auto mails = sink.Messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].at("subject"), "ERREUR Quessa");
  EXPECT_EQ(mails[0].at("rcpt"), "op@clinique.example");
}

TEST_F(WindowRunTest, OptionsDisabledDuringTheRunAndStopWorksMidTable) {
  FillOptions();
  WriteAnatom(6000);
  Find<QListWidget>("clbListe1")->item(2)->setCheckState(Qt::Checked);  // Anatom
  bool seen = false;
  int64_t read = 0;
  QElapsedTimer sinceStop;
  // Fires at the first event-loop point of the run: a fifth of a second into the
  // table, or its first commit (2500 records) if that comes sooner.
  QTimer::singleShot(0, window.get(), [&] {
    seen = true;
    for (const char* name : kOptionControls) EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(Find<QPushButton>("Button3")->isEnabled());
    EXPECT_TRUE(Find<QListWidget>("clbListe2")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("edtPrefixGlobal")->isEnabled());
    EXPECT_FALSE(Green());
    EXPECT_EQ(Find<QLabel>("lblOperations")->text(), "Table region\nTransfert des donnees");
    // Under the label and the counter: the records read of the table's 6000, the rate
    // and time left, and the one ticked item.
    read = Find<QLabel>("lblCounter")->text().toLongLong();
    EXPECT_GT(read, 0);
    EXPECT_LE(read, 2500);
    EXPECT_EQ(Find<QProgressBar>("pbTable")->value(), read * 1000 / 6000);  // per mille
    EXPECT_NE(Find<QLabel>("lblProgress")->text().indexOf(QString("%1/6000 (").arg(read)), -1)
        << Find<QLabel>("lblProgress")->text().toStdString();
    EXPECT_EQ(Find<QLabel>("lblPosition")->text(), "Table 1 de 1");
    sinceStop.start();
    Find<QPushButton>("Button3")->click();
  });
  Find<QPushButton>("btnTransfert")->click();
  ASSERT_TRUE(seen);
  // The table ended with the record being read when Stop was pressed (the counter
  // shows the records tried before it); the finishing steps and the e-mail then take
  // their own time (0.7 s here), bounded loosely so a busy machine does not fail it.
  EXPECT_GE(Count("Region"), read);
  EXPECT_LE(Count("Region"), read + 1);
  EXPECT_LT(sinceStop.elapsed(), 3000);
  for (const char* name : kOptionControls) EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
  EXPECT_TRUE(Green());
  EXPECT_EQ(sink.Messages().size(), 1u);
  EXPECT_TRUE(messages.empty()) << messages[0];
}

// Closing mid-run must not free the engine under the running table: it stops the run,
// lets the finishing steps end and then closes.
TEST_F(WindowRunTest, ClosingDuringARunStopsItAndClosesAfterTheFinishingSteps) {
  FillOptions();
  WriteAnatom(6000);
  Find<QListWidget>("clbListe1")->item(2)->setCheckState(Qt::Checked);
  bool closed_mid_run = true;
  QTimer::singleShot(0, window.get(), [&] { closed_mid_run = window->close(); });
  Find<QPushButton>("btnTransfert")->click();
  EXPECT_FALSE(closed_mid_run);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(Green());
  EXPECT_LT(Count("Region"), 6000);
  EXPECT_EQ(sink.Messages().size(), 1u);
}

// At the end of a run the summary is in its tab: the rows and numbers of RESUME.csv,
// refused counts marked, and each row's table log a click away.
TEST_F(WindowRunTest, TheSummaryOfASampleClinicRunShowsRESUMEAndOpensTheLogs) {
  FillOptions();
  sample::WriteSampleClinic({folder + "/clinic", 7, 1});
  std::filesystem::copy(folder + "/clinic/radio", legacy,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  std::vector<std::string> opened;
  gui::SetOpenHandler([&](const std::string& path) { opened.push_back(path); });
  Find<QPushButton>("btnTousListe1")->click();                           // every reference table
  Find<QListWidget>("clbListe2")->item(12)->setCheckState(Qt::Checked);  // Paiement
  // The tables (the first line of the label) whose bar showed a count of known total,
  // and those whose bar was seen full.
  std::set<std::string> counted, full;
  auto* bar = Find<QProgressBar>("pbTable");
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    if (bar->maximum() != 1000) return;
    const std::string label = Find<QLabel>("lblOperations")->text().section('\n', 0, 0).toStdString();
    counted.insert(label);
    if (value == 1000) full.insert(label);
  });
  Find<QPushButton>("btnTransfert")->click();
  EXPECT_EQ(Find<QTabWidget>("pcTransfert")->currentWidget()->objectName(), "tbResume");

  std::ifstream in(window->Run().LogFolder() + "RESUME.csv", std::ios::binary);
  std::vector<std::vector<std::string>> csv;
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    csv.push_back({});
    std::stringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ';');) csv.back().push_back(cell);
  }
  auto* table = Find<QTableWidget>("tblResume");
  ASSERT_EQ(table->rowCount(), static_cast<int>(csv.size()));
  ASSERT_EQ(csv.size(), 27u);  // the 26 reference tables and the payments
  const QColor plain = table->item(0, 1)->background().color();
  for (int row = 0; row < table->rowCount(); ++row) {
    const std::vector<std::string>& expected = csv[static_cast<size_t>(row)];
    // Name and counts (seconds and rates are rounded apart).
    for (int column = 0; column <= 8; ++column) {
      EXPECT_EQ(table->item(row, column)->text().toStdString(), expected[static_cast<size_t>(column)])
          << expected[0] << " column " << column;
    }
    EXPECT_EQ(table->item(row, 11)->text().left(3).toStdString(), expected[11]) << expected[0];
    const bool refused = expected[3] != "0";
    EXPECT_EQ(table->item(row, 3)->background().color() != plain, refused) << expected[0];
  }
  // Each table that read records ended with its bar full (one routine reads two).
  const auto read_some = std::count_if(csv.begin(), csv.end(), [](const auto& row) { return row[1] != "0"; });
  EXPECT_EQ(full, counted);
  EXPECT_GE(static_cast<int64_t>(full.size()), read_some) << ::testing::PrintToString(full);
  // The sample's regions hold one repeated code: a refused record, marked.
  EXPECT_EQ(table->item(2, 0)->text(), "Anatom");
  EXPECT_EQ(table->item(2, 3)->text(), "1");

  table->selectRow(2);
  Find<QPushButton>("btnOuvrirJournal")->click();
  Find<QPushButton>("btnOuvrirJournaux")->click();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], window->Run().LogFolder() + "TableAnatom.txt");
  EXPECT_TRUE(std::filesystem::exists(opened[0]));
  EXPECT_EQ(opened[1], window->Run().LogFolder());
  gui::SetOpenHandler(nullptr);
}

// "Verifier" after a run: the report in its tab, and a message when a legacy record
// is missing from the target (here a payment deleted by hand after the run).
TEST_F(WindowRunTest, VerifierShowsTheReportAndSaysWhenARecordIsMissing) {
  FillOptions();
  {
    ff2::Ff2Writer writer(legacy + "/Paiement.FF2");
    for (const auto& f : sample::LegacyLayout("Paiement")) writer.AddField(f.name, f.type, f.size);
    for (const auto& index : sample::LegacyIndexes("Paiement")) writer.AddIndex(index.name, index.fields);
    for (int64_t id : {4, 5, 6}) {
      writer.AppendRecord(sample::LegacyRow(
          "Paiement",
          {{"AutoNum", Variant(id)}, {"EcDate", Variant(EncodeDate(2010, 3, 1))}, {"Paye", Variant(Currency{10000})}}));
    }
    // Outside the run's dates: not the run's, not the verification's.
    writer.AppendRecord(
        sample::LegacyRow("Paiement", {{"AutoNum", Variant(int64_t{7})}, {"EcDate", Variant(EncodeDate(2015, 3, 1))}}));
    writer.Finish();
  }
  Find<QListWidget>("clbListe2")->item(12)->setCheckState(Qt::Checked);  // Paiement
  Find<QPushButton>("btnTransfert")->click();
  ASSERT_EQ(Count("PAIEMENT"), 3);
  messages.clear();

  auto* report = Find<QPlainTextEdit>("memoVerification");
  Find<QPushButton>("btnVerifier")->click();
  EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
  EXPECT_EQ(Find<QTabWidget>("pcTransfert")->currentWidget()->objectName(), "tbVerification");
  EXPECT_NE(report->toPlainText().indexOf(QRegularExpression("\\nPaiement +3 +3 +0 +0 +0")), -1)
      << report->toPlainText().toStdString();

  {
    fib::TpFIBDatabase db;
    db.DatabaseName = database;
    db.UseMainConnectionSettings();
    db.Open();
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("DELETE FROM PAIEMENT WHERE ID_PAIEMENT = 5", {}, &db));
  }
  Find<QPushButton>("btnVerifier")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Des enregistrements de l'ancien systeme manquent dans la cible: voir l'onglet Verification");
  EXPECT_NE(report->toPlainText().indexOf("Manquants de Paiement: 5"), -1) << report->toPlainText().toStdString();
}

// "Inspecter" before a run: what the migration would refuse, in its tab, and nothing
// written to the target.
TEST_F(WindowRunTest, InspecterShowsWhatTheMigrationWouldRefuseAndWritesNothing) {
  FillOptions();
  {
    ff2::Ff2Writer writer(legacy + "/Anatom.FF2");
    for (const auto& f : sample::LegacyLayout("Anatom")) writer.AddField(f.name, f.type, f.size);
    for (const char* code : {"R0", "R1", "R1"}) writer.AppendRecord({Variant(code), Variant("region")});
    writer.Finish();
  }
  ASSERT_EQ(Find<QListWidget>("clbListe1")->item(2)->text(), "Anatom");
  Find<QListWidget>("clbListe1")->item(2)->setCheckState(Qt::Checked);
  const int64_t regions = Count("REGION");
  Find<QPushButton>("btnInspecter")->click();
  EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
  EXPECT_EQ(Find<QTabWidget>("pcTransfert")->currentWidget()->objectName(), "tbInspection");
  const QString report = Find<QPlainTextEdit>("memoInspection")->toPlainText();
  // Three read, two to add, the second R1 refused.
  EXPECT_NE(report.indexOf(QRegularExpression("\\nAnatom +3 +2 +1 +0 +0 +0\\n")), -1) << report.toStdString();
  EXPECT_NE(report.indexOf("Refuse    Anatom R1: Table destination: Region a deja cette cle: R1"), -1)
      << report.toStdString();
  EXPECT_EQ(Count("REGION"), regions);
  EXPECT_TRUE(std::filesystem::exists(window->Run().InspectionFile)) << window->Run().InspectionFile;
}

TEST_F(WindowRunTest, InvalidOptionsShowOneMessageAndChangeNothing) {
  Find<QPushButton>("btnTransfert")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_FALSE(Green());
  EXPECT_TRUE(Find<QPushButton>("btnTransfert")->isEnabled());
  EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(WindowRunTest, TestEmailSendsTheNoticeAndReportsABadPort) {
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(sink.Messages().size(), 1u);
  EXPECT_TRUE(errors.empty());
  Find<QLineEdit>("edPort")->setText("");
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(sink.Messages().size(), 1u);
}

}  // namespace
}  // namespace korvel
