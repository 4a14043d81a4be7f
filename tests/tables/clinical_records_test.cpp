#include <gtest/gtest.h>

#include "global/date_time.h"
#include "source/tables/autorisation.h"
#include "source/tables/historiques.h"
#include "source/tables/injection.h"
#include "source/tables/journal.h"
#include "source/tables/pret_film.h"
#include "source/tables/sorvane.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

using V = Variant;
using Values = testing::LegacyValues;

TEST(ClinicalRecordsRulesTest, BooleanTextsAndTechnologistInitials) {
  const std::pair<const char*, const char*> booleans[] = {{"true", "O"}, {"false", "N"}, {"True", "N"}, {"null", ""},
                                                          {"  ", ""},    {"", ""},       {"NULL", "N"}};
  for (const auto& [text, expected] : booleans) EXPECT_EQ(BooleanToString(text), expected) << text;

  struct Case {
    const char* initiales;
    const char* nom;
    const char* prenom;
  };
  const Case cases[] = {{"JD", "D", "J"},   {"JPDUB", "DUB", "JP"}, {"ABCDEFG", "CDE", "AB"},
                        {"ABC", "C", "AB"}, {"ÉÈ", "È", "É"},       {"X", "", "X"}};
  for (const Case& c : cases) {
    const TechnologueName name = SplitInitiales(c.initiales);
    EXPECT_EQ(name.nom, c.nom) << c.initiales;
    EXPECT_EQ(name.prenom, c.prenom) << c.initiales;
  }
}

class ClinicalRecordsTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
    ctx->FLogMgr.StartTransfertLog();
  }

  // Patients 1 (file 100) and 2 (file 200); visits 10 and 11 of patient 1, 20 of
  // patient 2; examinations 101 (08001), 102 (08002), 111 (08001), 201 (08003).
  void ClinicTarget() {
    Exec("INSERT INTO PATIENT (ID_PATIENT, DOSSIERPRINCIPAL) VALUES (1, '100')");
    Exec("INSERT INTO PATIENT (ID_PATIENT, DOSSIERPRINCIPAL) VALUES (2, '200')");
    Exec("INSERT INTO VISITE (ID_VISITE, ID_PATIENT, PRESCRIPTION, TYPEFACT) VALUES (10, 1, '20090101-001', 'RAMQ')");
    Exec("INSERT INTO VISITE (ID_VISITE, ID_PATIENT, PRESCRIPTION, TYPEFACT) VALUES (11, 1, '20090102-001', 'PRIVE')");
    Exec("INSERT INTO VISITE (ID_VISITE, ID_PATIENT, PRESCRIPTION, TYPEFACT) VALUES (20, 2, '20090103-001', 'CSST')");
    for (const char* exam : {"(101, 10, '08001')", "(102, 10, '08002')", "(111, 11, '08001')", "(201, 20, '08003')"}) {
      Exec(std::string("INSERT INTO EXAMEN (ID_EXAMEN, ID_VISITE, ACTE) VALUES ") + exam);
    }
    ctx->CommitEtProgress();
  }

  bool Logged(const std::string& log, const std::string& line) const {
    return ReadLog(log).find(line) != std::string::npos;
  }

  std::string Report() const { return ReadLog("RAPPORT FINAL"); }
};

