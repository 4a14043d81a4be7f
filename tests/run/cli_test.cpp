// korvel-cli as a user runs it: a run file, a legacy folder, a target database.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "global/fib/global_fib.h"
#include "global/text_encoding.h"
#include "support/run_fixture.h"
#include "support/target_db.h"
#include "tools/sample_clinic.h"

namespace korvel {
namespace {

using V = Variant;

// Runs a command in the test's folder; returns its exit status and output.
int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The sample clinic's full run file, every item of both lists ticked, into the
// database that `ini` names.
std::string SampleClinicRunFile(const std::string& ini) {
  return "[options]\n"
         "etablissement=CLI01\n"
         "debut=1980-01-01\n"
         "fin=2012-01-01\n"
         "modele_principal=clinic/modele_principal.rtf\n"
         "database_ini=" +
         ini +
         "\n"
         "prefixe_global=KV\n"
         "seuil_patient=2\n"
         "alias=clinic/korvel-aliases.ini\n"
         "generateurs=oui\n"
         "droits=non\n"
         "[prealable]\nTous\n[clinique]\nTous\n";
}

class CliTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    std::ofstream(folder + "/aliases.ini") << "radio=radio\n";
    std::ofstream(folder + "/ffserver.in") << "SOLO\n";
  }

  // The sample clinic in clinic/, and in the target the rows a separate tool loads
  // before a migration (physicians' licence checks...); the fixture's connection is
  // then closed, so korvel-cli has the target to itself.
  void PrepareSampleClinic() {
    sample::WriteSampleClinic({folder + "/clinic", 7, 1});
    Connect();
    std::ifstream prepared(folder + "/clinic/cible.sql");
    for (std::string line; std::getline(prepared, line);) {
      if (line.rfind("INSERT", 0) == 0) Exec(line.substr(0, line.rfind(';')));
    }
    ctx->CommitEtProgress();
    run.reset();
  }

  // The sample clinic prepared, then migrated once with every item ticked (all.run):
  // the run must succeed.
  void MigrateSampleClinic() {
    PrepareSampleClinic();
    std::ofstream(folder + "/all.run") << SampleClinicRunFile("Database.ini");
    std::string output;
    ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " all.run --settings .", &output), 0) << output;
  }

  // RESUME.csv of today's log folder, as UTF-8 with LF line ends.
  std::string ReadCsv() const {
    std::ifstream in(folder + "/LogErreur/" + FormatDateTime("yyyymmdd", Now()) + "/RESUME.csv", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string utf8 = Cp1252ToUtf8(text.str());
    std::erase(utf8, '\r');
    return utf8;
  }
};

