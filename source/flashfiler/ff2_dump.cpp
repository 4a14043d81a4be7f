#include "source/flashfiler/ff2_dump.h"

#include <charconv>
#include <cstdio>

#include "global/date_time.h"
#include "global/text_encoding.h"
#include "global/variant.h"
#include "source/flashfiler/sha1.h"

namespace korvel::ff2 {

namespace {

std::string Quoted(std::string_view bytes) {
  std::string escaped;
  for (const char ch : bytes) {
    const uint8_t c = static_cast<uint8_t>(ch);
    switch (c) {
      case '\'': escaped += "\\'"; break;
      case '\\': escaped += "\\\\"; break;
      case '\r': escaped += "\\r"; break;
      case '\n': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          escaped += buf;
        } else {
          escaped += ch;
        }
    }
  }
  return "'" + Cp1252ToUtf8(escaped) + "'";
}

std::string Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string DateText(TDateTime dt, bool date, bool time) {
  if (!IsValidDateTime(dt)) return "INVALID(" + FloatToStr(dt.value) + ")";
  const DateParts parts = korvel::DecodeDateTime(dt);
  std::string out;
  if (date) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    out = buf;
  }
  if (time) {
    if (!out.empty()) out += ' ';
    out += Two(parts.hour) + ":" + Two(parts.minute) + ":" + Two(parts.second);
    if (parts.millisecond != 0) {
      char buf[8];
      std::snprintf(buf, sizeof buf, ".%03d", parts.millisecond);
      out += buf;
    }
  }
  return "'" + out + "'";
}

}  // namespace

std::string SqlTypeName(const FieldDef& field) {
  const int code = static_cast<int>(field.type);
  const std::string len = std::to_string(field.length);
  switch (code) {
    case 0: return "BIT";
    case 1: return "CHAR";
    case 2: return "NCHAR";
    case 3:
    case 6: return "TINYINT";
    case 4:
    case 7: return "SMALLINT";
    case 5:
    case 8:
    case 9: return "INT";
    case 10: return "FLOAT";
    case 11:
    case 12: return "REAL";
    case 13:
    case 14: return "MONEY";
    case 15:
    case 16:
    case 17: return "DATETIME";
    case 18:
    case 19: return "TEXT";
    case 45: return "VARBINARY(" + len + ")";
    case 46:
    case 47:
    case 48:
    case 49: return "VARCHAR(" + len + ")";
    case 50: return "NVARCHAR(" + std::to_string(field.length / 2) + ")";
    default: return "$type(" + std::to_string(code) + ")";
  }
}

std::string DumpValue(const Ff2File& file, const uint8_t* record, int index) {
  if (file.IsNull(record, index)) return "NULL";
  const FieldDef& field = file.fields()[static_cast<size_t>(index)];
  const uint8_t* p = record + field.offset;
  switch (field.type) {
    case Ff2Type::Boolean: return p[0] != 0 ? "true" : "false";
    case Ff2Type::Char:
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr:
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr: return Quoted(DecodeText(field.type, p, field.length));
    case Ff2Type::WideChar:
    case Ff2Type::WideString: return Quoted(Utf8ToCp1252(DecodeWideText(field.type, p, field.length)));
    case Ff2Type::Single:
    case Ff2Type::Double:
    case Ff2Type::Extended: {
      if (field.type == Ff2Type::Single) {
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, LoadSingle(p));
        return std::string(buf, res.ptr);
      }
      return FloatToStr(DecodeFloat(field.type, p));
    }
    case Ff2Type::Currency: return Currency{DecodeInteger(field.type, p)}.ToString();
    case Ff2Type::StDate: return DateText(DecodeDateTime(field.type, p), true, false);
    case Ff2Type::StTime: return DateText(DecodeDateTime(field.type, p), false, true);
    case Ff2Type::DateTime: return DateText(DecodeDateTime(field.type, p), true, true);
    case Ff2Type::BlobMemo:
    case Ff2Type::BlobFmtMemo: return Quoted(file.ReadBlob(LoadU64(p)));
    case Ff2Type::ByteArray: {
      std::string hex = "x'";
      static const char kHex[] = "0123456789abcdef";
      for (uint32_t i = 0; i < field.length; ++i) {
        hex += kHex[p[i] >> 4];
        hex += kHex[p[i] & 15];
      }
      return hex + "'";
    }
    default:
      if (IsBlobType(field.type)) {
        const std::string content = file.ReadBlob(LoadU64(p));
        return "BLOB(" + std::to_string(content.size()) + " bytes, sha1 " + Sha1Hex(content) + ")";
      }
      return std::to_string(DecodeInteger(field.type, p));
  }
}

void DumpTable(const Ff2File& file, const std::string& name, std::ostream& out) {
  const FileHeader& h = file.header();
  char blocksize[16];
  std::snprintf(blocksize, sizeof blocksize, "0x%x", h.block_size);
  out << "-- dumping data dictionary for `" << name << "`\n";
  out << "-- records: " << h.record_count << " fields: " << h.field_count << " indexes: " << h.index_count
      << " blocksize: " << blocksize << "\n";
  out << "CREATE TABLE [" << name << "] (\n";
  const auto& fields = file.fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    out << "\t [" << Cp1252ToUtf8(fields[i].name) << "] " << SqlTypeName(fields[i])
        << (i + 1 < fields.size() ? ",\n" : "\n");
  }
  out << ");\n";
  out << "-- dumping content for `" << name << "`\n";
  for (const uint64_t ref : file.records()) {
    file.Touch(ref);
    const uint8_t* record = file.Record(ref);
    out << "INSERT INTO [" << name << "] VALUES(\n";
    for (size_t i = 0; i < fields.size(); ++i) {
      out << "\t" << DumpValue(file, record, static_cast<int>(i)) << (i + 1 < fields.size() ? ",\n" : "\n");
    }
    out << ");\n";
  }
}

}  // namespace korvel::ff2
