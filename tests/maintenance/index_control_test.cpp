#include <gtest/gtest.h>

#include <algorithm>

#include "global/database_error.h"
#include "maintenance_fixture.h"
#include "source/maintenance/index_control.h"

namespace korvel {
namespace {

class IndexControlTest : public testing::MaintenanceFixture {
 protected:
  // Index name -> inactive flag, for the indexes of one table, in name order.
  std::string IndexStates(const std::string& table) {
    return Select(
               "SELECT LIST(TRIM(RDB$INDEX_NAME) || '=' || COALESCE(RDB$INDEX_INACTIVE, 0), ' ') FROM "
               "(SELECT RDB$INDEX_NAME, RDB$INDEX_INACTIVE FROM RDB$INDICES WHERE RDB$RELATION_NAME = '" +
               table + "' ORDER BY RDB$INDEX_NAME)")
        .AsString();
  }
  int TriggerInactive(const std::string& trigger) {
    return static_cast<int>(
        Select("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '" + trigger + "'").AsInteger());
  }
  // Lines of the monitor log without their time stamps.
  std::vector<std::string> MonitorLines() {
    std::vector<std::string> lines;
    const std::string text = ReadLog("Monitor Log");
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      const size_t at = line.find("ALTER INDEX");
      if (at != std::string::npos) lines.push_back(line.substr(at));
      start = end + 1;
    }
    return lines;
  }
};

TEST_F(IndexControlTest, ChangeStateIndexSwitchesOnlyPlainSecondaryIndexes) {
  Prepare({
      "CREATE TABLE T_IDX (ID INTEGER NOT NULL PRIMARY KEY, A INTEGER, B INTEGER, C INTEGER, "
      "ID_VISITE INTEGER, CONSTRAINT FK_T_IDX_VISITE FOREIGN KEY (ID_VISITE) REFERENCES VISITE (ID_VISITE))",
      "CREATE INDEX IX_T_IDX_B ON T_IDX (B)",
      "CREATE INDEX IX_T_IDX_A ON T_IDX (A)",
      "CREATE UNIQUE INDEX UX_T_IDX_C ON T_IDX (C)",
  });
  const std::string pk = Select(
                             "SELECT TRIM(RDB$INDEX_NAME) FROM RDB$RELATION_CONSTRAINTS WHERE RDB$RELATION_NAME = "
                             "'T_IDX' AND RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'")
                             .AsString();
  ConnectRun();

  ChangeStateIndex(*ctx, "T_IDX", "Table T\r\n", true);
  EXPECT_EQ(ui.operations.back(), "Table T\r\n (Désactivation des index de la table: T_IDX)");
  const std::string off = IndexStates("T_IDX");
  for (const char* expected : {"IX_T_IDX_A=1", "IX_T_IDX_B=1", "UX_T_IDX_C=0", "FK_T_IDX_VISITE=0"}) {
    EXPECT_NE(off.find(expected), std::string::npos) << off;
  }
  EXPECT_NE(off.find(pk + "=0"), std::string::npos) << off;
  EXPECT_EQ(MonitorLines(),
            (std::vector<std::string>{"ALTER INDEX IX_T_IDX_A INACTIVE", "ALTER INDEX IX_T_IDX_B INACTIVE"}));

  // The catalogue stores the name in upper case: another spelling finds nothing.
  ChangeStateIndex(*ctx, "t_idx", "Table T\r\n", false);
  EXPECT_EQ(IndexStates("T_IDX"), off);
  EXPECT_EQ(MonitorLines().size(), 2u);

  ChangeStateIndex(*ctx, "T_IDX", "Table T\r\n", false);
  EXPECT_EQ(ui.operations.back(), "Table T\r\n (Réactivation des index de la table: T_IDX)");
  EXPECT_EQ(IndexStates("T_IDX").find("=1"), std::string::npos);
  EXPECT_EQ(MonitorLines().back(), "ALTER INDEX IX_T_IDX_B ACTIVE");
  EXPECT_TRUE(ctx->target.InTransaction());
}

TEST_F(IndexControlTest, ChangeStateTriggerSwitchesAndRepeatsAndRaisesForAMissingTrigger) {
  ConnectRun();
  ChangeStateTrigger(*ctx, "TRIG_BEFOREI_VISITE_CREATIONDH", "Table Visite\r\n", true);
  ChangeStateTrigger(*ctx, "TRIG_BEFOREI_VISITE_CREATIONDH", "Table Visite\r\n", true);  // again: no error
  EXPECT_EQ(ui.operations.back(), "Table Visite\r\n (Désactivation du Trigger TRIG_BEFOREI_VISITE_CREATIONDH");
  EXPECT_EQ(TriggerInactive("TRIG_BEFOREI_VISITE_CREATIONDH"), 1);
  // A visit loaded now keeps its own creation time (none here).
  ctx->FDataMgr->ExecuteDestQuery("INSERT INTO VISITE (ID_VISITE) VALUES (1)");
  ctx->CommitEtProgress();
  EXPECT_EQ(Count("VISITE", "CREATIONDH IS NULL"), 1);

  ChangeStateTrigger(*ctx, "trig_beforeiu_tmpexamen", "TMPEXAMEN", true);
  ChangeStateTrigger(*ctx, "trig_beforeiu_tmpexamen", "TMPEXAMEN", false);
  EXPECT_EQ(ui.operations.back(), "TMPEXAMEN (Réactivation du Trigger trig_beforeiu_tmpexamen");
  EXPECT_EQ(TriggerInactive("TRIG_BEFOREIU_TMPEXAMEN"), 0);

  EXPECT_THROW(ChangeStateTrigger(*ctx, "TRIG_QUI_N_EXISTE_PAS", "", false), EDatabaseError);
  EXPECT_TRUE(engine_messages.empty());
}

TEST_F(IndexControlTest, RecomputeIndexRecomputesTheStatisticsOfEveryIndexOfTheTable) {
  std::vector<std::string> setup = {"CREATE TABLE STATS (ID INTEGER NOT NULL PRIMARY KEY, A INTEGER)",
                                    "CREATE INDEX IX_STATS_A ON STATS (A)"};
  for (int i = 1; i <= 50; ++i) {
    setup.push_back("INSERT INTO STATS VALUES (" + std::to_string(i) + ", " + std::to_string(i % 10) + ")");
  }
  Prepare(setup);
  const std::string statistics =
      "SELECT LIST(CAST(RDB$STATISTICS AS NUMERIC(9,4)), ' ') FROM (SELECT RDB$STATISTICS "
      "FROM RDB$INDICES WHERE RDB$RELATION_NAME = 'STATS' ORDER BY RDB$INDEX_NAME)";
  ASSERT_EQ(Select(statistics).AsString(), "0.0000 0.0000");  // computed on the empty table
  ConnectRun();

  RecomputeIndex(*ctx, "STATS", "Table Stats\r\n");
  EXPECT_EQ(ui.operations.back(), "Table Stats\r\n (Recompute Index de la table STATS)");
  // One key in ten for A, one in fifty for the primary key (its name sorts after IX_).
  EXPECT_EQ(Select(statistics).AsString(), "0.1000 0.0200");

  // Another spelling of the name matches no index: nothing to do, no error.
  EXPECT_NO_THROW(RecomputeIndex(*ctx, "Stats", "Table Stats\r\n"));
  EXPECT_TRUE(ctx->target.InTransaction());
}

TEST_F(IndexControlTest, ReIndexPostTransfertSwitchesLeftOverIndexesBackOn) {
  Prepare({
      "CREATE TABLE T_IDX (ID INTEGER NOT NULL PRIMARY KEY, A INTEGER, C INTEGER)",
      "CREATE UNIQUE INDEX UX_T_IDX_C ON T_IDX (C)",  // first in the catalogue's order
      "CREATE INDEX IX_T_IDX_A ON T_IDX (A)",
      "ALTER INDEX IX_T_IDX_A INACTIVE",
      "ALTER INDEX UX_T_IDX_C INACTIVE",
      // Rows loaded while the indexes were off; C breaks its unique index.
      "INSERT INTO T_IDX VALUES (1, 5, 7)",
      "INSERT INTO T_IDX VALUES (2, 5, 7)",
  });
  ConnectRun();
  ReIndexPostTransfert(*ctx);

  EXPECT_EQ(
      Select("SELECT COALESCE(RDB$INDEX_INACTIVE, 0) FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IX_T_IDX_A'").AsInteger(),
      0);
  // The unique index cannot come back on: logged, and it did not stop the pass.
  EXPECT_EQ(Select("SELECT RDB$INDEX_INACTIVE FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'UX_T_IDX_C'").AsInteger(), 1);
  EXPECT_NE(NewGenericLog().find("UX_T_IDX_C"), std::string::npos) << NewGenericLog();
  // The indexes of the schema, all active, were left as they were.
  EXPECT_EQ(Count("RDB$INDICES", "RDB$INDEX_INACTIVE = 1 AND RDB$INDEX_NAME <> 'UX_T_IDX_C'"), 0);
}

}  // namespace
}  // namespace korvel