TEST_F(CliTest, RunsAMigrationFromARunFile) {
  WriteTable("Anatom", {{V("THX"), V("Thorax")}, {V("THX"), V("doublon")}});
  WriteTable("Modalite", {{V("RX"), V("Radiographie")}});
  std::ofstream(folder + "/clinic.run") << "# a run file\n"
                                           "[options]\n"
                                           "etablissement=CLI01\n"
                                           "debut=2000-01-01\n"
                                           "fin=2011-12-31\n"
                                           "modele_principal=modele.rtf\n"
                                           "database_ini=Database.ini\n"
                                           "prefixe_global=KV\n"
                                           "alias=aliases.ini\n"
                                           "generateurs=oui\n"
                                           "[prealable]\n"
                                           "Anatom\n"
                                           "Modalite\n";
  std::string output;
  const int status = RunCommand(std::string(KORVEL_CLI) + " clinic.run --settings .", &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(Count("Region"), 1);
  EXPECT_EQ(Count("Modalite"), 1);
  EXPECT_TRUE(LogExists("TableAnatom"));
  EXPECT_TRUE(LogExists("TableModalite"));
  // The final report is printed: one line per table with its counts.
  EXPECT_NE(output.find("RAPPORT FINAL"), std::string::npos) << output;
  EXPECT_NE(output.find("TableAnatom, Nombre total de Record de transferer : 1/2"), std::string::npos) << output;
  EXPECT_NE(output.find("TableModalite, Nombre total de Record de transferer : 1/1"), std::string::npos) << output;
  EXPECT_NE(ReadLog("TableAnatom").find("Table destination: Region a deja cette cle: THX"), std::string::npos);
  // No e-mail configured: said once as such.
  EXPECT_NE(output.find("korvel-cli: no SMTP server configured: no e-mail sent"), std::string::npos) << output;
  EXPECT_EQ(output.find("n'est pas un num"), std::string::npos) << output;
  // The summary: printed and beside the logs; each record read is added or refused.
  EXPECT_NE(output.find("RESUME"), std::string::npos) << output;
  const std::string csv = ReadCsv();
  EXPECT_NE(csv.find("\nAnatom;2;1;1;0;0;0;"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nModalite;1;1;0;0;0;0;"), std::string::npos) << csv;
  EXPECT_EQ(csv.find("NON"), std::string::npos) << csv;
}

TEST_F(CliTest, AnUnreachableTargetOrLegacyFolderStopsTheRunBeforeTheFirstTable) {
  WriteTable("Anatom", {{V("THX"), V("Thorax")}});
  const std::string options = "[options]\netablissement=CLI01\nmodele_principal=modele.rtf\nprefixe_global=KV\n";
  std::ofstream(folder + "/Absent.ini") << "DatabaseName=" << folder << "/absent.fdb\n";
  std::ofstream(folder + "/nowhere.ini") << "radio=nulle-part\n";
  std::ofstream(folder + "/nodb.run") << options << "database_ini=Absent.ini\nalias=aliases.ini\n[prealable]\nAnatom\n";
  std::ofstream(folder + "/nolegacy.run") << options
                                          << "database_ini=Database.ini\nalias=nowhere.ini\n"
                                             "[prealable]\nAnatom\n";
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"nodb.run", {"La base de donnees cible ne peut pas etre ouverte: ", "absent.fdb"}},
      {"nolegacy.run", {"Les tables de l'ancien systeme ne peuvent pas etre lues: ", "nulle-part"}},
  };
  for (const auto& [run_file, says] : cases) {
    std::string output;
    EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " " + run_file + " --settings .", &output), 1) << output;
    for (const std::string& text : says) EXPECT_NE(output.find(text), std::string::npos) << run_file << ": " << output;
    EXPECT_NE(output.find("the run did not start"), std::string::npos) << output;
    EXPECT_FALSE(LogExists("TableAnatom")) << run_file;
  }

  // A login the server refuses, through a real server on loopback.
  testing::LoopbackServer server;
  std::string why;
  ASSERT_TRUE(server.Start(&why)) << why;
  {
    fib::TpFIBDatabase db;
    db.DatabaseName = "127.0.0.1:" + database;
    db.UseMainConnectionSettings();
    db.Open();
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("ALTER USER SYSDBA PASSWORD 'autre'", {}, &db));
  }
  std::ofstream(folder + "/Server.ini") << "DatabaseName=127.0.0.1:" << database << "\n";
  std::ofstream(folder + "/login.run") << options
                                       << "database_ini=Server.ini\nalias=aliases.ini\n[prealable]\nAnatom\n";
  std::string output;
  EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " login.run --settings .", &output), 1) << output;
  EXPECT_NE(output.find("Your user name and password are not defined"), std::string::npos) << output;
  server.Stop();
}