TEST_F(ClinicalRecordsTest, FilmLoansGoThroughEveryPassWithTheirLenders) {
  ClinicTarget();
  Exec("INSERT INTO SECURITE (UTILISATEUR, NOM) VALUES ('JTREMBLAY', 'Jean Tremblay')");
  Exec("INSERT INTO SECURITE (UTILISATEUR, NOM) VALUES ('MROY', 'Dr Roy')");  // namesakes
  Exec("INSERT INTO SECURITE (UTILISATEUR, NOM) VALUES ('PROY', 'Dr Roy')");
  ctx->CommitEtProgress();
  const V returned(EncodeDate(2009, 5, 1));
  auto loan = [](int64_t id, const char* dossier, V visit, V acte, V retour, const char* preteur = "") {
    return Values{{"Autonum", V(id)},      {"DateEmprunt", V(EncodeDate(2009, 4, 1))},
                  {"DateRetour", retour},  {"Emprunteur", V("DR LEBLANC")},
                  {"Film", V(int64_t{2})}, {"Dossier", V(dossier)},
                  {"Preteur", V(preteur)}, {"prescription", visit},
                  {"Examen", acte}};
  };
  std::vector<Values> loans = {
      loan(1, "100", V("20090101-001"), V(), V(), "Jean Tremblay"),  // A; lender found by name
      loan(2, "200", V(), V(), V(), "secrétaire"),                   // B; lender created
      loan(3, "100", V("20090101-001"), V("08001"), V(), "Dr Roy"),  // C, act of 101; a name two users share
      loan(4, "100", V("20090102-001"), V("09999"), V()),            // C, act of none: all of 11
      loan(5, "100", V("20090101-001"), V(), returned),              // E
      loan(6, "100", V(), V(), returned),                            // F: every visit of patient 1
      loan(7, "100", V("20090101-001"), V("08002"), returned),       // D, act of 102
      loan(8, "100", V("20090101-001"), V(), V()),                   // no borrower
      loan(9, "999", V("20090101-001"), V(), V()),                   // no such patient
      loan(3, "100", V(), V(), V()),                                 // loan number staged already
  };
  loans[0].push_back({"Complet", V(true)});
  loans[1].push_back({"Complet", V()});
  loans[1].push_back({"Emprunteur", V("HOPITAL SAINTE-JUSTINE")});
  loans[2].push_back({"Complet", V(false)});
  loans[7].push_back({"Emprunteur", V("")});
  WriteRows("PretFilm", loans);
  TransfertTablePretFilm(*ctx);
  ctx->FLogMgr.EndTransfertLog();

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT LIST(ID_EXAMEN || ':' || ID_PRETFILM, ',') FROM (SELECT * FROM EXAMEN ORDER BY ID_EXAMEN)",
       V("101:3,102:1,111:4,201:2")},
      {"SELECT LIST(ID_PRETFILM || ':' || ID_EXAMEN, ',') FROM (SELECT * FROM HISTOPRETFILM ORDER BY 1, 2)",
       V("5:101,5:102,6:101,6:102,6:111,7:102")},
      {"SELECT LIST(ID_PRETFILM || ':' || ID_PATIENT, ',') FROM (SELECT * FROM PRETFILM ORDER BY 1)",
       V("1:1,2:2,3:1,4:1,5:1,6:1,7:1")},
      {"SELECT AUTRECOMMENTAIRE FROM PRETFILM WHERE ID_PRETFILM = 1", V("Films: 2   Complet : O")},
      {"SELECT AUTRECOMMENTAIRE FROM PRETFILM WHERE ID_PRETFILM = 2", V("Films: 2   Complet : ")},
      {"SELECT AUTRECOMMENTAIRE FROM PRETFILM WHERE ID_PRETFILM = 3", V("Films: 2   Complet : N")},
      {"SELECT s.UTILISATEUR FROM PRETFILM p JOIN SECURITE s ON s.ID_SECURITE = p.PRETEUR WHERE ID_PRETFILM = 1",
       V("JTREMBLAY")},
      {"SELECT s.UTILISATEUR || s.DESACTIVE || s.MOTDEPASSE FROM PRETFILM p JOIN SECURITE s ON s.ID_SECURITE = "
       "p.PRETEUR WHERE ID_PRETFILM = 2",
       V("SECRÉTAIREOKELP")},
      {"SELECT s.UTILISATEUR || s.DESACTIVE FROM PRETFILM p JOIN SECURITE s ON s.ID_SECURITE = p.PRETEUR WHERE "
       "ID_PRETFILM = 3",
       V("DR ROYO")},
      {"SELECT NOMEMPRUNTEUR || '|' || EMPRUNTEUR || '|' || STATUT FROM PRETFILM WHERE ID_PRETFILM = 2",
       V("HOPITAL S|HOPITAL S|Prêté")},
      {"SELECT LIST(DESTFILM, ',') FROM (SELECT DESTFILM FROM DESTFILM ORDER BY 1)", V("DR LEBLAN,HOPITAL S")},
      {"SELECT COUNT(*) FROM TMPPRETFILM", V(int64_t{7})},
      {"SELECT GEN_ID(GEN_ID_PRETFILM, 0) FROM RDB$DATABASE", V(int64_t{7})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql).AsString(), c.expected.AsString()) << c.sql;
  EXPECT_TRUE(Logged("TablePretFilm", "Table destination: tmpPretFilm a deja cette cle: 3"))
      << ReadLog("TablePretFilm");
  EXPECT_TRUE(Logged("TablePretFilm", "Prets sans emprunteur ou sans patient de ce dossier, non transferes: 2"));
  EXPECT_TRUE(Logged("TablePretFilm", "Preteur Dr Roy: 2 usagers de ce nom, prets lies a l'usager DR ROY"));
  EXPECT_NE(Report().find("TablePretFilm, Nombre total de Record de transferer : 9/10"), std::string::npos) << Report();

  // A second run finds every loan staged: nothing is refused, nothing doubled.
  TransfertTablePretFilm(*ctx);
  EXPECT_EQ(Count("HISTOPRETFILM"), 6);
  EXPECT_EQ(Count("PRETFILM"), 7);
  EXPECT_EQ(ReadLog("TablePretFilm").find("Erreur pour tous les exams"), std::string::npos) << ReadLog("TablePretFilm");
}

