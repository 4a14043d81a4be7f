#include <gtest/gtest.h>

#include <fstream>

#include "maintenance_fixture.h"
#include "source/maintenance/finishing.h"
#include "source/maintenance/index_control.h"

namespace korvel {
namespace {

const char* const kVisitExamTriggers[] = {"TRIG_BEFOREI_VISITE_CREATIONDH", "TRIG_BEFOREU_VISITE_MODIFDH",
                                          "TRIG_AFTERI_EXAMEN_LOG", "TRIG_AFTERU_EXAMEN"};

class FinishingTest : public testing::MaintenanceFixture {
 protected:
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
  }
  Variant Model(const std::string& column, const std::string& etablissement) {
    return Select("SELECT " + column + " FROM ETABLISSEMENT_INFO WHERE ETABLISSEMENT = '" + etablissement + "'");
  }
  int64_t InactiveTriggers() { return Count("RDB$TRIGGERS", "RDB$TRIGGER_INACTIVE = 1 AND RDB$SYSTEM_FLAG = 0"); }
  // Users granted role_administrateur with its admin option, as "NAME NAME ...".
  std::string Grantees() {
    return Select(
               "SELECT LIST(TRIM(RDB$USER), ' ') FROM (SELECT RDB$USER FROM RDB$USER_PRIVILEGES WHERE "
               "RDB$RELATION_NAME = 'ROLE_ADMINISTRATEUR' AND RDB$PRIVILEGE = 'M' AND RDB$GRANT_OPTION = 2 AND "
               "RDB$USER STARTING WITH 'USER_' ORDER BY 1)")
        .AsString();
  }
};

TEST_F(FinishingTest, CopyModelToDatabaseWritesTheModelsAsCrLfText) {
  Prepare({"INSERT INTO ETABLISSEMENT_INFO (ETABLISSEMENT, DEPARTEMENT) VALUES ('CLI01', 'R')",
           "INSERT INTO ETABLISSEMENT_INFO (ETABLISSEMENT, DEPARTEMENT) VALUES ('CLI02', 'R')"});
  ConnectRun();
  // Windows-1252 bytes, mixed line ends, no final line break.
  WriteFile("modele.rtf", "{\\rtf1\r\nMod\xE8le\nfin\rde ligne");
  ui.options.secondModelFolder = folder + "/";
  ui.options.secondModelFile = "   ";

  CopyModelToDatabase(*ctx);
  EXPECT_EQ(Model("MODELERAPPORT", "CLI01").AsString(), "{\\rtf1\r\nModèle\r\nfin\r\nde ligne\r\n");
  EXPECT_TRUE(Model("MODELERAPPORTSEC", "CLI01").IsNull());  // a blank secondary name: main model only
  EXPECT_TRUE(Model("MODELERAPPORT", "CLI02").IsNull());

  WriteFile("second.rtf", "");
  WriteFile("modele.rtf", "principal\r\n");
  ui.options.secondModelFile = "second.rtf";
  CopyModelToDatabase(*ctx);
  EXPECT_EQ(Model("MODELERAPPORT", "CLI01").AsString(), "principal\r\n");
  EXPECT_TRUE(Model("MODELERAPPORTSEC", "CLI01").IsNull());  // an empty file is no text

  WriteFile("second.rtf", "secondaire");
  CopyModelToDatabase(*ctx);
  EXPECT_EQ(Model("MODELERAPPORTSEC", "CLI01").AsString(), "secondaire\r\n");

  ui.options.mainModelFile = "absent.rtf";
  EXPECT_THROW(CopyModelToDatabase(*ctx), std::runtime_error);
  EXPECT_EQ(Model("MODELERAPPORT", "CLI01").AsString(), "principal\r\n");
  EXPECT_EQ(NewGenericLog(), "");
}

TEST_F(FinishingTest, AjoutDesDroitsMakesLoginsOnceAndGrantsEachTime) {
  // Logins of earlier test runs go first; USER_3 exists already (names are stored in
  // upper case).
  fib::TpFIBDatabase admin;
  admin.DatabaseName = database;
  admin.UseMainConnectionSettings();
  admin.Open();
  for (const char* user : {"user_1", "user_2", "user_3"}) {
    fib::GlobalFIB().ExecSQLCommit(std::string("DROP USER ") + user, {}, &admin);
  }
  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("CREATE USER USER_3 PASSWORD 'autre'", {}, &admin));
  admin.Close();
  Prepare({"INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR) VALUES (2, 'ALICE')",
           "INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR) VALUES (3, 'BOB')"});
  ConnectRun();

