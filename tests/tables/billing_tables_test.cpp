#include <gtest/gtest.h>

#include "source/tables/billing_tables.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

using V = Variant;

class BillingTablesTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Connect();
  }

  static std::vector<Variant> Modifier(const char* code, bool modific) {
    std::vector<Variant> r = {V(code),  V(true), V("SP1"), V("Desc"), V("Explication"), V(Currency{1234500}),
                              V(false), V(true), V(false), V(1.5),    V(0.25),          V("A1"),
                              V("B1"),  V(true)};
    if (modific) {
      r.push_back(V("C1"));
      r.push_back(V("08001"));
      r.push_back(V(false));
    }
    return r;
  }
};

TEST_F(BillingTablesTest, BillingCodeTablesAsATableOfCases) {
  WriteTable("Modific", {Modifier("M1", true), Modifier("M1", true)});
  WriteTable("ModSoft", {Modifier("S1", false)});
  WriteTable("ModCompl", {{V("M1"), V("C1"), V("C2"), V(true), V("r"), V()},
                          {V("M1"), V("C1"), V("C3"), V(false), V("r"), V(true)},
                          {V("M1"), V("C1"), V("C2"), V(true), V("doublon"), V(false)}});
  std::vector<Variant> territory = {V("T1")};
  for (int i = 0; i < 14; ++i) territory.push_back(i == 9 ? V(12.5) : V());
  WriteTable("RemMajoree", {territory});
  WriteTable("CodeTransac", {{V("TR1"), V("  ")}, {V("TR2"), V("Paiement")}});
  WriteTable("Activite", {{V(), V("Radiologie"), V("4001")}, {V(), V(), V("4002")}, {V(), V("Écho"), V("4003")}});
  WriteTable("EtatType", {{V(1), V("RAMQ"), V("NOM"), V("Nom"), V(1), V(30)},
                          {V(1), V("RAMQ"), V("NAM"), V("NAM"), V(31), V(12)},
                          {V(1), V("RAMQ"), V("NOM"), V("encore"), V(43), V(30)}});
  WriteTable("EtatTypeTitre", {{V(1), V("RAMQ"), V("Relevé")}, {V(1), V("RAMQ"), V("Doublon")}});
  for (auto routine :
       {TransfertTableModific, TransfertTableModSoft, TransfertTableModCompl, TransfertTableRemMajoree,
        TransfertTableCodeTransac, TransfertTableActivite, TransfertTableEtatType, TransfertTableEtatTypeTitre}) {
    routine(*ctx);
  }

  struct Case {
    const char* sql;
    Variant expected;
  };
  const Case cases[] = {
      {"SELECT COUNT(*) FROM Modificateur", V(int64_t{1})},
      {"SELECT Omni || PlafondAtteint || Role7 || Desactive FROM Modificateur", V("ONNN")},
      {"SELECT CAST(Plafond AS VARCHAR(20)) FROM Modificateur", V("123.45")},
      {"SELECT CAST(UniteBase AS VARCHAR(20)) FROM ModSoft", V("1.5000")},
      {"SELECT COUNT(*) FROM ModCompl", V(int64_t{2})},  // the target refused the repeated rule
      {"SELECT COALESCE(ArretSurEcran, 'null') || Desactive FROM ModCompl WHERE Code2 = 'C2'", V("nullN")},
      {"SELECT ArretSurEcran || Desactive FROM ModCompl WHERE Code2 = 'C3'", V("OO")},
      {"SELECT CAST(T4A AS VARCHAR(20)) FROM RemMajoree", V("12.5000")},
      {"SELECT COUNT(*) FROM CODETRANSAC WHERE Description IS NULL", V(int64_t{1})},
      {"SELECT COUNT(*) FROM Activite", V(int64_t{2})},
      {"SELECT COUNT(*) FROM EtatType", V(int64_t{2})},
      {"SELECT Nom FROM EtatTypeTitre", V("Relevé")},
  };
  for (const Case& c : cases) EXPECT_EQ(Select(c.sql), c.expected) << c.sql;
  EXPECT_GE(Select("SELECT GEN_ID(GEN_ID_ACTIVITE, 0) FROM RDB$DATABASE").AsInteger(),
            Select("SELECT MAX(id_activite) FROM Activite").AsInteger());

  const std::pair<const char*, const char*> logs[] = {
      {"TableModific", "Table destination: Modificateur a deja cette cle: M1"},
      {"TableModCompl", "violation of PRIMARY or UNIQUE KEY constraint \"UQ_MODCOMPL\""},
      {"Table.Activite", "Table source: Activite a une cle vide: 2"},
      {"TableEtatType", "Table destination: EtatType a deja cette cle composee: 1 + NOM"},
      {"TableEtatTypeTitre", "Table destination: EtatTypeTitre a deja cette cle: 1"},
  };
  for (const auto& [log, message] : logs) {
    EXPECT_NE(ReadLog(log).find(message), std::string::npos) << log << "\n" << ReadLog(log);
  }
}

}  // namespace
}  // namespace korvel