TEST_F(ClinicalRecordsTest, InjectionsOnePerExaminationWithTechnologistNeedlesSiteAndReactions) {
  ClinicTarget();
  Exec("INSERT INTO EXAMEN (ID_EXAMEN, ID_VISITE, ACTE) VALUES (103, 10, '08004')");
  ctx->CommitEtProgress();
  auto injection = [](int64_t visit, V produit, const char* aiguille, const char* reaction, const char* tech) {
    return Values{{"Autolien", V(visit)},          {"ProduitContraste", produit},
                  {"FormatAiguille", V(aiguille)}, {"ReactionInjection", V(reaction)},
                  {"Technicienne", V(tech)},       {"DateInjection", V(EncodeDate(2009, 5, 1))}};
  };
  std::vector<Values> rows = {
      injection(10, V("Omnipaque"), "18-21", "NAUSÉES", "JD"),
      injection(10, V("Visipaque"), "", "Voir notes", "jpdub"),  // second of the visit
      injection(20, V("Omnipaque"), "21G", "Rougeur", "ABCDEFG"),
      injection(11, V(), "23", "BOUCHE SÈCHE", "JD"),  // no product: nothing for visit 11
  };
  rows[0].push_back({"SiteInjection", V("Bras gauche")});
  rows[0].push_back({"MessagerieReseau", V("Note réseau")});
  rows[0].push_back({"QuantiteProduit", V("100 ml par voie IV")});
  WriteRows("Injection", rows);
  TransfertTableInjection(*ctx);

  const std::string jd = Select("SELECT ID_TECHNOLOGUE FROM TECHNOLOGUE WHERE NOM = 'D' AND PRENOM = 'J'").AsString();
  const std::string jpdub =
      Select("SELECT ID_TECHNOLOGUE FROM TECHNOLOGUE WHERE NOM = 'DUB' AND PRENOM = 'JP'").AsString();
  ASSERT_FALSE(jd.empty());
  ASSERT_FALSE(jpdub.empty());  // lower-case initials, stored and found upper-cased
  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT LIST(ID_EXAMEN, ',') FROM (SELECT ID_EXAMEN FROM INJECTION ORDER BY 1)", V("101,201")},
      {"SELECT CAST(DATEHEUREINJECTION AS VARCHAR(30)) || '|' || DEBIT || '|' || INJTECHINITIALES FROM INJECTION "
       "WHERE ID_EXAMEN = 101",
       V("2009-05-01 00:00:00.0000|100 ml par|" + jd)},
      {"SELECT LIST(ID_EXAMEN || ':' || ID_REFINJREACT, ',') FROM (SELECT * FROM INJECTION_CATHETER ORDER BY 1, 2)",
       V("101:2,101:4,201:2")},
      {"SELECT LIST(ID_EXAMEN || ':' || ID_REFINJREACT, ',') FROM (SELECT * FROM INJECTION_OPACIFIANT ORDER BY 1)",
       V("101:1,201:1")},
      {"SELECT LIST(ID_EXAMEN || ':' || ID_REFINJREACT, ',') FROM (SELECT * FROM INJECTION_REACTMINEURE ORDER BY 1, 2)",
       V("101:5,101:9")},
      {"SELECT s.ID_EXAMEN || ':' || r.DESCRIPTION || r.CODEINJREACT || r.TYPEINJREACT FROM INJECTION_SITEINJECTION s "
       "JOIN REFINJREACT r ON r.ID_REFINJREACT = s.ID_REFINJREACT",
       V("101:Bras gauche01SITEINJECTION")},
      {"SELECT LIST(ID_EXAMEN || ':' || TECHNOLOGUEREMARQUE, ',') FROM (SELECT * FROM EXAMEN WHERE TECHNOLOGUEREMARQUE "
       "IS NOT NULL ORDER BY 1)",
       V("101:Note réseau,102:Note réseau,103:Note réseau")},
      {"SELECT ID_TECHNOLOGUE FROM TMPINJECTION WHERE TECHNICIENNE = 'jpdub'",
       V(static_cast<int64_t>(std::stoll(jpdub)))},
      {"SELECT COUNT(*) FROM TECHNOLOGUE WHERE NOM = 'D' AND PRENOM = 'J'", V(int64_t{1})},
      {"SELECT COUNT(*) FROM TECHNOLOGUE WHERE NOM = 'CDE' AND PRENOM = 'AB' AND DESACTIVE = 'N' AND STAGIAIRETECH = "
       "'N'",
       V(int64_t{1})},
      // The remark update leaves no trace line, and both triggers are on again.
      {"SELECT COUNT(*) FROM TRACELOG WHERE OPERATION = 'MODIFICATION'", V(int64_t{0})},
      {"SELECT SUM(RDB$TRIGGER_INACTIVE) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME IN ('TRIG_AFTERI_EXAMEN_LOG', "
       "'TRIG_AFTERU_EXAMEN')",
       V(int64_t{0})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql).AsString(), c.expected.AsString()) << c.sql;
  EXPECT_EQ(ReadLog("TableInjection").find("Refuse par"), std::string::npos) << ReadLog("TableInjection");
  // The second injection with a product of visit 10 is said, not dropped silently.
  EXPECT_TRUE(Logged("TableInjection",
                     "Injections avec produit sans examen ou deja presentes pour leur visite, non transferees: 1"))
      << ReadLog("TableInjection");

  // A second run adds no injection, link or site twice.
  TransfertTableInjection(*ctx);
  EXPECT_EQ(Count("INJECTION"), 2);
  EXPECT_EQ(Count("INJECTION_CATHETER"), 3);
  EXPECT_EQ(Count("REFINJREACT", "TYPEINJREACT = 'SITEINJECTION'"), 1);
  EXPECT_EQ(ReadLog("TableInjection").find("Refuse par"), std::string::npos) << ReadLog("TableInjection");
}

