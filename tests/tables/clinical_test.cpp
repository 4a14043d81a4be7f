#include <gtest/gtest.h>

#include <filesystem>

#include "source/tables/examen.h"
#include "source/tables/patient.h"
#include "source/tables/visite.h"
#include "source/transfert/plage_horaire.h"
#include "support/run_fixture.h"
#include "tools/legacy_layouts.h"

namespace korvel {
namespace {

using V = Variant;
using Values = testing::LegacyValues;

TEST(PlageHoraireTest, SlotsAreFoundUnderTheExactTextOfTheirVisit) {
  TPlageHoraireList list;
  for (const auto& [id, slot] : {std::pair{9, 1}, {10, 2}, {100, 3}}) list.AddPlageHoraire({"", id, slot});
  const TTransfertPlageHoraire lookup(std::move(list));
  const std::pair<const char*, int> cases[] = {{"9", 1},   {"10", 2}, {"100", 3},  {"009", -1},
                                               {"+9", -1}, {"", -1},  {"abc", -1}, {"11", -1}};
  for (const auto& [text, slot] : cases) {
    const int index = lookup.IndexOfVisit(text);
    EXPECT_EQ(index < 0 ? -1 : lookup.GetPlageHoraire(index)->PlageHoraire, slot) << text;
  }
  EXPECT_FALSE(lookup.GetPlageHoraire(-1));
  EXPECT_FALSE(lookup.GetPlageHoraire(lookup.Plages().Count()));
}

TEST(CityCleanerTest, TheProvinceIsTakenOutOfTheCityInEveryWrittenForm) {
  CityCleaner cleaner;
  struct Case {
    const char* city;
    const char* cleaned;
    const char* province;
  };
  const Case cases[] = {
      {"Montréal, QC", "Montréal", "QC"},       {"Laval (Québec)", "Laval", "QC"},
      {"Sherbrooke, P.Q.", "Sherbrooke", "QC"}, {"Gatineau, québec", "Gatineau", "QC"},
      {"Toronto ON", "Toronto", "ON"},          {"Ottawa Ont.", "Ottawa Ont.", ""},
      {"Moncton, N.B.", "Moncton", "NB"},       {"QC", "QC", ""},
      {"Trois-Rivières", "Trois-Rivières", ""},
  };
  for (const Case& c : cases) {
    std::string province = "avant";
    EXPECT_EQ(cleaner.CleanCity(c.city, province), c.cleaned) << c.city;
    EXPECT_EQ(province, c.province) << c.city;
  }
}

class ClinicalTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
    ctx->FLogMgr.StartTransfertLog();
  }

  void Range(int from, int to) {
    ctx->numeroPrescripDebut = std::to_string(from) + "0101-000";
    ctx->numeroPrescripFin = std::to_string(to) + "1231-999";
  }

  bool BackupExists(const std::string& prefix) const {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(database).parent_path())) {
      if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

  std::string Report() const { return ReadLog("RAPPORT FINAL"); }
};

