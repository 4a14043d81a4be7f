#include <gtest/gtest.h>

#include "maintenance_fixture.h"
#include "source/maintenance/generators.h"

namespace korvel {
namespace {

class GeneratorTest : public testing::MaintenanceFixture {
 protected:
  int64_t NextValue(const std::string& generator) {
    return Select("SELECT GEN_ID(" + generator + ", 1) FROM RDB$DATABASE").AsInteger();
  }
};

TEST_F(GeneratorTest, SetGeneratorMovesTheGeneratorPastTheHighestKey) {
  Prepare({
      // The schema's Patient, whose generator is stored as GEN_ID_PATIENT.
      "INSERT INTO Patient (Id_Patient) VALUES (12)",
      "INSERT INTO Patient (Id_Patient) VALUES (7000)",
      "INSERT INTO Patient (Id_Patient) VALUES (3)",
      "CREATE TABLE histoFilm (id_histoFilm INTEGER NOT NULL PRIMARY KEY)",
      "CREATE GENERATOR \"GEN_ID_histoFilm\"",  // created quoted: stored as spelled
      "INSERT INTO histoFilm VALUES (41)",
      "SET GENERATOR GEN_ID_Paiement TO 5",  // the schema's empty Paiement
      "CREATE TABLE SansGenerateur (Id_ETAT INTEGER NOT NULL PRIMARY KEY)",
      "INSERT INTO SansGenerateur VALUES (9)",
  });
  ConnectRun();
  struct Case {
    const char* table;
    const char* key;
    const char* generator;  // as a statement names it; empty: the table has none
    int64_t next;
  };
  const Case cases[] = {
      {"Patient", "Id_Patient", "GEN_ID_PATIENT", 7001},
      {"histoFilm", "id_histoFilm", "\"GEN_ID_histoFilm\"", 42},
      {"Paiement", "id_Paiement", "GEN_ID_PAIEMENT", 6},  // empty table: unchanged
      {"SansGenerateur", "Id_ETAT", "", 0},               // no generator: nothing happens
  };
  for (const Case& c : cases) SetGenerator(*ctx, c.table, c.key, "Table " + std::string(c.table) + "\r\n");
  ctx->CommitEtProgress();

  for (const Case& c : cases) {
    if (*c.generator) {
      EXPECT_EQ(NextValue(c.generator), c.next) << c.table;
    }
  }
  EXPECT_TRUE(engine_messages.empty()) << engine_messages.front();
  EXPECT_EQ(NewGenericLog(), "");
  EXPECT_EQ(ui.operations.front(), "Table Patient\r\n SetGenerator table:Patient");
  EXPECT_GE(ui.events, 4);
}

TEST_F(GeneratorTest, GestionDesGeneratorSkipsSecuriteAndGoesPastViewsAndTextKeys) {
  Prepare({
      "INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR) VALUES (50, 'ALICE')",
      "INSERT INTO VISITE (ID_VISITE) VALUES (40)",
      "INSERT INTO EXAMEN (ID_EXAMEN) VALUES (77)",
      "CREATE VIEW VUE_VISITE AS SELECT ID_VISITE, PRESCRIPTION FROM VISITE",
      "CREATE TABLE CODES (CODE VARCHAR(20) NOT NULL PRIMARY KEY)",
      "CREATE GENERATOR GEN_ID_CODES",
      "INSERT INTO CODES VALUES ('12 ; DROP')",
  });
  ConnectRun();
  GestionDesGenerator(*ctx);

  EXPECT_EQ(NextValue("GEN_ID_SECURITE"), 2);  // PROG's 1, not ALICE's 50
  EXPECT_EQ(NextValue("GEN_ID_VISITE"), 41);
  EXPECT_EQ(NextValue("GEN_ID_EXAMEN"), 78);
  // A text key never reaches the statement: reported, generator untouched.
  EXPECT_EQ(NextValue("GEN_ID_CODES"), 1);
  ASSERT_EQ(engine_messages.size(), 1u);
  EXPECT_NE(engine_messages[0].find("GEN_ID_CODES"), std::string::npos) << engine_messages[0];
  EXPECT_EQ(NewGenericLog(), "");
  // Reconnected, ready for the next step.
  EXPECT_TRUE(ctx->target.Connected());
  EXPECT_TRUE(ctx->target.InTransaction());
  EXPECT_NE(std::find(ui.operations.begin(), ui.operations.end(), "GENERATOR SetGenerator table:VISITE"),
            ui.operations.end());
}

TEST_F(GeneratorTest, UpdateIdGlobalStoresThePrefixAndCommits) {
  ConnectRun();
  ui.options.globalPrefix = "K'V";
  UpdateIdGlobal(*ctx);
  EXPECT_EQ(Select("SELECT VALEUR FROM PARAM WHERE ID_PARAM = 'Pr' || ASCII_CHAR(233) || 'fixe Global'").AsString(),
            "K'V");
  EXPECT_EQ(Count("PARAM", "VALEUR IS NOT NULL"), 1);
}

}  // namespace
}  // namespace korvel
