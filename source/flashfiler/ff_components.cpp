#include "source/flashfiler/ff_components.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "global/ini_file.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/flashfiler/ff2_key.h"

namespace korvel {

using ff2::Ff2Type;

namespace {

template <typename T>
void Unbind(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

void AppendNumber(std::string& out, int64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

void AppendFloat(std::string& out, double v) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

}  // namespace

TFieldType FieldTypeOf(Ff2Type type) {
  switch (type) {
    case Ff2Type::Boolean: return TFieldType::ftBoolean;
    case Ff2Type::Char:
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr:
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr: return TFieldType::ftString;
    case Ff2Type::WideChar:
    case Ff2Type::WideString: return TFieldType::ftWideString;
    case Ff2Type::Byte:
    case Ff2Type::Int8:
    case Ff2Type::Int16: return TFieldType::ftSmallint;
    case Ff2Type::Word16: return TFieldType::ftWord;
    case Ff2Type::Word32:
    case Ff2Type::Int32: return TFieldType::ftInteger;
    case Ff2Type::AutoInc: return TFieldType::ftAutoInc;
    case Ff2Type::Single:
    case Ff2Type::Double:
    case Ff2Type::Extended:
    case Ff2Type::Comp: return TFieldType::ftFloat;
    case Ff2Type::Currency: return TFieldType::ftCurrency;
    case Ff2Type::StDate: return TFieldType::ftDate;
    case Ff2Type::StTime: return TFieldType::ftTime;
    case Ff2Type::DateTime: return TFieldType::ftDateTime;
    case Ff2Type::BlobMemo: return TFieldType::ftMemo;
    case Ff2Type::BlobFmtMemo: return TFieldType::ftFmtMemo;
    case Ff2Type::BlobGraphic: return TFieldType::ftGraphic;
    case Ff2Type::Blob:
    case Ff2Type::BlobOleObj:
    case Ff2Type::BlobDbsOleObj:
    case Ff2Type::BlobTypedBin:
    case Ff2Type::BlobFile: return TFieldType::ftBlob;
    case Ff2Type::ByteArray: return TFieldType::ftBytes;
  }
  return TFieldType::ftUnknown;
}

const char* FieldTypeName(TFieldType type) {
  static const char* const kNames[] = {
      "ftUnknown",  "ftString",  "ftSmallint", "ftInteger",  "ftWord",     "ftBoolean",   "ftFloat",
      "ftCurrency", "ftBCD",     "ftDate",     "ftTime",     "ftDateTime", "ftAutoInc",   "ftBlob",
      "ftMemo",     "ftGraphic", "ftFmtMemo",  "ftLargeint", "ftBytes",    "ftFixedChar", "ftWideString"};
  return kNames[static_cast<int>(type)];
}

// ---------------------------------------------------------------------------------
// TField

TField::TField(const TffTable& table, const ff2::FieldDef& def, int index)
    : table_(table),
      name_(Cp1252ToUtf8(def.name)),
      type_(def.type),
      data_type_(FieldTypeOf(def.type)),
      index_(index),
      offset_(def.offset),
      length_(def.length),
      null_byte_(table.file_->logical_record_length() + static_cast<uint32_t>(index) / 8),
      null_mask_(static_cast<uint8_t>(1u << (index % 8))),
      size_(ff2::IsStringType(def.type) || def.type == Ff2Type::ByteArray ? def.units : 0),
      required_(def.required) {}

const uint8_t* TField::Bytes() const {
  table_.SortIfPending();
  const uint8_t* record = table_.current_;
  if (record == nullptr || (record[null_byte_] & null_mask_)) return nullptr;
  return record + offset_;
}

bool TField::IsNull() const { return Bytes() == nullptr; }

std::string_view TField::RawText(const uint8_t* p) const { return ff2::DecodeText(type_, p, length_); }

uint64_t TField::BlobNumber() const {
  const uint8_t* p = Bytes();
  return p != nullptr && ff2::IsBlobType(type_) ? ff2::LoadU64(p) : 0;
}

std::string TField::BlobContent() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return {};
  if (ff2::IsBlobType(type_)) return table_.file_->ReadBlob(ff2::LoadU64(p));
  return std::string(reinterpret_cast<const char*>(p), length_);
}

void TField::GetAsString(std::string& out) const {
  out.clear();
  const uint8_t* p = Bytes();
  if (p == nullptr) return;
  switch (type_) {
    case Ff2Type::Char:
    case Ff2Type::ShortString:
    case Ff2Type::ShortAnsiStr:
    case Ff2Type::NullString:
    case Ff2Type::NullAnsiStr: {
      const std::string_view text = RawText(p);
      // Most legacy text is ASCII, which is already UTF-8.
      bool ascii = true;
      for (const char c : text) ascii &= static_cast<unsigned char>(c) < 0x80;
      if (ascii) {
        out.assign(text);
      } else {
        AppendCp1252ToUtf8(text, out);
      }
      return;
    }
    case Ff2Type::WideChar:
    case Ff2Type::WideString: out = ff2::DecodeWideText(type_, p, length_); return;
    case Ff2Type::Boolean: out.assign(p[0] != 0 ? "True" : "False"); return;
    case Ff2Type::Single: {
      char buf[32];
      const auto res = std::to_chars(buf, buf + sizeof buf, ff2::LoadSingle(p));
      out.append(buf, res.ptr);
      return;
    }
    case Ff2Type::Double:
    case Ff2Type::Extended: AppendFloat(out, ff2::DecodeFloat(type_, p)); return;
    case Ff2Type::Currency: out = Currency{static_cast<int64_t>(ff2::LoadU64(p))}.ToString(); return;
    case Ff2Type::StDate: out = DateToStr(CheckedDateTime(p)); return;
    case Ff2Type::StTime: out = FormatDateTime("h:nn:ss", CheckedDateTime(p)); return;
    case Ff2Type::DateTime: out = DateTimeToStr(CheckedDateTime(p)); return;
    case Ff2Type::BlobMemo:
    case Ff2Type::BlobFmtMemo: AppendCp1252ToUtf8(table_.file_->ReadBlob(ff2::LoadU64(p)), out); return;
    case Ff2Type::ByteArray: out.assign(reinterpret_cast<const char*>(p), length_); return;
    default:
      if (ff2::IsBlobType(type_)) {
        out = table_.file_->ReadBlob(ff2::LoadU64(p));
      } else {
        AppendNumber(out, ff2::DecodeInteger(type_, p));
      }
      return;
  }
}

std::string TField::AsString() const {
  std::string out;
  GetAsString(out);
  return out;
}

int64_t TField::AsInteger() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return 0;
  switch (type_) {
    case Ff2Type::Single:
    case Ff2Type::Double:
    case Ff2Type::Extended:
    case Ff2Type::Currency: return Currency{static_cast<int64_t>(ff2::LoadU64(p))}.Rounded();
    case Ff2Type::StDate:
    case Ff2Type::StTime:
    case Ff2Type::DateTime: return static_cast<int64_t>(CheckedDateTime(p).value);
    default: break;
  }
  if (ff2::IsStringType(type_) || type_ == Ff2Type::Char) {
    const std::string text = Trim(RawText(p));
    int64_t v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size())
      throw EffDatabaseError("'" + Cp1252ToUtf8(text) + "' is not a valid integer value for field '" + name_ + "'");
    return v;
  }
  if (ff2::IsBlobType(type_) || type_ == Ff2Type::ByteArray || type_ == Ff2Type::WideString)
    throw EffDatabaseError("Field '" + name_ + "' cannot be read as an integer");
  return ff2::DecodeInteger(type_, p);
}

