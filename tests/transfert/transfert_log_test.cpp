#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "global/database_error.h"
#include "global/date_time.h"
#include "global/text_encoding.h"
#include "source/transfert/transfert_log_mgr.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

const std::string kRule(44, '=');
const std::string kShort(15, '=');

// Each test runs in a scratch folder of its own, with a clock it sets.
class TransfertLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::current_path();
    scratch_ = home_ / ("scratch-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
    fs::current_path(scratch_);
    SetTime(2012, 1, 31, 14, 5, 9);
  }
  void TearDown() override {
    fs::current_path(home_);
    fs::remove_all(scratch_);
  }

  void SetTime(int y, int mo, int d, int h, int mi, int s) { now_ = EncodeDateTime(DateParts{y, mo, d, h, mi, s, 0}); }
  TTransfertLogMgr::Clock Clock() {
    return [this] { return now_; };
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  // The expected file, written here in UTF-8 with "\r\n".
  static std::string Cp(const std::string& utf8) { return Utf8ToCp1252(utf8); }
  static fs::path Day(const std::string& yyyymmdd) { return fs::path("LogErreur") / yyyymmdd; }

  static std::string TableStart(const std::string& name, const std::string& ts) {
    return kShort + name + ".txt" + kShort + "\r\nDébut du transfert:: " + ts + "\r\n";
  }
  static std::string TableEnd(int copied, const std::string& ts) {
    return "Nombre total de Record de transferer : " + std::to_string(copied) + "\r\nFin du transfert  :: " + ts +
           "\r\n" + kRule + "\r\n";
  }
  static std::string RunStart(const std::string& ts) {
    return kRule + "\r\nDébut du transfert:: " + ts + "\r\n" + kRule + "\r\n\r\n";
  }
  static std::string RunEnd(const std::string& ts) {
    return kRule + "\r\nFin du transfert  :: " + ts + "\r\n" + kRule + "\r\n";
  }
  static std::string ReportLine(const std::string& name, int copied, int tried) {
    return name + ", Nombre total de Record de transferer : " + std::to_string(copied) + "/" + std::to_string(tried) +
           "\r\n" + kRule + "\r\n\r\n";
  }
  static std::string RecordError(const std::string& line, const std::string& ts) {
    return line + "\r\n" + kRule + "\r\n" + kRule + "\r\nDate Heure: " + ts + "\r\n";
  }

  static std::string Message(const std::string& message, const std::string& ts) {
    return kRule + "\r\n" + message + "\r\nDate Heure: " + ts + "\r\n" + kRule + "\r\n";
  }

  static LogRecord AnatomRecord() {
    return LogRecord({{"CODE", false, "AB"}, {"NOTE", true, "long memo"}, {"DESCRIPTION", false, "Abdomen"}});
  }

  fs::path home_, scratch_;
  TDateTime now_;
};

const std::string kTs = "2012-01-31 14:05:09";

TEST_F(TransfertLogTest, TableWithoutErrorHasStartAndEndBlocksOnly) {
  TTransfertLogMgr log(Clock());
  log.StartTransfertLog();
  log.StartTableLog("TableAnatom");
  SetTime(2012, 1, 31, 14, 6, 0);
  log.EndTableLog(124, 124);
  log.EndTransfertLog();

  const std::string table = Read(Day("20120131") / "TableAnatom.txt");
  EXPECT_EQ(table, Cp(TableStart("TableAnatom", kTs) + TableEnd(124, "2012-01-31 14:06:00")));
  EXPECT_NE(table.find("D\xE9"
                       "but"),
            std::string::npos);  // one byte per accented letter
  EXPECT_EQ(Read(Day("20120131") / "RAPPORT FINAL.txt"),
            Cp(RunStart(kTs) + ReportLine("TableAnatom", 124, 124) + RunEnd("2012-01-31 14:06:00")));
  log.Close();
  EXPECT_FALSE(fs::exists(Day("20120131") / "Monitor Log.txt"));
  EXPECT_FALSE(fs::exists(Day("20120131") / "Log Generique.txt"));
}