TEST_F(ClinicalTest, PatientsFromTheThresholdWithTheirFreeFieldsAndProvince) {
  ui.options.firstPatientNumber = "100";
  WriteRows("patient",
            {{{"AutoNum", V(int64_t{99})}, {"Nom", V("Avant")}, {"Variable1", V("x")}, {"Ville", V("Laval, QC")}},
             {{"AutoNum", V(int64_t{100})},
              {"Nom", V("Seuil")},
              {"Sexe", V("m")},
              {"Langue", V("f")},
              {"Ville", V(" Sherbrooke, P.Q. ")},
              {"Variable2", V("v2")},
              {"Conjoint", V("Roy Marie")}},
             {{"AutoNum", V(int64_t{101})},
              {"Nom", V("Deux")},
              {"Sexe", V("h")},
              {"Langue", V("A")},
              {"Ville", V("Ottawa Ont.")}},
             {{"AutoNum", V(int64_t{102})}, {"Nom", V("Trois")}, {"Sexe", V(" ")}, {"Ville", V("Toronto ON")}},
             {{"AutoNum", V(int64_t{103})}, {"Nom", V("Quatre")}, {"Sexe", V("X")}}});
  TransfertTablePatient(*ctx);
  ctx->FLogMgr.EndTransfertLog();

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT COUNT(*) FROM PATIENT", V(int64_t{4})},  // 99 is below the threshold
      {"SELECT SEXE || LANGUE || VILLE || ETABLISSEMENT || DESACTIVE FROM PATIENT WHERE ID_PATIENT = 100",
       V("MFRSherbrookeCLI01N")},
      {"SELECT CONJOINTNOM || '|' || CONJOINTPRENOM FROM PATIENT WHERE ID_PATIENT = 100", V("Roy | Marie")},
      {"SELECT SEXE || LANGUE || VILLE FROM PATIENT WHERE ID_PATIENT = 101", V("MENOttawa Ont.")},
      {"SELECT SEXE || LANGUE || VILLE FROM PATIENT WHERE ID_PATIENT = 102", V("IFRToronto")},
      {"SELECT SEXE || COALESCE(VILLE, 'NULL') FROM PATIENT WHERE ID_PATIENT = 103", V("FNULL")},
      {"SELECT COALESCE(CHARVAR1, 'NULL') || CHARVAR2 FROM PATIENT_VAR WHERE ID_PATIENT = 100", V("NULLv2")},
      {"SELECT COUNT(*) FROM PATIENT_VAR", V(int64_t{1})},
      {"SELECT LIST(ID_PATIENT || PROVINCE, ',') FROM (SELECT ID_PATIENT, PROVINCE FROM PATIENTSUPPLEMENT ORDER BY 1)",
       V("100QC,102ON")},
      {"SELECT GEN_ID(GEN_ID_PATIENT, 0) FROM RDB$DATABASE", V(int64_t{103})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  EXPECT_NE(Report().find("TablePatient, Nombre total de Record de transferer : 4/5"), std::string::npos) << Report();
  EXPECT_TRUE(BackupExists("RIS_APRES_PATIENT_"));
}

TEST_F(ClinicalTest, AThresholdThatIsNotANumberRefusesOnlyThePatients) {
  ui.options.firstPatientNumber = "22863A";
  WriteRows("patient", {{{"AutoNum", V(int64_t{300000})}, {"Nom", V("Roy")}}});
  TransfertTablePatient(*ctx);
  EXPECT_EQ(Count("PATIENT"), 0);
  const std::string line = "Numero de patient de depart invalide: '22863A', la table Patient n'est pas transferee";
  EXPECT_NE(ReadLog("TablePatient").find(line), std::string::npos) << ReadLog("TablePatient");
  EXPECT_NE(ReadLog("Log Generique").find(line), std::string::npos);
}

class VisitsTest : public ClinicalTest {
 protected:
  void SetUp() override {
    ClinicalTest::SetUp();
    Exec("INSERT INTO ETABLISSEMENT (ETABLISSEMENT, NOM) VALUES ('CLI01', 'Clinique')");
    Exec("INSERT INTO PATIENT (ID_PATIENT, NOM) VALUES (1, 'Un')");
    Exec("INSERT INTO PATIENT (ID_PATIENT, NOM) VALUES (2, 'Deux')");
    Exec("INSERT INTO TMPMEDECINFF (LICENCE, NOUVELLE_LICENCE, NOUVEAU_MEDECINID) VALUES ('L1', '1000001', 'M1')");
    Exec("INSERT INTO TMPMEDECINFF (LICENCE, NOUVELLE_LICENCE, NOUVEAU_MEDECINID) VALUES ('L2', NULL, 'M2')");
    Exec("INSERT INTO TMPMEDECINFF (LICENCE, NOUVELLE_LICENCE, NOUVEAU_MEDECINID) VALUES ('L3', '1000003', NULL)");
    Exec("INSERT INTO TMPMEDECIN (LICENCE, MEDECINID, NOM, PRENOM) VALUES ('1000001', 'M1', 'Bouchard', 'Luc')");
    Exec("INSERT INTO TMPMEDECIN (LICENCE, MEDECINID, NOM, PRENOM) VALUES ('L2', 'M2', 'Pelletier', 'Anne')");
    ctx->CommitEtProgress();
  }

  Values Visit(int autonum, const char* numero, int patient, Values more = {}) {
    Values v = {{"AutoNum", V(int64_t{autonum})},
                {"Numero", V(numero)},
                {"Autolien", V(int64_t{patient})},
                {"Opr", V("JTREMBLAY")},
                {"DateModif", V(EncodeDate(2010, 5, 5))}};
    v.insert(v.end(), more.begin(), more.end());
    return v;
  }
};

TEST_F(VisitsTest, TheRangeBothEndsIncludedPhysiciansSlotsAndRefusalsAlone) {
  WriteRows("Prescrip", {Visit(10, "20100101-000", 1,
                               {{"Referant", V("L1")},
                                {"Referant1", V("L2")},
                                {"Referant2", V("L3")},
                                {"Referant3", V("L1")},  // the main physician named again as another
                                {"PlageHoraire", V("3")},
                                {"HeureInscrit", V(EncodeTime(9, 30, 0))}}),
                         Visit(11, "20101231-999", 2, {{"Referant1", V("L1")}, {"Radiologiste", V("1234567")}}),
                         Visit(12, "20091231-999", 1), Visit(13, "20110101-000", 1),
                         Visit(14, "20100615-001", 99),                               // no such patient
                         Visit(15, "20100615-002", 1, {{"PlageHoraire", V("x")}})});  // migrates without slot
  Range(2010, 2010);
  TransfertTablePrescription(*ctx);
  ctx->FLogMgr.EndTransfertLog();

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT LIST(ID_VISITE, ',') FROM (SELECT ID_VISITE FROM VISITE ORDER BY 1)", V("10,11,15")},
      {"SELECT PRESCRIPTION || '|' || CAST(DATEEXAMEN AS VARCHAR(24)) FROM VISITE WHERE ID_VISITE = 10",
       V("20100101-000|2010-01-01 09:30:00.0000")},
      // No radiologist: licence 9999999, group 9999, added by the completion.
      {"SELECT r.LICENCE || r.GROUPE FROM VISITE v JOIN RADIOLOGISTE r ON r.ID_RADIOLOGISTE = v.ID_RADIOLOGISTE WHERE "
       "v.ID_VISITE = 10",
       V("99999999999")},
      {"SELECT COUNT(*) FROM VISITE_MED", V(int64_t{2})},  // L3 has no id; visit 11 has no first physician
      {"SELECT REFERANT FROM VISITE_MED WHERE MEDECIN = '1000001'", V("O")},
      {"SELECT REFERANT || MEDECINID FROM VISITE_MED WHERE MEDECIN = 'L2'", V("NM2")},
      {"SELECT COUNT(*) FROM NOPRESCRIPTION", V(int64_t{3})},
      {"SELECT s.UTILISATEUR FROM VISITE v JOIN SECURITE s ON s.ID_SECURITE = v.CREATIONID WHERE v.ID_VISITE = 11",
       V("JTREMBLAY")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  ASSERT_TRUE(ctx->FPlageMgr);
  const int slot = ctx->FPlageMgr->IndexOfVisit("10");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(ctx->FPlageMgr->GetPlageHoraire(slot)->PlageHoraire, 3);
  const std::string log = ReadLog("TablePrescription");
  EXPECT_EQ(ctx->FPlageMgr->IndexOfVisit("15"), -1);
  EXPECT_NE(log.find("AutoNum 15: PlageHoraire 'x' n'est pas un nombre, valeur ignoree"), std::string::npos) << log;
  EXPECT_NE(log.find("1 lignes de tmpVisite sans patient dans la base supprimees"), std::string::npos) << log;
  EXPECT_EQ(log.find("PRIMARY"), std::string::npos) << log;
  EXPECT_NE(Report().find("TablePrescription, Nombre total de Record de transferer : 4/4"), std::string::npos)
      << Report();
  EXPECT_TRUE(BackupExists("RIS_APRES_VISITE_"));

  // An earlier range later: its visit has an identifier below the highest one moved.
  WriteRows("Prescrip", {Visit(5, "20091231-999", 2), Visit(10, "20100101-000", 1)});
  Range(2009, 2010);
  TransfertTablePrescription(*ctx);
  EXPECT_EQ(Select("SELECT LIST(ID_VISITE, ',') FROM (SELECT ID_VISITE FROM VISITE ORDER BY 1)"), V("5,10,11,15"));
  EXPECT_EQ(Count("VISITE_MED"), 2);  // visit 10's physicians staged again, not copied twice
}

// The physicians go over in one statement; a row the target refuses sends them row by
// row, so that only that row is left out, and logged.
TEST_F(VisitsTest, APhysicianRowTheTargetRefusesIsLoggedAndTheOthersAreCopied) {
  Exec("ALTER TABLE VISITE_MED ADD CONSTRAINT CK_NOT_M2 CHECK (MEDECINID <> 'M2')");
  ctx->CommitEtProgress();
  WriteRows("Prescrip", {Visit(10, "20100101-000", 1, {{"Referant", V("L1")}, {"Referant1", V("L2")}}),
                         Visit(11, "20100102-000", 2, {{"Referant", V("L1")}})});
  Range(2010, 2010);
  TransfertTablePrescription(*ctx);
  ctx->FLogMgr.EndTransfertLog();
  EXPECT_EQ(Select("SELECT LIST(ID_VISITE || MEDECIN, ',') FROM (SELECT * FROM VISITE_MED ORDER BY 1)"),
            V("101000001,111000001"));
  const std::string log = ReadLog("TablePrescription");
  EXPECT_NE(log.find("Licence: L2 MedecinId: M2"), std::string::npos) << log;
}

TEST_F(VisitsTest, AStoppedRunMovesNothingAndTheNextRunMovesEverythingOnce) {
  std::vector<Values> visits;
  for (int i = 1; i <= 2600; ++i) {
    char numero[16];
    std::snprintf(numero, sizeof numero, "201003%02d-%03d", 1 + i / 1000, i % 1000);
    visits.push_back(Visit(i, numero, 1 + i % 2));
  }
  WriteRows("Prescrip", visits);
  Range(2010, 2010);
  ui.on_events = [&] {
    if (ctx->StopAllProcess && ctx->FDataMgr->NbTried() >= 2500) run->btnStopClick();
  };
  TransfertTablePrescription(*ctx);
  EXPECT_EQ(Count("VISITE"), 0);
  EXPECT_EQ(Count("TMPVISITE"), 2501);  // the record read when the stop was seen is staged too
  EXPECT_NE(ReadLog("TablePrescription").find("Transfert arrete"), std::string::npos);

  ui.on_events = nullptr;
  ctx->StopAllProcess = true;
  TransfertTablePrescription(*ctx);
  EXPECT_EQ(Count("VISITE"), 2600);
  EXPECT_EQ(Count("TMPVISITE"), 5101);  // staging keeps both copies; each visit moved once
  EXPECT_EQ(ReadLog("TablePrescription").find("Refuse par"), std::string::npos) << ReadLog("TablePrescription");
}

TEST_F(VisitsTest, AStopDuringTheExaminationsKeepsTheTranscriberTheNextRunCannotPutBack) {
  WriteRows("Prescrip", {Visit(10, "20100101-001", 1)});
  Range(2010, 2010);
  TransfertTablePrescription(*ctx);
  Exec("UPDATE VISITE SET TRANSCRIPTEUR = 5 WHERE ID_VISITE = 10");
  ctx->CommitEtProgress();
  // 2 600 examinations of the visit, read in act order; the last ten are dictated, and
  // the stop (seen at the first commit, after 2 500) leaves them unread.
  std::vector<Values> exams;
  for (int i = 1; i <= 2600; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "C%04d", i);
    exams.push_back({{"AutoNum", V(int64_t{i})},
                     {"Autolien", V(int64_t{10})},
                     {"Prescription", V("20100101-001")},
                     {"Code", V(code)},
                     {"Dictee", i > 2590 ? V("oui") : V()}});
  }
  WriteRows("Examen", exams);
  ui.on_events = [&] {
    if (ctx->StopAllProcess && ctx->FDataMgr->NbTried() >= 2500) run->btnStopClick();
  };
  TransfertTableExamen(*ctx);
  EXPECT_EQ(Count("TMPEXAMEN", "DICTEE IS NOT NULL"), 0);
  EXPECT_EQ(Select("SELECT TRANSCRIPTEUR FROM VISITE WHERE ID_VISITE = 10"), V(int64_t{5}));
  EXPECT_EQ(Select("SELECT DESACTIVE FROM VISITE WHERE ID_VISITE = 10"), V("N"));

  // The run made again reads the dictated examination: the visit is reported, its
  // transcriber still there.
  ui.on_events = nullptr;
  ctx->StopAllProcess = true;
  TransfertTableExamen(*ctx);
  EXPECT_EQ(Count("EXAMEN"), 2600);
  EXPECT_EQ(Select("SELECT TRANSCRIPTEUR || '|' || ID_STATUTRAPPORT FROM VISITE WHERE ID_VISITE = 10"), V("5|494"));
}

TEST_F(VisitsTest, ExaminationsGetTheirVisitsSlotsRefusalsAreRegisteredAndVisitsTheirStatus) {
  WriteRows("Prescrip", {Visit(10, "20100101-001", 1, {{"PlageHoraire", V("3")}}), Visit(11, "20100101-002", 2),
                         Visit(12, "20100101-003", 1)});
  Range(2010, 2010);
  TransfertTablePrescription(*ctx);
  ctx->FImpExamenNonLu = false;
  WriteRows("Examen", {{{"AutoNum", V(int64_t{100})},
                        {"Autolien", V(int64_t{10})},
                        {"Prescription", V("20100101-001")},
                        {"Code", V("A1")},
                        {"Dictee", V("oui")},
                        {"Lot", V("L7")},
                        {"Role1", V("2")},
                        {"Role7", V("0")},
                        {"InitTech", V("Martin")}},
                       {{"AutoNum", V(int64_t{101})},
                        {"Autolien", V(int64_t{11})},
                        {"Prescription", V("20100101-002")},
                        // No act: "ERR"; in a lot, not dictated: "S.O."; a technologist's name two share.
                        {"Lot", V("L8")},
                        {"Protocole", V("R")},
                        {"InitTech", V("Roy")}},
                       {{"AutoNum", V(int64_t{102})},
                        {"Prescription", V("20100101-002")},
                        {"Code", V("O'B")},
                        {"Role1", V("2,5")},
                        {"Role7", V(" 2.5 ")}}});  // no visit, a quote in its act, roles as texts
  // Two technologists share the family name the legacy examination gives.
  Exec("INSERT INTO TECHNOLOGUE (ID_TECHNOLOGUE, NOM, PRENOM) VALUES (501, 'Roy', 'Marie')");
  Exec("INSERT INTO TECHNOLOGUE (ID_TECHNOLOGUE, NOM, PRENOM) VALUES (502, 'Roy', 'Jean')");
  ctx->CommitEtProgress();
  TransfertTableExamen(*ctx);

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT COUNT(*) FROM EXAMEN", V(int64_t{3})},
      // A role that is not a number is left empty; one that is a number is kept.
      {"SELECT COALESCE(ROLE1, -1) || '|' || FACROLE1 || '|' || ROLE7 || '|' || FACROLE7 FROM EXAMEN WHERE ID_EXAMEN = "
       "102",
       V("-1.0000|N|2.5000|O")},
      {"SELECT PLAGEHORAIRE || FACROLE1 || FACROLE7 || TEXTEPREINS || ATTESTATION FROM EXAMEN WHERE ID_EXAMEN = 100",
       V("3ONDICTEEL7")},
      {"SELECT COALESCE(PLAGEHORAIRE, 0) || ACTE || TEXTEPREINS FROM EXAMEN WHERE ID_EXAMEN = 101", V("0ERRS.O.")},
      {"SELECT t.NOM FROM EXAMEN e JOIN TECHNOLOGUE t ON t.ID_TECHNOLOGUE = e.TECHNOLOGUE1 WHERE e.ID_EXAMEN = 100",
       V("Martin")},
      {"SELECT COUNT(*) FROM EXAMEN WHERE ID_EXAMEN = 101 AND TECHNOLOGUE1 IS NULL", V(int64_t{1})},
      {"SELECT COUNT(*) FROM TECHNOLOGUE WHERE NOM = 'Roy'", V(int64_t{2})},
      {"SELECT COUNT(*) FROM ACTE WHERE ACTE IN ('A1', 'ERR')", V(int64_t{2})},
      {"SELECT COUNT(*) FROM TMPDELEXAMEN", V(int64_t{0})},
      // Visit 10: a dictated examination, status 494; visit 11: protocol R, interrupted;
      // visit 12: no examination, deactivated.
      {"SELECT ID_STATUTRAPPORT FROM VISITE WHERE ID_VISITE = 10", V(int64_t{494})},
      {"SELECT RAPPORTINTERROMPU || RAPPORTINTERROMPUREMARQUE FROM VISITE WHERE ID_VISITE = 11", V("OTRANSFERT")},
      {"SELECT DESACTIVE FROM VISITE WHERE ID_VISITE = 12", V("O")},
      {"SELECT DESACTIVE FROM VISITE WHERE ID_VISITE = 10", V("N")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  EXPECT_NE(ReadLog("TableExamen").find("AutoNum 102: Role1 '2,5' n'est pas un nombre, valeur ignoree"),
            std::string::npos)
      << ReadLog("TableExamen");
  EXPECT_NE(ReadLog("TableExamen").find("Technologue Roy: 2 technologues de ce nom, examens laisses sans technologue"),
            std::string::npos)
      << ReadLog("TableExamen");
}

}  // namespace
}  // namespace korvel
