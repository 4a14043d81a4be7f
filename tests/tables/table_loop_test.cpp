#include <gtest/gtest.h>

#include <filesystem>

#include "source/tables/table_loop.h"
#include "support/legacy_db.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

using V = Variant;
using T = ff2::Ff2Type;

class TableLoopTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
    ctx->FLogMgr.StartTransfertLog();
    // Dated records with an index on the date: two outside 2010.
    const auto day = [](int y, int m, int d) { return V(EncodeDate(y, m, d)); };
    testing::WriteLegacyTable(legacy, "Essai",
                              {{"Code", T::ShortString, 10}, {"Jour", T::StDate}, {"Nom", T::ShortString, 40}},
                              {{V("A"), day(2010, 1, 5), V("premier")},
                               {V("X"), day(2009, 12, 31), V("avant")},
                               {V("B"), day(2010, 3, 1), V("second")},
                               {V("C"), day(2010, 4, 1), V("passer")},
                               {V("D"), day(2010, 5, 1), V("refuser")},
                               {V("A"), day(2010, 6, 1), V("doublon")},
                               {V("Y"), day(2011, 1, 1), V("apres")}},
                              {{"xJour", {"Jour"}}});
  }

  TableRoutine Routine(const char* index) {
    TableRoutine routine{"TableEssai", "Essai", "Essai", "INSERT INTO Region(Region, Description, Desactive)", 3};
    routine.Range(index, V(EncodeDate(2010, 1, 1)), V(EncodeDate(2010, 12, 31)));
    return routine;
  }
};

TEST_F(TableLoopTest, EveryRecordOfTheRangeEndsAddedRefusedOrPassedOverAndTheHooksRunInOrder) {
  std::vector<std::string> steps;
  RoutineHooks hooks;
  hooks.beforeFirstRecord = [&] { steps.push_back("beforeFirstRecord"); };
  hooks.setup = [&] {
    steps.push_back("setup");
    ctx->FDataMgr->InitCodeDestCopy("Region", {"Region", "Code"}, true);
  };
  hooks.accept = [&](RecordParams& p) {
    const std::string nom = p.Field("Nom").AsString();
    if (nom == "passer") return Verdict::passOver;
    if (nom == "refuser") {
      ctx->DoLogError(nullptr, "refuse par la routine", false);
      return Verdict::refuse;
    }
    return Verdict::accept;
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy(0, p.Field("Code"));
    p.Copy(1, p.Field("Nom"));
    p.Constant(2, "N");
  };
  hooks.subStatements = {[](RecordParams& p) {
                           if (p.Field("Code").AsString() == "B") throw EDatabaseError("sous-requete refusee");
                         },
                         [&](RecordParams&) { steps.push_back("second sub"); }};
  hooks.closing = [&] { steps.push_back("closing"); };
  hooks.afterSave = [&] { steps.push_back(LogExists("TableEssai") ? "afterSave, log saved" : "afterSave"); };
  const LoopResult result = RunTableRoutine(*ctx, Routine("xJour"), hooks);

  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.read, 5);  // the two records outside the range are never read
  EXPECT_EQ(result.added, 2);
  EXPECT_EQ(result.refused, 2);  // D by the routine, the second A by the duplicate check
  EXPECT_EQ(result.passedOver, 1);
  EXPECT_EQ(result.subRefused, 1);
  EXPECT_EQ(result.read, result.added + result.refused + result.passedOver);
  EXPECT_EQ(Count("Region"), 2);
  const std::vector<std::string> expected = {"beforeFirstRecord", "setup",   "second sub",
                                             "second sub",        "closing", "afterSave, log saved"};
  EXPECT_EQ(steps, expected);
  const std::string log = ReadLog("TableEssai");
  EXPECT_NE(log.find("sous-requete refusee"), std::string::npos) << log;
  EXPECT_NE(log.find("Code: B"), std::string::npos) << log;  // logged with its record
  EXPECT_NE(log.find("Table destination: Region a deja cette cle: A"), std::string::npos) << log;
}

TEST_F(TableLoopTest, AnIndexOrRangeThatCannotBeSetRefusesTheTableInsteadOfReadingItWhole) {
  int assigned = 0;
  RoutineHooks hooks;
  hooks.assign = [&](RecordParams&) { ++assigned; };
  for (const char* index : {"xInconnu", "Seq. Access Index"}) {
    const LoopResult result = RunTableRoutine(*ctx, Routine(index), hooks);
    EXPECT_FALSE(result.opened) << index;
    const std::string line =
        std::string("Index ou intervalle impossible pour Essai: index ") + index + ", de (2010-01-01) a (2010-12-31): ";
    EXPECT_NE(ReadLog("TableEssai").find(line), std::string::npos) << ReadLog("TableEssai");
    EXPECT_NE(ReadLog("Log Generique").find(line), std::string::npos) << ReadLog("Log Generique");
  }
  EXPECT_EQ(assigned, 0);
  EXPECT_EQ(Count("Region"), 0);
}

TEST_F(TableLoopTest, ARoutineReadsAQueryOfTheTargetAndLogsARefusedRowWithItsColumns) {
  for (const char* values : {"'L1', 'Bouchard'", "'L2', 'Pelletier'", "'L1', 'Doublon'"}) {
    ASSERT_TRUE(
        ctx->FDataMgr->ExecuteDestQuery(std::string("INSERT INTO TMPMEDECINFF (LICENCE, NOM) VALUES (") + values + ")")
            .ok);
  }
  ctx->CommitEtProgress();
  QueryHooks hooks;
  hooks.assign = [&](fib::TpFIBQuery& row) {
    ctx->FDataMgr->SetDestParam(0, ctx->FParamMgr->AssignSrcToDest(row.FieldByName("LICENCE")));
    ctx->FDataMgr->SetDestParam(1, ctx->FParamMgr->AssignSrcToDest(row.FieldByName("NOM")));
    ctx->FDataMgr->SetDestParam(2, TParamValue());
  };
  const LoopResult result =
      RunQueryRoutine(*ctx,
                      {"TableMedecinFF", "MedecinFF", "SELECT LICENCE, NOM FROM TMPMEDECINFF ORDER BY NOM",
                       "INSERT INTO Region(Region, Description, Desactive)", 3},
                      hooks);
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.read, 3);
  EXPECT_EQ(result.added, 2);
  EXPECT_EQ(result.refused, 1);
  EXPECT_EQ(Select("SELECT Description FROM Region WHERE Region = 'L1'"), V("Bouchard"));
  const std::string log = ReadLog("TableMedecinFF");
  EXPECT_NE(log.find("LICENCE: L1 NOM: Doublon"), std::string::npos) << log;
  EXPECT_NE(ReadLog("RAPPORT FINAL").find("TableMedecinFF, Nombre total de Record de transferer : 2/3"),
            std::string::npos);
}

}  // namespace
}  // namespace korvel
