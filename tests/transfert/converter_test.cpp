#include <gtest/gtest.h>

#include <functional>

#include "global/fib/fib_database.h"
#include "global/fib/fib_transaction.h"
#include "global/fib/global_fib.h"
#include "source/transfert/password.h"
#include "source/transfert/src_to_dest.h"
#include "support/legacy_db.h"
#include "support/target_db.h"

namespace korvel {
namespace {

using ff2::Ff2Type;
using SP = TSpecialParam;

class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::ScratchDir();
    const TDateTime date = EncodeDate(2005, 3, 4);
    const TDateTime time = EncodeTime(14, 5, 0);
    testing::WriteLegacyTable(folder_, "Conv",
                              {{"Texte", Ff2Type::ShortString, 30},
                               {"Blancs", Ff2Type::ShortString, 10},
                               {"Entoure", Ff2Type::ShortString, 10},
                               {"Nombre", Ff2Type::Int32},
                               {"Vrai", Ff2Type::Boolean},
                               {"Faux", Ff2Type::Boolean},
                               {"Rien", Ff2Type::Boolean},
                               {"Jour", Ff2Type::StDate},
                               {"Zero", Ff2Type::DateTime},
                               {"Heure", Ff2Type::StTime},
                               {"Minuit", Ff2Type::StTime},
                               {"Compact", Ff2Type::ShortString, 8},
                               {"Tel10", Ff2Type::ShortString, 20},
                               {"Tel15", Ff2Type::ShortString, 20},
                               {"Tel2", Ff2Type::ShortString, 20},
                               {"Presc12", Ff2Type::ShortString, 12},
                               {"Presc11", Ff2Type::ShortString, 12},
                               {"Payeur", Ff2Type::ShortString, 2},
                               {"Payeur2", Ff2Type::ShortString, 2},
                               {"Montant", Ff2Type::Currency},
                               {"Note", Ff2Type::BlobMemo},
                               {"Image", Ff2Type::BlobGraphic},
                               {"Moment", Ff2Type::DateTime},
                               {"Util", Ff2Type::ShortString, 30},
                               {"Mauvais", Ff2Type::ShortString, 8}},
                              {{Variant("DUPONT JEAN"),
                                Variant("   "),
                                Variant("  a b  "),
                                Variant(42),
                                Variant(true),
                                Variant(false),
                                Variant(),
                                Variant(date),
                                Variant(TDateTime(0.0)),
                                Variant(time),
                                Variant(EncodeTime(0, 0, 0)),
                                Variant("20050304"),
                                Variant("(819) 555-0148"),
                                Variant("123-456-789-012-345"),
                                Variant("12"),
                                Variant("20050304A123"),
                                Variant("20050304A12"),
                                Variant("c"),
                                Variant("CS"),
                                Variant(Currency{123450}),
                                Variant("une note"),
                                Variant(Bytes{std::string("\x89PNG\0\x01", 6)}),
                                Variant(TDateTime(date.value + time.value)),
                                Variant("  jérôme de la fontaine-aubé "),
                                Variant("20051345")}});
    session_ = std::make_unique<testing::LegacySession>(folder_);
    table_.SetDatabase(&session_->radio);
    table_.SetTableName("Conv");
    table_.Open();
    table_.First();
    conv_.OnHaveMsgEvent = [this](const void*, const std::string& text, bool) { messages_.push_back(text); };
  }

  const TField& F(const char* name) { return *table_.FieldByName(name); }

  std::string folder_;
  std::unique_ptr<testing::LegacySession> session_;
  TffTable table_;
  TSrcToDest conv_;
  std::vector<std::string> messages_;
};

