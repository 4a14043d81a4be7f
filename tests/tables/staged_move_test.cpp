#include <gtest/gtest.h>

#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "source/tables/staged_move.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

using V = Variant;

// A staging table and a final table of the test's own, so the cases the server
// refuses are plain: a key already there, a NULL where the final table forbids it, a
// text longer than its final column.
class StagedMoveTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
    Exec("CREATE TABLE MOVE_SRC (ID INTEGER, CODE VARCHAR(40), NOM VARCHAR(40))");
    Exec("CREATE INDEX IX_MOVE_SRC_ID ON MOVE_SRC (ID)");
    Exec("CREATE TABLE MOVE_DST (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(20) NOT NULL, NOM VARCHAR(10))");
    Exec("CREATE TABLE DIGITS (D INTEGER)");
    ctx->CommitEtProgress();
    for (int d = 0; d < 10; ++d) Exec("INSERT INTO DIGITS VALUES (" + std::to_string(d) + ")");
    ctx->CommitEtProgress();
  }

  // Stages ids first..last (below 100,000), code 'C<id>', name 'N<id>'.
  void Stage(int first, int last) {
    Exec(
        "INSERT INTO MOVE_SRC SELECT n, 'C' || n, 'N' || n FROM (SELECT a.d + 10 * b.d + 100 * c.d + 1000 * e.d + "
        "10000 * f.d AS n FROM DIGITS a, DIGITS b, DIGITS c, DIGITS e, DIGITS f) WHERE n BETWEEN " +
        std::to_string(first) + " AND " + std::to_string(last));
  }

  // Three rows the final table refuses, each for its own reason.
  void StageRefusals(int duplicate, int nullCode, int longName) {
    Exec("INSERT INTO MOVE_DST VALUES (" + std::to_string(duplicate) + ", 'deja', 'la')");
    Exec("UPDATE MOVE_SRC SET CODE = NULL WHERE ID = " + std::to_string(nullCode));
    Exec("UPDATE MOVE_SRC SET NOM = 'un nom bien trop long' WHERE ID = " + std::to_string(longName));
  }

  MoveSpec Spec() const {
    return {"MOVE_DST",
            "INSERT INTO MOVE_DST(ID, CODE, NOM) SELECT p.ID, p.CODE, p.NOM FROM MOVE_SRC p WHERE 1 = 1{KEYS}",
            "MOVE_SRC p", "p.ID"};
  }

  // Runs `move` inside a table log and returns the log's text.
  template <typename F>
  std::string Logged(const F& move) {
    ctx->FLogMgr.StartTableLog("TableMove");
    move();
    ctx->SauvegarderLeFichierLogEtCommit();
    return ReadLog("TableMove");
  }

  static int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(StagedMoveTest, ARefusedSetMovesEveryOtherRowAndLogsEachRefusedKey) {
  Stage(1, 10000);
  StageRefusals(500, 5000, 9000);
  ctx->CommitEtProgress();
  MoveResult result;
  const std::string log = Logged([&] { result = MoveStaged(*ctx, Spec()); });

  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.moved, 9997);
  EXPECT_EQ(result.refused, 3);
  EXPECT_EQ(Count("MOVE_DST"), 9998);  // with the row that was there before
  EXPECT_EQ(Count("MOVE_DST", "ID IN (5000, 9000)"), 0);
  EXPECT_EQ(Select("SELECT CODE FROM MOVE_DST WHERE ID = 500"), V("deja"));
  EXPECT_EQ(Occurrences(log, "Refuse par MOVE_DST, cle "), 3) << log;
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle 500: "), std::string::npos) << log;
  EXPECT_NE(log.find("PRIMARY or UNIQUE KEY"), std::string::npos) << log;
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle 5000: "), std::string::npos) << log;
  EXPECT_NE(log.find("validation error for column"), std::string::npos) << log;
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle 9000: "), std::string::npos) << log;
  EXPECT_NE(log.find("string right truncation"), std::string::npos) << log;
  EXPECT_NE(log.find("Deplacement vers MOVE_DST: 10000 a deplacer, 9997 deplaces, 3 refuses"), std::string::npos)
      << log;
  // Moves never count as records added by the table.
  EXPECT_EQ(ctx->FDataMgr->NbAdded(), 0);
}

