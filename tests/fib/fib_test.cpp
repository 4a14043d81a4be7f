#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "global/database_error.h"
#include "global/fib/database_login.h"
#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_services.h"
#include "global/fib/fib_transaction.h"
#include "global/fib/global_fib.h"
#include "support/target_db.h"

namespace korvel::fib {
namespace {

class FibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::FreshDatabase("target");
    db_.DatabaseName = path_;
    db_.UseMainConnectionSettings();
    db_.DefaultTransaction = &tr_;
    tr_.TRParams = {"write", "nowait", "rec_version", "read_committed"};
    db_.Open();
    tr_.StartTransaction();
    Exec(
        "CREATE TABLE CODES (CODE VARCHAR(10) NOT NULL PRIMARY KEY, LIBELLE VARCHAR(40), QTE INTEGER,"
        " PRIX NUMERIC(15,2), JOUR DATE, MOMENT TIMESTAMP, NOTE BLOB SUB_TYPE TEXT, IMAGE BLOB SUB_TYPE BINARY)");
    tr_.Commit();
    tr_.StartTransaction();
  }

  void Exec(const std::string& sql) {
    TpFIBQuery q(&db_);
    q.SetSQLText(sql);
    q.ExecQuery();
  }

  std::string path_;
  TpFIBDatabase db_;
  TpFIBTransaction tr_{&db_};
};

TEST_F(FibTest, NamedParametersOutOfOrderAndRepeatedBindOnce) {
  TpFIBQuery ins(&db_);
  ins.SQLAdd("INSERT INTO CODES (CODE, LIBELLE, QTE)");
  ins.SQLAdd(" VALUES (:code, :lib || ' ' || :code, :qte)");
  ASSERT_EQ(ins.ParamCount(), 3);
  ins.ParamByName("QTE").SetValue(Variant(7));
  ins.ParamByName("lib").SetValue(Variant("Crâne"));
  ins.ParamByName("Code").SetValue(Variant("C1"));
  ins.ExecQuery();
  EXPECT_EQ(ins.RowsAffected(), 1);

  TpFIBQuery sel(&db_);
  sel.SetSQLText("SELECT LIBELLE, QTE FROM CODES WHERE CODE = ?");
  sel.ExecWithParams({Variant("C1")});
  ASSERT_FALSE(sel.Eof());
  EXPECT_EQ(sel.Fields(0).AsString(), "Crâne C1");
  EXPECT_EQ(sel.FieldByName("qte").AsInteger(), 7);
  EXPECT_EQ(sel.Fields(1).SQLType(), 496);
  EXPECT_EQ(sel.RecordCount(), 1);
  sel.Next();
  EXPECT_TRUE(sel.Eof());
}

TEST_F(FibTest, ValuesOfEveryKindRoundTripAndTextIsConvertedByTheServer) {
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES VALUES (:p1, :p2, :p3, :p4, :p5, :p6, :p7, :p8)");
  const TDateTime moment(EncodeDate(2012, 1, 31).value + EncodeTime(14, 5, 9).value);
  // Typed values, then the same columns fed as texts the server converts.
  ins.ExecWithParams({Variant("A"), Variant(), Variant(int64_t{42}), Variant(12.345), Variant(EncodeDate(2012, 2, 29)),
                      Variant(moment), Variant(std::string(40000, 'n')), Variant(Bytes{std::string("\0\1\2", 3)})});
  ins.ExecWithParams({Variant("B"), Variant("été"), Variant("17"), Variant("3.5"), Variant("2011-12-31"),
                      Variant("2011-12-31 23:59:00"), Variant("court"), Variant()});

  TpFIBQuery sel(&db_);
  sel.SetSQLText("SELECT * FROM CODES ORDER BY CODE");
  sel.ExecQuery();
  EXPECT_TRUE(sel.Fields(1).IsNull());
  EXPECT_EQ(sel.Fields(2).AsVariant(), Variant(int64_t{42}));
  EXPECT_EQ(sel.Fields(3).AsString(), "12.35");  // NUMERIC(15,2) rounds
  EXPECT_EQ(sel.Fields(4).AsString(), "2012-02-29");
  EXPECT_EQ(sel.Fields(5).AsDateTime(), moment);
  EXPECT_EQ(sel.Fields(6).AsString(), std::string(40000, 'n'));
  EXPECT_EQ(sel.Fields(6).SQLSubtype(), 1);
  EXPECT_EQ(sel.Fields(7).BlobContent(), std::string("\0\1\2", 3));
  sel.Next();
  EXPECT_EQ(sel.Fields(1).AsString(), "été");
  EXPECT_EQ(sel.Fields(2).AsInteger(), 17);
  EXPECT_DOUBLE_EQ(sel.Fields(3).AsFloat(), 3.5);
  EXPECT_EQ(sel.Fields(5).AsString(), "2011-12-31 23:59");
  EXPECT_TRUE(sel.Fields(7).IsNull());
}

