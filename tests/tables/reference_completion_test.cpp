#include <gtest/gtest.h>

#include <algorithm>

#include "source/tables/reference_completion.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

using V = Variant;

class ReferenceCompletionTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
  }

  // Runs the operations inside a table log and returns the log's text.
  template <typename F>
  std::string Logged(const F& operations) {
    ctx->FLogMgr.StartTableLog("TableCompletion");
    operations();
    ctx->SauvegarderLeFichierLogEtCommit();
    return ReadLog("TableCompletion");
  }

  bool Shown(const std::string& operation) const {
    return std::find(ui.operations.begin(), ui.operations.end(), operation) != ui.operations.end();
  }
};

TEST_F(ReferenceCompletionTest, EachOperationAddsEveryMissingCodeOnceWithItsFixedValues) {
  // Reference rows already there: PROG (from the schema), an establishment, an act
  // without department, a station, a technologist.
  Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI01', 'Clinique')");
  Exec("INSERT INTO ACTE (ACTE, UNITE, DESACTIVE) VALUES ('A1', 2, 'N')");
  Exec("INSERT INTO STATION (NOMSTATION) VALUES ('POSTE01')");
  Exec("INSERT INTO TECHNOLOGUE (NOM, PRENOM) VALUES ('Dubois', 'Anne')");
  const std::string jour = "TECHNICIENNE_RADIO_1_JOUR", soir = "TECHNICIENNE_RADIO_1_SOIR";
  Exec(
      "INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE, ETABLISSEMENT, CIEPRIVEE) VALUES "
      "('PROG', '1234567', '01', 'CLI01', 'SSQ')");
  Exec(
      "INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE, ETABLISSEMENT, CIEPRIVEE) VALUES "
      "('" +
      jour + "', '1234567', '01', 'HOP9', 'SSQ')");
  Exec(
      "INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE, ETABLISSEMENT, CIEPRIVEE) VALUES "
      "('" +
      soir + "', '7654321', NULL, 'HOP9', NULL)");
  Exec(
      "INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE, ETABLISSEMENT, CIEPRIVEE) VALUES "
      "(NULL, '1234567', '01', NULL, NULL)");
  Exec("INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE) VALUES ('MGAGNON', '1234567', '01')");
  Exec("INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE) VALUES ('MGAGNON', '1234567', '01')");
  for (const char* values : {"'A1', 'T1', 'P1', 'Dubois'", "'B2', 'T1', NULL, 'Martin'", "'B2', NULL, 'P1', 'Martin'",
                             "NULL, NULL, NULL, NULL"}) {
    Exec(std::string("INSERT INTO TMPEXAMEN (ACTE, TEXTEPREINS, PROTOCOLE, TECH) VALUES (") + values + ")");
  }
  const std::string poste_a(49, 'P'), poste_b = poste_a + "AB", poste_c = poste_a + "AC";
  for (const std::string& poste : {std::string("POSTE01"), poste_b, poste_c}) {
    Exec("INSERT INTO TMPLOG (POSTE) VALUES ('" + poste + "')");
  }
  Exec("INSERT INTO TMPLOG (POSTE) VALUES (NULL)");
  Exec("INSERT INTO TMPPAIEMENT (TRANSAC) VALUES ('TR1')");
  Exec("INSERT INTO TMPPAIEMENT (TRANSAC) VALUES ('TR1')");
  Exec(
      "INSERT INTO TMPMEDECIN (LICENCE, MEDECINID, NOM, PRENOM, SPECIALITE) VALUES ('1111111', 'M1', 'Bouchard', "
      "'Luc', 'RAD')");
  Exec(
      "INSERT INTO TMPMEDECIN (LICENCE, MEDECINID, NOM, PRENOM, SPECIALITE) VALUES ('2222222', NULL, 'Pelletier', "
      "'Anne', NULL)");
  for (const char* values : {"'1111111', 'M1'", "'1111111', 'M1'", "'2222222', NULL", "'3333333', 'X'"}) {
    Exec(std::string("INSERT INTO TMPVISITE_MED (MEDECIN, MEDECINID) VALUES (") + values + ")");
  }
  ctx->CommitEtProgress();

  const std::string msg = "Table Visite\r\n";
  const std::string log = Logged([&] {
    InsertSecuriteTmp(*ctx, "tmpVisite", "Securite", msg);
    InsertRadiologisteTmp(*ctx, "tmpVisite", msg);
    InsertEtablissementTmp(*ctx, "tmpVisite", "Etablissement", msg);
    InsertPriveetmp(*ctx, "tmpVisite", "CiePrivee", msg);
    InsertMedecinTmp(*ctx, "tmpVisite_Med", "Medecin", "MedecinId", msg);
    InsertActeTmp(*ctx, "TmpExamen", "Acte", msg);
    InsertTextePreInsTmp(*ctx, "TmpExamen", "TextePreIns", msg);
    InsertProtocoleTmp(*ctx, "TmpExamen", "protocole", msg);
    InsertTechnologuetmp(*ctx, "TmpExamen", "tech", msg);
    InsertStationTmp(*ctx, "tmplog", "Poste");
    InsertCodeTransacTmp(*ctx, "tmpPaiement", "TRANSAC", msg);
    InsertCodeSpecTmp(*ctx, "tmpMedecin", "specialite");
  });

  struct Case {
    const char* what;
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      // Users: names cut to 20; two names equal in their first 20 give one user.
      {"users", "SELECT COUNT(*) FROM SECURITE", V(int64_t{3})},
      {"cut user", "SELECT MOTDEPASSE || DESACTIVE FROM SECURITE WHERE UTILISATEUR = 'TECHNICIENNE_RADIO_1'",
       V("KelpO")},
      {"shared user", "SELECT COUNT(*) FROM SECURITE WHERE UTILISATEUR = 'MGAGNON'", V(int64_t{1})},
      // Radiologists by pair; a pair with a NULL group is not recognised as present.
      {"radiologists", "SELECT COUNT(*) FROM RADIOLOGISTE", V(int64_t{2})},
      {"radiologist", "SELECT DESACTIVE FROM RADIOLOGISTE WHERE LICENCE = '1234567' AND GROUPE = '01'", V("O")},
      {"establishments", "SELECT COUNT(*) FROM ETABLISSEMENT", V(int64_t{2})},
      {"establishment",
       "SELECT NOM || INDICEOMNI || INDICESPEC || SERIE FROM ETABLISSEMENT WHERE ETABLISSEMENT = 'HOP9'", V("HOP9AAA")},
      {"insurer", "SELECT NOM FROM CIEPRIVEE WHERE CIEPRIVEE = 'SSQ'", V("SSQ")},
      {"insurers", "SELECT COUNT(*) FROM CIEPRIVEE", V(int64_t{1})},
      // Physicians: only those tmpMedecin knows; a missing id becomes ND.
      {"physicians", "SELECT COUNT(*) FROM MEDECIN", V(int64_t{2})},
      {"physician", "SELECT NOM || PRENOM || DESACTIVE || OMBRIX || TELVANO FROM MEDECIN WHERE MEDECINID = 'M1'",
       V("BouchardLucNNN")},
      {"physician without id", "SELECT NOM FROM MEDECIN WHERE LICENCE = '2222222' AND MEDECINID = 'ND'",
       V("Pelletier")},
      // Acts: the missing one, deactivated, 1 unit; every act gets department R.
      {"acts", "SELECT COUNT(*) FROM ACTE", V(int64_t{2})},
      {"act", "SELECT DESACTIVE || CAST(UNITE AS INTEGER) FROM ACTE WHERE ACTE = 'B2'", V("O1")},
      {"departments", "SELECT COUNT(*) FROM ACTE_DEPARTEMENT WHERE CODEDEP = 'R'", V(int64_t{2})},
      {"texts", "SELECT DESCRIPTION || CAST(TEXTE AS VARCHAR(20)) FROM TEXTEPREINS WHERE TEXTEPREINS = 'T1'",
       V("T1T1")},
      {"protocols", "SELECT COUNT(*) FROM PROTOCOLE WHERE PROTOCOLE = 'P1' AND DESCRIPTION = 'P1'", V(int64_t{1})},
      // Technologists by family name: Dubois is there, Martin is added once.
      {"technologists", "SELECT COUNT(*) FROM TECHNOLOGUE", V(int64_t{2})},
      {"technologist", "SELECT PRENOM FROM TECHNOLOGUE WHERE NOM = 'Martin'", V("Martin")},
      // Stations cut to 50: two names equal in their first 50 give one station.
      {"stations", "SELECT COUNT(*) FROM STATION", V(int64_t{2})},
      {"station", "SELECT DESACTIVE FROM STATION WHERE NOMSTATION = '" + poste_a + "A'", V("O")},
      {"transaction codes", "SELECT DESCRIPTION || DESACTIVE FROM CODETRANSAC WHERE CODETRANSAC = 'TR1'", V("TR1N")},
      {"specialties", "SELECT DESCRIPTION || DESACTIVE FROM SPECIALITE WHERE SPECIALITE = 'RAD'", V("RADN")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.what << ": " << c.sql;

  EXPECT_EQ(log.find("Refuse par"), std::string::npos) << log;
  EXPECT_NE(log.find("Deplacement vers Securite: 2 a deplacer, 2 deplaces, 0 refuses"), std::string::npos) << log;
  EXPECT_TRUE(Shown("Table Visite\r\n InsertSecuriteTmp"));
  EXPECT_TRUE(Shown("Table Visite\r\n InsertPriveeTmp"));
  EXPECT_TRUE(Shown("Table Visite\r\n InsertTechnologuetmp"));

  // Again, with one new group for a licence already there: the pair with a NULL group
  // is staged as missing again and the radiologists' key refuses it, alone and logged;
  // the new pair of the same licence still arrives.
  Exec("INSERT INTO TMPVISITE (SECURITE, LICENCE, GROUPE) VALUES ('MGAGNON', '7654321', '02')");
  ctx->CommitEtProgress();
  const std::string again = Logged([&] {
    InsertSecuriteTmp(*ctx, "tmpVisite", "Securite", msg);
    InsertRadiologisteTmp(*ctx, "tmpVisite", msg);
    InsertActeTmp(*ctx, "TmpExamen", "Acte", msg);
  });
  EXPECT_EQ(Select("SELECT COUNT(*) FROM SECURITE"), V(int64_t{3}));
  EXPECT_EQ(Select("SELECT COUNT(*) FROM RADIOLOGISTE"), V(int64_t{3}));
  EXPECT_EQ(Select("SELECT COUNT(*) FROM RADIOLOGISTE WHERE LICENCE = '7654321' AND GROUPE = '02'"), V(int64_t{1}));
  EXPECT_NE(again.find("Refuse par Radiologiste, cle 7654321|~: "), std::string::npos) << again;
  EXPECT_EQ(again.find("Deplacement vers Securite"), std::string::npos) << again;
}

TEST_F(ReferenceCompletionTest, EmptyStagingAddsNothingAndLogsNothing) {
  const std::string log = Logged([&] {
    InsertSecuriteTmp(*ctx, "tmpRapportPrivee", "usagerA", "Table Rapport\r\n");
    InsertActeTmp(*ctx, "tmpSorvane", "Acte", "Table Sorvane\r\n");
    InsertRadiologisteTmp(*ctx, "tmpR1606", "Table R1606\r\n");
  });
  EXPECT_EQ(log.find("Deplacement"), std::string::npos) << log;
  EXPECT_EQ(log.find("Refuse"), std::string::npos) << log;
  EXPECT_EQ(Select("SELECT COUNT(*) FROM SECURITE"), V(int64_t{1}));
  EXPECT_FALSE(LogExists("Log Generique") && ReadLog("Log Generique").find("Insert") != std::string::npos);
}

TEST_F(ReferenceCompletionTest, StatementsAreTheLegacyTextsOrTheirMendedForm) {
  const std::pair<Completion, const char*> cases[] = {
      {Completion::ActeProbe,
       "SELECT p.Acte FROM TmpExamen p LEFT JOIN Acte r ON(r.acte = p.Acte) WHERE r.id_Acte IS NULL AND p.Acte IS NOT "
       "NULL GROUP BY p.Acte"},
      {Completion::Acte,
       "INSERT INTO Acte(Acte,Unite,Desactive) SELECT p.Acte , 1, 'O' FROM TmpExamen p LEFT JOIN Acte r ON(r.acte = "
       "p.Acte) WHERE r.id_Acte IS NULL AND p.Acte IS NOT NULL GROUP BY p.Acte"},
      {Completion::Privee,
       "INSERT INTO ciePrivee(ciePrivee, nom) SELECT p.CiePrivee, p.CiePrivee FROM tmpVisite p LEFT JOIN ciePrivee r "
       "ON(r.ciePrivee = p.CiePrivee) WHERE r.CiePrivee IS NULL AND p.CiePrivee IS NOT NULL GROUP BY p.CiePrivee"},
      {Completion::Radiologiste,
       "INSERT INTO Radiologiste(Licence, Groupe, Desactive) SELECT distinct p.licence, p.groupe, 'O' FROM tmpVisite p "
       "WHERE NOT EXISTS (SELECT 1 FROM radiologiste r WHERE r.licence=p.licence AND r.groupe =p.groupe)"},
      {Completion::CodeTransac,
       "INSERT INTO CODETRANSAC(CODETRANSAC, Description, Desactive)  SELECT p.TRANSAC,p.TRANSAC , 'N' FROM "
       "tmpPaiement p  LEFT JOIN CODETRANSAC r ON(r.CODETRANSAC = p.TRANSAC)  WHERE r.CODETRANSAC IS NULL AND "
       "p.TRANSAC IS NOT NULL GROUP BY p.TRANSAC"},
      {Completion::Medecin,
       "INSERT INTO Medecin(Licence, MEDECINID, nom, prenom, desactive, ombrix, telvano) SELECT DISTINCT p.Medecin, "
       "COALESCE(p.MedecinId, 'ND'), t.nom, t.prenom, 'N', 'N', 'N' FROM tmpVisite_Med p JOIN tmpMedecin t ON "
       "(t.Licence = p.Medecin AND  COALESCE(t.MedecinID, '') = COALESCE(p.MedecinId,'')) LEFT JOIN  Medecin r ON "
       "(r.Licence = p.Medecin AND COALESCE(r.MedecinID,'') = COALESCE(p.MedecinId,'')) WHERE r.Licence IS NULL AND "
       "p.Medecin IS NOT NULL"},
      {Completion::TextePreIns,
       "INSERT INTO TextePreins(TextePreins, Description, Texte)SELECT p.TextePreIns, p.TextePreIns, p.TextePreIns "
       "FROM "
       "TmpExamen p LEFT JOIN TextePreIns r ON(r.TextePreIns = p.TextePreIns) WHERE r.TextePreIns IS NULL AND "
       "p.TextePreIns IS NOT NULL GROUP BY p.TextePreIns"},
      {Completion::Technologue,
       "INSERT INTO Technologue(nom, prenom) SELECT DISTINCT p.tech, p.tech FROM TmpExamen p LEFT JOIN  Technologue r "
       "ON(r.nom = p.tech) WHERE r.id_technologue IS NULL AND p.tech IS NOT NULL"},
      {Completion::Etablissement,
       "INSERT INTO Etablissement(Etablissement, Nom, IndiceOmni, IndiceSpec, Serie) SELECT p.Etablissement, "
       "p.Etablissement, 'A', 'A', 'A' FROM tmpVisite p LEFT JOIN ETABLISSEMENT r ON(r.Etablissement = p.Etablissement "
       ") WHERE r.ETABLISSEMENT IS NULL AND p.Etablissement IS NOT NULL GROUP BY p.Etablissement"},
      {Completion::CodeSpec,
       "INSERT INTO specialite(Specialite, Description, Desactive) SELECT p.specialite,p.specialite , 'N' FROM "
       "tmpMedecin p LEFT JOIN specialite r ON(r.Specialite = p.specialite) WHERE r.Specialite IS NULL AND "
       "p.specialite IS NOT NULL GROUP BY p.specialite"},
      {Completion::Protocole,
       "INSERT INTO protocole(protocole, Description) SELECT p.protocole, p.protocole FROM TmpExamen p LEFT JOIN "
       "protocole r ON(r.protocole = p.protocole) WHERE r.protocole IS NULL AND p.protocole IS NOT NULL GROUP BY "
       "p.protocole"},
      // Mended: grouped by the cut name; NOT EXISTS for the departments.
      {Completion::Securite,
       "INSERT INTO Securite(Utilisateur, MotDePasse, Desactive) SELECT SUBSTR(p.Securite, 1, 20), 'Kelp', 'O' FROM "
       "tmpVisite p LEFT JOIN Securite r ON (r.Utilisateur = SUBSTR(p.Securite, 1, 20)) WHERE r.utilisateur IS NULL "
       "AND "
       "p.Securite IS NOT NULL GROUP BY SUBSTR(p.Securite, 1, 20)"},
      {Completion::Station,
       "INSERT INTO Station(NomStation,desactive) SELECT SUBSTR(p.Poste, 1, 50), 'O' FROM tmplog p LEFT JOIN Station r "
       "ON (r.nomstation = SUBSTR(p.Poste, 1, 50)) WHERE r.nomstation IS NULL AND p.Poste IS NOT NULL GROUP BY "
       "SUBSTR(p.Poste, 1, 50)"},
      {Completion::ActeDepartement,
       "INSERT INTO acte_departement(acte, codedep) SELECT a.acte, 'R' FROM acte a WHERE a.acte IS NOT NULL AND NOT "
       "EXISTS (SELECT 1 FROM acte_Departement d WHERE d.acte = a.acte)"},
  };
  const std::pair<const char*, const char*> columns[] = {{"TmpExamen", "Acte"},
                                                         {"TmpExamen", "Acte"},
                                                         {"tmpVisite", "CiePrivee"},
                                                         {"tmpVisite", ""},
                                                         {"tmpPaiement", "TRANSAC"},
                                                         {"tmpVisite_Med", "Medecin"},
                                                         {"TmpExamen", "TextePreIns"},
                                                         {"TmpExamen", "tech"},
                                                         {"tmpVisite", "Etablissement"},
                                                         {"tmpMedecin", "specialite"},
                                                         {"TmpExamen", "protocole"},
                                                         {"tmpVisite", "Securite"},
                                                         {"tmplog", "Poste"},
                                                         {"TmpExamen", "Acte"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(CompletionSql(cases[i].first, columns[i].first, columns[i].second, "MedecinId"), cases[i].second);
  }
}

}  // namespace
}  // namespace korvel
