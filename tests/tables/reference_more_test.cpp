#include <gtest/gtest.h>

#include "source/tables/acte.h"
#include "source/tables/examen.h"
#include "source/tables/medecin.h"
#include "source/tables/message_hl7.h"
#include "source/tables/prive.h"
#include "source/tables/radiologiste.h"
#include "support/legacy_db.h"
#include "support/run_fixture.h"
#include "tools/legacy_layouts.h"

namespace korvel {
namespace {

using V = Variant;
using Values = testing::LegacyValues;

class ReferenceMoreTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
    ctx->FLogMgr.StartTransfertLog();
  }

  struct Case {
    std::string sql;
    Variant expected;
  };
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  }
  bool Logged(const std::string& log, const std::string& text) {
    const std::string content = ReadLog(log);
    const bool found = content.find(text) != std::string::npos;
    EXPECT_TRUE(found) << text << "\n--- " << log << " ---\n" << content;
    return found;
  }
};

TEST_F(ReferenceMoreTest, PhysiciansKeptByTheirDecisionSplitAddressesAndADuplicateRefusedAlone) {
  const std::string a100(100, 'a'), a101 = std::string(100, 'b') + "Z",
                                    a350 = std::string(100, 'c') + std::string(200, 'd') + std::string(50, 'e');
  const char* insert =
      "INSERT INTO TMPMEDECINFF (NOM, LICENCE, NOUVELLE_LICENCE, NOUVELLE_LICENCE_OPERATION, NBPRESCRIPTION, ADRESSE, "
      "POSTAL, LANGUE, NOUVEAU_MEDECINID, DESACTIVE, SPECIALITE) VALUES ";
  for (const std::string& values :
       {"('Un', '0000001', '1000001', 'FLAG_OK', 0, '" + a100 + "', 'H2X 1Y4', ' F ', 'M1', 'O', 'RAD')",
        "('Deux', '0000002', '   ', NULL, 0, '" + a101 + "', 'H2X1Y4Z9', 'A', 'M2', 'N', NULL)",
        "('Trois', '0000003', '1000003', 'USE_NEW', 0, '" + a350 + "', NULL, NULL, 'M3', 'N', NULL)",
        std::string("('Quatre', '0000004', NULL, 'DELETE', 0, NULL, NULL, NULL, 'M4', 'N', NULL)"),
        std::string("('Cinq', '0000005', NULL, 'DELETE', 3, NULL, NULL, NULL, 'M5', 'N', NULL)"),
        std::string("('Six', '0000006', '1000001', 'FLAG_OK', 0, NULL, NULL, NULL, 'M1', 'N', NULL)"),
        std::string("('Sept', '0000007', NULL, 'A_VERIFIER', 0, NULL, NULL, NULL, 'M7', 'N', NULL)")}) {
    Exec(insert + values);
  }
  Exec("INSERT INTO REFERANTRAMQ (LICENCE, NOM) VALUES ('1000001', 'Un')");
  ctx->CommitEtProgress();
  TransfertTableMedecin(*ctx);

  const std::string m = " FROM MEDECIN WHERE LICENCE = ";
  Check({
      {"SELECT COUNT(*) FROM TMPMEDECIN", V(int64_t{5})},  // Un, Deux, Trois, Cinq, Six
      {"SELECT COUNT(*) FROM MEDECIN", V(int64_t{4})},     // Six repeats Un's licence and id
      {"SELECT NOM" + m + "'1000001'", V("Un")},
      {"SELECT ADRESSE1 || '|' || COALESCE(ADRESSE2, 'NULL')" + m + "'1000001'", V(a100 + "|NULL")},
      {"SELECT POSTAL || LANGUE || DESACTIVE || TELECOPIEURLONGDIST" + m + "'1000001'", V("H2X1Y4FRNN")},
      {"SELECT ADRESSE2 || POSTAL || LANGUE" + m + "'0000002'", V("ZH2X1Y4EN")},  // blank new licence: the old one
      {"SELECT ADRESSE2" + m + "'1000003'", V(std::string(200, 'd'))},
      {"SELECT LANGUE" + m + "'1000003'", V("FR")},
      {"SELECT COUNT(*)" + m + "'0000005'", V(int64_t{1})},
      {"SELECT COUNT(*) FROM MEDECIN WHERE NOM IN ('Quatre', 'Sept')", V(int64_t{0})},
      {"SELECT VIEILLE_LICENCE FROM TMPMEDECIN WHERE NOM = 'Deux'", V("0000002")},
      {"SELECT DESCRIPTION FROM SPECIALITE WHERE SPECIALITE = 'RAD'", V("RAD")},
  });
  // The same licence and id twice in one run: the second is refused by the key, not
  // taken for a physician an earlier run moved.
  Logged("TableMedecin", "Deplacement vers Medecin: 5 a deplacer, 4 deplaces, 1 refuses, 0 deja presents");
  Logged("TableMedecin", "PRIMARY or UNIQUE KEY");
  EXPECT_EQ(PostalCode6("H2X 1Y4"), "H2X1Y4");
  EXPECT_EQ(PostalCode6("H2X  1Y 4Z"), "H2X  1");
  EXPECT_EQ(PostalCode6("  "), "");
  EXPECT_EQ(PostalCode6("ABCDE FGH"), "ABCDE");
  EXPECT_EQ(PostalCode6("H2X1Y "), "H2X1Y");
}