TEST_F(FibTest, ValuesSentWiderThanTheirColumnDoNotSpillIntoTheNext) {
  // Integers travel as BIGINT and dates as TIMESTAMP: each needs its own full width in
  // the message, or it overwrites its neighbour.
  Exec("CREATE TABLE PACKED (A INTEGER, B VARCHAR(5), C DATE, D INTEGER, E CHAR(1))");
  tr_.Commit();
  tr_.StartTransaction();
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO PACKED VALUES (?, ?, ?, ?, ?)");
  ins.ExecWithParams(
      {Variant(-7), Variant("abc"), Variant(EncodeDate(1930, 1, 1)), Variant(int64_t{2147483647}), Variant("O")});
  TpFIBQuery sel(&db_);
  sel.SetSQLText("SELECT A, B, C, D, E FROM PACKED");
  sel.ExecQuery();
  EXPECT_EQ(sel.Fields(0).AsInteger(), -7);
  EXPECT_EQ(sel.Fields(1).AsString(), "abc");
  EXPECT_EQ(sel.Fields(2).AsString(), "1930-01-01");
  EXPECT_EQ(sel.Fields(3).AsInteger(), 2147483647);
  EXPECT_EQ(sel.Fields(4).AsString(), "O");
}

TEST_F(FibTest, StatementTextWithAccentsMatchesStoredTexts) {
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES (CODE, LIBELLE) VALUES (?, ?)");
  ins.ExecWithParams({Variant("P"), Variant("Préfixe Global")});
  TpFIBQuery sel(&db_);
  sel.SetSQLText("SELECT CODE AS \"Clé\" FROM CODES WHERE LIBELLE = 'Préfixe Global'");
  sel.ExecQuery();
  ASSERT_FALSE(sel.Eof());
  EXPECT_EQ(sel.FieldByName("Clé").AsString(), "P");
}

TEST_F(FibTest, SeveralLongTextsInOneStatementNeedOneRebuild) {
  Exec("CREATE TABLE NOTES (A BLOB SUB_TYPE TEXT, B BLOB SUB_TYPE TEXT, C BLOB SUB_TYPE TEXT, D VARCHAR(500))");
  tr_.Commit();
  tr_.StartTransaction();
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO NOTES VALUES (:a, :b, :c, :d)");
  const std::string text(200, 'x');
  ins.ExecWithParams({Variant(text), Variant(text), Variant(text), Variant(text)});
  TpFIBQuery sel(&db_);
  sel.SetSQLText("SELECT C, D FROM NOTES");
  sel.ExecQuery();
  EXPECT_EQ(sel.Fields(0).AsString(), text);
  EXPECT_EQ(sel.Fields(1).AsString(), text);
}

TEST_F(FibTest, BinaryBlobOfSeveralSegmentsRoundTrips) {
  std::string image(200000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 % 251);
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES (CODE, IMAGE) VALUES (?, ?)");
  ins.ExecWithParams({Variant("IMG"), Variant(Bytes{image})});
  TpFIBQuery sel(&db_);
  sel.SetSQLText("SELECT IMAGE FROM CODES");
  sel.ExecQuery();
  EXPECT_EQ(sel.Fields(0).BlobContent(), image);
  EXPECT_EQ(sel.Fields(0).AsVariant(), Variant(Bytes{image}));
}

TEST_F(FibTest, DuplicateKeyRaisesWithServerCodeAndMessage) {
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES (CODE) VALUES (:c)");
  ins.ExecWithParams({Variant("X")});
  try {
    ins.ExecWithParams({Variant("X")});
    FAIL() << "duplicate accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.IBErrorCode(), 335544665);
    EXPECT_NE(std::string(e.what()).find("violation of PRIMARY or UNIQUE KEY constraint"), std::string::npos);
  }
  // The statement stays usable after the error.
  ins.ExecWithParams({Variant("Y")});
}

TEST_F(FibTest, TextTooLongForTheColumnIsRefusedNotCut) {
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES (CODE) VALUES (:c)");
  try {
    ins.ExecWithParams({Variant("TROP LONG POUR LA COLONNE")});
    FAIL() << "truncated silently";
  } catch (const EDatabaseError& e) {
    // A DSQL error carries its specific code behind the generic one.
    EXPECT_EQ(e.Codes().front(), 335544569);
    EXPECT_TRUE(e.HasCode(335544914)) << e.what();  // string right truncation
  }
}

TEST_F(FibTest, StatementsSurviveCloseAndReopenOfTheConnection) {
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES (CODE) VALUES (:c)");
  ins.ExecWithParams({Variant("A")});
  tr_.Commit();
  db_.Close();
  EXPECT_FALSE(tr_.Active());
  db_.Open();
  tr_.StartTransaction();
  ins.ExecWithParams({Variant("B")});
  tr_.Commit();
  EXPECT_EQ(GlobalFIB().GetValueFromSelectWP("SELECT COUNT(*) FROM CODES", {}, &db_).AsInteger(), 2);
}