TEST_F(ClinicalRecordsTest, TheExaminationTriggersAreOnAgainWhenTheRemarkUpdateFails) {
  ClinicTarget();
  // A rule of the target that refuses the technologist's remark fails the update
  // between the two switches.
  Exec("CREATE EXCEPTION E_REMARQUE 'remarque refusee'");
  Exec(
      "CREATE TRIGGER T_REMARQUE FOR EXAMEN BEFORE UPDATE AS BEGIN IF (NEW.TECHNOLOGUEREMARQUE = 'panne') THEN "
      "EXCEPTION E_REMARQUE; END");
  ctx->CommitEtProgress();
  WriteRows("Injection", {{{"Autolien", V(int64_t{10})},
                           {"ProduitContraste", V("Omnipaque")},
                           {"MessagerieReseau", V("panne")},
                           {"DateInjection", V(EncodeDate(2009, 5, 1))}}});
  TransfertTableInjection(*ctx);
  EXPECT_EQ(Select("SELECT SUM(RDB$TRIGGER_INACTIVE) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME IN "
                   "('TRIG_AFTERI_EXAMEN_LOG', 'TRIG_AFTERU_EXAMEN')"),
            V(int64_t{0}));
  EXPECT_TRUE(Logged("TableInjection", "remarque refusee")) << ReadLog("TableInjection");
  EXPECT_EQ(Count("INJECTION"), 1);  // the injection itself is in
}

