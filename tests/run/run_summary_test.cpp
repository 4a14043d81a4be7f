#include <gtest/gtest.h>

#include "source/run/progress_line.h"
#include "source/run/run_summary.h"

namespace korvel {
namespace {

TEST(RunSummaryTest, EachRoutineAddsItsLoopsAndMovesAndSaysWhetherTheyReconcile) {
  RunSummary summary;
  summary.AddLoop(true, 5, 5, 0, 0);  // outside a routine: counts nowhere
  summary.Begin("Patient");
  summary.AddLoop(true, 10, 7, 2, 1);
  summary.AddMove(true, 6, 1);
  summary.AddMove(true, 3, 0, 4, 2);  // four rows an earlier run moved, two copies it staged
  summary.End();
  summary.Begin("Prescription (visite)");
  summary.AddLoop(true, 4, 4, 0, 0);
  summary.AddMove(false, 2, 2);  // a move that stopped short
  summary.End();
  summary.Begin("HL7Radiol");
  summary.AddLoop(false, 0, 0, 0, 0);  // no legacy table: nothing read, nothing lost
  summary.End();
  summary.Begin("Paiement");
  summary.AddLoop(true, 3, 3, 0, 0);
  summary.AddMove(true, 2, 0);
  summary.UnaccountedMove();  // a row counted before the move that it cannot place
  summary.End();

  ASSERT_EQ(summary.Tables().size(), 4u);
  const TableSummary& patient = summary.Tables()[0];
  EXPECT_EQ(patient.read, 10);
  EXPECT_EQ(patient.moved, 9);
  EXPECT_EQ(patient.moveRefused, 1);
  EXPECT_TRUE(patient.Reconciles());
  EXPECT_FALSE(summary.Tables()[1].Reconciles());
  EXPECT_TRUE(summary.Tables()[2].Reconciles());
  EXPECT_FALSE(summary.Tables()[3].Reconciles());
  EXPECT_FALSE(summary.Reconciles());

  const std::string csv = summary.Csv();
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "Table;Lus;Ajoutes;Refuses;Ignores;Deplaces;Deplacements refuses;Deja presents;Copies anterieures;"
            "Secondes;Lus par seconde;Concorde");
  EXPECT_NE(csv.find("\nPatient;10;7;2;1;9;1;4;2;"), std::string::npos) << csv;
  EXPECT_NE(csv.find(";NON\n"), std::string::npos) << csv;
  const std::string text = summary.Text();
  EXPECT_NE(text.find("NON (deplacement incomplet)"), std::string::npos) << text;
  EXPECT_NE(text.find("oui (source non ouverte)"), std::string::npos) << text;
  EXPECT_NE(text.find("NON (lignes non comptees)"), std::string::npos) << text;
}

TEST(ProgressLineTest, RateAndTimeLeftShownAFewTimesASecondAtMost) {
  using namespace std::chrono_literals;
  ProgressLine line;
  const auto t0 = ProgressLine::Clock::time_point{} + 1h;
  line.Start("Table Dictionnaire\r\nTransfert des donnees", t0);
  EXPECT_EQ(line.Update(2500, 10000, t0 + 1s),
            "Table Dictionnaire  Transfert des donnees  2500/10000 (25%)  2500 records/s  0:03 left");
  EXPECT_EQ(line.Update(5000, 10000, t0 + 1s + 100ms), "");  // too soon after the last one
  EXPECT_EQ(line.Update(5000, 0, t0 + 2s), "Table Dictionnaire  Transfert des donnees  5000  2500 records/s");
  // The same table under a new label: its rate counts from the 5000 already read.
  line.Start("Table Dictionnaire\r\nFinalisation", t0 + 2s);
  EXPECT_EQ(line.Update(6000, 10000, t0 + 3s),
            "Table Dictionnaire  Finalisation  6000/10000 (60%)  1000 records/s  0:04 left");
  // The next table reads from its start.
  line.Start("Table Acte\r\nTransfert des donnees", t0 + 4s);
  EXPECT_EQ(line.Update(300, 600, t0 + 5s),
            "Table Acte  Transfert des donnees  300/600 (50%)  300 records/s  0:01 left");
  // Its last record read shows however soon it comes: the table ends at 100%.
  EXPECT_EQ(line.Update(600, 600, t0 + 5s + 10ms), "Table Acte  Transfert des donnees  600/600 (100%)  594 records/s");
}

}  // namespace
}  // namespace korvel