double TField::AsFloat() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return 0.0;
  switch (type_) {
    case Ff2Type::StDate:
    case Ff2Type::StTime:
    case Ff2Type::DateTime: return ff2::DecodeDateTime(type_, p).value;
    default: break;
  }
  if (ff2::IsStringType(type_) || type_ == Ff2Type::Char) {
    const std::string text = Trim(RawText(p));
    double v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size())
      throw EffDatabaseError("'" + Cp1252ToUtf8(text) + "' is not a valid floating point value for field '" + name_ +
                             "'");
    return v;
  }
  if (ff2::IsBlobType(type_) || type_ == Ff2Type::ByteArray || type_ == Ff2Type::WideString)
    throw EffDatabaseError("Field '" + name_ + "' cannot be read as a number");
  return ff2::DecodeFloat(type_, p);
}

Currency TField::AsCurrency() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return Currency{};
  if (type_ == Ff2Type::Currency) return Currency{static_cast<int64_t>(ff2::LoadU64(p))};
  return Currency::FromDouble(AsFloat());
}

TDateTime TField::AsDateTime() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return TDateTime();
  if (ff2::IsStringType(type_)) {
    TDateTime dt;
    const std::string text = Cp1252ToUtf8(RawText(p));
    if (!TryParseDateTime(Trim(text), dt))
      throw EffDatabaseError("'" + text + "' is not a valid date and time for field '" + name_ + "'");
    return dt;
  }
  return CheckedDateTime(p);
}

