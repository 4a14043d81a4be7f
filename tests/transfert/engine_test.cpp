#include <gtest/gtest.h>

#include "global/fib/fib_database.h"
#include "global/fib/fib_transaction.h"
#include "global/fib/global_fib.h"
#include "source/transfert/transfert_data.h"
#include "support/legacy_db.h"
#include "support/target_db.h"

namespace korvel {
namespace {

using ff2::Ff2Type;
using TC = TCanTransfertType;

// A legacy "Codes" table (Code, Libelle, Extra) and a target CODES table that
// already holds DUP once and TWICE twice (no key on it, to allow the double).
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::ScratchDir();
    db_.DatabaseName = testing::FreshDatabase("target");
    db_.UseMainConnectionSettings();
    tr_.TRParams = {"write", "nowait", "rec_version", "read_committed"};
    db_.DefaultTransaction = &tr_;
    db_.Open();
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit(
        "CREATE TABLE CODES (CODE VARCHAR(20), LIBELLE VARCHAR(40), EXTRA VARCHAR(10), JOUR DATE)", {}, &db_));
    for (const char* code : {"DUP", "TWICE", "TWICE", "CLINIQUE", "CLINIQU1"}) {
      ASSERT_TRUE(
          fib::GlobalFIB().ExecSQLCommit("INSERT INTO CODES (CODE, LIBELLE) VALUES (?, 'x')", {Variant(code)}, &db_));
    }
    tr_.StartTransaction();
    session_ = std::make_unique<testing::LegacySession>(folder_);
    engine_.OnHaveMsgEvent = [this](const void*, const std::string& text, bool stack) {
      messages_.push_back(text + (stack ? " [stack]" : ""));
    };
    engine_.InitDataConnections(&session_->session, &session_->radio, &db_);
  }

  void WriteCodes(const std::vector<std::vector<Variant>>& rows) {
    testing::WriteLegacyTable(folder_, "Codes",
                              {{"Libelle", Ff2Type::ShortString, 40},
                               {"Code", Ff2Type::ShortString, 20},
                               {"Extra", Ff2Type::ShortString, 10}},
                              rows);
  }

  std::string folder_;
  fib::TpFIBDatabase db_;
  fib::TpFIBTransaction tr_{&db_};
  std::unique_ptr<testing::LegacySession> session_;
  TTransfertData engine_;
  std::vector<std::string> messages_;
};

TEST_F(EngineTest, EachPolicyAcceptsAndRefusesWithItsMessage) {
  // Record:  first field       key             extra
  WriteCodes({{Variant("lib"), Variant("NEW"), Variant("e")},
              {Variant("lib"), Variant("DUP"), Variant("e")},
              {Variant("premier"), Variant(), Variant("e")},
              {Variant("autre"), Variant("TWICE"), Variant()}});
  const std::string dest = "Table destination: CODES a deja cette cle: ";
  const std::string empty = "Table source: Codes a une cle vide: ";
  struct Case {
    TC policy;
    int record;
    bool accepted;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {TC::ctNone, 1, true, {}},
      {TC::ctStandard, 0, true, {}},
      {TC::ctStandard, 1, false, {dest + "DUP"}},
      // An empty key quotes the first source field, not the key field.
      {TC::ctStandard, 2, false, {empty + "premier"}},
      {TC::ctPKOnly, 2, true, {}},
      {TC::ctPKOnly, 1, false, {dest + "DUP"}},
      {TC::ctPKSrcNotEmpty, 0, true, {}},
      {TC::ctPKSrcNotEmpty, 3, false, {empty + "autre"}},
      {TC::ctPKSrcNotEmpty, 1, false, {dest + "DUP"}},
      {TC::ctSrcNotEmpty, 1, true, {}},
      {TC::ctSrcNotEmpty, 3, false, {empty + "autre"}},
      {TC::ctPkExistsSrcNotEmpty, 1, true, {}},
      {TC::ctPkExistsSrcNotEmpty, 0, false, {"Table destination: CODES ne contient pas cette cle: NEW"}},
      {TC::ctPkExistsSrcNotEmpty, 3, false, {empty + "autre"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "policy " << static_cast<int>(c.policy) << " record " << c.record);
    ASSERT_TRUE(engine_.InitSourceTable("Codes"));
    engine_.InitCodeDestCopy("CODES", {"CODE", "Code"});
    engine_.InitTransfertCondition(c.policy, "Extra");
    for (int i = 0; i < c.record; ++i) engine_.NextTransfert();
    messages_.clear();
    EXPECT_EQ(engine_.CanTransfert(), c.accepted);
    EXPECT_EQ(messages_, c.messages);
  }
}

TEST_F(EngineTest, StandardExtraReportsEveryEmptyFieldAndCompositeKeysQuoteBoth) {
  testing::WriteLegacyTable(
      folder_, "Codes",
      {{"Code", Ff2Type::ShortString, 20}, {"Libelle", Ff2Type::ShortString, 40}, {"Extra", Ff2Type::ShortString, 10}},
      {{Variant("NEW"), Variant(), Variant()}});
  ASSERT_TRUE(engine_.InitSourceTable("Codes"));
  engine_.InitCodeDestCopy("CODES", {"CODE", "Code"});
  engine_.InitTransfertCondition(TC::ctStandardExtra, TArrayInt{1, 2, 1});
  EXPECT_FALSE(engine_.CanTransfert());
  EXPECT_EQ(messages_, std::vector<std::string>(3, "Table source: Codes a une cle vide: NEW"));

  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("UPDATE CODES SET EXTRA = 'e' WHERE CODE = 'DUP'", {}, &db_));
  WriteCodes({{Variant("x"), Variant("DUP"), Variant("e")}});
  ASSERT_TRUE(engine_.InitSourceTable("Codes"));
  engine_.InitCodeDestCopy("CODES", {"CODE", "Code"}, {"EXTRA", "Extra"});
  messages_.clear();
  EXPECT_FALSE(engine_.CanTransfert());
  EXPECT_EQ(messages_, std::vector<std::string>{"Table destination: CODES a deja cette cle composee: DUP + e"});
}

