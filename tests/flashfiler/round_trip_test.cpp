// Tables written by Ff2Writer read back through the reader and the table component:
// every field type, NULLs, BLOBs of every size class, index order and key ranges.
#include <gtest/gtest.h>

#include <random>

#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/flashfiler/ff2_writer.h"
#include "tests/flashfiler/test_support.h"

namespace korvel {
namespace {

using ff2::Ff2Type;
using ff2::Ff2Writer;
using testing::LocalSource;
using testing::ScratchDir;

struct Column {
  const char* name;
  Ff2Type type;
  int size;
  TFieldType data_type;
};

const std::vector<Column> kEveryType = {
    {"Id", Ff2Type::AutoInc, 0, TFieldType::ftAutoInc},
    {"Flag", Ff2Type::Boolean, 0, TFieldType::ftBoolean},
    {"Letter", Ff2Type::Char, 0, TFieldType::ftString},
    {"Wide", Ff2Type::WideChar, 0, TFieldType::ftWideString},
    {"B", Ff2Type::Byte, 0, TFieldType::ftSmallint},
    {"W16", Ff2Type::Word16, 0, TFieldType::ftWord},
    {"W32", Ff2Type::Word32, 0, TFieldType::ftInteger},
    {"I8", Ff2Type::Int8, 0, TFieldType::ftSmallint},
    {"I16", Ff2Type::Int16, 0, TFieldType::ftSmallint},
    {"I32", Ff2Type::Int32, 0, TFieldType::ftInteger},
    {"Sgl", Ff2Type::Single, 0, TFieldType::ftFloat},
    {"Dbl", Ff2Type::Double, 0, TFieldType::ftFloat},
    {"Ext", Ff2Type::Extended, 0, TFieldType::ftFloat},
    {"Cmp", Ff2Type::Comp, 0, TFieldType::ftFloat},
    {"Money", Ff2Type::Currency, 0, TFieldType::ftCurrency},
    {"Day", Ff2Type::StDate, 0, TFieldType::ftDate},
    {"Clock", Ff2Type::StTime, 0, TFieldType::ftTime},
    {"Stamp", Ff2Type::DateTime, 0, TFieldType::ftDateTime},
    {"Bin", Ff2Type::Blob, 0, TFieldType::ftBlob},
    {"Notes", Ff2Type::BlobMemo, 0, TFieldType::ftMemo},
    {"Rich", Ff2Type::BlobFmtMemo, 0, TFieldType::ftFmtMemo},
    {"Picture", Ff2Type::BlobGraphic, 0, TFieldType::ftGraphic},
    {"Raw", Ff2Type::ByteArray, 6, TFieldType::ftBytes},
    {"Short", Ff2Type::ShortString, 20, TFieldType::ftString},
    {"ShortAnsi", Ff2Type::ShortAnsiStr, 20, TFieldType::ftString},
    {"Zero", Ff2Type::NullString, 20, TFieldType::ftString},
    {"ZeroAnsi", Ff2Type::NullAnsiStr, 20, TFieldType::ftString},
    {"WideText", Ff2Type::WideString, 10, TFieldType::ftWideString},
};

std::string Pattern(size_t size, int seed) {
  std::string s(size, '\0');
  std::mt19937 rng(static_cast<unsigned>(seed));
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Values of record `i`; every 7th record has every field NULL except the AutoInc.
std::vector<Variant> RecordValues(int i) {
  if (i % 7 == 3) {
    std::vector<Variant> nulls(kEveryType.size());
    return nulls;
  }
  const size_t blob_sizes[] = {0, 5, 4012, 4013, 20000, 300000};
  const size_t blob_size = i < 12 ? blob_sizes[i % 6] : static_cast<size_t>(i % 50);
  return {
      Variant(),  // AutoInc: next number
      Variant(i % 2 == 0),
      Variant(i % 5 == 0 ? std::string() : std::string(1, static_cast<char>('A' + i % 26))),
      Variant("\xE2\x82\xAC"),  // euro sign, one UTF-16 unit
      Variant(int64_t{255 - i % 256}),
      Variant(int64_t{65535 - i}),
      Variant(int64_t{4000000000LL + i}),
      Variant(int64_t{-128 + i % 256}),
      Variant(int64_t{-32768 + i}),
      Variant(int64_t{-2147483647 + i}),
      Variant(0.5 + i),
      Variant(1.0 / (i + 1)),
      Variant(-3.25e100 * (i + 1)),
      Variant(int64_t{-9000000000000000000LL + i}),
      Variant(Currency{123456789 + i}),
      Variant(EncodeDate(1600 + i % 2400, 1 + i % 12, 1 + i % 28)),
      Variant(EncodeTime(i % 24, i % 60, i % 60)),
      Variant(TDateTime(EncodeDate(2009, 12, 15).value + i + EncodeTime(12, 33, 1, 733).value)),
      Variant(Bytes{Pattern(blob_size, i)}),
      Variant(std::string("Ligne 1\r\nL\xC3\xA9gende \"") + std::to_string(i) + "'"),
      Variant(std::string(blob_size * 5, 'r')),  // 1.5 MB at record 5: several lookup segments
      Variant(Bytes{Pattern(blob_size * 2, -i)}),
      Variant(Bytes{std::string("\x01\x00\x02", 3)}),
      Variant("Caf\xC3\xA9 " + std::to_string(i)),
      Variant(std::string(20, 'x')),
      Variant(std::to_string(i)),
      Variant(""),
      Variant("\xE6\x97\xA5\xE6\x9C\xAC " + std::to_string(i % 100)),
  };
}

TEST(RoundTrip, EveryTypeNullsAndBlobsReadBackEqual) {
  const auto dir = ScratchDir("round-trip");
  constexpr int kRecords = 3000;
  {
    Ff2Writer writer((dir / "Every.FF2").string());
    for (const Column& c : kEveryType) writer.AddField(c.name, c.type, c.size);
    for (int i = 0; i < kRecords; ++i) writer.AppendRecord(RecordValues(i));
    writer.Finish();
  }
  LocalSource source(dir.string());
  TffTable table;
  source.Open(table, "every");
  ASSERT_EQ(table.RecordCount(), kRecords);
  ASSERT_EQ(table.FieldCount(), static_cast<int>(kEveryType.size()));
  EXPECT_EQ(table.File()->header().auto_inc_value, static_cast<uint32_t>(kRecords));
  int i = 0;
  for (table.First(); !table.Eof(); table.Next(), ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    const std::vector<Variant> want = RecordValues(i);
    EXPECT_EQ(table.Fields(0)->AsInteger(), i + 1);
    for (size_t f = 1; f < kEveryType.size(); ++f) {
      const TField& field = *table.Fields(static_cast<int>(f));
      EXPECT_EQ(field.DataType(), kEveryType[f].data_type) << field.FieldName();
      if (want[f].IsNull()) {
        EXPECT_TRUE(field.IsNull()) << field.FieldName();
        EXPECT_TRUE(field.AsVariant().IsNull());
        continue;
      }
      ASSERT_FALSE(field.IsNull()) << field.FieldName();
      const Variant got = field.AsVariant();
      switch (kEveryType[f].type) {
        case Ff2Type::Single: EXPECT_EQ(got.AsFloat(), static_cast<float>(want[f].AsFloat())); break;
        case Ff2Type::Extended:
        case Ff2Type::Double: EXPECT_EQ(got.AsFloat(), want[f].AsFloat()); break;
        case Ff2Type::Comp: EXPECT_EQ(field.AsInteger(), want[f].AsInteger()); break;
        case Ff2Type::Currency: EXPECT_EQ(field.AsCurrency(), Currency{123456789 + i}); break;
        case Ff2Type::StDate: EXPECT_EQ(field.AsDateTime(), want[f].AsDateTime()); break;
        case Ff2Type::StTime: EXPECT_NEAR(field.AsDateTime().value, want[f].AsDateTime().value, 1e-9); break;
        case Ff2Type::DateTime: EXPECT_NEAR(field.AsDateTime().value, want[f].AsDateTime().value, 1e-9); break;
        case Ff2Type::ByteArray: EXPECT_EQ(field.BlobContent(), std::string("\x01\x00\x02\x00\x00\x00", 6)); break;
        case Ff2Type::Blob:
        case Ff2Type::BlobGraphic: EXPECT_EQ(got, want[f]) << field.FieldName(); break;
        case Ff2Type::BlobMemo:
          EXPECT_EQ(got, want[f]);
          EXPECT_EQ(field.BlobContent(), Utf8ToCp1252(*want[f].string_if()));  // stored in Windows-1252
          break;
        default: EXPECT_EQ(field.AsString(), want[f].AsString()) << field.FieldName();
      }
    }
  }
  EXPECT_EQ(i, kRecords);
}

TEST(RoundTrip, AsStringFormats) {
  const auto dir = ScratchDir("formats");
  {
    Ff2Writer writer((dir / "Formats.FF2").string());
    writer.AddField("I", Ff2Type::Int32);
    writer.AddField("F", Ff2Type::Double);
    writer.AddField("C", Ff2Type::Currency);
    writer.AddField("B", Ff2Type::Boolean);
    writer.AddField("D", Ff2Type::StDate);
    writer.AddField("T", Ff2Type::StTime);
    writer.AddField("DT", Ff2Type::DateTime);
    writer.AddField("Midnight", Ff2Type::DateTime);
    writer.AddField("S", Ff2Type::Single);
    writer.AppendRecord({Variant(-42), Variant(2.5), Variant(Currency{129950}), Variant(false),
                         Variant(EncodeDate(2009, 12, 15)), Variant(EncodeTime(9, 5, 7)),
                         Variant(TDateTime(EncodeDate(2001, 3, 19).value + EncodeTime(12, 33, 1).value)),
                         Variant(EncodeDate(2001, 3, 19)), Variant(0.1)});
    writer.Finish();
  }
  LocalSource source(dir.string());
  TffTable table;
  source.Open(table, "Formats");
  std::vector<std::string> texts;
  for (int i = 0; i < table.FieldCount(); ++i) texts.push_back(table.Fields(i)->AsString());
  EXPECT_EQ(texts, (std::vector<std::string>{"-42", "2.5", "12.995", "False", "2009-12-15", "9:05:07",
                                             "2001-03-19 12:33", "2001-03-19", "0.1"}));
  // StDate counts days from 1600-01-01.
  EXPECT_EQ(ff2::LoadU32(table.File()->Record(table.File()->records()[0]) + table.File()->fields()[4].offset), 149733u);
}

TEST(RoundTrip, WriterRefusesValuesThatDoNotFit) {
  const auto dir = ScratchDir("refuse");
  Ff2Writer writer((dir / "Refuse.FF2").string());
  writer.AddField("Name", Ff2Type::ShortString, 3);
  writer.AddField("Small", Ff2Type::Int8);
  EXPECT_THROW(writer.AppendRecord({Variant("ABCD"), Variant(1)}), std::invalid_argument);
  EXPECT_THROW(writer.AppendRecord({Variant("ABC"), Variant(200)}), std::invalid_argument);
  EXPECT_THROW(writer.AppendRecord({Variant("ABC")}), std::invalid_argument);
  EXPECT_THROW(writer.AddField("Late", Ff2Type::Int32), std::invalid_argument);
}

// Index order and inclusive ranges: a text index (case-insensitive), a two-field
// index (text + date), a descending date index.
class IndexTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::filesystem::path(ScratchDir("index"));
    Ff2Writer writer((*dir_ / "Visits.FF2").string());
    writer.AddField("Num", Ff2Type::AutoInc);
    writer.AddField("Code", Ff2Type::ShortString, 14);
    writer.AddField("Patient", Ff2Type::NullString, 10);
    writer.AddField("Day", Ff2Type::DateTime);
    writer.AddIndex("xCode", {"Code"}, /*case_insensitive=*/true);
    writer.AddIndex("xPatientDay", {"Patient", "Day"});
    writer.AddIndex("xDayDesc", {"Day"}, false, /*descending=*/true);
    // Codes "yyyymmdd-nnn" in scrambled order, some lower-case, one NULL.
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i) {
      const int day = static_cast<int>(rng() % 60);
      const TDateTime date(EncodeDate(2009, 11, 1).value + day);
      char code[16];
      std::snprintf(code, sizeof code, "%s-%03d", FormatDateTime("yyyymmdd", date).c_str(), i % 1000);
      std::string text = code;
      if (i % 9 == 0) text += "a";
      if (i % 9 == 1) text += "B";
      writer.AppendRecord({Variant(), i == 5 ? Variant() : Variant(text), Variant("P" + std::to_string(rng() % 20)),
                           i == 6 ? Variant() : Variant(date)});
    }
    writer.Finish();
  }
  static void TearDownTestSuite() { delete dir_; }