TEST_F(ClinicalRecordsTest, TheJournalIsSortedByItsRemarksFrom2005On) {
  auto entry = [](int64_t id, TDateTime date, const char* remarque, V usager = V("JTREMBLAY")) {
    return Values{{"AutoNum", V(id)},        {"Date", V(date)},       {"Heure", V(EncodeTime(8, 15, 0))},
                  {"Remarque", V(remarque)}, {"Poste", V("POSTE-1")}, {"Usager", usager}};
  };
  const TDateTime d2006 = EncodeDate(2006, 3, 1);
  std::vector<Values> rows = {
      entry(1, EncodeDate(2004, 12, 31), "Login (Talvo) la veille"),
      entry(2, EncodeDate(2005, 1, 1), "Login (Talvo) le jour"),
      entry(3, d2006, "login (talvo) en minuscules"),
      entry(4, EncodeDate(2003, 6, 1), "FactHop 12"),
      entry(5, d2006, "Impression d'un rapport non lu 7"),
      entry(6, d2006, "Impression d''un rapport non lu 8"),
      entry(7, d2006, "Destr. pres 20090101-001"),
      entry(8, d2006, "Destr pres 20090101-002"),
      entry(9, d2006, "CHANGE_NOPRESCRIP FROM 1 TO 2"),
      entry(10, d2006, "TALVO SEND MSG OPEN 5"),
      entry(11, d2006, "Impression protocoles en lot réussie (3)"),
      entry(12, d2006, "Logout (Talvo)", V()),
      entry(13, d2006, "Changement d'usager", V("TECHNICIENNE_RADIO_1_SOIR")),
      entry(14, d2006, "Consultation du dossier"),
      entry(15, d2006, "Station non trouvée (POSTE-9)"),
  };
  rows[12].push_back({"Poste", V("POSTE-DE-LECTURE-DU-RADIOLOGISTE-PRINCIPAL-SALLE-12-BIS")});
  WriteRows("Log", rows);
  TransfertTableLog(*ctx);

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT LIST(ID_LOG, ',') FROM (SELECT ID_LOG FROM LOG ORDER BY 1)", V("2,12,13,15")},
      {"SELECT LIST(ID_TRACELOG || ':' || NOMTABLE || '/' || OPERATION, ',') FROM (SELECT * FROM TRACELOG ORDER BY 1)",
       V("4:FACTHOP/FACTHOP,5:PROTOCOLE/IMPRESSION,6:PROTOCOLE/IMPRESSION,7:VISITE/DELETE,9:VISITE/"
         "MODIFICATION,10:WORKLIST/SEND,"
         "11:PROTOCOLE/IMPRESSION")},
      {"SELECT CAST(ACCES AS VARCHAR(30)) FROM LOG WHERE ID_LOG = 2", V("2005-01-01 08:15:00.0000")},
      {"SELECT s.UTILISATEUR || s.DESACTIVE FROM LOG l JOIN SECURITE s ON s.ID_SECURITE = l.ID_SECURITE WHERE ID_LOG "
       "= 12",
       V("ADMO")},
      // Long names link under the names their completion gave them.
      {"SELECT s.UTILISATEUR || '|' || t.NOMSTATION FROM LOG l JOIN SECURITE s ON s.ID_SECURITE = l.ID_SECURITE JOIN "
       "STATION t ON t.ID_STATION = l.ID_STATION WHERE ID_LOG = 13",
       V("TECHNICIENNE_RADIO_1|POSTE-DE-LECTURE-DU-RADIOLOGISTE-PRINCIPAL-SALLE-1")},
      {"SELECT COUNT(*) FROM TMPLOG", V(int64_t{15})},
      {"SELECT GEN_ID(GEN_ID_LOG, 0) || '/' || GEN_ID(GEN_ID_TRACELOG, 0) FROM RDB$DATABASE", V("15/11")},
      {"SELECT SUM(RDB$TRIGGER_INACTIVE) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME IN ('TRIG_BEFORE_ACCES_LOG', "
       "'TRIG_BEFOREI_TRACELOG')",
       V(int64_t{0})},
      {"SELECT RDB$INDEX_INACTIVE FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IX_TMPLOG_ID_LOG'", V(int64_t{0})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql).AsString(), c.expected.AsString()) << c.sql;

  // A stopped run staged the journal again: every entry still moves once.
  TransfertTableLog(*ctx);
  EXPECT_EQ(Count("TMPLOG"), 30);
  EXPECT_EQ(Count("LOG"), 4);
  EXPECT_EQ(Count("TRACELOG"), 7);
  EXPECT_EQ(ReadLog("TableLog").find("Refuse par"), std::string::npos) << ReadLog("TableLog");
}