TEST_F(ReferenceMoreTest, APhysicianTheTargetHeldIsRefusedOnceAndOnlyCountedWhenTheRunIsMadeAgain) {
  Exec("INSERT INTO MEDECIN (ID_MEDECIN, LICENCE, MEDECINID, NOM) VALUES (900, '0000009', 'M9', 'Du RIS')");
  Exec(
      "INSERT INTO TMPMEDECINFF (NOM, LICENCE, NOUVELLE_LICENCE_OPERATION, NBPRESCRIPTION, NOUVEAU_MEDECINID, "
      "DESACTIVE) VALUES ('Neuf', '0000009', 'FLAG_OK', 0, 'M9', 'N')");
  ctx->CommitEtProgress();
  TransfertTableMedecin(*ctx);
  // The target's own physician: the legacy one is refused by the key, and said.
  Logged("TableMedecin", "Deplacement vers Medecin: 1 a deplacer, 0 deplaces, 1 refuses, 0 deja presents");
  Logged("TableMedecin", "Refuse par Medecin, cle ");
  EXPECT_EQ(Select("SELECT NOM FROM MEDECIN WHERE LICENCE = '0000009'"), V("Du RIS"));

  // Made again, both staged copies of the physician are only counted: nothing is
  // refused twice.
  TransfertTableMedecin(*ctx);
  Logged("TableMedecin", "Deplacement vers Medecin: 2 a deplacer, 0 deplaces, 0 refuses, 2 deja presents");
  EXPECT_EQ(Count("MEDECIN"), 1);
}