TEST_F(CliTest, AllReferenceTablesOfASampleClinicWithTheBackupBetweenTheLists) {
  sample::WriteSampleClinic({folder + "/clinic", 3, 1});
  std::ofstream(folder + "/all.run") << "[options]\n"
                                        "etablissement=CLI01\n"
                                        "modele_principal=modele.rtf\n"
                                        "database_ini=Database.ini\n"
                                        "prefixe_global=KV\n"
                                        "alias=clinic/korvel-aliases.ini\n"
                                        "[prealable]\nTous\n";
  std::string output;
  ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " all.run --settings .", &output), 0) << output;
  const std::string report = ReadLog("RAPPORT FINAL");
  for (const char* log :
       {"TableAnatom", "TableModalite", "TableDicto", "TableMotCorr", "TableDiagnos", "TableTypePres", "TableTxtProto",
        "TableExport", "TableModific", "TableModSoft", "TableModCompl", "TableRemMajoree", "TableCodeTransac",
        "Table.Activite", "TableEtatType", "TableEtatTypeTitre"}) {
    EXPECT_TRUE(LogExists(log)) << log;
    EXPECT_NE(report.find(std::string(log) + ", Nombre total de Record de transferer : "), std::string::npos) << log;
  }
  // Counts as the sample clinic holds them: 22 regions, one repeated; 6 billing types, two alike.
  EXPECT_NE(report.find("TableAnatom, Nombre total de Record de transferer : 21/22"), std::string::npos) << report;
  EXPECT_NE(report.find("TableTypePres, Nombre total de Record de transferer : 5/6"), std::string::npos) << report;
  EXPECT_NE(ReadLog("Monitor Log").find("Fin restore: RIS_APRES_PREALABLE_"), std::string::npos);
  bool backup = false;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(database).parent_path())) {
    backup |= entry.path().filename().string().rfind("RIS_APRES_PREALABLE_", 0) == 0;
  }
  EXPECT_TRUE(backup);
}

// Every row of every final table (staging tables left out), each row the text of its
// columns, sorted: what a second run must leave exactly as it found it. With
// `maskToday`, a value stamped today (a creation time the target gives a row when it
// is inserted) reads "<today>": the sample clinic's own dates are all years old.
std::map<std::string, std::vector<std::string>> FinalTables(const std::string& database, bool maskToday = false,
                                                            bool staging = false) {
  const std::string today = FormatDateTime("yyyy-mm-dd", Now());
  fib::TpFIBDatabase db;
  testing::OpenTarget(db, database);
  fib::TpFIBTransaction transaction(&db);
  transaction.StartTransaction();
  std::vector<std::string> names;
  fib::TpFIBQuery tables(&db, &transaction);
  tables.SetSQLText(
      std::string("SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 AND RDB$VIEW_BLR IS "
                  "NULL") +
      (staging ? "" : " AND RDB$RELATION_NAME NOT STARTING WITH 'TMP'"));
  for (tables.ExecQuery(); !tables.Eof(); tables.Next()) names.push_back(tables.Fields(0).AsString());
  tables.Close();
  std::map<std::string, std::vector<std::string>> content;
  for (const std::string& name : names) {
    fib::TpFIBQuery rows(&db, &transaction);
    rows.SetSQLText("SELECT * FROM \"" + name + "\"");
    std::vector<std::string>& table = content[name];
    for (rows.ExecQuery(); !rows.Eof(); rows.Next()) {
      std::string row;
      for (int i = 0; i < rows.FieldCount(); ++i) {
        std::string value = rows.Fields(i).IsNull() ? std::string("<null>") : rows.Fields(i).AsString();
        if (maskToday && value.rfind(today, 0) == 0) value = "<today>";
        row += value + '|';
      }
      table.push_back(std::move(row));
    }
    rows.Close();
    std::sort(table.begin(), table.end());
  }
  if (staging) {
    // And the generators' values, which live outside transactions.
    std::vector<std::string> generators;
    tables.SetSQLText("SELECT TRIM(RDB$GENERATOR_NAME) FROM RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    for (tables.ExecQuery(); !tables.Eof(); tables.Next()) generators.push_back(tables.Fields(0).AsString());
    tables.Close();
    for (const std::string& name : generators) {
      tables.SetSQLText("SELECT GEN_ID(\"" + name + "\", 0) FROM RDB$DATABASE");
      tables.ExecQuery();
      content["<generateurs>"].push_back(name + "=" + tables.Fields(0).AsString());
      tables.Close();
    }
  }
  transaction.Commit();
  return content;
}

TEST_F(CliTest, TheSampleClinicRunTwiceLeavesEveryFinalTableAsTheFirstRunLeftIt) {
  ASSERT_NO_FATAL_FAILURE(MigrateSampleClinic());
  std::string output;
  const auto first = FinalTables(database);
  ASSERT_GT(first.at("VISITE").size(), 1000u);
  ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " all.run --settings .", &output), 0) << output;
  const auto second = FinalTables(database);
  for (const auto& [name, rows] : first) {
    EXPECT_EQ(second.at(name).size(), rows.size()) << name;
    EXPECT_TRUE(second.at(name) == rows) << name;
  }
  // The second run refuses no row a move of the first run already migrated.
  const std::string day = folder + "/LogErreur/" + FormatDateTime("yyyymmdd", Now());
  for (const auto& entry : std::filesystem::directory_iterator(day)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("Refuse par"), std::string::npos) << entry.path();
  }
}