TEST_F(StagedMoveTest, AWholeMoveThatTheServerTakesIsOneStatementAndRowsWithoutKeyMoveTogether) {
  Stage(1, 50);
  Exec("INSERT INTO MOVE_SRC VALUES (NULL, 'sans', 'cle')");
  Exec("INSERT INTO MOVE_SRC VALUES (NULL, NULL, 'cle')");  // refused with the other keyless row
  ctx->CommitEtProgress();
  MoveSpec spec = Spec();
  spec.sql =
      "INSERT INTO MOVE_DST(ID, CODE, NOM) SELECT COALESCE(p.ID, 0), p.CODE, p.NOM FROM MOVE_SRC p "
      "WHERE 1 = 1{KEYS}";
  MoveResult result;
  const std::string log = Logged([&] { result = MoveStaged(*ctx, spec); });
  EXPECT_EQ(result.moved, 50);
  // The two keyless rows are refused together, and both count.
  EXPECT_EQ(result.refused, 2);
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle NULL (2 lignes): "), std::string::npos) << log;
  EXPECT_NE(log.find("Deplacement vers MOVE_DST: 52 a deplacer, 50 deplaces, 2 refuses\n"), std::string::npos) << log;

  // Nothing refused: one statement, and the log says so.
  Exec("DELETE FROM MOVE_SRC WHERE ID IS NULL");
  Exec("DELETE FROM MOVE_DST");
  const std::string clean = Logged([&] { result = MoveStaged(*ctx, Spec()); });
  EXPECT_EQ(result.moved, 50);
  EXPECT_EQ(result.refused, 0);
  EXPECT_NE(clean.find("Deplacement vers MOVE_DST: 50 a deplacer, 50 deplaces, 0 refuses"), std::string::npos) << clean;
}

TEST_F(StagedMoveTest, RowsSharingAKeyAreTriedOneByOneSoABadRowTakesNoSiblingWithIt) {
  // A staged key that several rows share (GRP), and rows without one; the staging
  // numbers its rows (LIGNE).
  Exec("CREATE TABLE MOVE_GRP (ID INTEGER, CODE VARCHAR(40), NOM VARCHAR(40), GRP VARCHAR(5), LIGNE INTEGER)");
  ctx->CommitEtProgress();
  const char* rows[] = {"1, 'C1', 'ok', 'G', 1", "2, 'C2', 'un nom bien trop long', 'G', 2", "3, 'C3', 'ok', 'H', 3",
                        "4, 'C4', 'ok', NULL, 4", "5, 'C5', 'un nom bien trop long', NULL, 5"};
  for (const char* values : rows) Exec(std::string("INSERT INTO MOVE_GRP VALUES (") + values + ")");
  ctx->CommitEtProgress();
  MoveSpec spec{
      "MOVE_DST",   "INSERT INTO MOVE_DST(ID, CODE, NOM) SELECT p.ID, p.CODE, p.NOM FROM MOVE_GRP p{WHERE_KEYS}",
      "MOVE_GRP p", "p.GRP",
      "",           "p.LIGNE"};
  MoveResult result;
  const std::string log = Logged([&] { result = MoveStaged(*ctx, spec); });
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.moved, 3);
  EXPECT_EQ(result.refused, 2);
  EXPECT_EQ(Select("SELECT LIST(ID, ',') FROM (SELECT ID FROM MOVE_DST ORDER BY 1)"), V("1,3,4"));
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle G (ligne 2): "), std::string::npos) << log;
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle NULL (ligne 5): "), std::string::npos) << log;
  EXPECT_NE(log.find("Deplacement vers MOVE_DST: 5 a deplacer, 3 deplaces, 2 refuses"), std::string::npos) << log;
}

TEST_F(StagedMoveTest, AnotherWritersLockEndsTheMoveAsOneFaultNotAsRefusedRows) {
  Stage(1, 50);
  // Each row moved counts itself in a row another writer holds locked.
  Exec("CREATE TABLE MOVE_COUNT (N INTEGER)");
  ctx->CommitEtProgress();
  Exec("INSERT INTO MOVE_COUNT VALUES (0)");
  Exec("CREATE TRIGGER MOVE_DST_COUNT FOR MOVE_DST AFTER INSERT AS BEGIN UPDATE MOVE_COUNT SET N = N + 1; END");
  ctx->CommitEtProgress();
  fib::TpFIBDatabase other;
  testing::OpenTarget(other, database);
  fib::TpFIBTransaction writer(&other);
  writer.StartTransaction();
  fib::TpFIBQuery lock(&other, &writer);
  lock.SetSQLText("UPDATE MOVE_COUNT SET N = 100");
  lock.ExecQuery();

  MoveResult result;
  const std::string log = Logged([&] { result = MoveStaged(*ctx, Spec()); });
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.refused, 0);
  EXPECT_EQ(log.find("Refuse par"), std::string::npos) << log;
  EXPECT_NE(log.find("Deplacement vers MOVE_DST interrompu: "), std::string::npos) << log;
  EXPECT_NE(ReadLog("Log Generique").find("Deplacement vers MOVE_DST interrompu: "), std::string::npos);

  EXPECT_EQ(Count("MOVE_DST"), 0);
  // The other writer gone, the move made again takes every row.
  writer.Rollback();
  result = MoveStaged(*ctx, Spec());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.moved, 50);
}

