// The sample table files of the shared folder against their reference dumps and the
// values the sample notes list. Skipped when the samples are absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "source/flashfiler/ff2_dump.h"
#include "source/flashfiler/ff2_key.h"
#include "source/flashfiler/sha1.h"
#include "tests/flashfiler/test_support.h"

namespace korvel {
namespace {

using ff2::Ff2Type;
using testing::LocalSource;
using testing::SamplesDir;

#define SKIP_WITHOUT_SAMPLES()                      \
  if (!std::filesystem::is_directory(SamplesDir())) \
  GTEST_SKIP() << "sample folder " << SamplesDir() << " is absent; sample tests skipped"

struct RefDump {
  std::string stats_line;
  std::vector<std::string> create_lines;  // the column lines of CREATE TABLE
  std::vector<std::vector<std::string>> records;
};

RefDump ParseRef(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  RefDump ref;
  std::vector<std::string>* record = nullptr;
  bool in_create = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("-- records:", 0) == 0) {
      ref.stats_line = line;
    } else if (line.rfind("CREATE TABLE", 0) == 0) {
      in_create = true;
    } else if (line.rfind("INSERT INTO", 0) == 0) {
      ref.records.emplace_back();
      record = &ref.records.back();
    } else if (line == ");") {
      in_create = false;
      record = nullptr;
    } else if (in_create) {
      ref.create_lines.push_back(line);
    } else if (record != nullptr && !line.empty() && line[0] == '\t') {
      std::string value = line.substr(1);
      if (!value.empty() && value.back() == ',') value.pop_back();
      record->push_back(value);
    }
  }
  return ref;
}

std::string G6(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The value as the reference tool printed it, or nullopt for the columns it got wrong.
std::optional<std::string> RefStyle(const TField& field, int day_shift) {
  switch (field.StoredType()) {
    case Ff2Type::Boolean: return std::nullopt;  // the tool printed false for every value
    case Ff2Type::Char:
    case Ff2Type::ShortString:
    case Ff2Type::NullString: return "'" + field.AsString() + "'";
    case Ff2Type::Int32:
    case Ff2Type::Word32:
    case Ff2Type::AutoInc: return std::to_string(field.AsInteger());
    case Ff2Type::Double: return G6(field.AsFloat());
    case Ff2Type::Currency: {
      // The tool's arithmetic: the scaled integer as a float, divided in float.
      const float value = static_cast<float>(field.AsCurrency().scaled) / 10000.0f;
      return G6(value);
    }
    case Ff2Type::DateTime: {
      const DateParts p = DecodeDateTime(TDateTime(field.AsDateTime().value + day_shift));
      char buf[64];
      std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", p.year, p.month, p.day, p.hour, p.minute,
                    p.second);
      return std::string(buf);
    }
    case Ff2Type::BlobMemo: return (field.BlobNumber() >> 12) != 0 ? "'This doesn't work yet'" : "''";
    default: return std::nullopt;
  }
}

struct RefCase {
  const char* file;
  const char* table;
  int day_shift;  // test2's reference was made with a day origin 94 days off
};

class ReferenceDumpTest : public ::testing::TestWithParam<RefCase> {};