TEST_F(TransfertLogTest, RejectedRecordGivesTheNumberedLineWithTheRecordAndTheReason) {
  {
    // An older file of the same name is replaced.
    fs::create_directories(Day("20120131"));
    std::ofstream(Day("20120131") / "TableAnatom.txt") << "old content that is longer than the new one";
  }
  TTransfertLogMgr log(Clock());
  log.StartTableLog("TableAnatom");
  const EDatabaseError duplicate("violation of PRIMARY or UNIQUE KEY constraint", {335544569, 335544665, 335544838});
  log.TableErrorLog(std::runtime_error("not a database error"), AnatomRecord());
  log.TableErrorLog("Message du convertisseur", false);
  log.TableErrorLog(duplicate, AnatomRecord());
  log.TableErrorLog(duplicate, AnatomRecord());
  EXPECT_EQ(log.TblError(), 3);
  log.EndTableLog(120, 124);

  const std::string dump = "CODE: AB DESCRIPTION: Abdomen ";
  const std::string expected =
      TableStart("TableAnatom", kTs) + RecordError("   Erreur : 1 :  -> " + dump + "not a database error", kTs) +
      Message("Message du convertisseur", kTs) +
      RecordError("   Erreur : 2 :  -> " + dump + "'AB              - clé déjà présente  - 2, '" + duplicate.what(),
                  kTs) +
      RecordError(
          std::string(
              "   Erreur : 3 :  -> CODE: AB DESCRIPTION: Abdomen 'AB              - clé déjà présente  - 3, '") +
              duplicate.what(),
          kTs) +
      TableEnd(120, kTs);
  EXPECT_EQ(Read(Day("20120131") / "TableAnatom.txt"), Cp(expected));

  // The count starts again with the next table.
  log.StartTableLog("TableAutre");
  EXPECT_EQ(log.TblError(), 0);
}