TEST_F(EngineTest, CompositeSourceExpressionJoinsTwoFieldsWithABlank) {
  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("INSERT INTO CODES (CODE) VALUES ('2012-01-31 14:05')", {}, &db_));
  testing::WriteLegacyTable(folder_, "Rdv", {{"Date", Ff2Type::ShortString, 10}, {"Heure", Ff2Type::ShortString, 5}},
                            {{Variant("2012-01-31"), Variant("14:05")}, {Variant("2012-01-31"), Variant("15:00")}});
  ASSERT_TRUE(engine_.InitSourceTable("Rdv"));
  engine_.InitCodeDestCopy("CODES", {"CODE", "Date+Heure"});
  engine_.InitTransfertCondition(TC::ctStandard, -1);
  EXPECT_FALSE(engine_.CanTransfert());
  engine_.NextTransfert();
  EXPECT_TRUE(engine_.CanTransfert());
}

TEST_F(EngineTest, CompositeKeysBelongToTheirOwnTable) {
  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("INSERT INTO CODES (CODE, EXTRA) VALUES ('A B', 'x')", {}, &db_));
  testing::WriteLegacyTable(folder_, "Un", {{"Nom", Ff2Type::ShortString, 5}, {"Prenom", Ff2Type::ShortString, 5}},
                            {{Variant("A"), Variant("B")}});
  testing::WriteLegacyTable(folder_, "Deux", {{"Code", Ff2Type::ShortString, 5}, {"Num", Ff2Type::ShortString, 5}},
                            {{Variant("C"), Variant("D")}});
  ASSERT_TRUE(engine_.InitSourceTable("Un"));
  engine_.InitCodeDestCopy("CODES", {"CODE", "Nom+Prenom"});
  EXPECT_FALSE(engine_.CanTransfert());  // "A B" exists
  ASSERT_TRUE(engine_.InitSourceTable("Deux"));
  engine_.InitCodeDestCopy("CODES", {"CODE", "Code+Num"});
  EXPECT_TRUE(engine_.CanTransfert());  // "C D" is checked, not the first table's fields
}

TEST_F(EngineTest, TransfertInsertsCountsAndClearsParametersOnlyAfterSuccess) {
  WriteCodes({{Variant("un"), Variant("A"), Variant()}});
  ASSERT_TRUE(engine_.InitSourceTable("Codes"));
  engine_.InitDestination("INSERT INTO CODES (CODE, LIBELLE, JOUR)", 3);
  EXPECT_EQ(engine_.ParamCount(), 3);
  TParamValue value;
  value.SetValue(Variant("A"));
  engine_.SetDestParam(0, value);
  value.SetValue(Variant("un"));
  engine_.SetDestParam(1, value);
  value.SetValue(Variant("pas une date"));
  engine_.SetDestParam(2, value);
  EXPECT_THROW(engine_.Transfert(), EDatabaseError);
  EXPECT_EQ(engine_.NbAdded(), 0);
  EXPECT_EQ(engine_.GetDestParam(0).AsString(), "A");  // kept for the log
  value.SetValue(Variant(EncodeDate(2012, 1, 31)));
  engine_.SetDestParam(2, value);
  engine_.Transfert();
  EXPECT_EQ(engine_.NbAdded(), 1);
  EXPECT_TRUE(engine_.GetDestParam(0).IsNull());
}

TEST_F(EngineTest, CountersCommitEvery2500RecordsRead) {
  std::vector<std::vector<Variant>> rows(5000, {Variant("k"), Variant(), Variant()});
  WriteCodes(rows);
  ASSERT_TRUE(engine_.InitSourceTable("Codes"));
  std::vector<int> commits;
  while (!engine_.EndTransfert()) {
    engine_.NextTransfert();
    if (engine_.MustCommit()) commits.push_back(engine_.NbTried());
  }
  EXPECT_EQ(commits, (std::vector<int>{2500, 5000}));
  EXPECT_TRUE(engine_.InitSourceTable("Codes"));
  EXPECT_FALSE(engine_.MustCommit());  // 0 records read
  for (int i = 0; i < 2499; ++i) engine_.NextTransfert();
  EXPECT_FALSE(engine_.MustCommit());
  EXPECT_EQ(TTransfertData::InsertParamsLine(1), " VALUES(:param1)");
  EXPECT_EQ(TTransfertData::InsertParamsLine(3), " VALUES(:param1, :param2, :param3)");
}

