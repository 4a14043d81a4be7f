#include <gtest/gtest.h>

#include "source/flashfiler/ff2_writer.h"
#include "source/tables/etablissement.h"
#include "source/tables/parametres.h"
#include "source/tables/securite.h"
#include "source/transfert/password.h"
#include "support/run_fixture.h"
#include "tools/legacy_layouts.h"

namespace korvel {
namespace {

using V = Variant;
using Values = testing::LegacyValues;

class ReferenceRoutinesTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
  }

  std::string Report() const { return ReadLog("RAPPORT FINAL"); }
};

TEST_F(ReferenceRoutinesTest, UsersTheirRightsAndTheSuperUser) {
  WriteRows("Securite", {
                            {{"Initiale", V("JTREMBLAY")},
                             {"password", V("secret")},
                             {"Nom", V("Julie Tremblay")},
                             {"FichierCreerPrescription", V(true)},
                             {"TableActe", V(false)}},                            // the other flags are NULL
                            {{"Initiale", V("SROY")}, {"Nom", V("Sophie Roy")}},  // no password
                            {{"Initiale", V("SROY")}, {"Nom", V("Doublon")}},
                            {{"Initiale", V("  ")}, {"Nom", V("Sans initiales")}},
                            {{"Initiale", V("TECHNICIENNE_RADIO_1_SOIR")}, {"Nom", V("Trop long")}},
                        });
  Exec(
      "INSERT INTO SECURITE_DICTEE (ID_SECURITE, DICTEETYPE) SELECT ID_SECURITE, 0 FROM SECURITE WHERE "
      "UTILISATEUR = 'PROG' AND NOT EXISTS (SELECT 1 FROM SECURITE_DICTEE d WHERE d.ID_SECURITE = "
      "SECURITE.ID_SECURITE)");
  Exec("UPDATE SECURITE_DICTEE SET DICTEETYPE = 0");
  ctx->CommitEtProgress();
  ctx->FLogMgr.StartTransfertLog();
  TransfertTableSecurite(*ctx);
  ctx->FLogMgr.EndTransfertLog();

  const std::string j = " FROM SECURITE WHERE UTILISATEUR = 'JTREMBLAY'";
  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT COUNT(*) FROM SECURITE", V(int64_t{3})},  // PROG and two users
      {"SELECT MOTDEPASSE" + j, V(EncryptPassword("secret"))},
      {"SELECT NOM" + j, V("Julie Tremblay")},
      // A flag the legacy user has no value for grants nothing.
      {"SELECT CREERVISITE || DETRUIREVISITE || TABLEACTE || TABLEPARAMETRES" + j, V("ONNN")},
      {"SELECT LANGUE || OPTCORRORTHO || ETABLISSEMENT || DEPARTEMENT" + j, V("FRNCLI01R")},
      {"SELECT COUNT(*) FROM SECURITE WHERE UTILISATEUR = 'SROY' AND MOTDEPASSE IS NULL", V(int64_t{1})},
      {"SELECT ETABLISSEMENT || DEPARTEMENT FROM SECURITE WHERE UTILISATEUR = 'PROG'", V("CLI01R")},
      {"SELECT d.DICTEETYPE FROM SECURITE_DICTEE d JOIN SECURITE s ON s.ID_SECURITE = d.ID_SECURITE WHERE "
       "s.UTILISATEUR = 'PROG'",
       V(int64_t{1})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;

  const std::string log = ReadLog("TableSecurite");
  EXPECT_NE(log.find("Table destination: Securite a deja cette cle: SROY"), std::string::npos) << log;
  // Blanks are not an empty key for the check: the target refuses the NULL name, and the
  // record is logged with its fields.
  EXPECT_NE(log.find("Nom: Sans initiales"), std::string::npos) << log;
  EXPECT_NE(log.find("validation error for column \"SECURITE\".\"UTILISATEUR\""), std::string::npos) << log;
  EXPECT_NE(log.find("string right truncation"), std::string::npos) << log;  // the 25-character name
  // Added counts users only: the update of PROG is not a record of the table.
  EXPECT_NE(Report().find("TableSecurite, Nombre total de Record de transferer : 2/5"), std::string::npos) << Report();
}

class EtablissementTest : public ReferenceRoutinesTest {
 protected:
  void WriteEtablis(const std::vector<Values>& more) {
    std::vector<Values> records;
    for (const Values& m : more) {
      Values r = {{"IndiceSpec", V("B")}, {"Ville", V("Montréal")},      {"Courriel", V("accueil@exemple.ca")},
                  {"Serie", V("S")},      {"FacturationRegie", V(true)}, {"Mixte36", V(false)}};
      r.insert(r.end(), m.begin(), m.end());
      records.push_back(r);
    }
    WriteRows("Etablis", records);
  }

  void WriteParm(Values values) {
    Values base = {{"Agence No", V("  ")},
                   {"Agence Nom", V("Agence")},
                   {"Agence Adresse", V("1, rue Principale")},
                   {"Agence Code Postal", V("H2Y 1C6")},
                   {"Agence Telephone", V("(514) 555-0199")},
                   {"AgenceSite", V("S")},
                   {"Code Regional", V("0'6")},
                   {"Prochain No Dossier", V("228635")},
                   {"ImpExamNonLu", V(false)},
                   {"InterfaceSorvane", V(true)},
                   {"InterfaceSorvaneProchain", V(int64_t{1042})},
                   {"InterfaceSorvaneData", V("C:\\l'entrée")},
                   {"InterMedDossierHop", V("H")},
                   {"NumerisationPACS", V(EncodeDate(2009, 3, 16))},
                   {"ProchainFichierQRP", V(int64_t{77})}};
    base.insert(base.end(), values.begin(), values.end());
    // The same name twice: the later value wins in LegacyRow.
    WriteRows("Parm", {base});
  }
};

TEST_F(EtablissementTest, AnEmptyTargetReceivesEveryEstablishmentWithItsFixedSettings) {
  const std::string long_name(70, 'x');
  WriteEtablis({{{"Code", V("CLI01")}, {"Nom", V("Clinique du Port")}},
                {{"Code", V("CLI02")}, {"Nom", V("clinique du port")}, {"IndiceSpec", V("  ")}, {"Serie", V()}},
                {{"Code", V("CLI03")}, {"Nom", V(long_name)}},
                {{"Code", V("CLI04")}, {"Nom", V("")}},
                {{"Code", V("CLI01")}, {"Nom", V("Doublon")}}});
  WriteParm({});
  TransfertTableEtablissement(*ctx);

  struct Case {
    std::string sql;
    Variant expected;
  };
  const std::string upper_long = std::string(60, 'X');
  const Case cases[] = {
      {"SELECT COUNT(*) FROM ETABLISSEMENT", V(int64_t{3})},
      {"SELECT NOM FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI01'", V("CLINIQUE DU PORT")},
      {"SELECT NOM FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI02'", V("CLINIQUE DU PORT1")},  // unique by suffix
      {"SELECT NOM FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI03'", V(upper_long)},
      {"SELECT INDICEOMNI || INDICESPEC || SERIE FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI01'", V("BBS")},
      {"SELECT INDICEOMNI || INDICESPEC || SERIE FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI02'", V("AA-")},
      {"SELECT FACTURATIONREGIE || MIXTE36 || DESACTIVE || DEMANDEREQUETERV || TYPEFACT FROM ETABLISSEMENT WHERE "
       "ETABLISSEMENT = 'CLI01'",
       V("ONNORAMQ")},
      {"SELECT SECURITEDELAIMAJMOTDEPASSE + SECURITEINACTIVITENBJOURS + SECURITENBTENTATIVESACCES + INTERVALFERMETURE "
       "FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI03'",
       V(int64_t{410})},
      {"SELECT VILLE || COURRIEL || DEPARTEMENT FROM ETABLISSEMENT_INFO WHERE ETABLISSEMENT = 'CLI02'",
       V("Montréalaccueil@exemple.caR")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  const std::string log = ReadLog("TableEtablis");
  EXPECT_NE(log.find("Table source: Etablis a une cle vide: CLI04"), std::string::npos) << log;
  EXPECT_NE(log.find("Table destination: Etablissement a deja cette cle: CLI01"), std::string::npos) << log;
  EXPECT_NE(Report().find("TableEtablis, Nombre total de Record de transferer : 3/5"), std::string::npos) << Report();
  // The parameters always follow.
  EXPECT_TRUE(LogExists("Parm"));
}

TEST_F(EtablissementTest, TheDefaultEstablishmentTakesOverThePlaceholderEvenWithAQuoteInItsCode) {
  ctx->numeroEtablis = "CLI'01";
  Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('99999', 'A remplacer')");
  Exec("INSERT INTO ETABLISSEMENT_INFO (ETABLISSEMENT, DEPARTEMENT, VILLE) VALUES ('99999', 'R', 'Nulle part')");
  Exec("INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR) VALUES (99999, 'ADMIN')");
  ctx->CommitEtProgress();
  WriteEtablis({{{"Code", V("CLI'01")}, {"Nom", V("Clinique")}}, {{"Code", V("CLI02")}, {"Nom", V("Autre")}}});
  WriteParm({});
  TransfertTableEtablissement(*ctx);

  EXPECT_EQ(Count("ETABLISSEMENT"), 2);
  EXPECT_EQ(Count("ETABLISSEMENT", "ETABLISSEMENT = '99999'"), 0);
  EXPECT_EQ(Select("SELECT NOM FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI''01'"), V("CLINIQUE"));
  EXPECT_EQ(Count("ETABLISSEMENT_INFO"), 2);
  EXPECT_EQ(Select("SELECT VILLE FROM ETABLISSEMENT_INFO WHERE ETABLISSEMENT = 'CLI''01'"), V("Montréal"));
  EXPECT_EQ(Select("SELECT ETABLISSEMENT || DEPARTEMENT FROM SECURITE WHERE ID_SECURITE = 99999"), V("CLI'01R"));
  // The parameters went to the establishment that took the placeholder's place.
  EXPECT_EQ(Select("SELECT DOSSIER FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'CLI''01'"), V(int64_t{228635}));
}

TEST_F(EtablissementTest, ParametersGoToTheDefaultEstablishmentAndBadFileNumbersSkipOnlyTheirStatement) {
  Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI01', 'Clinique')");
  Exec("INSERT INTO ETABLISSEMENT_INFO (ETABLISSEMENT, DEPARTEMENT) VALUES ('CLI01', 'R')");
  ctx->CommitEtProgress();
  WriteParm({});
  TransfertTableParm(*ctx);

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT NO_AGENCE || SITEPRINCIPAL || NOM FROM ETABLISSEMENT_AGENCE WHERE ETABLISSEMENT = 'CLI01'",
       V("0NAgence")},
      {"SELECT DOSSIER FROM ETABLISSEMENT", V(int64_t{228635})},
      {"SELECT SORVANE_PROCHAINFICHIER FROM ETABLISSEMENT", V(int64_t{1042})},
      {"SELECT SORVANE_TYPEDOSSIER || SORVANE_REPERTOIRE || SORVANE_ACTIF FROM ETABLISSEMENT", V("HC:\\l'entréeO")},
      {"SELECT NUMERISATIONPACS FROM ETABLISSEMENT", V(EncodeDate(2009, 3, 16))},
      {"SELECT VALEUR FROM PARAM WHERE ID_PARAM = 'CodeRegional'", V("0'6")},
      {"SELECT VALEUR FROM PARAM WHERE ID_PARAM = 'PositionNumTelephone'", V("1")},
      {"SELECT ADRESSE || POSTAL FROM ETABLISSEMENT_INFO", V("1, rue PrincipaleH2Y 1C6")},
      {"SELECT GEN_ID(GEN_ID_NOFICHIER_FAX, 0) FROM RDB$DATABASE", V(int64_t{77})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  EXPECT_FALSE(ctx->FImpExamenNonLu);

  // Not an integer, then beyond 32 bits: logged, only the file-number statement
  // skipped; the other settings still arrive.
  for (const char* bad : {"22 86 35", "4294967296"}) {
    Exec("UPDATE PARAM SET VALEUR = NULL");
    Exec(
        "UPDATE ETABLISSEMENT SET SORVANE_PROCHAINFICHIER = NULL, SORVANE_TYPEDOSSIER = NULL, SORVANE_REPERTOIRE = "
        "NULL, SORVANE_ACTIF = NULL");
    ctx->CommitEtProgress();
    WriteParm({{"Prochain No Dossier", V(bad)}, {"AgenceSite", V("P")}, {"ProchainFichierQRP", V()}});
    TransfertTableParm(*ctx);
    EXPECT_NE(ReadLog("Parm").find(std::string("Prochain No Dossier invalide: '") + bad + "'"), std::string::npos)
        << ReadLog("Parm");
    EXPECT_EQ(Select("SELECT VALEUR FROM PARAM WHERE ID_PARAM = 'CodeRegional'"), V("0'6")) << bad;
    EXPECT_EQ(Select("SELECT SORVANE_PROCHAINFICHIER || SORVANE_TYPEDOSSIER || SORVANE_REPERTOIRE || SORVANE_ACTIF "
                     "FROM ETABLISSEMENT"),
              V("1042HC:\\l'entréeO"))
        << bad;
  }
  EXPECT_EQ(Select("SELECT DOSSIER FROM ETABLISSEMENT"), V(int64_t{228635}));
  EXPECT_EQ(Select("SELECT GEN_ID(GEN_ID_NOFICHIER_FAX, 0) FROM RDB$DATABASE"), V(int64_t{77}));  // untouched
}

TEST_F(EtablissementTest, ALegacyTableThatCannotBeOpenedLeavesARowThatDoesNotReconcile) {
  struct Case {
    const char* name;
    bool writeEtablis;
    void (*routine)(RunContext&);
  };
  // No Etablis file; Etablis without Parm (read by the same item); no ParmEpur file.
  const Case cases[] = {{"Etablissement", false, TransfertTableEtablissement},
                        {"Etablissement", true, TransfertTableEtablissement},
                        {"ParmEpur", false, TransfertTableParmEpur}};
  for (const Case& c : cases) {
    if (c.writeEtablis) WriteEtablis({{{"Code", V("CLI01")}, {"Nom", V("Clinique")}}});
    ctx->Summary.Begin(c.name);
    c.routine(*ctx);
    ctx->Summary.End();
    const TableSummary& row = ctx->Summary.Tables().back();
    EXPECT_EQ(row.loopsNotOpened, 1) << c.name << c.writeEtablis;
    EXPECT_FALSE(row.Reconciles()) << c.name << c.writeEtablis;
  }
}

TEST_F(EtablissementTest, AnEmptyParmTableLeavesTheSettingsAsTheyAre) {
  Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM, DOSSIER) VALUES ('CLI01', 'Clinique', 500)");
  Exec("UPDATE PARAM SET VALEUR = 'avant'");
  ctx->CommitEtProgress();
  WriteRows("Parm", {});
  ctx->Summary.Begin("Parm");
  TransfertTableParm(*ctx);
  ctx->Summary.End();

  EXPECT_EQ(Select("SELECT DOSSIER FROM ETABLISSEMENT"), V(int64_t{500}));
  EXPECT_EQ(Count("PARAM", "VALEUR IS DISTINCT FROM 'avant'"), 0);
  EXPECT_EQ(Count("ETABLISSEMENT_AGENCE"), 0);
  EXPECT_NE(ReadLog("Parm").find("Table Parm vide: les parametres de la clinique ne sont pas transferes"),
            std::string::npos)
      << ReadLog("Parm");
  EXPECT_TRUE(ctx->Summary.Tables().back().Reconciles());
}

TEST_F(EtablissementTest, PurgeDelaysOfTheFirstRecordGoToEveryEstablishment) {
  Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI01', 'Un')");
  Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI02', 'Deux')");
  ctx->CommitEtProgress();
  std::vector<std::vector<Variant>> rows(2);
  for (int r = 0; r < 2; ++r) {
    for (size_t i = 0; i < sample::LegacyLayout("ParmEpur").size(); ++i) {
      const auto type = sample::LegacyLayout("ParmEpur")[i].type;
      // Flags true in the first record only; intervals 100 + position (first) or 0.
      if (type == ff2::Ff2Type::Boolean) rows[r].push_back(V(r == 0));
      if (type == ff2::Ff2Type::Int16) rows[r].push_back(V(int64_t{r == 0 ? 100 + static_cast<int>(i) : 0}));
      if (type == ff2::Ff2Type::StDate) rows[r].push_back(V());
    }
  }
  WriteTable("ParmEpur", rows);
  TransfertTableParmEpur(*ctx);
  // Positions: prescriptions 2 and 5, lots 6 and 9, payments 18 and 21, statements
  // 29, R1606 33; the mammography purge is fixed.
  EXPECT_EQ(Count("ETABLISSEMENT",
                  "ALARME = 'O' AND EPUREPRESCRIP = 'O' AND EPUREPRESCRIPINT = 105 AND "
                  "EPUREHISTOLOTINT = 109 AND EPUREPAIEMENTINT = 121 AND EPURERELEVEINT = 129 AND "
                  "EPURER1606INT = 133 AND EPUREMAMOGRAPHIE = 'N' AND EPUREMAMOGRAPHIEINT = 3650"),
            2);
}

}  // namespace
}  // namespace korvel
