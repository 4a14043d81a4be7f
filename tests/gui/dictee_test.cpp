// Dictation helpers of the window: the write of the options into the target, the
// copy-station list and the computer name. No GUI library here.
#include <gtest/gtest.h>

#include <unistd.h>

#include "global/computer_name.h"
#include "global/fib/global_fib.h"
#include "global/in_param_str.h"
#include "source/tables/dictee_options.h"
#include "source/transfert/station_list.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

class DicteeOptionsTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    // The two tables this write touches, unless the schema has them already.
    Exec("ETABLISSEMENT",
         "CREATE TABLE ETABLISSEMENT (ETABLISSEMENT VARCHAR(10) NOT NULL PRIMARY KEY, NOM VARCHAR(60), "
         "DICTEESECURISE CHAR(1), PATHDICTEE VARCHAR(255), PATHDICTEESECURISE VARCHAR(255), "
         "SERVEURDICTEESECURISE VARCHAR(255), DICTEEIMPORTATIONAUTO CHAR(1), PATHDICTEEIMPORTATIONAUTO "
         "VARCHAR(255), PATHDICTEEIMPORTATIONTRANSIT VARCHAR(255), DICTEESTATIONCOPIE INTEGER)");
    Exec("STATION", "CREATE TABLE STATION (ID_STATION INTEGER NOT NULL PRIMARY KEY, NOMSTATION VARCHAR(50))");
    Exec("", "INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI01', 'CLINIQUE')");
    Exec("", "INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI02', 'AUTRE')");
    Exec("", "INSERT INTO STATION (ID_STATION, NOMSTATION) VALUES (7, 'POSTE''07')");
    Connect();
    dictee = ctx->FDicteeMgr.get();
    dictee->DicteeActif = true;
  }
  // DDL or DML on its own connection; a CREATE is skipped when `table` exists.
  void Exec(const std::string& table, const std::string& sql) {
    if (!table.empty() && Count("RDB$RELATIONS", "RDB$RELATION_NAME = '" + table + "'") > 0) return;
    fib::TpFIBDatabase db;
    db.DatabaseName = database;
    db.UseMainConnectionSettings();
    db.Open();
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit(sql, {}, &db)) << sql;
  }
  // The dictation columns of an establishment, NULL shown as "-".
  std::string Row(const std::string& code) {
    std::string sql = "SELECT ";
    const char* columns[] = {"DICTEESECURISE",
                             "PATHDICTEE",
                             "PATHDICTEESECURISE",
                             "SERVEURDICTEESECURISE",
                             "DICTEEIMPORTATIONAUTO",
                             "PATHDICTEEIMPORTATIONAUTO",
                             "PATHDICTEEIMPORTATIONTRANSIT",
                             "DICTEESTATIONCOPIE"};
    for (const char* column : columns) {
      sql += std::string(sql.size() > 7 ? " || '|' || " : "") + "COALESCE(CAST(" + column + " AS VARCHAR(255)), '-')";
    }
    return Select(sql + " FROM ETABLISSEMENT WHERE ETABLISSEMENT = '" + code + "'").AsString();
  }

  TTransfertDictee* dictee = nullptr;
};

TEST_F(DicteeOptionsTest, WritesTheOptionsOfTheDefaultEstablishmentOnly) {
  struct Case {
    const char* name;
    bool securise, import;
    const char* station;
    const char* expected;
  };
  // Folders of a switched-off option are not written, whatever is stored; an unknown
  // copy station writes station 1.
  const Case cases[] = {
      {"secured off, import on with empty folders", false, true, "POSTE'07", "N|D:\\Dictee|-|-|O|-|-|7"},
      {"secured on, import off with folders", true, false, "INCONNU", "O|D:\\Dictee|S:\\Sec|SRV01|N|-|-|1"},
  };
  for (const Case& c : cases) {
    dictee->DicteeSecurise = c.securise;
    dictee->ImportAuto = c.import;
    dictee->StationDicteeCopie = c.station;
    dictee->PathDictee = "D:\\Dictee";
    dictee->PathSecurise = "S:\\Sec";
    dictee->ServeurSecurise = "SRV01";
    dictee->PathImportAuto = c.import ? "" : "I:\\Import";
    dictee->PathImportTransit = c.import ? "" : "I:\\Transit";
    const int events = ui.events;
    AssignDicteeDataOptions(*ctx);
    EXPECT_EQ(Row("CLI01"), c.expected) << c.name;  // read on another connection: committed
    EXPECT_EQ(ui.events, events + 1) << c.name;     // CommitEtProgress
  }
  EXPECT_EQ(Row("CLI02"), "-|-|-|-|-|-|-|-");
}

TEST_F(DicteeOptionsTest, ARefusedUpdateGoesToTheGeneralLogAndStillCommits) {
  dictee->PathDictee = std::string(300, 'x');  // wider than its column
  const int events = ui.events;
  AssignDicteeDataOptions(*ctx);
  EXPECT_EQ(ui.events, events + 1);
  EXPECT_EQ(Row("CLI01"), "-|-|-|-|-|-|-|-");
  ctx->FLogMgr.Close();
  EXPECT_NE(ReadLog("Log Generique").find("truncation"), std::string::npos) << ReadLog("Log Generique");
}

TEST(FillComboStation, AddsTheComputerNameUnlessPresentIgnoringCase) {
  std::vector<std::string> items = {"POSTE01"};
  FillComboStation(items, "poste01");
  EXPECT_EQ(items, (std::vector<std::string>{"POSTE01"}));
  FillComboStation(items, "RADIO3");
  EXPECT_EQ(items, (std::vector<std::string>{"POSTE01", "RADIO3"}));
}

TEST(ComputerName, RemoteSessionRulesAndTheSwitch) {
  struct Case {
    bool distante, prefixe, remote;
    const char* expected;
  };
  const std::string local = "LOCALMACHINE";
  const Case cases[] = {
      {true, true, true, "TS_TERM042"},
      {true, false, true, "TERM042"},
      {false, true, true, "LOCALMACHINE"},
      {true, true, false, "LOCALMACHINE"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputerNameFrom(c.distante, c.prefixe, c.remote, "TERM042", local), c.expected);
  }
  // Cut to 19 characters, the "TS_" prefix included, and at a NUL.
  EXPECT_EQ(ComputerNameFrom(true, true, true, "ABCDEFGHIJKLMNOPQRSTUV", local), "TS_ABCDEFGHIJKLMNOP");
  EXPECT_EQ(ComputerNameFrom(false, false, false, "", std::string("PC\0X", 4)), "PC");

  SetCommandLineArguments({"nepasutiliserprefixts_"});
  EXPECT_EQ(ComputerNameFrom(true, true, true, "TERM042", local), "LOCALMACHINE");
  SetCommandLineArguments({});
}

TEST(ComputerName, OnLinuxItIsTheHostNameCutTo19) {
  char host[256] = "";
  ASSERT_EQ(gethostname(host, sizeof host), 0);
  EXPECT_EQ(GetComputerName(true, true), std::string(host).substr(0, 19));
  EXPECT_FALSE(WTSInSession());
  EXPECT_EQ(WTSGetComputerName(), "");
}

}  // namespace
}  // namespace korvel