TEST_F(EngineTest, MakePKStringTriesTenCandidates) {
  EXPECT_EQ(engine_.MakePKString("CODES", "CODE", "CLINIQUE", 8, TFieldType::ftInteger).AsString(), "CLINIQU2");
  // A mixed-case source is checked as it will be stored.
  EXPECT_EQ(engine_.MakePKString("CODES", "CODE", "Cliniques", 8, TFieldType::ftInteger).AsString(), "CLINIQU2");
  for (int i = 2; i <= 9; ++i) {
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("INSERT INTO CODES (CODE) VALUES (?)",
                                               {Variant("CLINIQU" + std::to_string(i))}, &db_));
  }
  EXPECT_TRUE(engine_.MakePKString("CODES", "CODE", "CLINIQUE", 8, TFieldType::ftInteger).IsNull());
  EXPECT_EQ(engine_.MakePKString("CODES", "CODE", "Neuve", 8, TFieldType::ftInteger).AsString(), "NEUVE");
  EXPECT_TRUE(engine_.MakePKString("CODES", "CODE", "", 8, TFieldType::ftInteger).IsNull());
}

TEST_F(EngineTest, OpenRetriesTwiceOnTheNetworkMessageThenReports) {
  WriteCodes({{Variant("A"), Variant(), Variant()}});
  session_->session.InjectOpenFailures(2);
  EXPECT_TRUE(engine_.InitSourceTable("Codes"));
  EXPECT_TRUE(messages_.empty());
  session_->session.InjectOpenFailures(3);
  EXPECT_FALSE(engine_.InitSourceTable("Codes"));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("Erreur Ouverture, ne peut transferer: Codes FlashFiler: Cannot locate", 0), 0u);
  messages_.clear();
  EXPECT_FALSE(engine_.InitSourceTable("Absente"));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("Erreur Ouverture, ne peut transferer: Absente ", 0), 0u);
}

TEST_F(EngineTest, GeneralPurposeStatementReportsMessageThenSqlAndSwallows) {
  engine_.ExecuteDestQuery("SELECT CODE, LIBELLE, EXTRA FROM CODES ORDER BY CODE");
  ASSERT_NE(engine_.GetExeQryField(0), nullptr);
  EXPECT_EQ(engine_.GetExeQryField(0)->AsString(), "CLINIQU1");
  EXPECT_EQ(engine_.GetExeQryField(3), nullptr);
  int rows = 0;
  for (; !engine_.GetExeQryEOF(); engine_.NextExeQryRecord()) ++rows;
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(engine_.GetExeQryRecordCount(), 5);
  EXPECT_TRUE(messages_.empty());
  engine_.ExecuteDestQuery("DELETE FROM NULLE_PART");
  ASSERT_EQ(messages_.size(), 1u);
  const std::string& m = messages_[0];
  EXPECT_NE(m.find("Table unknown"), std::string::npos);
  const std::string tail = "DELETE FROM NULLE_PART [stack]";  // message, then the SQL with no separator
  EXPECT_EQ(m.substr(m.size() - tail.size()), tail) << m;
  EXPECT_NE(m[m.size() - tail.size() - 1], '\n') << m;
}

TEST_F(EngineTest, SubQueriesRunByNameAndUnknownNamesAreHandled) {
  WriteCodes({{Variant("A"), Variant(), Variant()}});
  ASSERT_TRUE(engine_.InitSourceTable("Codes"));
  engine_.InitSubQueries("lib", "INSERT INTO CODES (CODE, LIBELLE)", 2);
  TParamValue v;
  v.SetValue(Variant("SUB"));
  engine_.SetDestSubParam("lib", 0, v);
  engine_.SetDestSubParam("autre", 0, v);
  EXPECT_EQ(messages_, std::vector<std::string>{"Sous requetes: autre pas trouver"});
  engine_.TransfertSubsByName("autre");
  engine_.TransfertSubsByName("lib");
  EXPECT_EQ(
      fib::GlobalFIB().GetValueFromSelectWP("SELECT COUNT(*) FROM CODES WHERE CODE = 'SUB'", {}, &db_).AsInteger(),
      0);  // not committed yet: another transaction does not see it
  engine_.CommitDestQuery();
  EXPECT_EQ(
      fib::GlobalFIB().GetValueFromSelectWP("SELECT COUNT(*) FROM CODES WHERE CODE = 'SUB'", {}, &db_).AsInteger(), 1);
  EXPECT_TRUE(tr_.Active());
}

}  // namespace
}  // namespace korvel