TEST_F(ReferenceMoreTest, ActsSpreadOverTheirLinkTablesWithANullModalityPresent) {
  Exec("INSERT INTO MODALITE (MODALITE, DESCRIPTION) VALUES ('RX', 'Radiographie')");
  Exec("INSERT INTO MODALITE (MODALITE, DESCRIPTION) VALUES ('CT', 'Tomodensitometrie')");
  Exec("INSERT INTO MODALITE (MODALITE, DESCRIPTION) VALUES (NULL, 'Sans code')");
  Exec("INSERT INTO ACTIVITE (ID_ACTIVITE, ACTIVITE) VALUES (7, 'Radiologie')");
  Exec("INSERT INTO ACTIVITE (ID_ACTIVITE, ACTIVITE) VALUES (3, 'Radiologie')");  // the same name twice
  Exec("INSERT INTO ACTIVITE (ID_ACTIVITE, ACTIVITE) VALUES (9, 'Echographie')");
  Exec("INSERT INTO ACTE (ACTE, ID_ACTIVITE, UNITE) VALUES ('Z9', 7, NULL)");  // not in the legacy table
  Exec("INSERT INTO ACTETARIRAMQ (ID_ACTE) VALUES ('0A100')");
  Exec("INSERT INTO ACTETARIRAMQ (ID_ACTE) VALUES ('1A100')");
  Exec("INSERT INTO ACTETARIRAMQ (ID_ACTE) VALUES ('B2002')");
  ctx->CommitEtProgress();
  WriteRows("Acte", {{{"CODE", V("A1001")},
                      {"Abregee", V("Radiographie du crâne")},
                      {"NBChiffreRamQ", V(int64_t{4})},
                      {"modalite", V("RX")},
                      {"modalite2", V("RX")},
                      {"activite", V("Radiologie")}},
                     {{"CODE", V("B2002")},
                      {"NBChiffreRamQ", V(int64_t{5})},
                      {"modalite", V("NEWMOD")},
                      {"modalite2", V("CT")},
                      {"activite", V("Echographie")},
                      {"unite", V(2.5)}},
                     {{"CODE", V("C3003")},
                      {"NBChiffreRamQ", V(int64_t{6})},
                      {"Region", V("GEN")},
                      {"debutPrive", V(EncodeDate(2010, 1, 1))},
                      {"finPrive", V(EncodeDate(2010, 12, 31))},
                      {"prive", V(Currency{255000})},
                      {"AncienDebutPrive", V(EncodeDate(2009, 1, 1))},
                      {"AncienFinPrive", V(EncodeDate(2009, 12, 31))},
                      {"Ancienprive", V(Currency{200000})}},
                     {{"CODE", V("A1001")}, {"Description", V("doublon")}}});
  TransfertTableActeTmp(*ctx);

  Check({
      {"SELECT COUNT(*) FROM ACTE", V(int64_t{4})},
      {"SELECT ABREGEE FROM ACTE WHERE ACTE = 'A1001'", V("Radiographie du")},
      {"SELECT CAST(UNITE AS INTEGER) FROM ACTE WHERE ACTE = 'A1001'", V(int64_t{1})},  // null legacy unit
      {"SELECT CAST(UNITE * 10 AS INTEGER) FROM ACTE WHERE ACTE = 'B2002'", V(int64_t{25})},
      {"SELECT CAST(UNITE AS INTEGER) FROM ACTE WHERE ACTE = 'Z9'", V(int64_t{1})},  // set at the end
      // Neither of two activities of the same name; an act not staged keeps its own.
      {"SELECT COALESCE(CAST(ID_ACTIVITE AS VARCHAR(10)), 'NULL') FROM ACTE WHERE ACTE = 'A1001'", V("NULL")},
      {"SELECT ID_ACTIVITE FROM ACTE WHERE ACTE = 'B2002'", V(int64_t{9})},
      {"SELECT ID_ACTIVITE FROM ACTE WHERE ACTE = 'Z9'", V(int64_t{7})},
      {"SELECT COUNT(*) FROM ACTE_MODALITE WHERE ACTE = 'A1001'", V(int64_t{1})},  // two equal modalities
      {"SELECT COUNT(*) FROM ACTE_MODALITE WHERE ACTE = 'B2002'", V(int64_t{2})},
      {"SELECT DESCRIPTION || DESACTIVE FROM MODALITE WHERE MODALITE = 'NEWMOD'", V("DESCO")},
      {"SELECT ACTE_RAMQ FROM ACTETARI WHERE ACTE = 'A1001'", V("0A100")},
      {"SELECT ACTE_RAMQ FROM ACTETARI WHERE ACTE = 'B2002'", V("B2002")},
      {"SELECT COUNT(*) FROM ACTETARI WHERE ACTE = 'C3003'", V(int64_t{0})},
      {"SELECT CAST(SUM(MONTANT) AS VARCHAR(20)) FROM ACTE_PRIVEE WHERE ID_ACTE = 'C3003'", V("45.5000")},
      {"SELECT DESCRIPTION || DESACTIVE FROM REGION WHERE REGION = 'GEN'", V("GENN")},
      {"SELECT REGION FROM ACTE_REGION WHERE ACTE = 'C3003'", V("GEN")},
      {"SELECT COUNT(*) FROM ACTE_DEPARTEMENT WHERE CODEDEP = 'R'", V(int64_t{4})},
  });
  Logged("TableActe", "Table destination: tmpActe a deja cette cle: A1001");
  Logged("TableActe", "Deplacement vers Acte: 3 a deplacer, 3 deplaces, 0 refuses");
  Logged("TableActe", "Activite Radiologie: 2 activites de ce nom, actes laisses sans activite");
  EXPECT_EQ(ReadLog("TableActe").find("Activite Echographie"), std::string::npos);
}