TDateTime TField::CheckedDateTime(const uint8_t* p) const {
  const TDateTime dt = ff2::DecodeDateTime(type_, p);
  if (!ff2::IsValidDateTime(dt))
    throw EffDatabaseError("Field '" + name_ + "' holds an impossible date-time (" + std::to_string(dt.value) + ")");
  return dt;
}

bool TField::AsBoolean() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return false;
  if (type_ == Ff2Type::Boolean) return p[0] != 0;
  if (ff2::IsStringType(type_) || type_ == Ff2Type::Char) {
    const std::string_view text = RawText(p);
    if (text.empty()) return false;
    switch (text[0]) {
      case 'T':
      case 't':
      case 'Y':
      case 'y':
      case '1': return true;
      case 'F':
      case 'f':
      case 'N':
      case 'n':
      case '0': return false;
      default:
        throw EffDatabaseError("'" + Cp1252ToUtf8(text) + "' is not a valid Boolean value for field '" + name_ + "'");
    }
  }
  return AsFloat() != 0.0;
}

Variant TField::AsVariant() const {
  const uint8_t* p = Bytes();
  if (p == nullptr) return Variant();
  switch (data_type_) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo: return Variant(AsString());
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint: return Variant(ff2::DecodeInteger(type_, p));
    case TFieldType::ftBoolean: return Variant(p[0] != 0);
    case TFieldType::ftFloat:
    case TFieldType::ftBCD: return Variant(ff2::DecodeFloat(type_, p));
    case TFieldType::ftCurrency: return Variant(AsCurrency());
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime: return Variant(CheckedDateTime(p));
    case TFieldType::ftBlob:
    case TFieldType::ftGraphic:
    case TFieldType::ftBytes: return Variant(korvel::Bytes{BlobContent()});
    case TFieldType::ftUnknown: break;
  }
  return Variant();
}

// ---------------------------------------------------------------------------------
// TffCommsEngine

TffCommsEngine::TffCommsEngine(std::string engine_name) : engine_name_(std::move(engine_name)) {}

TffCommsEngine::~TffCommsEngine() {
  for (TffSession* session : sessions_) session->engine_ = nullptr;
}

void TffCommsEngine::Open() {
  if (active_) return;
  // Only the files of this machine can be served: there is no network client.
  if (protocol_ != TffProtocol::ptSingleUser || server_name_ != "SOLO")
    throw EffDatabaseError(kFfErrServerUnreachable, std::string(kFfMsgCannotConnect) + " Server: " + server_name_ +
                                                        " (this client reads local table files only)");
  active_ = true;
}

void TffCommsEngine::Close() {
  for (TffSession* session : sessions_) session->Close();
  active_ = false;
}

// ---------------------------------------------------------------------------------
// TffSession

TffSession::TffSession(std::string session_name) : session_name_(std::move(session_name)) {}