TEST_F(ClinicalRecordsTest, HistoriesKeepTheirKeysUsersAndTheAgencyAsTyped) {
  ClinicTarget();
  Exec("UPDATE EXAMEN SET ATTESTATION = 'L9' WHERE ID_EXAMEN = 201");  // CSST visit
  Exec("UPDATE EXAMEN SET ATTESTATION = 'L8' WHERE ID_EXAMEN = 111");  // private visit
  Exec("UPDATE EXAMEN SET ATTESTATION = 'L1' WHERE ID_EXAMEN = 101");  // a staged lot
  ctx->CommitEtProgress();
  WriteRows("Parm", {{{"Agence No", V("0'12")}}});
  const V d1(EncodeDate(2008, 1, 15)), d2(EncodeDate(2008, 2, 15));
  WriteRows("HistoEpur", {{{"NomTable", V("Examen")}, {"DateEffect", d1}, {"NbrEpure", V(int64_t{10})}},
                          {{"NomTable", V("Examen")}, {"DateEffect", d1}, {"NbrEpure", V(int64_t{11})}},
                          {{"NomTable", V("Paiement")}, {"DateEffect", d1}}});
  WriteRows("HistoEtat", {{{"EcDate", d1}, {"NoPaiement", V("P1")}},
                          {{"EcDate", V()}, {"NoPaiement", V("P2")}},
                          {{"EcDate", d2}, {"NoPaiement", V("P3")}}});
  WriteRows("HistoLot", {{{"Numero", V("L1")},
                          {"ProducDate", d1},
                          {"ProducOpr", V("COMPTABLE_EXTERNE_DU_SOIR")},
                          {"TransOpr", V("COMPTABLE_EXTERNE_DU_SOIR")}},
                         {{"Numero", V("")}, {"ProducDate", d2}}});
  WriteRows("HistoReleve", {{{"ReleveDate", d1}, {"RecepOpr", V("SROY")}},
                            {{"ReleveDate", d1}, {"RecepOpr", V("X")}},
                            {{"ReleveDate", d2}}});
  const V noon(EncodeTime(12, 0, 0));
  WriteRows(
      "HistoTransfert",
      {{{"Type", V("COURRIEL")}, {"Date", d1}, {"Heure", noon}, {"OPR", V("SROY")}, {"Etablissement", V("CLI01")}},
       {{"Type", V("COURRIEL")}, {"Date", d1}, {"Heure", noon}, {"OPR", V("SROY")}, {"Etablissement", V("CLI02")}},
       {{"Type", V("TELECOPIE")}, {"Date", d2}, {"Heure", noon}, {"OPR", V("SROY")}}});
  for (int pass = 0; pass < 2; ++pass) {  // a second run adds nothing
    TransfertTableHistoEpur(*ctx);
    TransfertTableHistoLot(*ctx);
    TransfertTableHistoReleve(*ctx);
    TransfertTableHistoTransfert(*ctx);
  }
  TransfertTableHistoEtat(*ctx);

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT LIST(NOMTABLE || ':' || NBREPURE, ',') FROM (SELECT * FROM HISTOEPUR ORDER BY 1)", V("Examen:10")},
      {"SELECT COUNT(*) FROM HISTOEPUR", V(int64_t{2})},
      {"SELECT LIST(NOPAIEMENT || ':' || AGENCE, ',') FROM (SELECT * FROM HISTOETAT ORDER BY 1)", V("P1:0'12,P3:0'12")},
      {"SELECT LIST(ATTESTATION, ',') FROM (SELECT ATTESTATION FROM HISTOLOT ORDER BY 1)", V("L1,L9")},
      {"SELECT s.UTILISATEUR || s.DESACTIVE FROM HISTOLOT h JOIN SECURITE s ON s.ID_SECURITE = h.ID_SECURITEPRODUC "
       "AND s.ID_SECURITE = h.ID_SECURITETRANS",
       V("COMPTABLE_EXTERNE_DUO")},
      {"SELECT LIST(CAST(RELEVEDATE AS VARCHAR(10)) || ':' || AGENCE, ',') FROM (SELECT * FROM HISTORELEVE ORDER BY 1)",
       V("2008-01-15:0'12,2008-02-15:0'12")},
      {"SELECT s.UTILISATEUR FROM HISTORELEVE h JOIN SECURITE s ON s.ID_SECURITE = h.ID_SECURITERECEP", V("SROY")},
      {"SELECT LIST(TYPETRANS || ':' || ETABLISSEMENT, ',') FROM HISTOTRANSFERT", V("COURRIEL:CLI01")},
      {"SELECT s.UTILISATEUR FROM HISTOTRANSFERT h JOIN SECURITE s ON s.ID_SECURITE = h.ID_SECURITE", V("SROY")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql).AsString(), c.expected.AsString()) << c.sql;
  // The statements have no identifier: run again, those already there are passed over.
  TransfertTableHistoEtat(*ctx);
  EXPECT_EQ(Count("HISTOETAT"), 2);
  EXPECT_TRUE(Logged("TableHistoEtat", "Historiques d'etats deja presents dans la base, non transferes: 2"))
      << ReadLog("TableHistoEtat");
  EXPECT_TRUE(Logged("TableHistoEpur", "Table destination: HistoEpur a deja cette cle composee: Examen + 2008-01-15"))
      << ReadLog("TableHistoEpur");
  EXPECT_TRUE(Logged("TableHistoLot", "Table source: HistoLot a une cle vide")) << ReadLog("TableHistoLot");
  EXPECT_TRUE(Logged("TableHistoReleve", "Table destination: tmpHistoReleve a deja cette cle: 2008-01-15"))
      << ReadLog("TableHistoReleve");
  EXPECT_TRUE(Logged("TableHistoTransfert", "Transferts sans etablissement, non transferes: 1"));
  EXPECT_TRUE(Logged("TableHistoTransfert", "Table destination: tmpHistoTransfert a deja cette cle"))
      << ReadLog("TableHistoTransfert");
  // The statement without date is left out without a word.
  EXPECT_NE(Report().find("TableHistoEtat, Nombre total de Record de transferer : 2/3"), std::string::npos) << Report();
  EXPECT_EQ(ReadLog("TableHistoEtat").find("P2"), std::string::npos);
}