TEST_F(ReferenceMoreTest, AnActLayoutWithoutTheOptionalFieldsStillMigratesItsActs) {
  // Some clinics' Acte tables lack the cap of role 7 and the previous private period.
  std::vector<testing::LegacyField> fields;
  for (const auto& f : sample::LegacyLayout("Acte")) {
    const std::string name = f.name;
    if (name != "PlafondRole7" && name != "AncienDebutPrive" && name != "AncienFinPrive") {
      fields.push_back({name, f.type, f.size});
    }
  }
  std::vector<std::vector<Variant>> rows(2, std::vector<Variant>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name == "CODE") {
      rows[0][i] = V("08001");
      rows[1][i] = V("08002");
    }
    if (fields[i].name == "PlafondRole1") rows[0][i] = V(Currency{125000});
  }
  testing::WriteLegacyTable(legacy, "Acte", fields, rows);
  TransfertTableActeTmp(*ctx);
  EXPECT_EQ(Count("ACTE", "ACTE IN ('08001', '08002')"), 2);
  EXPECT_EQ(Select("SELECT CAST(PLAFONDROLE1 AS VARCHAR(20)) || '|' || COALESCE(PLAFONDROLE7, -1) FROM ACTE WHERE "
                   "ACTE = '08001'"),
            V("12.5000|-1.0000"));
  const std::string log = ReadLog("TableActe");
  for (const char* name : {"PlafondRole7", "AncienFinPrive", "AncienDebutPrive"}) {
    const std::string line = std::string("Champ ") + name + " absent de la table Acte: colonne laissee vide";
    const size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "said once: " << line;
  }
}

TEST_F(ReferenceMoreTest, RadiologistsByDecisionAndStationsWithTheCopyStation) {
  const char* insert =
      "INSERT INTO TMPRADIOLFF (LICENCE, NOUVELLE_LICENCE, NOUVELLE_LICENCE_OPERATION, GROUPE, NOM, PRENOM, TELEPHONE, "
      "SPECIALITE, REMUNERATIONMIXTE, PLAGEHORAIRE) VALUES ";
  for (const char* values :
       {"('1111111', '  ', 'FLAG_OK', '  ', 'Roy', 'Anne', '(514) 555-1234', 'RAD', 'M', 2)",
        "('2222222', '2222299', NULL, '07', 'Cote', 'Luc', NULL, 'RAD', NULL, 3)",
        "('3333333', NULL, NULL, '01', 'Sans', 'Specialite', NULL, NULL, NULL, NULL)",
        "('4444444', '4444499', 'USE_NEW', '01', 'Nouvelle', 'Licence', NULL, 'RAD', NULL, NULL)"}) {
    Exec(std::string(insert) + values);
  }
  ctx->CommitEtProgress();
  TransfertTableRadiol(*ctx);
  Check({
      {"SELECT COUNT(*) FROM RADIOLOGISTE", V(int64_t{2})},
      {"SELECT '[' || GROUPE || ']' || TELEPHONE || DESACTIVE FROM RADIOLOGISTE WHERE LICENCE = '1111111'",
       V("[]5145551234N")},
      {"SELECT COUNT(*) FROM RADIOLOGISTE WHERE NOINTERNE = ID_RADIOLOGISTE", V(int64_t{2})},
      {"SELECT COALESCE(PLAGEHORAIRE, -1) FROM RADIOLOGISTE WHERE LICENCE = '2222299'", V(int64_t{-1})},
      {"SELECT PLAGEHORAIRE FROM RADIOLOGISTE WHERE LICENCE = '1111111'", V(int64_t{2})},
  });

  WriteRows("Station", {{{"Station", V("POSTE01")}, {"ActivationHop", V(true)}},
                        {{"Station", V("POSTE01")}, {"DictioPath", V("doublon")}}});
  ui.options.dictationCopyStation = "L'accueil";
  TransfertTableStation(*ctx);
  ui.options.dictationCopyStation = "  ";  // no choice: no nameless station
  TransfertTableStation(*ctx);
  Check({
      {"SELECT COUNT(*) FROM STATION", V(int64_t{2})},
      {"SELECT ACTIVATIONHOPITAL || DESACTIVE || TRANSCRIPTIONNUM FROM STATION WHERE NOMSTATION = 'POSTE01'", V("ONO")},
      {"SELECT DESACTIVE FROM STATION WHERE NOMSTATION = 'L''accueil'", V("N")},
  });
  ctx->FLogMgr.EndTransfertLog();
  Logged("RAPPORT FINAL", "TableStation, Nombre total de Record de transferer : 1/2");
}