TffSession::~TffSession() {
  if (engine_ != nullptr) Unbind(engine_->sessions_, this);
  for (TffDatabase* database : databases_) {
    database->Close();
    database->session_ = nullptr;
  }
}

void TffSession::SetCommsEngine(TffCommsEngine* engine) {
  if (engine == engine_) return;
  Close();
  if (engine_ != nullptr) Unbind(engine_->sessions_, this);
  engine_ = engine;
  if (engine_ != nullptr) engine_->sessions_.push_back(this);
}

void TffSession::Open() {
  if (active_) return;
  if (engine_ == nullptr) throw EffDatabaseError("Session '" + session_name_ + "' has no communications engine");
  engine_->Open();
  active_ = true;
}

void TffSession::Close() {
  for (TffDatabase* database : databases_) database->Close();
  active_ = false;
}

bool TffSession::TakeInjectedOpenFailure() {
  if (injected_open_failures_ <= 0) return false;
  --injected_open_failures_;
  return true;
}

void TffSession::SetAliasFile(const std::string& path) {
  alias_file_ = path;
  aliases_loaded_ = false;
  aliases_.clear();
}

const std::string& TffSession::AliasFile() const {
  if (alias_file_.empty()) {
    const char* env = std::getenv("KORVEL_ALIAS_FILE");
    alias_file_ = env != nullptr && *env != '\0' ? env : ExecutableFolder() + "korvel-aliases.ini";
  }
  return alias_file_;
}

void TffSession::LoadAliases() const {
  if (aliases_loaded_) return;
  aliases_loaded_ = true;
  namespace fs = std::filesystem;
  const fs::path file(AliasFile());
  std::ifstream in(file);
  if (!in) return;  // no alias file: every alias is unknown
  const fs::path base = file.parent_path();
  std::string line;
  while (std::getline(in, line)) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';' || text[0] == '[') continue;
    const size_t eq = text.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = Trim(text.substr(0, eq));
    std::string folder = Trim(text.substr(eq + 1));
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
      folder = folder.substr(1, folder.size() - 2);
    if (name.empty() || folder.empty()) continue;
    fs::path path(folder);
    if (path.is_relative()) path = base / path;
    aliases_.emplace_back(name, path.lexically_normal().string());
  }
}

void TffSession::AddAlias(const std::string& name, const std::string& folder) {
  LoadAliases();
  aliases_.insert(aliases_.begin(), {name, folder});
}

std::optional<std::string> TffSession::AliasFolder(const std::string& alias) const {
  LoadAliases();
  for (const auto& [name, folder] : aliases_) {
    if (SameText(name, alias)) return folder;
  }
  return std::nullopt;
}

std::vector<std::string> TffSession::AliasNames() const {
  LoadAliases();
  std::vector<std::string> names;
  for (const auto& entry : aliases_) names.push_back(entry.first);
  return names;
}

// ---------------------------------------------------------------------------------
// TffDatabase

TffDatabase::TffDatabase() = default;

TffDatabase::~TffDatabase() {
  if (session_ != nullptr) Unbind(session_->databases_, this);
  for (TffTable* table : tables_) {
    table->Close();
    table->database_ = nullptr;
  }
}

void TffDatabase::SetSession(TffSession* session) {
  if (session == session_) return;
  Close();
  if (session_ != nullptr) Unbind(session_->databases_, this);
  session_ = session;
  if (session_ != nullptr) session_->databases_.push_back(this);
}

void TffDatabase::Open() {
  if (active_) return;
  const std::string& alias = alias_name_.empty() ? database_name_ : alias_name_;
  if (session_ == nullptr) throw EffDatabaseError("Database '" + alias + "' has no session");
  session_->Open();
  const std::optional<std::string> folder = session_->AliasFolder(alias);
  if (!folder) throw EffDatabaseError("Alias '" + alias + "' not found (alias file " + session_->AliasFile() + ")");
  std::error_code ec;
  if (!std::filesystem::is_directory(*folder, ec))
    throw EffDatabaseError("Folder of alias '" + alias + "' not found: " + *folder);
  folder_ = *folder;
  active_ = true;
}

