#include <gtest/gtest.h>

#include <cstdint>

#include "source/tables/facturation.h"
#include "support/run_fixture.h"
#include "tools/legacy_layouts.h"

namespace korvel {
namespace {

using V = Variant;
using Values = testing::LegacyValues;

class BillingRecordsTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
    ctx->FLogMgr.StartTransfertLog();
    ui.options.periodStart = EncodeDate(2010, 1, 1);
    ui.options.periodEnd = EncodeDate(2010, 12, 31);
  }

  // An amount in ten-thousandths as the server writes a NUMERIC(18,4).
  static std::string Decimal4(int64_t units) {
    const int64_t magnitude = units < 0 ? -units : units;
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%04lld", units < 0 ? "-" : "", static_cast<long long>(magnitude / 10000),
                  static_cast<long long>(magnitude % 10000));
    return text;
  }
};

TEST_F(BillingRecordsTest, EveryPaymentAmountArrivesOrIsRefusedAndNamedToTheLastDecimal) {
  // The target already holds payment 5000; payment 1234 is one the target refuses.
  Exec("INSERT INTO PAIEMENT (ID_PAIEMENT, PAYE) VALUES (5000, 1)");
  Exec("CREATE EXCEPTION PAIEMENT_REFUSE 'paiement refuse par la cible'");
  ctx->CommitEtProgress();
  Exec(
      "CREATE TRIGGER TEST_REFUS_1234 FOR PAIEMENT BEFORE INSERT AS BEGIN IF (NEW.ID_PAIEMENT = 1234) THEN "
      "EXCEPTION PAIEMENT_REFUSE; END");
  ctx->CommitEtProgress();
  // Payments 1..2500 and 5001..5003 in 2010, amounts with four decimals, negative and
  // zero ones; 2 payments outside the range are not read. Payment n pays n + 0.0001 * (n % 7)
  // dollars, negated when n is a multiple of 100, zero when n % 1000 == 1.
  std::vector<Values> rows;
  auto amount = [](int n) -> int64_t {
    if (n % 1000 == 1) return 0;
    const int64_t units = int64_t{n} * 10000 + n % 7;  // in ten-thousandths
    return n % 100 == 0 ? -units : units;
  };
  std::vector<int> ids;
  for (int n = 1; n <= 2500; ++n) ids.push_back(n);
  for (int n = 5001; n <= 5003; ++n) ids.push_back(n);
  for (int n : ids) {
    rows.push_back({{"AutoNum", V(int64_t{n})},
                    {"EcDate", V(EncodeDate(2010, 1 + n % 12, 1 + n % 28))},
                    {"Paye", V(Currency{amount(n)})},
                    {"Transac", V(n % 2 ? "T1" : "T2")},
                    {"Licence", n % 10 ? V("1234567") : V()},
                    {"Groupe", V("01")}});
  }
  rows.push_back({{"AutoNum", V(int64_t{9001})}, {"EcDate", V(EncodeDate(2009, 12, 31))}, {"Paye", V(Currency{1})}});
  rows.push_back({{"AutoNum", V(int64_t{9002})}, {"EcDate", V(EncodeDate(2011, 1, 1))}, {"Paye", V(Currency{1})}});
  WriteRows("Paiement", rows);
  TransfertTablePaiement(*ctx);

  // By hand: the sum of n over 1..2500 and 5001..5003 with the signs and zeros above.
  int64_t legacy = 0;
  for (int n : ids) legacy += amount(n);
  const std::string log = ReadLog("TablePaiement");
  EXPECT_NE(log.find("Refuse par Paiement, cle 1234: "), std::string::npos) << log;
  EXPECT_NE(log.find("paiement refuse par la cible"), std::string::npos) << log;
  EXPECT_EQ(Count("PAIEMENT"), 1 + 2503 - 1);  // the one there, every other payment of the range
  EXPECT_EQ(Count("PAIEMENT", "ID_PAIEMENT BETWEEN 1 AND 2500"), 2499);
  // Target (less the row there before) + the refused payment = the legacy amounts read.
  EXPECT_EQ(Select("SELECT CAST(SUM(p) AS VARCHAR(30)) FROM (SELECT PAYE AS p FROM PAIEMENT WHERE ID_PAIEMENT <> 5000 "
                   "UNION ALL SELECT PAYE FROM TMPPAIEMENT WHERE ID_PAIEMENT = 1234)"),
            V(Decimal4(legacy)));
  // The placeholder licence of a payment without licence (its group, given, is kept),
  // and the transaction codes.
  EXPECT_EQ(Count("PAIEMENT p JOIN RADIOLOGISTE r ON r.ID_RADIOLOGISTE = p.ID_RADIOLOGISTE",
                  "r.LICENCE = '9999999' AND r.GROUPE = '01'"),
            250);
  EXPECT_EQ(Count("CODETRANSAC", "CODETRANSAC IN ('T1', 'T2')"), 2);
}