TEST_F(ClinicalRecordsTest, WithoutAgencyNumberStatementsHaveNoneAndRemittancesStayStaged) {
  WriteRows("Parm", {{{"Agence No", V("")}}});
  WriteRows("HistoEtat", {{{"EcDate", V(EncodeDate(2008, 1, 15))}, {"NoPaiement", V("P1")}}});
  WriteRows("HistoReleve", {{{"ReleveDate", V(EncodeDate(2008, 1, 15))}}});
  TransfertTableHistoEtat(*ctx);
  TransfertTableHistoReleve(*ctx);
  EXPECT_EQ(Select("SELECT COALESCE(AGENCE, 'NULL') FROM HISTOETAT"), V("NULL"));
  EXPECT_EQ(Count("HISTORELEVE"), 0);
  EXPECT_EQ(Count("TMPHISTORELEVE"), 1);
  EXPECT_TRUE(Logged("TableHistoReleve", "Numero d'agence vide dans Parm: historique des releves non transfere"));
}

TEST_F(ClinicalRecordsTest, AuthorisationsReachTheirVisitsAndMammographyActsAreCompleted) {
  ClinicTarget();
  Exec("INSERT INTO ACTE (ACTE, UNITE, DESACTIVE) VALUES ('08001', 1, 'N')");
  ctx->CommitEtProgress();
  WriteRows("Autorisation", {{{"numero", V("A1")}, {"Autolien", V(int64_t{10})}},
                             {{"numero", V("A2")}, {"Autolien", V(int64_t{10})}},
                             {{"numero", V("A3")}, {"Autolien", V(int64_t{99})}},
                             {{"numero", V("A4")}, {"Autolien", V(int64_t{20})}},
                             {{"numero", V("A5")}, {"Autolien", V()}}});
  ctx->Summary.Begin("Autorisation");
  TransfertTableAutorisation(*ctx);
  ctx->Summary.End();
  WriteRows("Sorvane", {{{"CODE", V("08001")}}, {{"CODE", V("08001")}}, {{"CODE", V("MAMMO9")}}, {{"CODE", V("")}}});
  TransfertTableSorvane(*ctx);
  ctx->FLogMgr.EndTransfertLog();

  EXPECT_EQ(Select("SELECT LIST(ID_VISITE || ':' || COALESCE(NOAUTORISATION, '-'), ',') FROM (SELECT * FROM VISITE "
                   "ORDER BY 1)"),
            V("10:A2,11:-,20:A4"));
  // Visits outside the run are normal for a date range: passed over, counted in one line.
  EXPECT_TRUE(Logged("TableAutorisation",
                     "Autorisations sans visite dans ce transfert, non transferees: 2 (A3 (visite 99), A5 (visite "
                     "(vide)))"))
      << ReadLog("TableAutorisation");
  EXPECT_EQ(ReadLog("TableAutorisation").find("introuvable"), std::string::npos);
  const TableSummary& row = ctx->Summary.Tables().back();
  EXPECT_EQ(row.name, "Autorisation");
  EXPECT_EQ(std::vector<int64_t>({row.read, row.added, row.refused, row.passedOver}),
            std::vector<int64_t>({5, 3, 0, 2}));

  EXPECT_EQ(Select("SELECT LIST(ACTE, ',') FROM (SELECT ACTE FROM SORVANE ORDER BY 1)"), V("08001,MAMMO9"));
  EXPECT_EQ(Select("SELECT CAST(UNITE AS INTEGER) || DESACTIVE FROM ACTE WHERE ACTE = 'MAMMO9'"), V("1O"));
  EXPECT_TRUE(Logged("TableSorvane", "Table destination: tmpSorvane a deja cette cle: 08001"))
      << ReadLog("TableSorvane");
  EXPECT_TRUE(Logged("TableSorvane", "Table source: Sorvane a une cle vide"));
}

}  // namespace
}  // namespace korvel