void TffDatabase::Close() {
  for (TffTable* table : tables_) table->Close();
  active_ = false;
}

// ---------------------------------------------------------------------------------
// TffTable

TffTable::TffTable() = default;

TffTable::~TffTable() {
  if (database_ != nullptr) Unbind(database_->tables_, this);
}

void TffTable::SetDatabase(TffDatabase* database) {
  if (database == database_) return;
  Close();
  if (database_ != nullptr) Unbind(database_->tables_, this);
  database_ = database;
  if (database_ != nullptr) database_->tables_.push_back(this);
}

void TffTable::SetTableName(const std::string& name) {
  Close();
  table_name_ = name;
}

void TffTable::Fail(const std::string& message) const { throw EffDatabaseError(message); }

std::string TffTable::FindTableFile() const {
  namespace fs = std::filesystem;
  if (database_ == nullptr || !database_->Active()) return {};
  const std::string wanted = table_name_ + ".FF2";
  const fs::path exact = fs::path(database_->Folder()) / wanted;
  std::error_code ec;
  if (fs::is_regular_file(exact, ec)) return exact.string();
  // Legacy files come as .FF2, .ff2 and in mixed case.
  for (fs::directory_iterator it(database_->Folder(), ec), end; !ec && it != end; it.increment(ec)) {
    if (SameText(it->path().filename().string(), wanted) && it->is_regular_file(ec)) return it->path().string();
  }
  return {};
}

void TffTable::Open() {
  if (Active()) return;
  if (database_ == nullptr) Fail("Table '" + table_name_ + "' has no database");
  if (table_name_.empty()) Fail("Table name is missing");
  database_->Open();
  TffSession* session = database_->Session();
  if (session != nullptr && session->TakeInjectedOpenFailure())
    throw EffDatabaseError(kFfErrServerUnreachable, std::string(kFfMsgCannotConnect) + " (simulated for a test)");
  const std::string path = FindTableFile();
  if (path.empty())
    Fail("Table '" + table_name_ + "' not found in database '" + database_->AliasName() + "' (" + database_->Folder() +
         ")");
  std::shared_ptr<const ff2::Ff2File> file = ff2::Ff2File::Open(path);
  const int index_number = file->FindIndex(index_name_);
  if (index_number < 0) Fail("Index '" + index_name_ + "' not found in table '" + table_name_ + "'");
  file_ = std::move(file);
  const std::vector<ff2::FieldDef>& defs = file_->fields();
  fields_.reserve(defs.size());
  for (size_t i = 0; i < defs.size(); ++i)
    fields_.push_back(std::make_unique<TField>(*this, defs[i], static_cast<int>(i)));
  try {
    ApplyIndex(index_number);
  } catch (...) {
    Close();
    throw;
  }
}

void TffTable::Close() {
  // An order never sorted was never read: nothing worth a sort to count.
  closed_count_ = file_ && !sort_pending_ ? static_cast<int64_t>(end_ - begin_) : 0;
  file_.reset();
  fields_.clear();
  sorted_.clear();
  sorted_.shrink_to_fit();
  order_ = nullptr;
  begin_ = end_ = position_ = 0;
  current_ = nullptr;
}

void TffTable::SetIndexName(const std::string& name) {
  if (!Active()) {
    index_name_ = name;
    return;
  }
  const int index_number = file_->FindIndex(name);
  if (index_number < 0) Fail("Index '" + name + "' not found in table '" + table_name_ + "'");
  ApplyIndex(index_number);
  index_name_ = name;
}

void TffTable::ApplyIndex(int index_number) {
  sorted_.clear();
  sorted_.shrink_to_fit();
  index_number_ = index_number;
  sorted_range_only_ = false;
  sort_pending_ = index_number != 0;
  order_ = index_number == 0 ? &file_->records() : nullptr;
  begin_ = 0;
  end_ = order_ != nullptr ? order_->size() : 0;
  SetPosition(begin_);
}