TEST_P(ReferenceDumpTest, RecordsMatchTheTrustworthyColumns) {
  SKIP_WITHOUT_SAMPLES();
  const RefCase& c = GetParam();
  const RefDump ref = ParseRef(SamplesDir() + "/" + c.file + ".ref");
  ASSERT_FALSE(ref.records.empty());

  LocalSource source(SamplesDir());
  TffTable table;
  source.Open(table, c.table);
  std::ostringstream dump;
  ff2::DumpTable(*table.File(), c.table, dump);
  std::istringstream lines(dump.str());
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);
  EXPECT_EQ(line, ref.stats_line);
  std::getline(lines, line);
  for (const std::string& expected : ref.create_lines) {
    std::getline(lines, line);
    EXPECT_EQ(line, expected);
  }

  ASSERT_EQ(table.RecordCount(), static_cast<int64_t>(ref.records.size()));
  size_t row = 0;
  int compared = 0;
  for (table.First(); !table.Eof(); table.Next(), ++row) {
    ASSERT_LT(row, ref.records.size());
    const std::vector<std::string>& expected = ref.records[row];
    ASSERT_EQ(static_cast<int>(expected.size()), table.FieldCount());
    for (int i = 0; i < table.FieldCount(); ++i) {
      const TField& field = *table.Fields(i);
      std::string want = expected[static_cast<size_t>(i)];
      if (field.StoredType() == Ff2Type::Char && want == std::string("'\0'", 3)) want = "''";
      const std::optional<std::string> got = RefStyle(field, c.day_shift);
      if (!got) continue;
      EXPECT_EQ(*got, want) << c.file << " record " << row << " field " << field.FieldName();
      ++compared;
    }
  }
  EXPECT_EQ(row, ref.records.size());
  EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Samples, ReferenceDumpTest,
                         ::testing::Values(RefCase{"test1.FF2", "test1", 0}, RefCase{"test4.FF2", "test4", 0},
                                           RefCase{"test2.FF2", "test2", 94}, RefCase{"exprods.ff2", "exprods", 0},
                                           RefCase{"test_blobs.FF2", "test_blobs", 0}),
                         [](const auto& info) { return std::string(info.param.table); });

TEST(SampleValues, TrueDatesOfTest2AndPreList) {
  SKIP_WITHOUT_SAMPLES();
  LocalSource source(SamplesDir());
  TffTable test2;
  source.Open(test2, "test2");
  EXPECT_EQ(test2.FieldByName("CoverDetailID")->AsInteger(), 216);
  EXPECT_EQ(test2.FieldByName("Date")->AsString(), "2009-04-29");
  EXPECT_EQ(test2.FieldByName("Date")->DataType(), TFieldType::ftDateTime);

  TffTable list;
  source.Open(list, "pre_list");
  std::vector<std::string> dates;
  for (list.First(); !list.Eof(); list.Next())
    dates.push_back(list.FieldByName("CoverID")->AsString() + " " + DateToStr(list.FieldByName("Date")->AsDateTime()));
  EXPECT_EQ(dates, (std::vector<std::string>{"1 2009-12-15", "2 2009-12-16"}));
  list.First();
  EXPECT_TRUE(list.FieldByName("Include")->AsBoolean());
  EXPECT_EQ(list.FieldByName("Include")->AsString(), "True");
}

TEST(SampleValues, PictureBlobsOfBothAllocatorsHashAsListed) {
  SKIP_WITHOUT_SAMPLES();
  const std::vector<std::pair<std::string, std::pair<size_t, std::string>>> expected = {
      {"Barcode", {45262, "fcbc54414b352835ee39fd630ba88dd0988c0aab"}},
      {"Genius", {68574, "a59b137fe0868d46cb480e84d73b34357da426ef"}},
      {"Flash", {35946, "4a55671f7cc8d0bdf778d5ee548881025e4f82ee"}},
      {"London", {181862, "74ded0c63dc97f8fbd472228c91043d82551f973"}},
      {"Ouch", {42366, "47c7aa53aa477cbf7bb8e5f36eca62fa0f8a9d11"}},
      {"Caps", {131782, "d6f619562d50fc40ec8c813f6714146c6a19f8ef"}},
      {"Thinktank", {101898, "79b6b4c7445d5ba4ac3f0588144424bf67ad2532"}},
      {"Mt. Blanc", {96062, "57cee02dc04f56751b5ec875d759fd7e0f20d1f3"}},
      {"Fun", {38574, "d756ec4e586c9830e59625c5ae9e2bca5761109f"}},
      {"Balloon", {175598, "10cebc69c4a5ed1f47c6c8ad244cbf0a8b2f9aee"}},
  };
  for (const std::string& folder : {SamplesDir(), SamplesDir() + "/extra"}) {
    LocalSource source(folder);
    TffTable table;
    source.Open(table, folder == SamplesDir() ? "test_blobs" : "SavExBlob");
    ASSERT_EQ(table.RecordCount(), 10);
    size_t row = 0;
    for (table.First(); !table.Eof(); table.Next(), ++row) {
      SCOPED_TRACE(folder + " row " + std::to_string(row));
      const TField* image = table.FieldByName("Image");
      EXPECT_EQ(image->DataType(), TFieldType::ftGraphic);
      EXPECT_EQ(table.FieldByName("Title")->AsString(), expected[row].first);
      const std::string bytes = image->BlobContent();
      EXPECT_EQ(bytes.size(), expected[row].second.first);
      EXPECT_EQ(Sha1Hex(bytes), expected[row].second.second);
      EXPECT_EQ(bytes.substr(8, 2), "BM");
      const Variant value = image->AsVariant();
      ASSERT_NE(value.bytes_if(), nullptr);
      EXPECT_EQ(value.bytes_if()->data.size(), bytes.size());
    }
  }
}