TEST_F(BillingRecordsTest, MoneyArrivesToTheLastDigitFromTheSmallestAmountToTheLargest) {
  // Ten-thousandths as the legacy currency stores them; a double holds none of the
  // last three to the last digit.
  struct Case {
    int64_t id;
    int64_t scaled;
    const char* text;  // as the server writes a NUMERIC(18,4)
  };
  const Case cases[] = {
      {1, 1, "0.0001"},
      {2, -1, "-0.0001"},
      {3, 123456789012345678, "12345678901234.5678"},
      {4, INT64_MAX, "922337203685477.5807"},
      {5, INT64_MIN, "-922337203685477.5808"},
  };
  std::vector<Values> rows;
  for (const Case& c : cases) {
    rows.push_back({{"AutoNum", V(c.id)}, {"EcDate", V(EncodeDate(2010, 6, 1))}, {"Paye", V(Currency{c.scaled})}});
  }
  // A payment the staging refuses is logged with its exact amount.
  Exec("CREATE EXCEPTION STAGING_REFUSE 'refuse par la cible'");
  ctx->CommitEtProgress();
  Exec(
      "CREATE TRIGGER TEST_REFUS_6 FOR TMPPAIEMENT BEFORE INSERT AS BEGIN IF (NEW.ID_PAIEMENT = 6) THEN EXCEPTION "
      "STAGING_REFUSE; END");
  ctx->CommitEtProgress();
  rows.push_back({{"AutoNum", V(int64_t{6})}, {"EcDate", V(EncodeDate(2010, 6, 2))}, {"Paye", V(Currency{INT64_MAX})}});
  WriteRows("Paiement", rows);
  TransfertTablePaiement(*ctx);

  for (const Case& c : cases) {
    const std::string where = " WHERE ID_PAIEMENT = " + std::to_string(c.id);
    EXPECT_EQ(Select("SELECT CAST(PAYE AS VARCHAR(30)) FROM TMPPAIEMENT" + where), V(c.text)) << c.id;
    EXPECT_EQ(Select("SELECT CAST(PAYE AS VARCHAR(30)) FROM PAIEMENT" + where), V(c.text)) << c.id;
  }
  // The three ordinary amounts reconcile: 0.0001 - 0.0001 + 12345678901234.5678.
  EXPECT_EQ(Select("SELECT CAST(SUM(PAYE) AS VARCHAR(30)) FROM PAIEMENT WHERE ID_PAIEMENT <= 3"),
            V("12345678901234.5678"));
  EXPECT_NE(ReadLog("TablePaiement").find("922337203685477.5807"), std::string::npos) << ReadLog("TablePaiement");
  // Read back, money stays exact too.
  EXPECT_EQ(Select("SELECT PAYE FROM PAIEMENT WHERE ID_PAIEMENT = 4"), V(Currency{INT64_MAX}));
  EXPECT_EQ(V(Currency{123456789012345678}).AsString(), "12345678901234.5678");
  EXPECT_EQ(V(Currency{-25000}).AsInteger(), -3);  // -2.5 rounds away from zero
}