void TffTable::Sort(const std::vector<Variant>* start, const std::vector<Variant>* end) const {
  std::function<bool(const uint8_t*)> keep;
  if (start != nullptr) {
    const ff2::KeyComparer comparer(*file_, file_->indexes()[static_cast<size_t>(index_number_ - 1)]);
    keep = [comparer, start, end](const uint8_t* record) {
      return comparer.CompareToKey(record, *start) >= 0 && comparer.CompareToKey(record, *end) <= 0;
    };
  }
  sorted_ = file_->SortedRecords(index_number_, keep);
  sorted_range_only_ = start != nullptr;
  sort_pending_ = false;
  order_ = &sorted_;
  begin_ = 0;
  end_ = sorted_.size();
  SetPosition(begin_);
}

void TffTable::SetPosition(size_t position) const {
  position_ = position;
  current_ = nullptr;
  if (order_ == nullptr || position_ >= end_) return;
  const uint64_t ref = (*order_)[position_];
  if (order_ == &file_->records()) {
    // Physical order: through the mapping, its pages given back behind the cursor.
    file_->Touch(ref);
    current_ = file_->Record(ref);
    return;
  }
  // Index order jumps about the file: the record is copied, which maps nothing.
  record_copy_.resize(static_cast<size_t>(file_->header().record_length));
  file_->CopyRecord(ref, record_copy_.data());
  current_ = record_copy_.data();
}

void TffTable::MoveTo(int64_t recNo) {
  if (!Active()) return;
  SortIfPending();
  SetPosition(begin_ + static_cast<size_t>(recNo));
}

void TffTable::First() {
  if (!Active()) Fail("Cannot perform this operation on a closed dataset (table '" + table_name_ + "')");
  SortIfPending();
  SetPosition(begin_);
}

void TffTable::Next() {
  if (!Active()) Fail("Cannot perform this operation on a closed dataset (table '" + table_name_ + "')");
  SortIfPending();
  if (position_ < end_) SetPosition(position_ + 1);
}

int64_t TffTable::RecordCount() const {
  SortIfPending();
  return static_cast<int64_t>(end_ - begin_);
}

TField* TffTable::Fields(int index) const {
  if (index < 0 || index >= FieldCount())
    Fail("List index out of bounds (" + std::to_string(index) + ") in the fields of table '" + table_name_ + "'");
  return fields_[static_cast<size_t>(index)].get();
}

TField* TffTable::FindField(const std::string& name) const {
  for (const auto& field : fields_) {
    if (SameText(field->FieldName(), name)) return field.get();
  }
  return nullptr;
}

TField* TffTable::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) throw EFieldNotFound(name);
  return field;
}

void TffTable::SetRange(const std::vector<Variant>& start, const std::vector<Variant>& end) {
  if (!Active()) Fail("Cannot set a range on a closed table ('" + table_name_ + "')");
  if (index_number_ == 0)
    Fail("Table '" + table_name_ + "': a range needs an index with fields, not the sequential access index");
  if (sort_pending_ || sorted_range_only_) {
    // Only the records inside the range are sorted: the rest are never held.
    Sort(&start, &end);
    return;
  }
  const ff2::KeyComparer comparer(*file_, file_->indexes()[static_cast<size_t>(index_number_ - 1)]);
  const auto first = order_->begin();
  const auto last = order_->end();
  const auto low = std::partition_point(
      first, last, [&](uint64_t ref) { return comparer.CompareToKey(file_->Record(ref), start) < 0; });
  const auto high = std::partition_point(
      low, last, [&](uint64_t ref) { return comparer.CompareToKey(file_->Record(ref), end) <= 0; });
  begin_ = static_cast<size_t>(low - first);
  end_ = static_cast<size_t>(high - first);
  SetPosition(begin_);
}

void TffTable::CancelRange() {
  if (!Active()) return;
  if (sorted_range_only_) {
    ApplyIndex(index_number_);
    return;
  }
  begin_ = 0;
  end_ = order_ != nullptr ? order_->size() : 0;
  SetPosition(begin_);
}

}  // namespace korvel