TEST_F(CliTest, TheVerificationAccountsForEveryLegacyRecordAndListsRowsDeletedAfterTheRun) {
  ASSERT_NO_FATAL_FAILURE(MigrateSampleClinic());
  std::string output;
  const auto before = FinalTables(database);

  output.clear();
  EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " --verifier all.run", &output), 0) << output;
  // Patient 1 is under the run's first patient number (2): passed over, not missing.
  EXPECT_NE(output.find("\nPatient                        2000       1999        0        1          0"),
            std::string::npos)
      << output;
  for (const char* item : {"\nPrescription (visite) ", "\nExamen ", "\nPaiement ", "\nLog ", "\nPretFilm "}) {
    EXPECT_NE(output.find(item), std::string::npos) << item << output;
  }
  EXPECT_EQ(output.find("Manquants de"), std::string::npos) << output;
  // It only read: the target is as the run left it.
  EXPECT_TRUE(FinalTables(database) == before);

  // Rows deleted by hand after the run are missing, and only they.
  fib::TpFIBDatabase db;
  testing::OpenTarget(db, database);
  const std::string firstEntry = [&] {
    fib::TpFIBTransaction read(&db);
    read.StartTransaction();
    fib::TpFIBQuery entry(&db, &read);
    entry.SetSQLText("SELECT MIN(ID_LOG) FROM LOG");
    entry.ExecQuery();
    const std::string id = entry.Fields(0).AsString();
    read.Commit();
    return id;
  }();
  for (const std::string& sql :
       std::vector<std::string>{"DELETE FROM PAIEMENT WHERE ID_PAIEMENT IN (3, 17)",
                                "DELETE FROM ETAT WHERE ID_ETAT = 5", "DELETE FROM LOG WHERE ID_LOG = " + firstEntry}) {
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit(sql, {}, &db)) << sql;
  }
  db.Close();
  output.clear();
  EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " --verifier all.run", &output), 4) << output;
  EXPECT_NE(output.find("\nManquants de Etat: 5\nManquants de Paiement: 3, 17\nManquants de Log: " + firstEntry + "\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("legacy records are missing from the target"), std::string::npos) << output;
  const std::string day = folder + "/LogErreur/" + FormatDateTime("yyyymmdd", Now());
  EXPECT_TRUE(std::filesystem::exists(day + "/VERIFICATION.txt"));
}

// The lines of a table log that name a refused record: a key found again, an empty
// key, a record the target or the converter refused (its number in the log aside).
std::multiset<std::string> RefusalEntries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::multiset<std::string> entries;
  std::string entry;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("======", 0) == 0 || line.rfind("Date Heure:", 0) == 0) {
      if (!entry.empty()) entries.insert(entry);
      entry.clear();
      continue;
    }
    const size_t arrow = line.find(" :  -> ");
    if (line.rfind("   Erreur : ", 0) == 0 && arrow != std::string::npos) {
      entry = line.substr(arrow);
    } else if (!entry.empty()) {
      entry += "\n" + line;  // the rest of the server's message
    } else if (line.find(" a deja cette cle") != std::string::npos ||
               line.find(" a une cle vide") != std::string::npos ||
               line.find(" ne contient pas cette cle") != std::string::npos) {
      entries.insert(line);
    }
  }
  if (!entry.empty()) entries.insert(entry);
  return entries;
}

// Lines of a CSV file of the logs (Windows-1252, CR LF), split at ';' (no field of
// these holds one but the last, the values, which is not read).
std::vector<std::vector<std::string>> CsvRows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream split(Cp1252ToUtf8(line));
    for (std::string field; std::getline(split, field, ';');) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