  AjoutDesDroits(*ctx);
  EXPECT_EQ(Count("SEC$USERS", "SEC$USER_NAME IN ('USER_1', 'USER_2', 'USER_3')"), 3);
  EXPECT_EQ(Grantees(), "USER_1 USER_2 USER_3");
  EXPECT_EQ(NewGenericLog(), "");  // nothing refused, USER_3 not added again
  EXPECT_TRUE(ctx->target.Connected());
  EXPECT_TRUE(ctx->target.InTransaction());

  Prepare({"REVOKE role_administrateur FROM USER_2"});
  AjoutDesDroits(*ctx);
  EXPECT_EQ(Grantees(), "USER_1 USER_2 USER_3");  // granted again
  EXPECT_EQ(Count("SEC$USERS", "SEC$USER_NAME STARTING WITH 'USER_'"), 3);
  const std::string second = NewGenericLog();
  EXPECT_EQ(second.find("add"), std::string::npos) << second;  // no login made twice

  // Every refused grant is logged, and the other users are still processed.
  Prepare({"DROP ROLE role_administrateur"});
  AjoutDesDroits(*ctx);
  const std::string third = NewGenericLog();
  size_t refusals = 0;
  for (size_t at = third.find("ROLE_ADMINISTRATEUR"); at != std::string::npos;
       at = third.find("ROLE_ADMINISTRATEUR", at + 1)) {
    ++refusals;
  }
  EXPECT_EQ(refusals, 3u) << third;
  EXPECT_TRUE(ctx->target.InTransaction());
  EXPECT_TRUE(engine_messages.empty());
}

TEST_F(FinishingTest, FinTransfertLinksUsersSwitchesTriggersOnAndStampsLastAccess) {
  std::vector<std::string> setup = {
      "INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR) VALUES (2, 'ALICE')",
      "INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR) VALUES (3, 'BOB')",
      "INSERT INTO SECURITE_ETAB_DEP (ID_SECURITE, ETABLISSEMENT, CODEDEP) VALUES (2, 'CLI02', 'R')",
  };
  for (const char* trigger : kVisitExamTriggers) setup.push_back(std::string("ALTER TRIGGER ") + trigger + " INACTIVE");
  Prepare(setup);
  ConnectRun();

  for (int pass = 0; pass < 2; ++pass) {  // a second run links nobody twice
    FinTransfert(*ctx);
    EXPECT_EQ(InactiveTriggers(), 0);
    EXPECT_EQ(Select("SELECT LIST(ID_SECURITE || ETABLISSEMENT || CODEDEP, ' ') FROM (SELECT * FROM "
                     "SECURITE_ETAB_DEP ORDER BY ID_SECURITE)")
                  .AsString(),
              "1CLI01R 2CLI02R 3CLI01R");
    EXPECT_EQ(Count("SECURITE_ETAB_DEP_DICTYPE", "ID_DICTEETYPE = 1"), 3);
    EXPECT_EQ(Count("SECURITE", "CAST(DERNIERACCES AS DATE) = CURRENT_DATE"), 3);
  }
  EXPECT_TRUE(engine_messages.empty()) << engine_messages.front();
  EXPECT_EQ(NewGenericLog(), "");
  EXPECT_TRUE(ctx->target.InTransaction());
  EXPECT_EQ(ui.operations.back(), " (Réactivation du Trigger TRIG_AFTERU_EXAMEN");
}

TEST_F(FinishingTest, FinTransfertSwitchesTheOtherTriggersOnWhenOneIsMissing) {
  std::vector<std::string> setup = {"DROP TRIGGER TRIG_BEFOREI_VISITE_CREATIONDH"};
  for (const char* trigger : kVisitExamTriggers) {
    if (std::string(trigger) != "TRIG_BEFOREI_VISITE_CREATIONDH") {
      setup.push_back(std::string("ALTER TRIGGER ") + trigger + " INACTIVE");
    }
  }
  Prepare(setup);
  ConnectRun();
  FinTransfert(*ctx);
  EXPECT_EQ(InactiveTriggers(), 0);
  EXPECT_EQ(Count("SECURITE", "CAST(DERNIERACCES AS DATE) = CURRENT_DATE"), 1);
  EXPECT_NE(NewGenericLog().find("TRIG_BEFOREI_VISITE_CREATIONDH"), std::string::npos) << NewGenericLog();
}

}  // namespace
}  // namespace korvel