TEST_F(BillingRecordsTest, APaymentNumberGivenTwiceMovesTheFirstAndRefusesTheSecondAloud) {
  // A copy staged by an earlier, stopped run: superseded by this run's copy. Payment 20
  // is the target's own, from before Korvel.
  Exec("INSERT INTO TMPPAIEMENT (ID_PAIEMENT, ECDATE, PAYE) VALUES (8, '2010-03-01', 1)");
  Exec("INSERT INTO PAIEMENT (ID_PAIEMENT, PAYE) VALUES (20, 99)");
  ctx->CommitEtProgress();
  auto payment = [](int64_t id, int64_t cents) {
    return Values{{"AutoNum", V(id)}, {"EcDate", V(EncodeDate(2010, 3, 1))}, {"Paye", V(Currency{cents * 100})}};
  };
  WriteRows("Paiement", {payment(7, 100), payment(7, 200), payment(8, 300), payment(9, 400), payment(20, 500)});
  ctx->Summary.Begin("Paiement");
  TransfertTablePaiement(*ctx);
  ctx->Summary.End();

  EXPECT_EQ(Select("SELECT LIST(ID_PAIEMENT || ':' || CAST(PAYE AS VARCHAR(20)), ',') FROM (SELECT * FROM PAIEMENT "
                   "ORDER BY 1)"),
            V("7:1.0000,8:3.0000,9:4.0000,20:99.0000"));
  const std::string log = ReadLog("TablePaiement");
  EXPECT_NE(log.find("Refuse par Paiement, cle 7 (ligne "), std::string::npos) << log;
  EXPECT_NE(log.find("Conflit avec Paiement, cle 20 (ligne "), std::string::npos) << log;
  // The earlier copy of 8 (1.00) differs from this run's (3.00): named, then left.
  const int64_t earlier = Select("SELECT MIN(NO_LIGNE) FROM TMPPAIEMENT").AsInteger();
  const int64_t latest = Select("SELECT MAX(NO_LIGNE) FROM TMPPAIEMENT WHERE ID_PAIEMENT = 8").AsInteger();
  EXPECT_NE(log.find("Copie anterieure de Paiement, cle 8 (ligne " + std::to_string(earlier) +
                     "): valeurs differentes de la ligne " + std::to_string(latest) + ", remplacee par celle-ci"),
            std::string::npos)
      << log;
  // Six to account for, this run's five and the earlier 8: three moved, the second 7
  // and the target's own 20 refused, the earlier 8 superseded.
  EXPECT_NE(log.find("Deplacement vers Paiement: 6 a deplacer, 3 deplaces, 2 refuses, 0 deja presents, 1 copies "
                     "anterieures\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(ctx->Summary.Tables().back().moveRefused, 2);
  EXPECT_EQ(ctx->Summary.Tables().back().moveSuperseded, 1);
  EXPECT_TRUE(ctx->Summary.Tables().back().Reconciles());

  // Run again: everything is there; nothing moves, nothing is refused, all is counted.
  TransfertTablePaiement(*ctx);
  EXPECT_EQ(Count("PAIEMENT"), 4);
  const std::string again = ReadLog("TablePaiement");
  EXPECT_EQ(again.find("Refuse par"), std::string::npos) << again;
  EXPECT_NE(again.find("Deplacement vers Paiement: 5 a deplacer, 0 deplaces, 0 refuses, 5 deja presents, 0 copies "
                       "anterieures"),
            std::string::npos)
      << again;
}

TEST_F(BillingRecordsTest, OneFormGetsItsRadiologistAndOrphanLinesAreCountedAndNamed) {
  WriteRows("R1606",
            {{{"Autonum", V(int64_t{7})}, {"GrandTotal", V(Currency{1234567})}, {"Etablissement", V("CLI01")}}});
  TransfertTableR1606(*ctx);
  WriteRows("R1606b",
            {{{"AutoNum", V(int64_t{1})},
              {"Autolien", V(int64_t{7})},
              {"Code", V("08001")},
              {"Mod", V("M1")},
              {"Tarif", V(1.005)},
              {"Total", V(Currency{10050})}},
             {{"AutoNum", V(int64_t{2})}, {"Autolien", V(int64_t{7})}, {"Code", V("08002")}, {"Tarif", V(0.285)}},
             {{"AutoNum", V(int64_t{3})}, {"Autolien", V(int64_t{99})}, {"Code", V("08003")}},
             {{"AutoNum", V(int64_t{4})}, {"Autolien", V(int64_t{98})}, {"Code", V("08003")}}});
  TransfertTableR1606b(*ctx);

  struct Case {
    std::string sql;
    Variant expected;
  };
  const Case cases[] = {
      // A form without licence takes the placeholder radiologist, which the completion
      // adds even for a single staged form.
      {"SELECT r.LICENCE || '/' || r.GROUPE || '/' || r.DESACTIVE FROM R1606 f JOIN RADIOLOGISTE r ON "
       "r.ID_RADIOLOGISTE = f.ID_RADIOLOGISTE",
       V("9999999/9999/O")},
      {"SELECT CAST(GRANDTOTAL AS VARCHAR(20)) FROM R1606", V("123.4567")},
      // Float fees arrive as the legacy application showed them.
      {"SELECT CAST(TARIF AS VARCHAR(20)) FROM R1606B WHERE ID_R1606B = 1", V("1.0050")},
      {"SELECT CAST(TARIF AS VARCHAR(20)) FROM R1606B WHERE ID_R1606B = 2", V("0.2850")},
      {"SELECT COUNT(*) FROM R1606B", V(int64_t{2})},
      {"SELECT COUNT(*) FROM ACTE WHERE ACTE IN ('08001', '08002')", V(int64_t{2})},
      {"SELECT COUNT(*) FROM MODIFICATEUR WHERE CODE = 'M1'", V(int64_t{1})},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  const std::string log = ReadLog("TableR1606b");
  const size_t named = log.find("2 lignes sans formulaire 1606 supprimees (formulaires: ");
  ASSERT_NE(named, std::string::npos) << log;
  const std::string forms = log.substr(named, log.find(')', named) - named);
  EXPECT_NE(forms.find("98"), std::string::npos) << forms;
  EXPECT_NE(forms.find("99"), std::string::npos) << forms;
}

TEST_F(BillingRecordsTest, AFormStagedByAStoppedRunStillGetsItsRadiologistWhenNothingNewIsStaged) {
  // The stopped run staged form 8; this run finds it staged already and adds nothing.
  Exec("INSERT INTO TMPR1606 (ID_R1606, LICENCE, GROUPE, ETABLISSEMENT) VALUES (8, '7654321', '02', 'CLI01')");
  ctx->CommitEtProgress();
  WriteRows("R1606", {{{"Autonum", V(int64_t{8})}, {"Licence", V("7654321")}, {"Etablissement", V("CLI01")}}});
  TransfertTableR1606(*ctx);
  EXPECT_EQ(Select("SELECT r.LICENCE || '/' || r.GROUPE FROM R1606 f JOIN RADIOLOGISTE r ON r.ID_RADIOLOGISTE = "
                   "f.ID_RADIOLOGISTE WHERE f.ID_R1606 = 8"),
            V("7654321/02"));
}

TEST_F(BillingRecordsTest, ExternalBillingWithoutRadiologistIsRefusedAndSupplementsAttachToMigratedVisits) {
  WriteRows(
      "FacturationExt",
      {{{"DateDebut", V(EncodeDate(2010, 1, 1))}, {"Radiologiste", V("1234567")}, {"Montant", V(Currency{5000000})}},
       {{"DateDebut", V(EncodeDate(2010, 2, 1))}, {"Radiologiste", V("")}}});
  TransfertTableFacturationExt(*ctx);
  EXPECT_EQ(Select("SELECT RADIOLOGISTE || '/' || CAST(MONTANT AS VARCHAR(20)) FROM FACTURATIONEXT"),
            V("1234567/500.0000"));
  EXPECT_NE(ReadLog("FacturationExt").find("Table source: FacturationExt a une cle vide: 2010-02-01"),
            std::string::npos)
      << ReadLog("FacturationExt");

  Exec("INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (1, '20100101-001')");
  Exec("INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (3, '20100202-001')");  // one number, two visits
  Exec("INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (4, '20100202-001')");
  ctx->CommitEtProgress();
  WriteRows("faccsc", {{{"prescrip", V("20100101-001")}, {"nom", V("Roy")}},
                       {{"prescrip", V("20090101-001")}, {"nom", V("Hors periode")}},
                       {{"prescrip", V("")}, {"nom", V("Sans numero")}},
                       {{"prescrip", V("20100202-001")}, {"nom", V("Double")}}});
  TransfertTableFaccsc(*ctx);
  EXPECT_EQ(Select("SELECT ID_VISITE || NOM FROM FACCSC"), V("1Roy"));
  EXPECT_EQ(Count("TMPFACCSC"), 3);  // outside the range, or of two visits: staged
  const std::string log = ReadLog("TableFaccsc");
  EXPECT_NE(log.find("1 lignes de tmpfaccsc sans visite dans la base, non rattachees"), std::string::npos) << log;
  EXPECT_NE(log.find("1 lignes de tmpfaccsc dont le numero de visite est porte par plusieurs visites, non rattachees"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Table source: faccsc a une cle vide: "), std::string::npos) << log;

  // Its visit migrated later: the next run attaches it, once, and refuses nothing.
  Exec("INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (2, '20090101-001')");
  ctx->CommitEtProgress();
  TransfertTableFaccsc(*ctx);
  EXPECT_EQ(Select("SELECT LIST(ID_VISITE || NOM, ',') FROM (SELECT ID_VISITE, NOM FROM FACCSC ORDER BY 1)"),
            V("1Roy,2Hors periode"));
  EXPECT_EQ(ReadLog("TableFaccsc").find("Refuse par"), std::string::npos) << ReadLog("TableFaccsc");
}

TEST_F(BillingRecordsTest, TransmissionsOfTheRangeBothEndsAndRemittancesOnce) {
  WriteRows("Etat", {{{"Sequence", V(int64_t{1})}, {"EcDate", V(EncodeDate(2010, 1, 1))}, {"Type", V("A")}},
                     {{"Sequence", V(int64_t{2})}, {"EcDate", V(EncodeDate(2010, 12, 31))}, {"Type", V("B")}},
                     {{"Sequence", V(int64_t{3})}, {"EcDate", V(EncodeDate(2011, 1, 1))}, {"Type", V("C")}}});
  TransfertTableEtat(*ctx);
  EXPECT_EQ(Select("SELECT LIST(ID_ETAT, ',') FROM (SELECT ID_ETAT FROM ETAT ORDER BY 1)"), V("1,2"));
  WriteRows("Releve", {{{"seq", V(int64_t{10})}, {"Code", V("08001")}, {"Montant", V(Currency{-25000})}},
                       {{"seq", V(int64_t{10})}, {"Code", V("08002")}}});
  TransfertTableReleve(*ctx);
  EXPECT_EQ(Select("SELECT ACTE || '/' || CAST(MONTANT AS VARCHAR(20)) FROM RELEVE"), V("08001/-2.5000"));
  EXPECT_NE(ReadLog("TableReleve").find("Table destination: Releve a deja cette cle: 10"), std::string::npos);
}

}  // namespace
}  // namespace korvel