TEST_F(ConverterTest, ConversionsOfSourceFields) {
  const TDateTime date = EncodeDate(2005, 3, 4);
  const TDateTime at_1405(date.value + EncodeTime(14, 5, 0).value);
  TDefault def{"N"};
  TDefault empty{""};
  struct Case {
    const char* what;
    std::function<const TParamValue&()> call;
    Variant expected;
  };
  const std::vector<Case> cases = {{"text", [&]() -> auto& {return conv_.AssignSrcToDest(F("Texte"));
}
, Variant("DUPONT JEAN")
}  // namespace
, {"blank text", [&]() -> auto& {return conv_.AssignSrcToDest(F("Blancs"));
}  // namespace korvel
, Variant()
}
, {"blank text, default", [&]() -> auto& {return conv_.AssignSrcToDestNotNull(&F("Blancs"), def);
}
, Variant("N")
}
, {"untrimmed", [&]() -> auto& {return conv_.AssignSrcToDest(F("Entoure"));
}
, Variant("  a b  ")
}
, {"integer", [&]() -> auto& {return conv_.AssignSrcToDest(F("Nombre"));
}
, Variant(int64_t{42})
}
, {"integer, default", [&]() -> auto& {return conv_.AssignSrcToDestNotNull(&F("Nombre"), def);
}
, Variant("N")
}
, {"true", [&]() -> auto& {return conv_.AssignSrcToDest(F("Vrai"));
}
, Variant("O")
}
, {"false", [&]() -> auto& {return conv_.AssignSrcToDest(F("Faux"));
}
, Variant("N")
}
, {"null Boolean", [&]() -> auto& {return conv_.AssignSrcToDest(F("Rien"));
}
, Variant()
}
, {"null Boolean, default", [&]() -> auto& {return conv_.AssignSrcToDestNotNull(&F("Rien"), TDefault{"True"});
}
, Variant("O")
}
, {"no field, empty default", [&]() -> auto& {return conv_.AssignSrcToDestNotNull(nullptr, empty);
}
, Variant()
}
, {"no field, default", [&]() -> auto& {return conv_.AssignSrcToDestNotNull(nullptr, def);
}
, Variant("N")
}
, {"date", [&]() -> auto& {return conv_.AssignSrcToDest(F("Jour"));
}
, Variant(date)
}
, {"zero date", [&]() -> auto& {return conv_.AssignSrcToDest(F("Zero"));
}
, Variant()
}
, {"date-time", [&]() -> auto& {return conv_.AssignSrcToDest(F("Moment"));
}
, Variant(at_1405)
}
, {"time is not converted", [&]() -> auto& {return conv_.AssignSrcToDest(F("Heure"));
}
, Variant()
}
, {"currency", [&]() -> auto& {return conv_.AssignSrcToDest(F("Montant"));
}
, Variant(Currency{123450})
}
, {"memo", [&]() -> auto& {return conv_.AssignSrcToDest(F("Note"));
}
, Variant("une note")
}
, {"graphic", [&]() -> auto& {return conv_.AssignSrcToDest(F("Image"));
}
, Variant(Bytes{std::string("\x89PNG\0\x01", 6)})
}
, {"first name", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spSubStrName, F("Texte"));
}
, Variant(" JEAN")
}
, {"last name", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spSubStrLastName, F("Texte"));
}
, Variant("DUPONT ")
}
, {"telephone", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeTelephone, F("Tel10"));
}
, Variant("8195550148")
}
, {"telephone, 15 digits", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeTelephone, F("Tel15"));
}
, Variant("12345678901")
}
, {"telephone, 2 digits", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeTelephone, F("Tel2"));
}
, Variant()
}
, {"prescription", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakePrescription, F("Presc12"));
}
, Variant("20050304-123")
}
, {"prescription, 11", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakePrescription, F("Presc11"));
}
, Variant()
}
, {"payer c", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeTypeFact, F("Payeur"));
}
, Variant("CSST")
}
, {"payer CS", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeTypeFact, F("Payeur2"));
}
, Variant("AUTRE")
}
, {"user name", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeUtilisateur, F("Util"));
}
, Variant("JÉRÔME DE LA FONTA")
}
, {"max length", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeMaxLength, F("Entoure"), 4);
}
, Variant("a")
}
, {"visit date", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeVisiteDate, F("Compact"), F("Rien"));
}
, Variant(date)
}
, {"visit date and time",
   [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeVisiteDate, F("Compact"), F("Heure"));
}
, Variant(at_1405)
}
, {"date + time", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeDateTime, F("Jour"), F("Heure"));
}
, Variant(at_1405)
}
, {"date + 00:00", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spMakeDateTime, F("Jour"), F("Minuit"));
}
, Variant()
}
, {"password", [&]() -> auto& {return conv_.AssignSrcToDestSpecial(SP::spEncrypt, F("Texte"));
}
, Variant(EncryptPassword("DUPONT JEAN"))
}
,
}
;
// Date-times stored as floating-point milliseconds compare to the millisecond.
auto shown = [](const Variant& v) {
  return v.type() == Variant::Type::DateTime ? FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v.AsDateTime()) : v.AsString();
};
for (const Case& c : cases) {
  const Variant& got = c.call().Value();
  EXPECT_EQ(got.type(), c.expected.type()) << c.what;
  EXPECT_EQ(shown(got), shown(c.expected)) << c.what;
}
EXPECT_TRUE(messages_.empty());
}