TEST_F(ReferenceMoreTest, PrivateInsurersPricesAndReportsKeptUntilExaminationsArrive) {
  WriteRows("Prive", {{{"Code", V("C1")}, {"Contact", V("Mme Roy")}, {"Nom", V("")}, {"CieActif", V(false)}},
                      {{"Code", V("C2")},
                       {"Contact", V("M. Cote")},
                       {"Nom", V("SSQ Assurances")},
                       {"CieActif", V(true)},
                       {"Telephone", V("514 555-0100")}},
                      {{"Code", V("C3")}, {"Contact", V("")}, {"Nom", V("Sans contact")}}});
  TransfertTablePrive(*ctx);
  WriteRows("PriveActe", {{{"Cie", V("C1")}, {"Code", V("A1")}, {"Montant", V(Currency{100000})}},
                          {{"Cie", V("C1")}, {"Code", V("A1")}, {"Montant", V(Currency{120000})}},
                          {{"Cie", V("NEWCIE")}, {"Code", V("NEWACT")}, {"Montant", V(Currency{50000})}}});
  TransfertTablePriveActe(*ctx);
  const V prod(EncodeDate(2010, 5, 4)), heure(EncodeTime(9, 30, 0));
  WriteRows("RapportPrivee", {{{"Numero", V("R1")},
                               {"DateProd", prod},
                               {"HeureProd", heure},
                               {"UsagerProd", V("TECHNICIENNE_RADIO_1_SOIR")},
                               {"Total", V(Currency{125000})}},
                              {{"Numero", V("R2")}, {"DateProd", prod}, {"HeureProd", heure}}});
  TransfertTableRapportPrive(*ctx);

  Check({
      {"SELECT NOM || DESACTIVE FROM CIEPRIVEE WHERE CIEPRIVEE = 'C1'", V("C1O")},
      {"SELECT NOM || DESACTIVE || TELEPHONE FROM CIEPRIVEE WHERE CIEPRIVEE = 'C2'", V("SSQ AssurancesN5145550100")},
      {"SELECT COUNT(*) FROM CIEPRIVEE WHERE CIEPRIVEE IN ('C3', 'NEWCIE')", V(int64_t{1})},  // C3 refused
      {"SELECT CAST(MONTANT AS VARCHAR(20)) FROM CIEPRIVEE_ACTE WHERE CIE_PRIVEE = 'C1' AND ACTE = 'A1'", V("10.0000")},
      {"SELECT COUNT(*) FROM CIEPRIVEE_ACTE", V(int64_t{2})},
      {"SELECT COUNT(*) FROM ACTE WHERE ACTE IN ('A1', 'NEWACT')", V(int64_t{2})},
      // A long user name is found under the name its completion gave it.
      {"SELECT s.UTILISATEUR FROM RAPPORTPRIVEE r JOIN SECURITE s ON s.ID_SECURITE = r.USAGERPROD WHERE r.NUMERO = "
       "'R1'",
       V("TECHNICIENNE_RADIO_1")},
      {"SELECT CAST(DATEHEUREPROD AS VARCHAR(24)) FROM RAPPORTPRIVEE WHERE NUMERO = 'R1'",
       V("2010-05-04 09:30:00.0000")},
      {"SELECT COUNT(*) FROM RAPPORTPRIVEE", V(int64_t{2})},  // no examination yet: kept
  });
  Logged("TablePrive", "Table source: Prive a une cle vide: C3");
  Logged("TablePriveActe", "Table destination: tmpCiePrivee_Acte a deja cette cle: C1");
  Logged("TableRapportPrivee", "Table Examen non cochee: les rapports prives sans examen sont conserves");

  // With the examinations ticked, the reports wait for them: R1, which an examination
  // refers to, stays and R2 goes, once the examinations are in.
  Exec("INSERT INTO EXAMEN (ID_EXAMEN, ATTESTATION) VALUES (1, 'R1')");
  ctx->CommitEtProgress();
  for (size_t i = 0; i < ListeClinique().size(); ++i) {
    if (std::string(ListeClinique()[i].text) == "Examen") ui.checked.insert({2, static_cast<int>(i)});
  }
  TransfertTableRapportPrive(*ctx);
  EXPECT_EQ(Count("RAPPORTPRIVEE"), 2);
  Logged("TableRapportPrivee", "Les rapports prives sans examen seront supprimes apres la table Examen");
  ctx->numeroPrescripDebut = "20000101-000";
  ctx->numeroPrescripFin = "20201231-999";
  WriteRows("Examen", {});
  TransfertTableExamen(*ctx);
  EXPECT_EQ(Count("RAPPORTPRIVEE"), 1);
  EXPECT_EQ(Select("SELECT NUMERO FROM RAPPORTPRIVEE"), V("R1"));
  Logged("TableExamen", "1 rapports prives sans examen supprimes");
  EXPECT_FALSE(ctx->PrivateReportCleanupPending);
}