  void SetUp() override {
    source_ = std::make_unique<LocalSource>(dir_->string());
    source_->database.Open();
    table_.SetDatabase(&source_->database);
    table_.SetTableName("Visits");
  }

  // Field texts in table order.
  std::vector<std::string> Read(const std::string& field) {
    std::vector<std::string> out;
    for (table_.First(); !table_.Eof(); table_.Next())
      out.push_back(table_.FieldByName(field)->IsNull() ? "<null>" : table_.FieldByName(field)->AsString());
    return out;
  }

  static std::filesystem::path* dir_;
  std::unique_ptr<LocalSource> source_;
  TffTable table_;
};
std::filesystem::path* IndexTest::dir_ = nullptr;

TEST_F(IndexTest, TextIndexIgnoresAsciiCaseAndPutsNullFirst) {
  table_.SetIndexName("XCODE");  // index names ignore case
  table_.Open();
  const std::vector<std::string> codes = Read("Code");
  ASSERT_EQ(codes.size(), 400u);
  EXPECT_EQ(codes[0], "<null>");
  for (size_t i = 2; i < codes.size(); ++i) EXPECT_LE(UpperCase(codes[i - 1]), UpperCase(codes[i])) << i;
}

TEST_F(IndexTest, TextRangeIsInclusiveAtBothEnds) {
  table_.SetIndexName("xCode");
  table_.Open();
  const std::vector<std::string> all = Read("Code");
  const std::string low = all[100];
  const std::string high = all[200];
  table_.SetRange({Variant(low)}, {Variant(high)});
  const std::vector<std::string> range = Read("Code");
  EXPECT_EQ(table_.RecordCount(), static_cast<int64_t>(range.size()));
  std::vector<std::string> expected;
  for (const std::string& code : all)
    if (code != "<null>" && UpperCase(code) >= UpperCase(low) && UpperCase(code) <= UpperCase(high))
      expected.push_back(code);
  EXPECT_EQ(range, expected);
  EXPECT_EQ(range.front(), low);
  EXPECT_EQ(range.back(), high);

  // A day's keys, as the visit routine asks for them: "yyyymmdd-000" .. "yyyymmdd-999".
  const std::string day = low.substr(0, 8);
  table_.SetRange({Variant(day + "-000")}, {Variant(day + "-999")});
  const std::vector<std::string> one_day = Read("Code");
  ASSERT_FALSE(one_day.empty());
  for (const std::string& code : one_day) EXPECT_EQ(code.substr(0, 8), day);

  table_.SetRange({Variant("30000000")}, {Variant("20000000")});
  EXPECT_TRUE(table_.Eof());
  EXPECT_EQ(table_.RecordCount(), 0);
  table_.CancelRange();
  EXPECT_EQ(table_.RecordCount(), 400);
}