TEST(SampleValues, OrdersNullsMillisecondsAndCurrency) {
  SKIP_WITHOUT_SAMPLES();
  LocalSource source(SamplesDir() + "/extra");
  TffTable table;
  source.Open(table, "ORDERS");  // file name matched without regard to case
  std::vector<int64_t> order;
  std::map<std::string, int> nulls;
  for (table.First(); !table.Eof(); table.Next()) {
    order.push_back(table.FieldByName("OrderNo")->AsInteger());
    for (int i = 0; i < table.FieldCount(); ++i) {
      if (table.Fields(i)->IsNull()) ++nulls[table.Fields(i)->FieldName()];
    }
  }
  EXPECT_EQ(order, (std::vector<int64_t>{2, 3, 4, 5, 6, 7, 8, 11, 13, 15, 16, 17, 18, 19, 20, 21, 22}));
  EXPECT_EQ(nulls, (std::map<std::string, int>{{"PO", 17},
                                               {"CCNumber", 17},
                                               {"CCExpMonth", 17},
                                               {"CCExpYear", 17},
                                               {"ShipDate", 15},
                                               {"EmpNo", 15},
                                               {"DistribCenterID", 15}}));

  table.First();
  EXPECT_EQ(table.FieldByName("Status")->AsString(), "S");
  EXPECT_EQ(table.FieldByName("CustNo")->AsInteger(), 14);
  EXPECT_EQ(table.FieldByName("SaleDate")->AsString(), "2001-03-19");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", table.FieldByName("ShipDate")->AsDateTime()),
            "2001-03-19 12:33:01.733");
  EXPECT_EQ(table.FieldByName("ShipToState")->AsString(), "FL");
  EXPECT_EQ(table.FieldByName("ItemsTotal")->AsCurrency().scaled, 2852500);
  EXPECT_EQ(table.FieldByName("ItemsTotal")->AsString(), "285.25");
  EXPECT_TRUE(table.FieldByName("PO")->AsVariant().IsNull());
  EXPECT_EQ(table.FieldByName("CCExpMonth")->DataType(), TFieldType::ftSmallint);
  EXPECT_TRUE(table.FieldByName("CCExpYear")->IsNull());
  EXPECT_EQ(table.FieldByName("CCExpYear")->AsInteger(), 0);

  table.Next();
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", table.FieldByName("ShipDate")->AsDateTime()), "12:34:31.889");
  EXPECT_FALSE(table.FieldByName("ShipToState")->IsNull());
  EXPECT_EQ(table.FieldByName("ShipToState")->AsString(), "");
  EXPECT_EQ(table.FieldByName("ItemsTotal")->AsFloat(), 261.25);
}