TEST_F(ReferenceMoreTest, AMessageToThreeRecipientsAndTheHl7Tables) {
  const V day(EncodeDate(2011, 2, 3)), t1(EncodeTime(10, 15, 0)), t2(EncodeTime(11, 0, 0));
  WriteRows("Message", {{{"De", V("JTREMBLAY")},
                         {"A", V("MGAGNON")},
                         {"DATE", day},
                         {"Heure", t1},
                         {"Objet", V("Horaire")},
                         {"Message", V("Bonjour à tous")}},
                        {{"De", V("JTREMBLAY")},
                         {"A", V("SROY")},
                         {"DATE", day},
                         {"Heure", t1},
                         {"Objet", V("Horaire")},
                         {"Message", V("Bonjour à tous")}},
                        {{"De", V("JTREMBLAY")},
                         {"A", V("PCOTE")},
                         {"DATE", day},
                         {"Heure", t1},
                         {"Objet", V("Horaire")},
                         {"Message", V("Bonjour à tous")}},
                        {{"De", V("MGAGNON")},
                         {"A", V("JTREMBLAY")},
                         {"DATE", day},
                         {"Heure", t2},
                         {"Objet", V("Re: Horaire")},
                         {"Message", V("Merci")}},
                        {{"De", V("")}, {"A", V("SROY")}, {"DATE", day}, {"Heure", t2}}});
  TransfertTableMessage(*ctx);
  const std::string sent_by_jt =
      "(SELECT e.ID_MESSAGEENVOYE FROM MESSAGEENVOYE e JOIN SECURITE s ON s.ID_SECURITE = e.DE WHERE s.UTILISATEUR = "
      "'JTREMBLAY')";
  Check({
      {"SELECT COUNT(*) FROM MESSAGEENVOYE", V(int64_t{2})},
      {"SELECT COUNT(*) FROM MESSAGERECU", V(int64_t{4})},
      {"SELECT COUNT(*) FROM MESSAGEENVDESTINATAIRE", V(int64_t{4})},
      {"SELECT COUNT(*) FROM MESSAGERECU WHERE ID_MESSAGEENVOYE = " + sent_by_jt, V(int64_t{3})},
      {"SELECT COUNT(*) FROM MESSAGEENVDESTINATAIRE d JOIN SECURITE s ON s.ID_SECURITE = d.A WHERE d.ID_MESSAGEENVOYE "
       "= " +
           sent_by_jt + " AND s.UTILISATEUR IN ('MGAGNON', 'SROY', 'PCOTE')",
       V(int64_t{3})},
      {"SELECT OBJET FROM MESSAGEENVOYE WHERE ID_MESSAGEENVOYE = " + sent_by_jt, V("Horaire")},
      {"SELECT COUNT(*) FROM SECURITE", V(int64_t{5})},  // PROG and the four users the messages name
  });
  Logged("TableMessage", "Table source: Message a une cle vide: ");
  // Run again (or after a stop): the legacy messages have no identifier, yet nothing is
  // staged or moved twice.
  TransfertTableMessage(*ctx);
  Check({
      {"SELECT COUNT(*) FROM MESSAGEENVOYE", V(int64_t{2})},
      {"SELECT COUNT(*) FROM MESSAGERECU", V(int64_t{4})},
      {"SELECT COUNT(*) FROM MESSAGEENVDESTINATAIRE", V(int64_t{4})},
      {"SELECT COUNT(*) FROM TMPMESSAGERECU", V(int64_t{4})},
  });
  Logged("TableMessage", "Messages deja prepares par un transfert precedent, non repris: 4");
  Logged("TableMessage", "Deplacement vers MessageRecu: 4 a deplacer, 0 deplaces, 0 refuses, 4 deja presents");

  WriteRows("HL7ExamHop", {{{"Code", V("H1")}, {"Description", V("Thorax")}, {"Facturation", V("aucune")}},
                           {{"Code", V("H2")}, {"Facturation", V("Normale")}},
                           {{"Code", V("H1")}, {"Facturation", V("doublon")}}});
  TransfertTableHL7ExamenHop(*ctx);
  WriteRows("HL7ExamRx", {{{"Autolien", V(int64_t{1})}, {"CodeRx", V("A1001")}, {"Facturation", V("1200")}},
                          {{"Autolien", V(int64_t{2})}, {"CodeRx", V("B2002")}, {"Facturation", V("01200")}},
                          {{"Autolien", V(int64_t{99})}, {"CodeRx", V("C3003")}, {"Facturation", V("1200")}},
                          {{"Autolien", V(int64_t{1})}, {"CodeRx", V("")}}});
  TransfertTableHL7ExamenRX(*ctx);
  Exec("INSERT INTO RADIOLOGISTE (LICENCE, GROUPE) VALUES ('1234567', '01')");
  ctx->CommitEtProgress();
  WriteRows("HL7Radiol",
            {{{"Code", V("HR1")}, {"Licence", V("1234567")}, {"Groupe", V("01")}, {"Facturation", V(true)}},
             {{"Code", V("HR2")}, {"Licence", V("9999999")}}});
  TransfertTableHL7Radiol(*ctx);
  Check({
      {"SELECT AUCUNEIMPORTATION || ETABLISSEMENT FROM ACTE_HOPITALHL7 WHERE ACTEHOP = 'H1'", V("OCLI01")},
      {"SELECT AUCUNEIMPORTATION FROM ACTE_HOPITALHL7 WHERE ACTEHOP = 'H2'", V("N")},
      {"SELECT COUNT(*) FROM ACTE_HOPITALHL7", V(int64_t{2})},
      {"SELECT ID_TYPEFACTURATIONHL7 FROM ACTE_HOPITALHL7_DET WHERE ACTE = 'A1001'", V(int64_t{1})},
      {"SELECT ID_TYPEFACTURATIONHL7 FROM ACTE_HOPITALHL7_DET WHERE ACTE = 'B2002'", V(int64_t{2})},
      {"SELECT COUNT(*) FROM ACTE_HOPITALHL7_DET", V(int64_t{2})},
      {"SELECT COUNT(*) FROM RADIOLOGISTEHL7 h JOIN RADIOLOGISTE r ON r.ID_RADIOLOGISTE = h.ID_RADIOLOGISTE WHERE "
       "h.LICENCEHOP = 'HR1'",
       V(int64_t{1})},
      {"SELECT COUNT(*) FROM RADIOLOGISTEHL7 WHERE LICENCEHOP = 'HR2' AND ID_RADIOLOGISTE IS NULL", V(int64_t{1})},
  });
  Logged("HL7Examen", "Table destination: ACTE_HOPITALHL7 a deja cette cle: H1");
  Logged("HL7ExamenRx", "Le record de la table maitre n'existe pas Autonum:3");
  Logged("HL7ExamenRx", "Table source: HL7ExamRx a une cle vide: 4");
}

}  // namespace
}  // namespace korvel