TEST_F(CliTest, TheInspectionPredictsTheRecordsTheMigrationRefusesAndPassesOverAndWritesNothing) {
  PrepareSampleClinic();
  std::ofstream(folder + "/all.run") << SampleClinicRunFile("Database.ini");
  const auto before = FinalTables(database, false, true);
  std::string output;
  // The sample clinic holds records a migration refuses: findings, exit 4.
  ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " --inspecter all.run --settings .", &output), 4) << output;
  EXPECT_NE(output.find("\nINSPECTION\n"), std::string::npos) << output;
  const auto after = FinalTables(database, false, true);
  for (const auto& [name, rows] : before) EXPECT_TRUE(after.at(name) == rows) << name << ": the inspection wrote there";

  const std::string day = folder + "/LogErreur/" + FormatDateTime("yyyymmdd", Now());
  ASSERT_TRUE(std::filesystem::exists(day + "/INSPECTION.txt"));
  // Per item: what the inspection predicts refused and passed over, and the tables it
  // could not inspect.
  std::map<std::string, std::pair<int64_t, int64_t>> predicted;
  std::map<std::string, int64_t> orphans;
  std::set<std::string> partial;
  const auto findings = CsvRows(day + "/INSPECTION.csv");
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0][0], "Table");
  for (size_t i = 1; i < findings.size(); ++i) {
    ASSERT_GE(findings[i].size(), 3u);
    const std::string& item = findings[i][0];
    const std::string& kind = findings[i][2];
    if (kind == "Refuse") ++predicted[item].first;
    if (kind == "Ignore") ++predicted[item].second;
    if (kind == "Non inspectee") partial.insert(item);
    if (kind == "Orphelin") ++orphans[item];
  }
  // The inspection's table logs, before the migration writes its own day folder.
  std::map<std::string, std::multiset<std::string>> inspected_logs;
  for (const auto& entry : std::filesystem::directory_iterator(day + "/Inspection")) {
    const std::string name = entry.path().stem().string();
    if (name.rfind("Table", 0) == 0) inspected_logs[name] = RefusalEntries(entry.path().string());
  }
  ASSERT_FALSE(inspected_logs.empty());

  output.clear();
  ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " all.run --settings .", &output), 0) << output;
  int compared = 0;
  for (const auto& row : CsvRows(day + "/RESUME.csv")) {
    if (row.size() < 5 || row[0] == "Table" || partial.count(row[0])) continue;
    EXPECT_EQ(predicted[row[0]].first, std::stoll(row[3])) << row[0] << " refused";
    EXPECT_EQ(predicted[row[0]].second, std::stoll(row[4])) << row[0] << " passed over";
    ++compared;
  }
  EXPECT_GT(compared, 40);
  // By key: each inspected table's log names the records the migration's log names.
  for (const auto& [name, entries] : inspected_logs) {
    EXPECT_EQ(entries, RefusalEntries(day + "/" + name + ".txt")) << name;
  }
  // Visits whose patient is not in the target (none, or under the first patient
  // number): each predicted, as many as the move then drops.
  const std::string visits = ReadLog("TablePrescription");
  const std::smatch dropped = [&] {
    std::smatch m;
    std::regex_search(visits, m, std::regex("(\\d+) lignes de tmpVisite sans patient dans la base supprimees"));
    return m;
  }();
  ASSERT_FALSE(dropped.empty()) << visits;
  EXPECT_EQ(orphans["Prescription (visite)"], std::stoll(dropped[1].str()));
  EXPECT_EQ(orphans.size(), 1u);
}