TEST_F(FibTest, ExecSQLCommitReturnsFalseAndLeavesNoTransactionOpen) {
  tr_.Commit();
  EXPECT_TRUE(GlobalFIB().ExecSQLCommit("INSERT INTO CODES (CODE) VALUES (?)", {Variant("K")}, &db_));
  EXPECT_FALSE(GlobalFIB().ExecSQLCommit("INSERT INTO CODES (CODE) VALUES (?)", {Variant("K")}, &db_));
  EXPECT_FALSE(GlobalFIB().ExecSQLCommit("INSERT INTO NOWHERE VALUES (1)", {}, &db_));
  // Only the transaction of the counting statement itself is open on this connection.
  const Variant open = GlobalFIB().GetValueFromSelectWP(
      "SELECT COUNT(*) FROM MON$TRANSACTIONS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION", {}, &db_);
  EXPECT_EQ(open.AsInteger(), 1);
  EXPECT_TRUE(GlobalFIB().GetValueFromSelectWP("SELECT CODE FROM CODES WHERE CODE = 'none'", {}, &db_).IsNull());
  EXPECT_THROW(GlobalFIB().GetValueFromSelectWP("SELECT NOPE FROM CODES", {}, &db_), EDatabaseError);
}

TEST_F(FibTest, NewTransactionUsesTheWordsInOrder) {
  auto ro = GlobalFIB().NewTransaction(&db_, true, true);
  EXPECT_EQ(ro->TRParams, (std::vector<std::string>{"read", "nowait", "rec_version", "read_committed"}));
  auto rw = GlobalFIB().NewTransaction(&db_, false, false);
  EXPECT_EQ(rw->TRParams, (std::vector<std::string>{"write", "wait", "no_rec_version", "read_committed"}));
  EXPECT_FALSE(rw->Active());
  GlobalFIB().TransactionStart(rw.get());
  GlobalFIB().TransactionStart(rw.get());  // already active: nothing
  EXPECT_TRUE(rw->Active());
  GlobalFIB().TransactionCommit(rw.get());
  GlobalFIB().TransactionRollBack(rw.get());  // not active: nothing
  EXPECT_FALSE(rw->Active());
}

TEST_F(FibTest, BackupThenRestoreWithReplaceDeliversOutputLines) {
  TpFIBQuery ins(&db_);
  ins.SetSQLText("INSERT INTO CODES (CODE) VALUES (:c)");
  ins.ExecWithParams({Variant("KEEP")});
  tr_.Commit();
  db_.Close();

  const std::string fbk = testing::ScratchDir() + "/target.fbk";
  TpFIBService svc;
  svc.Params = {"user_name=SYSDBA", "password=quilmorane"};
  svc.Attach();
  svc.StartBackup(path_, fbk, true);
  std::vector<std::string> lines;
  for (std::string line; svc.GetNextLine(line);) lines.push_back(line);
  EXPECT_GT(lines.size(), 5u);
  EXPECT_TRUE(std::filesystem::exists(fbk));
  svc.StartRestore(fbk, path_, 8192, false);
  for (std::string line; svc.GetNextLine(line);) lines.push_back(line);
  svc.Detach();

  db_.Open();
  EXPECT_EQ(GlobalFIB().GetValueFromSelectWP("SELECT CODE FROM CODES", {}, &db_).AsString(), "KEEP");
}

TEST_F(FibTest, UsersAreListedAndAddedThroughTheSecurityService) {
  TpFIBService svc;
  svc.Params = {"user_name=SYSDBA", "password=quilmorane"};
  svc.Attach();
  const std::string name = "USER_T" + std::to_string(getpid());
  svc.AddUser(name, "secret");
  const std::vector<std::string> users = svc.DisplayUsers();
  EXPECT_NE(std::find(users.begin(), users.end(), "SYSDBA"), users.end());
  EXPECT_NE(std::find(users.begin(), users.end(), name), users.end());
  EXPECT_THROW(svc.AddUser(name, "secret"), EDatabaseError);
}

TEST(IBDatabaseLogin, MissingSettingsFileReachesTheCallbackAndRaisesNothing) {
  const std::string dir = testing::ScratchDir();
  TpFIBDatabase db;
  std::vector<std::string> errors;
  IBDatabaseLogin(
      db, [&](const std::string& msg) { errors.push_back(msg); }, dir);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Database.ini"), std::string::npos);
  EXPECT_FALSE(db.Connected());
}

TEST(IBDatabaseLogin, OpensTheDatabaseNamedInTheSettingsFile) {
  const std::string path = testing::FreshDatabase("login");
  const std::string dir = testing::ScratchDir();
  std::ofstream(dir + "/Database.ini") << "[Database]\r\ndatabasename=" << path << "\r\n";
  TpFIBDatabase db;
  db.UseMainConnectionSettings();
  int errors = 0;
  IBDatabaseLogin(
      db, [&](const std::string&) { ++errors; }, dir);
  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(db.DatabaseName, path);
}

}  // namespace
}  // namespace korvel::fib