TEST_F(TransfertLogTest, ClassificationSegmentByErrorKind) {
  struct Case {
    const char* what;
    EDatabaseError error;
    LogRecord record;
    std::string expected_line;
  };
  const LogRecord two({{"CODE", false, "AB"}, {"DESCRIPTION", false, "Abdomen"}});
  const std::string dump = "CODE: AB DESCRIPTION: Abdomen ";
  const Case cases[] = {
      {"validation", EDatabaseError("validation error", {335544347}), two,
       dump + "'AB, Abdomen     -  Valeur invalide ou null... - 1, 'validation error"},
      {"foreign key", EDatabaseError("FK", {335544466}), two, dump + "'AB        -  erreur de clé étrangère - 1, 'FK"},
      {"unique key", EDatabaseError("dup", {335544665}), two, dump + "'AB              - clé déjà présente  - 1, 'dup"},
      {"other code, server message with bare line feeds",
       EDatabaseError("arithmetic overflow\nstring truncation", {335544569, 335544321}), two,
       dump + "'AB, Abdomen              -  arithmetic overflow\r\nstring truncation... - 1, '"
              "arithmetic overflow\r\nstring truncation"},
      {"no server code", EDatabaseError("Fichier TableAnatom.FF2 tronqué"), two,
       dump + "'AB, Abdomen              -  Erreur sans code du serveur... - 1, 'Fichier TableAnatom.FF2 tronqué"},
      {"one field", EDatabaseError("x", {335544347}), LogRecord({{"CODE", false, "AB"}}),
       "CODE: AB 'AB,      -  Valeur invalide ou null... - 1, 'x"},
      {"no field", EDatabaseError("y", {335544466}), LogRecord(), "'        -  erreur de clé étrangère - 1, 'y"},
      {"first field blob-like: left out of the dump, still in the segment", EDatabaseError("z", {335544665}),
       LogRecord({{"MEMO", true, "texte"}, {"CODE", false, "AB"}}),
       "CODE: AB 'texte              - clé déjà présente  - 1, 'z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTransfertLogMgr log(Clock());
    log.StartTableLog("T");
    log.TableErrorLog(c.error, c.record);
    log.EndTableLog(0, 1);
    EXPECT_EQ(Read(Day("20120131") / "T.txt"),
              Cp(TableStart("T", kTs) + RecordError("   Erreur : 1 :  -> " + c.expected_line, kTs) + TableEnd(0, kTs)));
  }
}

TEST_F(TransfertLogTest, MessageWithCallStackHasFourEmptyLines) {
  TTransfertLogMgr log(Clock());
  log.StartTableLog("TablePatient");
  log.TableErrorLog("Erreur de conversion", true);
  log.EndTableLog(0, 0);
  EXPECT_EQ(Read(Day("20120131") / "TablePatient.txt"),
            Cp(TableStart("TablePatient", kTs) + kRule + "\r\nErreur de conversion\r\n\r\n\r\n\r\n\r\nDate Heure: " +
               kTs + "\r\n" + kRule + "\r\n" + TableEnd(0, kTs)));
}

TEST_F(TransfertLogTest, FinalReportHoldsEveryRunOfTheManager) {
  TTransfertLogMgr log(Clock());
  const fs::path report = Day("20120131") / "RAPPORT FINAL.txt";
  log.StartTransfertLog();
  log.StartTableLog("TableAnatom");
  log.EndTableLog(120, 124);
  SetTime(2012, 1, 31, 15, 0, 0);
  log.EndTransfertLog();
  const std::string run1 = RunStart(kTs) + ReportLine("TableAnatom", 120, 124) + RunEnd("2012-01-31 15:00:00");
  EXPECT_EQ(Read(report), Cp(run1));

  SetTime(2012, 1, 31, 16, 0, 0);
  log.StartTransfertLog();
  log.StartTableLog("TableAnatom");
  log.EndTableLog(124, 124);
  log.StartTableLog("TablePatient");
  log.EndTableLog(7, 9);
  log.EndTransfertLog();
  const std::string ts = "2012-01-31 16:00:00";
  EXPECT_EQ(Read(report), Cp(run1 + RunStart(ts) + ReportLine("TableAnatom", 124, 124) +
                             ReportLine("TablePatient", 7, 9) + RunEnd(ts)));
}

TEST_F(TransfertLogTest, RunCrossingMidnightWritesLaterFilesInTheNewDaysFolder) {
  TTransfertLogMgr log(Clock());
  log.StartTransfertLog();
  log.StartTableLog("TableAnatom");
  log.EndTableLog(1, 1);
  SetTime(2012, 1, 31, 23, 0, 0);
  log.EndTransfertLog();
  const std::string run1 = RunStart(kTs) + ReportLine("TableAnatom", 1, 1) + RunEnd("2012-01-31 23:00:00");

  SetTime(2012, 1, 31, 23, 59, 50);
  log.StartTransfertLog();
  log.StartTableLog("TablePatient");
  log.GenericErrorLog("avant minuit");
  SetTime(2012, 2, 1, 0, 0, 5);
  log.EndTableLog(2, 2);
  log.EndTransfertLog();
  log.Close();

  // Each file is where, and as, a whole-text save at its save point puts it.
  EXPECT_FALSE(fs::exists(Day("20120131") / "TablePatient.txt"));
  EXPECT_FALSE(fs::exists(Day("20120131") / "Log Generique.txt"));
  EXPECT_EQ(Read(Day("20120201") / "TablePatient.txt"),
            Cp(TableStart("TablePatient", "2012-01-31 23:59:50") + TableEnd(2, "2012-02-01 00:00:05")));
  EXPECT_EQ(Read(Day("20120131") / "RAPPORT FINAL.txt"), Cp(run1));
  EXPECT_EQ(
      Read(Day("20120201") / "RAPPORT FINAL.txt"),
      Cp(run1 + RunStart("2012-01-31 23:59:50") + ReportLine("TablePatient", 2, 2) + RunEnd("2012-02-01 00:00:05")));
  EXPECT_EQ(Read(Day("20120201") / "Log Generique.txt"),
            Cp(kRule + "\r\navant minuit\r\n" + kRule + "\r\nDate Heure: 2012-01-31 23:59:50\r\n" + kRule + "\r\n"));
}

TEST_F(TransfertLogTest, MonitorAndGeneralLogs) {
  const std::string generic =
      kRule + "\r\nUSER FORCED STOP\r\n" + kRule + "\r\nDate Heure: " + kTs + "\r\n" + kRule + "\r\n";
  {
    TTransfertLogMgr log(Clock());
    log.GenericErrorLog("USER FORCED STOP");
    log.MonitorLog("gbak: écriture terminée", EncodeDateTime(DateParts{2011, 12, 24, 8, 7, 6, 500}));
    // On disk before the manager closes.
    EXPECT_EQ(Read(Day("20120131") / "Log Generique.txt"), Cp(generic));
    log.MonitorLog("fin", EncodeDateTime(DateParts{2011, 12, 24, 8, 7, 7, 0}));
    log.Close();
  }
  EXPECT_EQ(Read(Day("20120131") / "Log Generique.txt"), Cp(generic));
  EXPECT_EQ(Read(Day("20120131") / "Monitor Log.txt"),
            Cp(kRule + "\r\n2011-12-24 08:07:06: gbak: écriture terminée\r\n" + kRule + "\r\n" + kRule +
               "\r\n2011-12-24 08:07:07: fin\r\n" + kRule + "\r\n"));
}

TEST_F(TransfertLogTest, KilledProcessLeavesEveryEntryLoggedBeforeTheKill) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    TTransfertLogMgr log(Clock());
    log.StartTransfertLog();
    log.StartTableLog("TablePatient");
    for (int i = 0; i < 3; ++i) {
      log.TableErrorLog(EDatabaseError("dup", {335544665}), AnatomRecord());
    }
    log.TableErrorLog("Message", true);
    log.GenericErrorLog("erreur générale");
    log.MonitorLog("moniteur", now_);
    (void)!::write(ready[1], "x", 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  std::string table = TableStart("TablePatient", kTs);
  for (int n = 1; n <= 3; ++n) {
    table += RecordError("   Erreur : " + std::to_string(n) +
                             " :  -> CODE: AB DESCRIPTION: Abdomen 'AB              - clé déjà présente  - " +
                             std::to_string(n) + ", 'dup",
                         kTs);
  }
  table += kRule + "\r\nMessage\r\n\r\n\r\n\r\n\r\nDate Heure: " + kTs + "\r\n" + kRule + "\r\n";
  EXPECT_EQ(Read(Day("20120131") / "TablePatient.txt"), Cp(table));
  EXPECT_EQ(Read(Day("20120131") / "RAPPORT FINAL.txt"), Cp(RunStart(kTs)));
  EXPECT_EQ(Read(Day("20120131") / "Log Generique.txt"),
            Cp(kRule + "\r\nerreur générale\r\n" + kRule + "\r\nDate Heure: " + kTs + "\r\n" + kRule + "\r\n"));
  EXPECT_EQ(Read(Day("20120131") / "Monitor Log.txt"), Cp(kRule + "\r\n" + kTs + ": moniteur\r\n" + kRule + "\r\n"));
}

TEST_F(TransfertLogTest, TableEndedByAnErrorKeepsItsLinesInItsOwnFile) {
  TTransfertLogMgr log(Clock());
  log.StartTransfertLog();

  // Closed by the driver.
  log.StartTableLog("TableA");
  log.TableErrorLog("Ouverture impossible", false);
  log.CloseTableLog();
  log.CloseTableLog();  // nothing open: no effect
  // Not closed at all: the next table closes it.
  log.StartTableLog("TableB");
  log.TableErrorLog("Ouverture impossible", false);
  log.StartTableLog("TableC");
  log.EndTableLog(5, 5);
  log.EndTransfertLog();

  EXPECT_EQ(Read(Day("20120131") / "TableA.txt"), Cp(TableStart("TableA", kTs) + Message("Ouverture impossible", kTs)));
  EXPECT_EQ(Read(Day("20120131") / "TableB.txt"), Cp(TableStart("TableB", kTs) + Message("Ouverture impossible", kTs)));
  EXPECT_EQ(Read(Day("20120131") / "TableC.txt"), Cp(TableStart("TableC", kTs) + TableEnd(5, kTs)));
  // Only tables that ended have their line in the report.
  EXPECT_EQ(Read(Day("20120131") / "RAPPORT FINAL.txt"), Cp(RunStart(kTs) + ReportLine("TableC", 5, 5) + RunEnd(kTs)));
}

TEST_F(TransfertLogTest, LinesOutsideATableOpenTheNextTablesFile) {
  TTransfertLogMgr log(Clock());
  log.TableErrorLog("avant la table", false);
  log.StartTableLog("TableA");
  log.EndTableLog(0, 0);
  EXPECT_EQ(Read(Day("20120131") / "TableA.txt"),
            Cp(Message("avant la table", kTs) + TableStart("TableA", kTs) + TableEnd(0, kTs)));
}

TEST_F(TransfertLogTest, UnwritableFolder) {
  // A file where the folder should be: nothing can be saved.
  std::ofstream("LogErreur") << "x";
  TTransfertLogMgr log(Clock());
  EXPECT_EQ(log.CreateSaveToFileName("TableA"), (fs::current_path() / "LogErreur" / "20120131").string() + "/");

  log.StartTransfertLog();
  log.StartTableLog("TableA");
  log.TableErrorLog("perdu?", false);
  EXPECT_NO_THROW(log.EndTableLog(1, 2));  // a table log that cannot be saved is ignored
  EXPECT_THROW(log.EndTransfertLog(), std::runtime_error);
  log.GenericErrorLog("general");
  EXPECT_THROW(log.Close(), std::runtime_error);

  // Once the folder can be made, the unsaved table lines open the next table's file.
  fs::remove("LogErreur");
  log.StartTableLog("TableB");
  log.EndTableLog(3, 3);
  EXPECT_EQ(Read(Day("20120131") / "TableB.txt"), Cp(TableStart("TableA", kTs) + Message("perdu?", kTs) +
                                                     TableEnd(1, kTs) + TableStart("TableB", kTs) + TableEnd(3, kTs)));
  log.EndTransfertLog();
  EXPECT_EQ(Read(Day("20120131") / "RAPPORT FINAL.txt"),
            Cp(RunStart(kTs) + ReportLine("TableA", 1, 2) + RunEnd(kTs) + ReportLine("TableB", 3, 3) + RunEnd(kTs)));
  log.Close();
  EXPECT_TRUE(fs::exists(Day("20120131") / "Log Generique.txt"));
}

}  // namespace
}  // namespace korvel
