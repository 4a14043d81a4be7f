// Batched inserts and in-memory duplicate checks against the one-record-at-a-time
// path: the same work on two fresh targets must leave every table (timestamps to the
// millisecond), every generator, every table log and "Log Generique" identical (the
// log lines' own times aside).
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>

#include "global/fib/fib_transaction.h"
#include "source/tables/billing_tables.h"
#include "source/tables/examen.h"
#include "source/tables/facturation.h"
#include "source/tables/journal.h"
#include "source/tables/medecin.h"
#include "source/tables/patient.h"
#include "source/tables/simple_tables.h"
#include "source/tables/table_loop.h"
#include "source/tables/visite.h"
#include "support/run_fixture.h"
#include "support/target_db.h"
#include "tools/sample_clinic.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using V = Variant;

struct Outcome {
  std::map<std::string, std::string> tables;  // every user table, rows sorted
  std::map<std::string, std::string> logs;    // every table log and Log Generique, times masked
  std::map<std::string, int64_t> generators;  // every user generator's value
  int64_t checkRoundTrips = 0;
  int64_t batches = 0;
};

class BatchEquivalenceTest : public testing::RunFixture {
 protected:
  // Runs `work` on a fresh target, each record on its own or in batches.
  Outcome RunIn(bool oneByOne, const std::function<void()>& work) {
    database = testing::FreshDatabase(oneByOne ? "un_par_un" : "par_lots");
    std::ofstream(folder + "/Database.ini") << "[Database]\r\nDatabaseName=" << database << "\r\n";
    fs::remove_all(folder + "/LogErreur");
    ui.options.recordAtATime = oneByOne;
    if (ctx->target.Connected()) ctx->target.CommitAndClose();
    Connect();
    ctx->FLogMgr.StartTransfertLog();
    const int64_t checks = ctx->FDataMgr->CheckRoundTrips();
    const int64_t batches = ctx->FDataMgr->BatchesSent();
    work();
    Outcome outcome;
    outcome.checkRoundTrips = ctx->FDataMgr->CheckRoundTrips() - checks;
    outcome.batches = ctx->FDataMgr->BatchesSent() - batches;
    outcome.tables = DumpTables();
    outcome.generators = Generators();
    ctx->FLogMgr.Close();  // "Log Generique" is written when the logs close
    for (const auto& entry : fs::recursive_directory_iterator(folder + "/LogErreur")) {
      const std::string name = entry.path().stem().string();
      if (!entry.is_regular_file() || (name.rfind("Table", 0) != 0 && name != "Log Generique")) continue;
      static const std::regex time(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
      outcome.logs[name] = std::regex_replace(ReadLog(name), time, "<heure>");
    }
    return outcome;
  }

  std::map<std::string, std::string> DumpTables() {
    std::map<std::string, std::string> tables;
    fib::TpFIBQuery query(ctx->target.Db());
    ctx->target.ReadSnapshot(query);
    std::vector<std::string> names;
    query.SetSQLText(
        "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS "
        "NULL");
    for (query.ExecQuery(); !query.Eof(); query.Next()) names.push_back(query.Fields(0).AsString());
    query.Close();
    for (const std::string& name : names) {
      std::vector<std::string> rows;
      query.SetSQLText("SELECT * FROM \"" + name + "\"");
      for (query.ExecQuery(); !query.Eof(); query.Next()) {
        std::string row;
        for (int i = 0; i < query.FieldCount(); ++i) {
          const fib::TFIBColumn& c = query.Fields(i);
          // SQL_TIMESTAMP to the millisecond; the rest as the server gives it.
          const bool timestamp = c.SQLType() == 510;
          row += (c.IsNull()  ? std::string("<null>")
                  : timestamp ? FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", c.AsDateTime())
                              : c.AsString()) +
                 "|";
        }
        rows.push_back(row);
      }
      query.Close();
      std::sort(rows.begin(), rows.end());
      std::string text;
      for (const std::string& row : rows) text += row + "\n";
      tables[name] = text;
    }
    query.Transaction()->Commit();
    return tables;
  }

  std::map<std::string, int64_t> Generators() {
    std::map<std::string, int64_t> values;
    std::vector<std::string> names;
    ctx->target.Commit();
    fib::TpFIBQuery query(ctx->target.Db());
    query.SetSQLText("SELECT TRIM(RDB$GENERATOR_NAME) FROM RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    for (query.ExecQuery(); !query.Eof(); query.Next()) names.push_back(query.Fields(0).AsString());
    query.Close();
    for (const std::string& name : names)
      values[name] = Select("SELECT GEN_ID(\"" + name + "\", 0) FROM RDB$DATABASE").AsInteger();
    return values;
  }

  static void ExpectSame(const Outcome& one, const Outcome& batched) {
    EXPECT_EQ(one.generators, batched.generators);
    ASSERT_EQ(one.tables.size(), batched.tables.size());
    for (const auto& [name, rows] : one.tables) EXPECT_EQ(rows, batched.tables.at(name)) << name;
    ASSERT_EQ(one.logs.size(), batched.logs.size());
    for (const auto& [name, text] : one.logs) EXPECT_EQ(text, batched.logs.at(name)) << name;
  }
};

TEST_F(BatchEquivalenceTest, CodeTablesOfASampleClinicGiveTheSameTargetsAndLogs) {
  sample::WriteSampleClinic({folder, 5, 1});  // its legacy tables land in the "radio" alias folder
  const auto all = [&] {
    for (auto* routine :
         {TransfertTableAnatom, TransfertTableModalite, TransfertTableDictio, TransfertTableMotCorr,
          TransfertTableDiagnos, TransfertTableTypePres, TransfertTableTxtProto, TransfertTableExport,
          TransfertTableModific, TransfertTableModSoft, TransfertTableModCompl, TransfertTableRemMajoree,
          TransfertTableCodeTransac, TransfertTableActivite, TransfertTableEtatType, TransfertTableEtatTypeTitre}) {
      routine(*ctx);
    }
  };
  const Outcome one = RunIn(true, all);
  const Outcome batched = RunIn(false, all);
  ExpectSame(one, batched);
  EXPECT_EQ(one.logs.size(), 16u);
  // Each record's check went to the server one by one; in batches only the keys found
  // in memory did (the repeated entries of the clinic's tables).
  EXPECT_GT(one.checkRoundTrips, 2000);
  EXPECT_LT(batched.checkRoundTrips * 20, one.checkRoundTrips) << batched.checkRoundTrips;
}

// The clinical routines of a sample clinic, the examinations (34 columns) above all.
TEST_F(BatchEquivalenceTest, ClinicalTablesOfASampleClinicGiveTheSameTargetsGeneratorsAndLogs) {
  sample::WriteSampleClinic({folder, 5, 1});
  const auto all = [&] {
    // The rows a separate tool loads before a migration (physicians' licence checks...).
    std::ifstream prepared(folder + "/cible.sql");
    for (std::string line; std::getline(prepared, line);) {
      if (line.rfind("INSERT", 0) == 0) Exec(line.substr(0, line.rfind(';')));
    }
    ctx->CommitEtProgress();
    ctx->numeroPrescripDebut = "19800101-000";
    ctx->numeroPrescripFin = "20120101-999";
    ui.options.firstPatientNumber = "1";
    for (auto* routine : {TransfertTablePatient, TransfertTablePrescription, TransfertTableExamen,
                          TransfertTablePaiement, TransfertTableLog}) {
      routine(*ctx);
    }
  };
  const Outcome one = RunIn(true, all);
  const Outcome batched = RunIn(false, all);
  ExpectSame(one, batched);
  EXPECT_GT(batched.batches, 0);
  EXPECT_EQ(one.batches, 0);
  for (const char* table : {"PATIENT", "VISITE", "EXAMEN", "PAIEMENT", "LOG"}) {
    EXPECT_GT(std::count(one.tables.at(table).begin(), one.tables.at(table).end(), '\n'), 500) << table;
  }
}

// Physicians are read from rows of the target (the licence tool's), not from a legacy
// file: a refusal met when their batch goes is logged with its own row, though the
// query has moved on. Here a unique name the target adds for the test: records 20,
// 150 and 151 repeat the names of records 10, 140 and 141 (151 right after a refused
// record, in the same block).
TEST_F(BatchEquivalenceTest, PhysiciansReadFromTheTargetGiveTheSameRowsAndTheirRefusalsTheirOwnLines) {
  const auto physicians = [&] {
    Exec("ALTER TABLE TMPMEDECIN ADD CONSTRAINT UQ_TEST_NOM UNIQUE (NOM, PRENOM)");
    ctx->CommitEtProgress();
    for (int i = 0; i < 300; ++i) {
      const std::string licence = fmt::format("{:04}", i);
      const int name = i == 20 || i == 150 || i == 151 ? i - 10 : i;
      Exec(fmt::format(
          "INSERT INTO TMPMEDECINFF(LICENCE, NOUVELLE_LICENCE, NOUVELLE_LICENCE_OPERATION, NOM, PRENOM, SPECIALITE) "
          "VALUES ('{}', 'N{}', 'FLAG_OK', 'Nom{}', 'P', 'GEN')",
          licence, licence, name));
    }
    ctx->CommitEtProgress();
    TransfertTableMedecin(*ctx);
  };
  const Outcome one = RunIn(true, physicians);
  const Outcome batched = RunIn(false, physicians);
  ExpectSame(one, batched);
  EXPECT_GT(batched.batches, 0);
  const std::string& log = batched.logs.at("TableMedecin");
  for (const char* licence : {"N0020, 0020", "N0150, 0150", "N0151, 0151"}) {
    EXPECT_NE(log.find(licence), std::string::npos) << licence << "\n" << log;
  }
  size_t refused = 0;
  for (size_t at = log.find("UQ_TEST_NOM"); at != std::string::npos; at = log.find("UQ_TEST_NOM", at + 1)) ++refused;
  EXPECT_EQ(refused, 3u) << log;
}

// A table of this test: a key the duplicate check reads, a short text that must be
// unique, a number that must be there.
class BatchRefusalTest : public BatchEquivalenceTest {
 protected:
  void Target() {
    Exec("CREATE TABLE T_LOT (CODE VARCHAR(10) NOT NULL PRIMARY KEY, TXT VARCHAR(5) UNIQUE, N INTEGER NOT NULL)");
    // The same with an identifier a trigger takes from a generator.
    Exec(
        "CREATE TABLE T_GEN (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(10) NOT NULL UNIQUE, TXT VARCHAR(5) "
        "UNIQUE, N INTEGER NOT NULL)");
    Exec("CREATE GENERATOR GEN_T_GEN");
    ctx->CommitEtProgress();
    Exec(
        "CREATE TRIGGER T_GEN_ID FOR T_GEN ACTIVE BEFORE INSERT POSITION 0 AS BEGIN NEW.ID = GEN_ID(GEN_T_GEN, 1); "
        "END");
    ctx->CommitEtProgress();
  }

  // Anatom records (CODE, Description) into `table`(CODE, TXT, N): N is NULL for a code
  // starting with "N"; the record with code `stopAt` presses Stop; the record C50
  // writes a log line while its values are being set.
  LoopResult Copy(const std::string& stopAt = "", const char* table = "T_LOT") {
    RoutineHooks hooks;
    hooks.setup = [&] { ctx->FDataMgr->InitCodeDestCopy(table, {"CODE", "CODE"}, true); };
    hooks.assign = [&](RecordParams& p) {
      const std::string code = p.Field("CODE").AsString();
      p.Copy(0, p.Field("CODE"));
      if (code == "C50") ctx->DoLogError(nullptr, "Note au milieu de C50", false);
      p.Copy(1, p.Field("Description"));
      if (code[0] == 'N') {
        p.Set(2, TParamValue());
      } else {
        p.Constant(2, "1");
      }
      if (code == stopAt) ctx->StopAllProcess = false;
    };
    const std::string insert = std::string("INSERT INTO ") + table + "(CODE, TXT, N)";
    TableRoutine routine{"TableLot", "Lot", "Anatom", insert.c_str(), 3};
    const LoopResult result = RunTableRoutine(*ctx, routine, hooks);
    ctx->StopAllProcess = true;
    return result;
  }

  // 300 records; in the middle of blocks: a text too long, a NULL number, a text
  // already taken (twice), a key again, a key differing only by trailing blanks, one
  // differing by letter case.
  void Legacy() {
    std::vector<testing::LegacyValues> rows;
    for (int i = 0; i < 300; ++i) {
      rows.push_back({{"CODE", V("C" + std::to_string(i))}, {"Description", V("t" + std::to_string(i))}});
    }
    rows[20] = {{"CODE", V("LONG")}, {"Description", V("beaucoup trop long")}};
    rows[45] = {{"CODE", V("NUL")}, {"Description", V("n45")}};
    rows[70] = {{"CODE", V("PRIS")}, {"Description", V("t3")}};
    rows[95] = {{"CODE", V("C5")}, {"Description", V("d95")}};
    rows[140] = {{"CODE", V("C6   ")}, {"Description", V("d140")}};
    rows[150] = {{"CODE", V("c7")}, {"Description", V("d150")}};
    rows[170] = {{"CODE", V("PRIS2")}, {"Description", V("t4")}};    // inside a batch sent because it is full
    rows[290] = {{"CODE", V("LONG")}, {"Description", V("court")}};  // its first try was refused
    WriteRows("Anatom", rows);
  }
};

TEST_F(BatchRefusalTest, RecordsRefusedInsideABatchAreLoggedInPlaceAndTheOthersGoIn) {
  Legacy();
  LoopResult one_result, batched_result;
  const Outcome one = RunIn(true, [&] {
    Target();
    one_result = Copy();
  });
  const Outcome batched = RunIn(false, [&] {
    Target();
    batched_result = Copy();
  });
  ExpectSame(one, batched);
  EXPECT_EQ(one.batches, 0);
  EXPECT_GT(batched.batches, 0);
  for (const LoopResult* r : {&one_result, &batched_result}) {
    EXPECT_EQ(r->read, 300);
    EXPECT_EQ(r->added, 294);  // refused: LONG (text), NUL, PRIS, C5, "C6   ", PRIS2
    EXPECT_EQ(r->refused, 6);
  }
  // Worked out by hand: the five refusals, in source order, then the count.
  const std::string log = batched.logs.at("TableLot");
  size_t at = 0;
  for (const char* line :
       {"LONG", "NUL", "Note au milieu de C50", "PRIS", "Table destination: T_LOT a deja cette cle: C5",
        "Table destination: T_LOT a deja cette cle: C6", "PRIS2", "Nombre total de Record de transferer : 294"}) {
    const size_t found = log.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << "\n" << log;
    at = found;
  }
  EXPECT_NE(one.tables.at("T_LOT").find("c7|d150|1|"), std::string::npos);  // letter case: another key
  EXPECT_NE(one.tables.at("T_LOT").find("LONG|court|1|"), std::string::npos);
  EXPECT_NE(batched.tables.at("T_LOT").find("C50|t50|1|"), std::string::npos);  // its values survive the log line
}

// Triggers a batch must see through: each case's table is filled both ways from the
// same 300 records, and every table, generator and log must agree.
TEST_F(BatchRefusalTest, TriggersThatMakeKeysOrWriteOtherTablesGiveTheSameRowsAsOneByOne) {
  struct Case {
    const char* what;
    const char* table;
    std::vector<const char*> ddl;
    int refused;  // worked out by hand
  };
  const std::vector<Case> cases = {
      // The row whose generated key is 40 meets the stored row: refused one by one, and
      // the next row takes 41.
      {"a trigger-made key meeting a stored row",
       "T_CLE",
       {"CREATE TABLE T_CLE (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(10) NOT NULL UNIQUE, TXT VARCHAR(5) "
        "UNIQUE, N INTEGER NOT NULL)",
        "CREATE GENERATOR GEN_T_CLE",
        "CREATE TRIGGER T_CLE_ID FOR T_CLE ACTIVE BEFORE INSERT AS BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = "
        "GEN_ID(GEN_T_CLE, 1); END",
        "INSERT INTO T_CLE (ID, CODE, TXT, N) VALUES (40, 'AVANT', 'av', 1)"},
       7},
      // Only the comment names GEN_ABSENT: the server knows the trigger uses GEN_T_COMM.
      {"a trigger whose text names a generator that does not exist",
       "T_COMM",
       {"CREATE TABLE T_COMM (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(10) NOT NULL UNIQUE, TXT VARCHAR(5) "
        "UNIQUE, N INTEGER NOT NULL)",
        "CREATE GENERATOR GEN_T_COMM",
        "CREATE TRIGGER T_COMM_ID FOR T_COMM ACTIVE BEFORE INSERT AS BEGIN /* GEN_ID(GEN_ABSENT, 1) */ NEW.ID = "
        "GEN_ID(GEN_T_COMM, 1); END"},
       6},
      // Each row writes a journal row numbered by the journal's own generator, even
      // the rows the target then refuses.
      {"a trigger that writes another table with its own generator",
       "T_ECRIT",
       {"CREATE TABLE T_JOURNAL (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(10))", "CREATE GENERATOR GEN_T_JOURNAL",
        "CREATE TRIGGER T_JOURNAL_ID FOR T_JOURNAL ACTIVE BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_T_JOURNAL, 1); "
        "END",
        "CREATE TABLE T_ECRIT (CODE VARCHAR(10) NOT NULL PRIMARY KEY, TXT VARCHAR(5) UNIQUE, N INTEGER NOT NULL)",
        "CREATE TRIGGER T_ECRIT_J FOR T_ECRIT ACTIVE BEFORE INSERT AS BEGIN INSERT INTO T_JOURNAL (CODE) VALUES "
        "(NEW.CODE); END"},
       6},
  };
  Legacy();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopResult one_result, batched_result;
    const auto run = [&](LoopResult& result) {
      return [&] {
        for (const char* statement : c.ddl) {
          Exec(statement);
          ctx->CommitEtProgress();
        }
        result = Copy("", c.table);
      };
    };
    const Outcome one = RunIn(true, run(one_result));
    const Outcome batched = RunIn(false, run(batched_result));
    ExpectSame(one, batched);
    EXPECT_GT(batched.batches, 0);
    EXPECT_EQ(one_result.refused, c.refused);
    EXPECT_EQ(batched_result.refused, c.refused);
    EXPECT_EQ(batched_result.added, 300 - c.refused);
  }
}

// The connection is gone once C99 is committed: C100 to C139 wait in the batch until
// the log line of "C6   " sends it. The table ends on a fault, and none of them counts.
TEST_F(BatchRefusalTest, AFlushTheServerCannotTakeEndsTheTableAndCountsNoUnsentRecord) {
  Legacy();
  Connect();
  ctx->FLogMgr.StartTransfertLog();
  Target();
  RoutineHooks hooks;
  hooks.setup = [&] { ctx->FDataMgr->InitCodeDestCopy("T_LOT", {"CODE", "CODE"}, true); };
  hooks.assign = [&](RecordParams& p) {
    if (p.Field("CODE").AsString() == "C100") {
      ctx->CommitEtProgress();
      ctx->target.Close();
    }
    p.Copy(0, p.Field("CODE"));
    p.Copy(1, p.Field("Description"));
    p.Constant(2, "1");
  };
  TableRoutine routine{"TableLot", "Lot", "Anatom", "INSERT INTO T_LOT(CODE, TXT, N)", 3};
  try {
    RunTableRoutine(*ctx, routine, hooks);
    ADD_FAILURE() << "the table went on";
  } catch (const ERoutineFault& e) {
    EXPECT_NE(std::string(e.what()).find("Envoi par lots interrompu, 40 enregistrements non envoyes"),
              std::string::npos)
        << e.what();
  }
  // C0 to C99 less LONG (text too long), PRIS (text taken) and C5 (key again).
  EXPECT_EQ(ctx->FDataMgr->NbAdded(), 97);
  EXPECT_EQ(Count("T_LOT"), 97);
}

// A record's further rows (as a visit's physicians, a patient's free fields): two
// rows in T_SOUS for every record, one in T_SOUS2 (numbered by a generator) for the
// codes ending in 0. Refused records (LONG, NUL, PRIS, C5, "C6   ", PRIS2) have no
// further rows and their sub-statements say nothing; C77's second row breaks a check;
// C33's second sub-statement fails; C44's writes a note.
// The duplicate check answers from memory only while nothing but the records' own
// rows can change the checked table: here a further row's trigger adds "X" + code to
// it, and the later record XC3 must find the row C3's further row made.
TEST_F(BatchRefusalTest, AFurtherRowWhoseTriggerWritesTheCheckedTableLeavesTheCheckToTheServer) {
  std::vector<testing::LegacyValues> rows;
  for (int i = 0; i < 10; ++i) {
    rows.push_back({{"CODE", V("C" + std::to_string(i))}, {"Description", V("t" + std::to_string(i))}});
  }
  rows.push_back({{"CODE", V("XC3")}, {"Description", V("x3")}});
  WriteRows("Anatom", rows);
  const auto run = [&] {
    Target();
    Exec("CREATE TABLE T_NOTE (CODE VARCHAR(10))");
    ctx->CommitEtProgress();
    Exec(
        "CREATE TRIGGER T_NOTE_LOT FOR T_NOTE ACTIVE AFTER INSERT AS BEGIN INSERT INTO T_LOT(CODE, N) VALUES ('X' || "
        "NEW.CODE, 1); END");
    ctx->CommitEtProgress();
    TTransfertData& engine = *ctx->FDataMgr;
    RoutineHooks hooks;
    hooks.setup = [&] {
      engine.InitCodeDestCopy("T_LOT", {"CODE", "CODE"}, true);
      engine.InitSubQueries("NOTE", "INSERT INTO T_NOTE(CODE)", 1);
    };
    hooks.assign = [&](RecordParams& p) {
      p.Copy(0, p.Field("CODE"));
      p.Copy(1, p.Field("Description"));
      p.Constant(2, "1");
    };
    hooks.subStatements = {[&](RecordParams& p) {
      engine.SetDestSubParam("NOTE", 0, p.Converter().AssignSrcToDest(p.Field("CODE")));
      engine.TransfertSubsByName("NOTE");
    }};
    TableRoutine routine{"TableLot", "Lot", "Anatom", "INSERT INTO T_LOT(CODE, TXT, N)", 3};
    RunTableRoutine(*ctx, routine, hooks);
  };
  const Outcome one = RunIn(true, run);
  const Outcome batched = RunIn(false, run);
  ExpectSame(one, batched);
  EXPECT_NE(batched.logs.at("TableLot").find("Table destination: T_LOT a deja cette cle: XC3"), std::string::npos)
      << batched.logs.at("TableLot");
}

TEST_F(BatchRefusalTest, TheFurtherRowsOfARecordGoInBatchesAndOnlyForTheRecordsTheTargetTook) {
  struct Case {
    const char* what;
    const char* table;      // the records' own table
    const char* generator;  // the one T_SOUS2's trigger takes its numbers from
    bool batched;
  };
  const std::vector<Case> cases = {
      {"each table its own generator", "T_LOT", "GEN_T_SOUS2", true},
      // One by one, a record's row and its further row take turns with the generator:
      // batches would number them otherwise, so the table goes one record at a time.
      {"a generator shared with the records' table", "T_GEN", "GEN_T_GEN", false},
  };
  Legacy();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopResult results[2];
    const auto run = [&](LoopResult& result) {
      return [&] {
        Target();
        Exec(
            "CREATE TABLE T_SOUS (CODE VARCHAR(10), K INTEGER, TXT VARCHAR(5), CONSTRAINT CK_SOUS CHECK (K <> 2 OR "
            "TXT <> 't77'))");
        Exec("CREATE TABLE T_SOUS2 (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(10))");
        Exec("CREATE GENERATOR GEN_T_SOUS2");
        ctx->CommitEtProgress();
        Exec(std::string("CREATE TRIGGER T_SOUS2_ID FOR T_SOUS2 ACTIVE BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(") +
             c.generator + ", 1); END");
        ctx->CommitEtProgress();
        TTransfertData& engine = *ctx->FDataMgr;
        RoutineHooks hooks;
        hooks.setup = [&] {
          engine.InitTransfertCondition(TCanTransfertType::ctNone, -1);
          engine.InitSubQueries("S1", "INSERT INTO T_SOUS(CODE, K, TXT)", 3);
          engine.InitSubQueries("S2", "INSERT INTO T_SOUS2(CODE)", 1);
        };
        hooks.assign = [&](RecordParams& p) {
          p.Copy(0, p.Field("CODE"));
          p.Copy(1, p.Field("Description"));
          if (p.Field("CODE").AsString()[0] == 'N') {
            p.Set(2, TParamValue());
          } else {
            p.Constant(2, "1");
          }
        };
        TParamValue k;
        hooks.subStatements = {
            [&](RecordParams& p) {
              for (int i = 1; i <= 2; ++i) {
                engine.SetDestSubParam("S1", 0, p.Converter().AssignSrcToDest(p.Field("CODE")));
                k.SetValue(V(int64_t{i}));
                engine.SetDestSubParam("S1", 1, k);
                engine.SetDestSubParam("S1", 2, p.Converter().AssignSrcToDest(p.Field("Description")));
                engine.TransfertSubsByName("S1");
              }
            },
            [&](RecordParams& p) {
              const std::string code = p.Field("CODE").AsString();
              if (code == "C33" || code == "NUL") throw EDatabaseError("Sous-ligne refusee " + code);
              if (code == "C44" || code == "PRIS") ctx->DoLogError(nullptr, "Note de sous-ligne " + code, false);
              if (code.back() != '0') return;
              engine.SetDestSubParam("S2", 0, p.Converter().AssignSrcToDest(p.Field("CODE")));
              engine.TransfertSubsByName("S2");
            },
        };
        const std::string insert = std::string("INSERT INTO ") + c.table + "(CODE, TXT, N)";
        TableRoutine routine{"TableLot", "Lot", "Anatom", insert.c_str(), 3};
        routine.checkAcceptance = false;
        result = RunTableRoutine(*ctx, routine, hooks);
      };
    };
    const Outcome one = RunIn(true, run(results[0]));
    const Outcome batched = RunIn(false, run(results[1]));
    ExpectSame(one, batched);
    EXPECT_EQ(batched.batches > 0, c.batched);
    for (const LoopResult& r : results) {
      EXPECT_EQ(r.added, 294);
      EXPECT_EQ(r.refused, 6);
      EXPECT_EQ(r.subRefused, 2);  // C77's second row, C33's second sub-statement
    }
    // Two rows for each of the 294 records less C77's second; one for the 24 codes
    // ending in 0 (C20, C70, C140, C150, C170 and C290 are replaced by other codes).
    const std::string& sous = batched.tables.at("T_SOUS");
    EXPECT_EQ(std::count(sous.begin(), sous.end(), '\n'), 587);
    EXPECT_EQ(sous.find("PRIS|"), std::string::npos);
    EXPECT_EQ(sous.find("NUL|"), std::string::npos);
    EXPECT_NE(sous.find("C77|1|t77|"), std::string::npos);
    const std::string& sous2 = batched.tables.at("T_SOUS2");
    EXPECT_EQ(std::count(sous2.begin(), sous2.end(), '\n'), 24);
    EXPECT_NE(sous2.find("|C280|"), std::string::npos);
    EXPECT_EQ(sous2.find("|C290|"), std::string::npos);
    const std::string log = batched.logs.at("TableLot");
    size_t at = 0;
    for (const char* line : {"LONG", "Sous-ligne refusee C33", "Note de sous-ligne C44", "NUL", "PRIS", "CK_SOUS", "C5",
                             "C6", "PRIS2", "Nombre total de Record de transferer : 294"}) {
      const size_t found = log.find(line, at);
      ASSERT_NE(found, std::string::npos) << line << "\n" << log;
      at = found;
    }
    EXPECT_EQ(log.find("Sous-ligne refusee NUL"), std::string::npos);
    EXPECT_EQ(log.find("Note de sous-ligne PRIS"), std::string::npos);
  }
}

TEST_F(BatchRefusalTest, ATableWhoseTriggerTakesGeneratorValuesGetsTheSameIdentifiers) {
  Legacy();
  const Outcome one = RunIn(true, [&] {
    Target();
    Copy("", "T_GEN");
  });
  const Outcome batched = RunIn(false, [&] {
    Target();
    Copy("", "T_GEN");
  });
  ExpectSame(one, batched);
  EXPECT_GT(batched.batches, 0);
}

TEST_F(BatchRefusalTest, AStopInsideABatchCommitsWhatCameBeforeAndNothingAfter) {
  Legacy();
  const Outcome one = RunIn(true, [&] {
    Target();
    Copy("C100");
  });
  const Outcome batched = RunIn(false, [&] {
    Target();
    Copy("C100");
  });
  ExpectSame(one, batched);
  // Records 0 to 100 read, four of them refused (LONG, NUL, PRIS, C5).
  EXPECT_EQ(Count("T_LOT"), 97);
  EXPECT_EQ(Count("T_LOT", "CODE = 'C100'"), 1);
  EXPECT_EQ(Count("T_LOT", "CODE = 'C101'"), 0);
}

}  // namespace
}  // namespace korvel