TEST_F(StagedMoveTest, BlocksWalkWhatIsStagedAndNotMovedOnlyOnceAcrossRuns) {
  // Gaps, and identifiers below the final table's highest one.
  Stage(1, 3000);
  Stage(10000, 10100);
  Stage(50000, 50000);
  Exec("INSERT INTO MOVE_DST VALUES (7, 'C7', 'N7')");              // moved by an earlier run
  Exec("INSERT INTO MOVE_DST VALUES (60000, 'C60000', 'N60000')");  // the final table's maximum
  Exec("UPDATE MOVE_SRC SET NOM = 'un nom bien trop long' WHERE ID = 10050");
  Exec("INSERT INTO MOVE_SRC VALUES (NULL, 'sans', 'cle')");  // no identifier: never moved, refused and said
  ctx->CommitEtProgress();
  const std::string not_moved = "NOT EXISTS (SELECT 1 FROM MOVE_DST d WHERE d.ID = p.ID)";

  MoveResult first;
  const std::string log = Logged([&] { first = MoveStagedBlocks(*ctx, Spec(), not_moved); });
  EXPECT_EQ(first.moved, 2999 + 100 + 1);
  EXPECT_EQ(first.refused, 2);
  EXPECT_EQ(Count("MOVE_DST"), 2 + 2999 + 100 + 1);
  EXPECT_NE(log.find("Refuse par MOVE_DST, cle 10050: "), std::string::npos) << log;
  EXPECT_NE(log.find("Refuse par MOVE_DST: 1 lignes de MOVE_SRC sans identifiant"), std::string::npos) << log;
  EXPECT_NE(log.find("Deplacement vers MOVE_DST: 3102 a deplacer, 3100 deplaces, 2 refuses"), std::string::npos) << log;

  // Again: only the refused rows are still missing; nothing arrives twice.
  MoveResult second;
  Logged([&] { second = MoveStagedBlocks(*ctx, Spec(), not_moved); });
  EXPECT_EQ(second.moved, 0);
  EXPECT_EQ(second.refused, 2);

  // Once mended, it arrives.
  Exec("DELETE FROM MOVE_SRC WHERE ID IS NULL");
  Exec("UPDATE MOVE_SRC SET NOM = 'court' WHERE ID = 10050");
  MoveResult third;
  Logged([&] { third = MoveStagedBlocks(*ctx, Spec(), not_moved, 100); });
  EXPECT_EQ(third.moved, 1);
  EXPECT_EQ(third.refused, 0);
  EXPECT_EQ(Count("MOVE_DST"), 2 + 3101);
}

TEST_F(StagedMoveTest, AStoppedRunEndsTheBlocksAfterTheCurrentOneAndTheNextRunMovesTheRest) {
  Stage(1, 6000);
  ctx->CommitEtProgress();
  const std::string not_moved = "NOT EXISTS (SELECT 1 FROM MOVE_DST d WHERE d.ID = p.ID)";
  ctx->StopAllProcess = false;
  MoveResult stopped;
  const std::string log = Logged([&] { stopped = MoveStagedBlocks(*ctx, Spec(), not_moved); });
  EXPECT_FALSE(stopped.ok);  // incomplete, and the summary will say so
  EXPECT_EQ(stopped.moved, 2500);
  EXPECT_NE(log.find("Deplacement vers MOVE_DST arrete apres le bloc 1-2500"), std::string::npos) << log;
  ctx->StopAllProcess = true;
  MoveResult rest;
  Logged([&] { rest = MoveStagedBlocks(*ctx, Spec(), not_moved); });
  EXPECT_TRUE(rest.ok);
  EXPECT_EQ(rest.moved, 3500);
  EXPECT_EQ(Count("MOVE_DST"), 6000);
}

TEST_F(StagedMoveTest, ABlockMoveThatLeavesAStagedRowWithoutAWordSaysSoAndDoesNotReconcile) {
  // A statement that silently skips a staged row (its own filter): the rows counted
  // before the move are not all accounted for.
  Exec("CREATE TABLE MOVE_CPY (ID INTEGER, NOM VARCHAR(40), NO_LIGNE INTEGER)");
  ctx->CommitEtProgress();
  Exec("INSERT INTO MOVE_CPY VALUES (1, 'un', 1)");
  Exec("INSERT INTO MOVE_CPY VALUES (2, 'cache', 2)");
  Exec("INSERT INTO MOVE_CPY VALUES (3, 'trois', 3)");
  ctx->CommitEtProgress();
  const MoveSpec spec{"MOVE_DST",
                      "INSERT INTO MOVE_DST(ID, CODE, NOM) SELECT p.ID, 'C', p.NOM FROM MOVE_CPY p WHERE p.NOM <> "
                      "'cache'{KEYS}",
                      "MOVE_CPY p", "p.ID"};
  ctx->Summary.Begin("Move");
  MoveResult result;
  const std::string log = Logged([&] {
    result = MoveStagedBlocks(*ctx, spec, StagedCopies{"MOVE_DST", "ID", "MOVE_CPY", "p", "ID", "1"});
  });
  ctx->Summary.End();
  EXPECT_EQ(result.moved, 2);
  EXPECT_NE(log.find("Deplacement vers MOVE_DST: 3 a deplacer, 2 deplaces, 0 refuses, 0 deja presents, 0 copies "
                     "anterieures, 1 lignes non comptees\n"),
            std::string::npos)
      << log;
  EXPECT_FALSE(ctx->Summary.Tables().back().Reconciles());
}

}  // namespace
}  // namespace korvel
