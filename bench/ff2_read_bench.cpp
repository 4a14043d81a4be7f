// Reading speed of the .FF2 reader: writes a table of 1,000,000 records of about 200
// bytes, then times (1) a plain sequential read of the file, (2) reading every field
// of every record through the table component, (3) opening in the order of named
// indexes (the in-memory sort of record references). Prints records/s, MB/s and the
// ratio of (2) to (1). Usage: ff2_read_bench [records] [folder]
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "source/flashfiler/ff2_writer.h"
#include "source/flashfiler/ff_components.h"

namespace {

using korvel::TffTable;
using korvel::TField;
using korvel::TFieldType;
using korvel::Variant;
using korvel::ff2::Ff2Type;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Write(const std::string& path, int records) {
  korvel::ff2::Ff2Writer writer(path);
  writer.AddField("AutoNum", Ff2Type::AutoInc);
  writer.AddField("Patient", Ff2Type::Int32);
  writer.AddField("Medecin", Ff2Type::Int32);
  writer.AddField("Salle", Ff2Type::Int32);
  writer.AddField("Montant", Ff2Type::Double);
  writer.AddField("Taux", Ff2Type::Double);
  writer.AddField("Duree", Ff2Type::Double);
  writer.AddField("Total", Ff2Type::Currency);
  writer.AddField("DateVisite", Ff2Type::DateTime);
  writer.AddField("DateSaisie", Ff2Type::DateTime);
  writer.AddField("Urgent", Ff2Type::Boolean);
  writer.AddField("Nom", Ff2Type::ShortString, 40);
  writer.AddField("Adresse", Ff2Type::ShortString, 60);
  writer.AddField("Code", Ff2Type::NullString, 30);
  writer.AddField("Etat", Ff2Type::Int16);
  writer.AddIndex("xCode", {"Code"}, true);
  writer.AddIndex("xPatient", {"Patient", "DateVisite"});
  std::vector<Variant> values(15);
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (int i = 0; i < records; ++i) {
    values[0] = Variant();
    values[1] = Variant(static_cast<int64_t>(next() % 200000));
    values[2] = Variant(static_cast<int64_t>(next() % 500));
    values[3] = Variant(i % 40);
    values[4] = Variant((next() % 100000) / 100.0);
    values[5] = Variant(0.15);
    values[6] = Variant(i % 90 * 1.5);
    values[7] = Variant(korvel::Currency{static_cast<int64_t>(next() % 10000000)});
    values[8] = Variant(korvel::TDateTime(36000.0 + next() % 5000 + (next() % 1440) / 1440.0));
    values[9] = i % 10 == 0 ? Variant() : Variant(korvel::TDateTime(36000.5 + i % 5000));
    values[10] = Variant(i % 3 == 0);
    values[11] = Variant("PATIENT NUMERO " + std::to_string(next() % 1000000));
    values[12] = Variant(std::to_string(i % 9999) + " RUE DES ERABLES, APP. " + std::to_string(i % 77));
    char code[32];
    std::snprintf(code, sizeof code, "2009%04u-%03u", next() % 1231, next() % 1000);
    values[13] = Variant(code);
    values[14] = Variant(i % 7);
    writer.AppendRecord(values);
  }
  writer.Finish();
}

double PlainRead(const std::string& path, uint64_t& checksum) {
  const auto start = Clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  std::vector<uint64_t> buffer(1 << 17);  // 1 MB
  ssize_t n;
  while ((n = ::read(fd, buffer.data(), buffer.size() * 8)) > 0) {
    for (size_t i = 0; i < static_cast<size_t>(n) / 8; ++i) checksum += buffer[i];
  }
  ::close(fd);
  return Seconds(start);
}

double ReadEveryField(korvel::TffTable& table, uint64_t& checksum, int64_t& records) {
  const auto start = Clock::now();
  table.Open();
  std::vector<TField*> fields;
  for (int i = 0; i < table.FieldCount(); ++i) fields.push_back(table.Fields(i));
  std::string text;
  for (table.First(); !table.Eof(); table.Next()) {
    ++records;
    for (const TField* field : fields) {
      if (field->IsNull()) continue;
      switch (field->DataType()) {
        case TFieldType::ftString:
          field->GetAsString(text);
          checksum += text.size();
          break;
        case TFieldType::ftFloat: checksum += static_cast<uint64_t>(field->AsFloat()); break;
        case TFieldType::ftCurrency: checksum += static_cast<uint64_t>(field->AsCurrency().scaled); break;
        case TFieldType::ftDateTime: checksum += static_cast<uint64_t>(field->AsDateTime().value); break;
        case TFieldType::ftBoolean: checksum += field->AsBoolean(); break;
        default: checksum += static_cast<uint64_t>(field->AsInteger());
      }
    }
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path() / "korvel-ff2-bench";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "Visite.FF2").string();

  auto start = Clock::now();
  Write(path, records);
  const double write_s = Seconds(start);
  const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::printf("table: %d records, %.1f MB, written in %.2f s (%.0f records/s)\n", records, mb, write_s,
              records / write_s);

  korvel::TffCommsEngine engine("EngineTransfert");
  korvel::TffSession session("SessionTransfert");
  session.SetCommsEngine(&engine);
  session.AddAlias("radio", folder.string());
  korvel::TffDatabase database;
  database.SetSession(&session);
  database.SetAliasName("radio");
  TffTable table;
  table.SetDatabase(&database);
  table.SetTableName("Visite");

  uint64_t checksum = 0;
  PlainRead(path, checksum);  // warm the page cache
  double plain = 1e9, fields = 1e9;
  int64_t read = 0;
  for (int round = 0; round < 3; ++round) {
    plain = std::min(plain, PlainRead(path, checksum));
    read = 0;
    fields = std::min(fields, ReadEveryField(table, checksum, read));
    table.Close();
  }
  std::printf("plain sequential read : %.3f s  %8.0f MB/s\n", plain, mb / plain);
  std::printf("every field, every record: %.3f s  %8.0f MB/s  %.2f M records/s (%lld records, 15 fields)\n", fields,
              mb / fields, read / fields / 1e6, static_cast<long long>(read));
  std::printf("ratio (plain / fields): %.2f\n", plain / fields);

  for (const char* index : {"xCode", "xPatient"}) {
    table.SetIndexName(index);
    start = Clock::now();
    table.Open();
    std::printf("open in index %-9s (sort of %lld references): %.2f s\n", index,
                static_cast<long long>(table.RecordCount()), Seconds(start));
    table.Close();
  }
  std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
  std::filesystem::remove(path);
  return 0;
}
