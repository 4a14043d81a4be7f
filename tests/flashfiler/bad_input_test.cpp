// Damaged table files: each fault is an EffDatabaseError naming the file and the
// fault; nothing crashes or loops.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "source/flashfiler/ff2_dump.h"
#include "source/flashfiler/ff2_file.h"
#include "source/flashfiler/ff2_writer.h"
#include "tests/flashfiler/test_support.h"

namespace korvel {
namespace {

using ff2::Ff2File;
using ff2::Ff2Type;

void PutU32(std::string& bytes, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(v >> (8 * i));
}

// A small valid table: 3 records in block 3, a memo BLOB in block 4.
std::string GoodTable() {
  static const std::string bytes = [] {
    const auto dir = testing::ScratchDir("bad-input");
    const std::string path = (dir / "Good.FF2").string();
    {
      ff2::Ff2Writer writer(path);
      writer.AddField("Id", Ff2Type::Int32);
      writer.AddField("Notes", Ff2Type::BlobMemo);
      for (int i = 0; i < 3; ++i) writer.AppendRecord({Variant(i), Variant(std::string(5000, 'm'))});
      writer.Finish();
    }
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  return bytes;
}

struct Damage {
  const char* name;
  std::function<void(std::string&)> apply;
  const char* fault;  // part of the expected message
};

TEST(BadInput, EachFaultIsAClearError) {
  const std::string good = GoodTable();
  ASSERT_EQ(Ff2File::FromBytes(good, "Good.FF2")->records().size(), 3u);
  // Dictionary of GoodTable (block 2): the field count's tag at byte 33, the first
  // field's length at byte 48.
  const size_t dict = 2 * 4096 + 32;
  const size_t data = 4096 * size_t{ff2::LoadU32(reinterpret_cast<const uint8_t*>(good.data()) + 68)};
  const uint32_t blob_block = 3;
  const std::vector<Damage> cases = {
      {"empty", [](std::string& b) { b.clear(); }, "truncated"},
      {"truncated", [](std::string& b) { b.resize(b.size() - 100); }, "truncated"},
      {"header only", [](std::string& b) { b.resize(100); }, "truncated"},
      {"wrong signature", [](std::string& b) { b[3] = 'X'; }, "not a FlashFiler 2 table"},
      {"FlashFiler 1", [](std::string& b) { PutU32(b, 0, 0x48464646); }, "FlashFiler 1"},
      {"encrypted", [](std::string& b) { PutU32(b, 20, 1); }, "encrypted"},
      {"bad block size", [](std::string& b) { PutU32(b, 16, 5000); }, "block size"},
      {"data block past the end", [](std::string& b) { PutU32(b, 68, 9999); }, "past the end"},
      {"dictionary past the end", [](std::string& b) { PutU32(b, 116, 70000); }, "past the end"},
      {"data chain loops", [&](std::string& b) { PutU32(b, data + 24, static_cast<uint32_t>(data / 4096)); }, "loops"},
      {"data chain hits a BLOB block", [&](std::string& b) { PutU32(b, data + 24, blob_block); }, "signature"},
      {"too many fields",
       [&](std::string& b) {
         b[dict + 33] = 0x04;
         PutU32(b, dict + 34, 0x7FFFFFFF);
       },
       "claims"},
      {"field outside record", [&](std::string& b) { b[dict + 48] = 0x7F; }, "record"},
      {"dictionary cut short", [&](std::string& b) { PutU32(b, dict - 8, 20); }, "ends inside"},
      {"record length mismatch", [](std::string& b) { PutU32(b, 56, 100); }, "record"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = good;
    c.apply(bytes);
    try {
      Ff2File::FromBytes(bytes, "Damaged.FF2");
      ADD_FAILURE() << "no error";
    } catch (const EffDatabaseError& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("Damaged.FF2: ", 0), 0u) << message;
      EXPECT_NE(message.find(c.fault), std::string::npos) << message;
    }
  }
}

TEST(BadInput, BlobFaultsRaiseWhenTheValueIsRead) {
  const std::string good = GoodTable();
  const auto file = Ff2File::FromBytes(good, "Good.FF2");
  const uint64_t blob = ff2::LoadU64(file->Record(file->records()[0]) + 4);
  ASSERT_EQ(file->ReadBlob(blob).size(), 5000u);
  const size_t head = static_cast<size_t>(blob);
  const uint64_t lookup = ff2::LoadU64(reinterpret_cast<const uint8_t*>(good.data()) + head + 12);
  const std::vector<Damage> cases = {
      {"lookup loops",
       [&](std::string& b) {
         PutU32(b, lookup + 12, static_cast<uint32_t>(lookup));
         PutU32(b, lookup + 16, 0);
         PutU32(b, head + 4, 900000);
       },
       "BLOB"},
      {"deleted", [&](std::string& b) { b[head] = 'D'; }, "deleted"},
      {"misaligned", [&](std::string& b) { PutU32(b, head + 12, static_cast<uint32_t>(lookup + 8)); },
       "segment boundary"},
      {"content too long", [&](std::string& b) { PutU32(b, lookup + 28, 60000); }, "claims"},
      {"ends early", [&](std::string& b) { PutU32(b, head + 4, 9000); }, "ends after"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = good;
    c.apply(bytes);
    const auto damaged = Ff2File::FromBytes(bytes, "Damaged.FF2");
    try {
      damaged->ReadBlob(blob);
      ADD_FAILURE() << "no error";
    } catch (const EffDatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.fault), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A damaged date-time (1e30 days) is reported for that value, never handed to the
// calendar code.
TEST(BadInput, ImpossibleDateIsAnErrorOfThatValue) {
  const auto dir = testing::ScratchDir("bad-date");
  {
    ff2::Ff2Writer writer((dir / "Dates.FF2").string());
    writer.AddField("Quand", Ff2Type::DateTime);
    writer.AppendRecord({Variant(EncodeDate(2009, 12, 15))});
    writer.Finish();
  }
  std::string bytes;
  {
    std::ifstream in(dir / "Dates.FF2", std::ios::binary);
    bytes.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  const double impossible = 1e30;
  const size_t record = 4096 * size_t{ff2::LoadU32(reinterpret_cast<const uint8_t*>(bytes.data()) + 68)} + 32 + 1;
  std::memcpy(&bytes[record], &impossible, sizeof impossible);
  std::ofstream(dir / "Dates.FF2", std::ios::binary) << bytes;

  testing::LocalSource source(dir.string());
  TffTable table;
  source.Open(table, "Dates");
  const TField* field = table.Fields(0);
  EXPECT_THROW(field->AsDateTime(), EffDatabaseError);
  EXPECT_THROW(field->AsString(), EffDatabaseError);
  EXPECT_THROW(field->AsVariant(), EffDatabaseError);
  EXPECT_EQ(ff2::DumpValue(*table.File(), table.File()->Record(table.File()->records()[0]), 0), "INVALID(1e+30)");
}

}  // namespace
}  // namespace korvel