// A range set before the first read sorts only its own records: the same records in
// the same order as the range of the whole sorted table, on every index, and a second
// range or CancelRange afterwards still sees the whole table.
TEST_F(IndexTest, ARangeSetRightAfterOpenReadsWhatTheWholeOrderReads) {
  struct Case {
    const char* index;
    std::vector<Variant> start, end;
  };
  const TDateTime from = EncodeDate(2009, 11, 10), to = EncodeDate(2009, 11, 20);
  const std::vector<Case> cases = {
      {"xCode", {Variant("20091110")}, {Variant("20091120")}},
      {"xPatientDay", {Variant("P3"), Variant(from)}, {Variant("P3"), Variant(to)}},
      {"xPatientDay", {Variant("P1")}, {Variant("P2")}},
      {"xDayDesc", {Variant(to)}, {Variant(from)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    table_.Close();
    table_.SetIndexName(c.index);
    table_.Open();
    const std::vector<std::string> whole = Read("Num");
    table_.SetRange(c.start, c.end);
    const std::vector<std::string> expected = Read("Num");
    ASSERT_FALSE(expected.empty());
    ASSERT_LT(expected.size(), whole.size());

    table_.Close();
    table_.Open();
    table_.SetRange(c.start, c.end);
    EXPECT_EQ(table_.RecordCount(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(Read("Num"), expected);
    table_.SetRange(c.start, c.start);  // narrower, then the first range again
    EXPECT_LE(table_.RecordCount(), static_cast<int64_t>(expected.size()));
    table_.SetRange(c.start, c.end);
    EXPECT_EQ(Read("Num"), expected);
    table_.CancelRange();
    EXPECT_EQ(Read("Num"), whole);
  }
}

TEST_F(IndexTest, TwoFieldIndexOrdersByBothAndRangesOnTextThenDate) {
  table_.SetIndexName("xPatientDay");
  table_.Open();
  std::vector<std::pair<std::string, double>> rows;
  for (table_.First(); !table_.Eof(); table_.Next())
    rows.emplace_back(table_.FieldByName("Patient")->AsString(),
                      table_.FieldByName("Day")->IsNull() ? -1e9 : table_.FieldByName("Day")->AsDateTime().value);
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));

  const TDateTime from = EncodeDate(2009, 11, 10);
  const TDateTime to = EncodeDate(2009, 11, 20);
  table_.SetRange({Variant("P3"), Variant(from)}, {Variant("P3"), Variant(to)});
  std::vector<std::pair<std::string, double>> expected;
  for (const auto& row : rows)
    if (row.first == "P3" && row.second >= from.value && row.second <= to.value) expected.push_back(row);
  std::vector<std::pair<std::string, double>> got;
  for (table_.First(); !table_.Eof(); table_.Next())
    got.emplace_back(table_.FieldByName("Patient")->AsString(), table_.FieldByName("Day")->AsDateTime().value);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(got, expected);

  // One value: a prefix of the key.
  table_.SetRange({Variant("P3")}, {Variant("P3")});
  size_t p3 = 0;
  for (const auto& row : rows) p3 += row.first == "P3";
  EXPECT_EQ(table_.RecordCount(), static_cast<int64_t>(p3));
}

TEST_F(IndexTest, DescendingIndexKeepsNullFirstAndRangesFromHighToLow) {
  table_.SetIndexName("xDayDesc");
  table_.Open();
  std::vector<std::string> days = Read("Day");
  ASSERT_EQ(days[0], "<null>");
  days.erase(days.begin());
  EXPECT_TRUE(std::is_sorted(days.rbegin(), days.rend()));

  table_.SetRange({Variant(EncodeDate(2009, 11, 20))}, {Variant(EncodeDate(2009, 11, 10))});
  const std::vector<std::string> range = Read("Day");
  ASSERT_FALSE(range.empty());
  EXPECT_EQ(range.front(), "2009-11-20");
  EXPECT_EQ(range.back(), "2009-11-10");
}

TEST_F(IndexTest, ChangingIndexOnAnOpenTableReordersAndUnknownNamesRaise) {
  table_.Open();
  EXPECT_EQ(table_.FieldByName("Num")->AsInteger(), 1);  // physical order
  table_.SetIndexName("xCode");
  EXPECT_TRUE(table_.FieldByName("Code")->IsNull());
  EXPECT_THROW(table_.SetIndexName("xNope"), EffDatabaseError);
  EXPECT_EQ(table_.IndexName(), "xCode");
  table_.SetIndexName("Sequential Access Index");
  EXPECT_EQ(table_.FieldByName("Num")->AsInteger(), 1);
  EXPECT_THROW(table_.SetRange({Variant(1)}, {Variant(2)}), EffDatabaseError);

  table_.Close();
  table_.SetIndexName("xNope");  // checked when the table opens
  try {
    table_.Open();
    FAIL() << "an unknown index opened";
  } catch (const EffDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("xNope"), std::string::npos);
  }
  EXPECT_FALSE(table_.Active());
}

}  // namespace
}  // namespace korvel
