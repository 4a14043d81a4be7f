#include <gtest/gtest.h>

#include <algorithm>

#include "source/flashfiler/ff2_writer.h"
#include "source/tables/simple_tables.h"
#include "source/tables/table_loop.h"
#include "support/run_fixture.h"
#include "tools/legacy_layouts.h"

namespace korvel {
namespace {

using V = Variant;

// Every case runs twice: records in batches with keys held in memory, and each record
// sent on its own; both must give what the case expects.
class CodeTablesTest : public testing::RunFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    ui.options.recordAtATime = GetParam();
    Connect();
  }
};

TEST_P(CodeTablesTest, CodeTablesCopyCodesRejectDuplicatesAndDefaultDescriptions) {
  WriteTable("Anatom", {{V("THX"), V("Thorax")}, {V("EXT"), V()}, {V("THX"), V("Thorax encore")}});
  WriteTable("Modalite", {{V("RX"), V("Radiographie")}, {V(), V("Sans code")}, {V("RX"), V("Doublon")}});
  WriteTable("Dictio", {{V("fémur"), V()}, {V("fémur"), V("deux")}});
  WriteTable("MotCorr", {{V("rdio"), V("radio")}, {V("rdio"), V("radiologie")}});
  WriteTable("Diagnos", {{V("D1"), V("Fracture")}, {V("D2"), V("   ")}, {V("D1"), V("Autre")}});
  WriteTable("TypePres", {{V("R"), V("RAMQ")}, {V("X"), V("RAMQ")}});
  TransfertTableAnatom(*ctx);
  TransfertTableModalite(*ctx);
  TransfertTableDictio(*ctx);
  TransfertTableMotCorr(*ctx);
  TransfertTableDiagnos(*ctx);
  TransfertTableTypePres(*ctx);

  struct Case {
    const char* sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT COUNT(*) FROM Region", V(int64_t{2})},
      {"SELECT Description FROM Region WHERE Region = 'EXT'", V("EXT")},  // missing description takes the code
      {"SELECT Desactive FROM Region WHERE Region = 'THX'", V("N")},
      {"SELECT COUNT(*) FROM Modalite", V(int64_t{2})},
      {"SELECT Description FROM Modalite WHERE Modalite IS NULL", V("Sans code")},  // empty code accepted as NULL
      {"SELECT Description FROM Dictionnaire", V("fémur")},
      {"SELECT Par FROM MotCor", V("radio")},
      {"SELECT Description FROM Diagnostique WHERE Diagnos = 'D2'", V("D2")},
      {"SELECT TypeFact FROM TypeFact", V("RAMQ")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;

  // Logs: one file per table under its log name, each refusal with the exact text.
  const std::pair<const char*, const char*> refusals[] = {
      {"TableAnatom", "Table destination: Region a deja cette cle: THX"},
      {"TableModalite", "Table destination: Modalite a deja cette cle: RX"},
      {"TableDicto", "Table destination: Dictionnaire a deja cette cle: fémur"},
      {"TableMotCorr", "Table destination: MotCor a deja cette cle: rdio"},
      {"TableDiagnos", "Table destination: Diagnostique a deja cette cle: D1"},
      {"TableTypePres", "Table destination: TypeFact a deja cette cle: RAMQ"},
  };
  for (const auto& [log, message] : refusals) {
    EXPECT_NE(ReadLog(log).find(message), std::string::npos) << log << "\n" << ReadLog(log);
  }
  EXPECT_NE(std::find(ui.operations.begin(), ui.operations.end(), "Table region\r\nTransfert des donnees"),
            ui.operations.end());
}

TEST_P(CodeTablesTest, AnatomCommitsOnlyAfterAnAcceptedRecordModaliteAfterAnyRecord) {
  // Record 2500 (the one read when 2500 records have been read) is a duplicate.
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < 2500; ++i) rows.push_back({V("R" + std::to_string(i)), V("r")});
  rows.push_back({V("R0"), V("doublon")});
  WriteTable("Anatom", rows);
  std::vector<std::vector<Variant>> modalites;
  for (int i = 0; i < 2500; ++i) modalites.push_back({V("M" + std::to_string(i)), V("m")});
  modalites.push_back({V("M0"), V("doublon")});
  WriteTable("Modalite", modalites);

  // The counter shows at each commit and at the end (and, on a slow machine, every
  // fifth of a second at a multiple of 64 records read, which 2500 is not).
  const auto shown = [&](const char* count) { return std::count(ui.counters.begin(), ui.counters.end(), count); };
  ui.counters.clear();
  TransfertTableAnatom(*ctx);
  EXPECT_EQ(shown("2500"), 0);  // no batch commit, only the final count
  EXPECT_EQ(ui.counters.back(), "2501");
  ui.counters.clear();
  TransfertTableModalite(*ctx);
  EXPECT_EQ(shown("2500"), 1);
  EXPECT_EQ(ui.counters.back(), "2501");
  EXPECT_EQ(Count("Region"), 2500);
  EXPECT_EQ(Count("Modalite"), 2500);
}

TEST_P(CodeTablesTest, ProtocolTextsAndExports) {
  WriteTable("TxtProto", {{V("P1"), V("  Protocole ANGLAIS "), V("texte"), V(true), V("Protocol"), V("text")},
                          {V("P2"), V("Protocole anglais du genou"), V(), V(false), V(), V()},
                          {V("P3"), V(), V("x"), V(), V(), V()}});
  TransfertTableTxtProto(*ctx);
  EXPECT_EQ(Select("SELECT langue FROM TextePreins WHERE TextePreins = 'P1'"), V("EN"));
  EXPECT_EQ(Select("SELECT langue FROM TextePreins WHERE TextePreins = 'P2'"), V("EN"));
  EXPECT_EQ(Select("SELECT langue FROM TextePreins WHERE TextePreins = 'P3'"), V("FR"));
  EXPECT_EQ(Select("SELECT Texte FROM TextePreins WHERE TextePreins = 'P2'"), V(""));  // empty text, not NULL
  EXPECT_EQ(Select("SELECT TexteSecondaire FROM TextePreins WHERE TextePreins = 'P1'"), V("text"));
  EXPECT_EQ(Select("SELECT Impression || Desactive FROM TextePreins WHERE TextePreins = 'P3'"), V("ON"));

  const TDateTime day = EncodeDate(2010, 5, 6);
  WriteTable("Export", {{V(), V(day), V(EncodeTime(14, 5, 0)), V("RAMQ")},
                        {V(), V(day), V(), V("PACS")},
                        {V(), V(day), V(EncodeTime(9, 0, 0)), V("HL7")}});
  TransfertTableExport(*ctx);
  EXPECT_EQ(Count("Export"), 3);
  EXPECT_EQ(Select("SELECT CAST(DateHeure AS VARCHAR(30)) FROM Export WHERE ExportType = 'RAMQ'"),
            V("2010-05-06 14:05:00.0000"));
  EXPECT_TRUE(Select("SELECT DateHeure FROM Export WHERE ExportType = 'PACS'").IsNull());
  EXPECT_GE(Select("SELECT GEN_ID(GEN_ID_EXPORT, 0) FROM RDB$DATABASE").AsInteger(), 3);
}

TEST_P(CodeTablesTest, AValueRefusedWhileAssigningRefusesOnlyItsRecordAWrongLayoutEndsTheTable) {
  WriteTable("Anatom", {{V("A"), V("a")}, {V("B"), V("b")}, {V("C"), V("c")}});
  TableRoutine routine{"TableEssai", "essai", "Anatom", "INSERT INTO Region(Region, Description, Desactive)", 3};
  routine.checkAcceptance = false;
  RunTableRoutine(*ctx, routine, {}, [](RecordParams& p) {
    if (p.Field(0).AsString() == "B") throw EDatabaseError("'2005-13-45' is not a valid date");
    p.Copy(0, p.Field(0));
    p.Copy(1, p.Field(1));
    p.Constant(2, "N");
  });
  EXPECT_EQ(Count("Region"), 2);
  EXPECT_NE(ReadLog("TableEssai").find("'2005-13-45' is not a valid date"), std::string::npos) << ReadLog("TableEssai");
  // A fault of the routine is not refused data: an unknown field or a parameter
  // position past the statement ends the table.
  EXPECT_THROW(RunTableRoutine(*ctx, routine, {}, [](RecordParams& p) { p.Copy(0, p.Field("Absent")); }),
               ERoutineFault);
  EXPECT_THROW(RunTableRoutine(*ctx, routine, {}, [](RecordParams& p) { p.Constant(3, "N"); }), ERoutineFault);
  // So does a statement whose parameter count differs from its column list (before a
  // single record is read), or a column the statement does not name.
  int assigned = 0;
  TableRoutine shifted{"TableEssai", "essai", "Anatom", "INSERT INTO Region(Region, Description, Desactive)", 4};
  shifted.checkAcceptance = false;
  EXPECT_THROW(RunTableRoutine(*ctx, shifted, {}, [&](RecordParams&) { ++assigned; }), ERoutineFault);
  EXPECT_EQ(assigned, 0);
  EXPECT_THROW(RunTableRoutine(*ctx, routine, {}, [](RecordParams& p) { p.Constant("Absente", "N"); }), ERoutineFault);
  EXPECT_EQ(Count("Region"), 2);
}

TEST_P(CodeTablesTest, ParametersSetByColumnNameLandInTheirColumnsWhateverTheOrder) {
  WriteTable("Anatom", {{V("A"), V("a")}, {V("B"), V("b")}});
  TableRoutine routine{"TableEssai", "essai", "Anatom", "INSERT INTO Region(Region, Description, Desactive)", 3};
  routine.checkAcceptance = false;
  RunTableRoutine(*ctx, routine, {}, [](RecordParams& p) {
    p.Constant("DESACTIVE", "O");
    p.Copy("Description", p.Field(1));
    p.Copy("region", p.Field(0));
  });
  EXPECT_EQ(Count("Region", "Region = 'A' AND Description = 'a' AND Desactive = 'O'"), 1);
  EXPECT_EQ(Count("Region", "Region = 'B' AND Description = 'b' AND Desactive = 'O'"), 1);
}

TEST_P(CodeTablesTest, ShortProtocolLayoutLeavesTheSecondaryColumnsNull) {
  ff2::Ff2Writer writer(legacy + "/TxtProto.FF2");
  for (const auto& f : sample::LegacyLayoutTxtProtoShort()) writer.AddField(f.name, f.type, f.size);
  writer.AppendRecord({V("P1"), V("Protocole"), V("texte"), V(true)});
  writer.Finish();
  TransfertTableTxtProto(*ctx);
  EXPECT_EQ(Count("TextePreins", "DESCRIPTIONSECONDAIRE IS NULL AND TexteSecondaire IS NULL"), 1);
}

INSTANTIATE_TEST_SUITE_P(BothWays, CodeTablesTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "UnParUn" : "ParLots"; });

}  // namespace
}  // namespace korvel