// Runs korvel-cli in `folder` and sends `signal` to it once a line of its output holds
// `when`; returns its exit status (-signal when the signal ended it) and its output.
int RunCliUntil(const std::string& folder, const std::string& runFile, const std::string& when, int signal,
                std::string* output) {
  int out[2];
  if (pipe(out) != 0) return -100;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    if (chdir(folder.c_str()) != 0) _exit(127);
    execl(KORVEL_CLI, KORVEL_CLI, runFile.c_str(), "--settings", ".", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* in = fdopen(out[0], "r");
  bool sent = false;
  char line[4096];
  while (fgets(line, sizeof line, in)) {
    output->append(line);
    if (!sent && std::string(line).find(when) != std::string::npos) {
      kill(pid, signal);
      sent = true;
    }
  }
  fclose(in);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -100;
}

// An operator's "Stop" (Ctrl-C) during each long clinical table, or the program killed
// outright, then the same run file again: every final table ends as one uninterrupted
// run leaves it (creation times aside).
TEST_F(CliTest, AStopOrAKillThenTheSameRunAgainGivesTheTargetOfAnUninterruptedRun) {
  PrepareSampleClinic();
  struct Case {
    const char* name;
    const char* when;  // the output line at which the run is interrupted
    int signal;
  };
  const Case cases[] = {
      {"uninterrupted", "", 0},
      {"stop-visits", "Table Visite  Transfert des donnees", SIGINT},
      {"stop-examinations", "Table Examen  Transfert des donnees", SIGINT},
      {"stop-payments", "Table Paiement  Transfert des donnees", SIGINT},
      {"stop-journal", "Table Log  Transfert des donnees", SIGINT},
      // Killed while the visits' final table has its indexes off, and while the
      // examinations complete their staged rows.
      {"kill-visits", "Table Visite  Finalisation du transfert", SIGKILL},
      {"kill-examinations", "Table Examen   InsertActeTmp", SIGKILL},
  };
  std::map<std::string, std::vector<std::string>> expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string target = folder + "/" + c.name + ".fdb";
    std::filesystem::copy_file(database, target);
    const std::string name = c.name;
    std::ofstream(folder + "/" + name + ".ini") << "DatabaseName=" << target << "\n";
    std::ofstream(folder + "/" + name + ".run") << SampleClinicRunFile(name + ".ini");
    std::string output;
    if (c.signal != 0) {
      const int status = RunCliUntil(folder, name + ".run", c.when, c.signal, &output);
      if (c.signal == SIGKILL) {
        ASSERT_EQ(status, -SIGKILL) << output;
      } else {
        ASSERT_NE(output.find("stop requested"), std::string::npos) << output;
      }
      output.clear();
    }
    ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " " + name + ".run --settings .", &output), 0) << output;
    const auto tables = FinalTables(target, true);
    if (expected.empty()) {
      expected = tables;
      ASSERT_GT(expected.at("VISITE").size(), 1000u);
      continue;
    }
    for (const auto& [table, rows] : expected) {
      EXPECT_EQ(tables.at(table).size(), rows.size()) << table;
      if (tables.at(table) == rows) continue;
      std::vector<std::string> missing, extra;
      std::set_difference(rows.begin(), rows.end(), tables.at(table).begin(), tables.at(table).end(),
                          std::back_inserter(missing));
      std::set_difference(tables.at(table).begin(), tables.at(table).end(), rows.begin(), rows.end(),
                          std::back_inserter(extra));
      ADD_FAILURE() << table << ": " << missing.size() << " rows missing, first " << (missing.empty() ? "" : missing[0])
                    << "; " << extra.size() << " rows extra, first " << (extra.empty() ? "" : extra[0]);
    }
  }
}

TEST_F(CliTest, InvalidRunFilesAndRefusedOptionsExitNonZero) {
  struct Case {
    const char* text;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"[options]\nfin=2012-13-45\n", 2, "fin: \"2012-13-45\" is not a date"},
      {"[prealable]\nNulle part\n", 2, "\"Nulle part\" is not an item"},
      {"[options]\nvitesse=max\n", 2, "unknown option \"vitesse\""},
      {"[options]\netablissement=CLI01\nmodele_principal=modele.rtf\ndatabase_ini=Database.ini\n", 1,
       "Un préfix global est obligatoire"},
  };
  for (const Case& c : cases) {
    std::ofstream(folder + "/bad.run") << c.text;
    std::string output;
    EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " bad.run --settings .", &output), c.status) << c.text << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << output;
  }
  std::string output;
  EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " absent.run", &output), 2);
  EXPECT_NE(output.find("cannot read the run file \"absent.run\""), std::string::npos) << output;
}

}  // namespace
}  // namespace korvel