TEST_F(ConverterTest, AnInvalidCompactDateRefusesTheRecordNotTheTable) {
  EXPECT_THROW(conv_.AssignSrcToDestSpecial(SP::spMakeVisiteDate, F("Mauvais"), F("Rien")), EDatabaseError);
}

TEST(StandardBoolean, OnlyTrueTOrOneGiveO) {
  for (const char* yes : {"TRUE", "true", "T", "t", "1"}) EXPECT_EQ(TSrcToDest::StandardBoolean(yes), "O") << yes;
  for (const char* no : {"O", "Y", "OUI", "", "0", "11", "False"})
    EXPECT_EQ(TSrcToDest::StandardBoolean(no), "N") << no;
}

TEST(EncryptPassword, StableSixteenUpperCaseHexDigits) {
  for (const std::string clear : {"", "secret", "été"}) {
    const std::string code = EncryptPassword(clear);
    EXPECT_EQ(code, EncryptPassword(clear));
    ASSERT_EQ(code.size(), 16u);
    EXPECT_EQ(code.find_first_not_of("0123456789ABCDEF"), std::string::npos) << code;
  }
  EXPECT_NE(EncryptPassword("a"), EncryptPassword("b"));
}

TEST(TargetColumns, ConvertByTheirSqlType) {
  fib::TpFIBDatabase db;
  db.DatabaseName = testing::FreshDatabase("target");
  db.UseMainConnectionSettings();
  fib::TpFIBTransaction tr(&db);
  tr.TRParams = {"read", "nowait", "rec_version", "read_committed"};
  db.DefaultTransaction = &tr;
  db.Open();
  tr.StartTransaction();
  fib::TpFIBQuery q(&db);
  q.SetSQLText(
      "SELECT CAST(12 AS INTEGER), CAST(7 AS SMALLINT), CAST(12.34 AS NUMERIC(15,2)), CAST(5000000000 AS BIGINT),"
      " CAST('  ' AS VARCHAR(5)), CAST('x' AS CHAR(3)), TIMESTAMP '2012-01-31 14:05:09', TRUE FROM RDB$DATABASE");
  q.ExecQuery();
  TSrcToDest conv;
  TDefault def{"D"};
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(0)).Value(), Variant(12.0));  // SQL_LONG travels as a float
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(1)).Value(), Variant(int64_t{7}));
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(2)).Value(), Variant(12.34));  // decimals kept
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(3)).Value(), Variant(int64_t{5000000000}));
  EXPECT_TRUE(conv.AssignSrcToDest(q.Fields(4)).IsNull());
  EXPECT_EQ(conv.AssignSrcToDestNotNull2(q.Fields(4), def).Value(), Variant("D"));
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(5)).Value(), Variant("x  "));
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(6)).Value().AsDateTime(),
            TDateTime(EncodeDate(2012, 1, 31).value + EncodeTime(14, 5, 9).value));
  EXPECT_EQ(conv.AssignSrcToDest(q.Fields(7)).Value(), Variant("O"));
  EXPECT_TRUE(conv.AssignSrcToDestNotNull2(q.Fields(0), def).IsNull());
}

}  // namespace
}  // namespace korvel