TEST(SampleValues, DeletedRecordsAreSkipped) {
  SKIP_WITHOUT_SAMPLES();
  LocalSource source(SamplesDir());
  auto ids = [&](const std::string& name, const std::string& key) {
    TffTable table;
    source.Open(table, name);
    std::set<int64_t> out;
    for (table.First(); !table.Eof(); table.Next()) out.insert(table.FieldByName(key)->AsInteger());
    return out;
  };
  const std::set<int64_t> pre = ids("pre_detail", "CoverDetailID");
  const std::set<int64_t> post = ids("post_detail", "CoverDetailID");
  EXPECT_EQ(pre.size(), 6u);
  EXPECT_EQ(post.size(), 3u);
  EXPECT_TRUE(std::includes(pre.begin(), pre.end(), post.begin(), post.end()));
  EXPECT_EQ(ids("pre_list", "CoverID").size(), 2u);
  EXPECT_EQ(ids("post_list", "CoverID").size(), 1u);
  // exprods: version 20000 leaves the last slot of its block with flag 'F'.
  EXPECT_EQ(ids("exprods", "ProductID").size(), 25u);
}

// Walks a stored index tree in order (the engine's own order) to check the order this
// reader rebuilds from the records.
std::vector<uint64_t> WalkIndexTree(const ff2::Ff2File& file, const std::string& path, int index) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const uint32_t bs = file.header().block_size;
  const uint8_t* header = data + static_cast<uint64_t>(file.header().index_header_block) * bs;
  std::vector<uint64_t> refs;
  std::function<void(uint32_t, int)> visit = [&](uint32_t page, int depth) {
    if (page == ff2::kNone) return;
    ASSERT_LT(depth, 16);
    const uint8_t* p = data + static_cast<uint64_t>(page) * bs;
    ASSERT_EQ(ff2::LoadU32(p), 0x48494646u);
    ASSERT_EQ(ff2::LoadU16(p + 20), index);
    const int keys = static_cast<int>(ff2::LoadU32(p + 24));
    const int cap = static_cast<int>(ff2::LoadU32(p + 28));
    if (p[17] == 1) {
      for (int i = 0; i < keys; ++i) refs.push_back(ff2::LoadU64(p + 36 + 8 * i));
      return;
    }
    visit(ff2::LoadU32(p + 32), depth + 1);
    for (int i = 0; i < keys; ++i) {
      refs.push_back(ff2::LoadU64(p + 36 + 4 * cap + 8 * i));
      visit(ff2::LoadU32(p + 36 + 4 * i), depth + 1);
    }
  };
  visit(ff2::LoadU32(header + 1828 + 4 * index), 0);
  return refs;
}

TEST(SampleValues, RebuiltIndexOrderMatchesTheStoredTrees) {
  SKIP_WITHOUT_SAMPLES();
  int checked = 0;
  for (const std::string name :
       {"test1.FF2", "test4.FF2", "test2.FF2", "exprods.ff2", "test_big.FF2", "extra/orders.ff2"}) {
    const std::string path = SamplesDir() + "/" + name;
    const auto file = ff2::Ff2File::Open(path);
    for (int index = 1; index <= static_cast<int>(file->indexes().size()); ++index) {
      SCOPED_TRACE(name + " index " + file->indexes()[static_cast<size_t>(index - 1)].name);
      EXPECT_EQ(file->SortedRecords(index), WalkIndexTree(*file, path, index));
      ++checked;
    }
  }
  EXPECT_GE(checked, 10);
}

TEST(SampleValues, StaleHeaderCountsAreWarningsNotErrors) {
  SKIP_WITHOUT_SAMPLES();
  const auto file = ff2::Ff2File::Open(SamplesDir() + "/test_big.FF2");
  EXPECT_EQ(file->records().size(), 42u);
  EXPECT_EQ(file->fields().size(), 68u);
  EXPECT_EQ(file->dictionary_index_count(), 3);
  ASSERT_FALSE(file->warnings().empty());
  EXPECT_NE(file->warnings()[0].find("4 indexes"), std::string::npos);
}

}  // namespace
}  // namespace korvel
