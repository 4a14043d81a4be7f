#include "global/fib/fib_query.h"

#include <firebird/Interface.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "global/fib/fib_blob.h"
#include "global/fib/fib_client.h"
#include "global/fib/fib_database.h"
#include "global/fib/fib_transaction.h"
#include "global/fib/sql_params.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"

namespace korvel::fib {
namespace {

constexpr unsigned kMaxVarchar = 32765;
constexpr unsigned kCharsetIso8859_1 = 21;
constexpr unsigned kDefaultTextCapacity = 64;

bool IsSelect(unsigned type) { return type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd; }

int64_t Pow10(int n) {
  int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// A scaled integer as text: 1235 with scale -2 is "12.35".
std::string ScaledToString(int64_t v, int scale) {
  if (scale >= 0) return std::to_string(v * Pow10(scale));
  std::string s = std::to_string(v < 0 ? -static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
  const size_t digits = static_cast<size_t>(-scale);
  if (s.size() <= digits) s.insert(0, digits - s.size() + 1, '0');
  s.insert(s.size() - digits, ".");
  return v < 0 ? "-" + s : s;
}

TDateTime FromIscDate(ISC_DATE d) { return TDateTime(static_cast<double>(d) - kIscDateOffset); }
TDateTime FromIscTime(ISC_TIME t) { return TDateTime(static_cast<double>(t) / (86400.0 * 10000.0)); }

ISC_TIMESTAMP ToIscTimestamp(TDateTime dt) {
  const DateParts p = DecodeDateTime(dt);
  ISC_TIMESTAMP ts;
  ts.timestamp_date = static_cast<ISC_DATE>(DaysFromCivil(p.year, p.month, p.day) + kIscDateOffset);
  ts.timestamp_time = static_cast<ISC_TIME>(((p.hour * 60 + p.minute) * 60 + p.second) * 10000 + p.millisecond * 10);
  return ts;
}

int64_t ReadInteger(const unsigned char* p, int type) {
  switch (type) {
    case SQL_SHORT: {
      ISC_SHORT v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    case SQL_LONG: {
      ISC_LONG v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    default: {
      ISC_INT64 v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------- TFIBColumn

const unsigned char* TFIBColumn::Data() const { return query_->out_buffer_.data() + offset_; }

bool TFIBColumn::IsNull() const {
  if (query_->eof_) return true;
  short flag;
  std::memcpy(&flag, query_->out_buffer_.data() + null_offset_, sizeof flag);
  return flag != 0;
}

std::string TFIBColumn::BlobContent() const {
  if (IsNull() || type_ != SQL_BLOB) return {};
  ISC_QUAD id;
  std::memcpy(&id, Data(), sizeof id);
  TpFIBTransaction* tr = query_->Transaction();
  return ReadBlob(query_->database_->RequireAttachment(), tr->RequireHandle(), id);
}

std::string TFIBColumn::AsString() const {
  if (IsNull()) return {};
  const unsigned char* p = Data();
  switch (type_) {
    case SQL_VARYING: {
      ISC_USHORT len;
      std::memcpy(&len, p, sizeof len);
      return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(p) + sizeof len, len));
    }
    case SQL_TEXT: return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(p), length_));
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: return ScaledToString(ReadInteger(p, type_), scale_);
    case SQL_FLOAT: {
      float v;
      std::memcpy(&v, p, sizeof v);
      char buf[32];
      return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
      double v;
      std::memcpy(&v, p, sizeof v);
      return FloatToStr(v);
    }
    case SQL_TYPE_DATE: return DateToStr(AsDateTime());
    case SQL_TYPE_TIME: return FormatDateTime("h:nn:ss", AsDateTime());
    case SQL_TIMESTAMP: return DateTimeToStr(AsDateTime());
    case SQL_BOOLEAN: return *p ? "True" : "False";
    case SQL_BLOB: return subtype_ == 1 ? Cp1252ToUtf8(BlobContent()) : BlobContent();
    default: return {};
  }
}

int64_t TFIBColumn::AsInteger() const {
  if (IsNull()) return 0;
  switch (type_) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      const int64_t v = ReadInteger(Data(), type_);
      if (scale_ >= 0) return v * Pow10(scale_);
      return std::llround(static_cast<double>(v) / static_cast<double>(Pow10(-scale_)));
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return std::llround(AsFloat());
    case SQL_TYPE_DATE:
    case SQL_TIMESTAMP: return static_cast<int64_t>(AsDateTime().value);
    case SQL_BOOLEAN: return *Data() ? 1 : 0;
    default: return std::strtoll(AsString().c_str(), nullptr, 10);
  }
}

double TFIBColumn::AsFloat() const {
  if (IsNull()) return 0.0;
  const unsigned char* p = Data();
  switch (type_) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: return static_cast<double>(ReadInteger(p, type_)) * std::pow(10.0, scale_);
    case SQL_FLOAT: {
      float v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
      double v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP: return AsDateTime().value;
    case SQL_BOOLEAN: return *p ? 1.0 : 0.0;
    default: return std::strtod(AsString().c_str(), nullptr);
  }
}

TDateTime TFIBColumn::AsDateTime() const {
  if (IsNull()) return TDateTime();
  const unsigned char* p = Data();
  switch (type_) {
    case SQL_TYPE_DATE: {
      ISC_DATE d;
      std::memcpy(&d, p, sizeof d);
      return FromIscDate(d);
    }
    case SQL_TYPE_TIME: {
      ISC_TIME t;
      std::memcpy(&t, p, sizeof t);
      return FromIscTime(t);
    }
    case SQL_TIMESTAMP: {
      ISC_TIMESTAMP ts;
      std::memcpy(&ts, p, sizeof ts);
      const double date = FromIscDate(ts.timestamp_date).value;
      const double time = FromIscTime(ts.timestamp_time).value;
      return TDateTime(date >= 0 ? date + time : date - time);
    }
    case SQL_VARYING:
    case SQL_TEXT: {
      TDateTime dt;
      return TryParseDateTime(Trim(AsString()), dt) ? dt : TDateTime();
    }
    default: return TDateTime(AsFloat());
  }
}

Variant TFIBColumn::AsVariant() const {
  if (IsNull()) return Variant();
  switch (type_) {
    case SQL_VARYING:
    case SQL_TEXT: return Variant(AsString());
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
      // Four decimals is money: kept as its scaled integer, exact at any size.
      if (scale_ == -4) return Variant(Currency{ReadInteger(Data(), type_)});
      return scale_ < 0 ? Variant(AsFloat()) : Variant(AsInteger());
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return Variant(AsFloat());
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP: return Variant(AsDateTime());
    case SQL_BOOLEAN: return Variant(*Data() != 0);
    case SQL_BLOB: return subtype_ == 1 ? Variant(AsString()) : Variant(Bytes{BlobContent()});
    default: return Variant(AsString());
  }
}

// ---------------------------------------------------------------- TpFIBQuery

TpFIBQuery::TpFIBQuery(TpFIBDatabase* database, TpFIBTransaction* transaction) : transaction_(transaction) {
  SetDatabase(database);
}

TpFIBQuery::~TpFIBQuery() {
  Unprepare();
  if (database_) database_->Unregister(this);
  owned_transaction_.reset();
}

void TpFIBQuery::SetDatabase(TpFIBDatabase* database) {
  if (database_ == database) return;
  Unprepare();
  if (database_) database_->Unregister(this);
  database_ = database;
  if (database_) database_->Register(this);
}

TpFIBTransaction* TpFIBQuery::Transaction() const {
  if (transaction_) return transaction_;
  if (database_ && database_->DefaultTransaction) return database_->DefaultTransaction;
  throw EDatabaseError("Statement has no transaction");
}

void TpFIBQuery::AdoptTransaction(std::unique_ptr<TpFIBTransaction> transaction) {
  transaction_ = transaction.get();
  owned_transaction_ = std::move(transaction);
}

std::string TpFIBQuery::SQLText() const {
  std::string text;
  for (size_t i = 0; i < sql_.size(); ++i) {
    if (i) text += '\n';
    text += sql_[i];
  }
  return text;
}

void TpFIBQuery::SQLClear() {
  Unprepare();
  sql_.clear();
  params_.clear();
  slot_params_.clear();
}

void TpFIBQuery::SQLAdd(const std::string& line) {
  Unprepare();
  sql_.push_back(line);
  // Parameters are known from the text alone, so they can be assigned before the
  // statement is prepared.
  const ParsedSql parsed = ParseParams(SQLText(), named_params_);
  std::vector<TFIBParam> params(parsed.names.size());
  for (size_t i = 0; i < params.size(); ++i) params[i].name_ = parsed.names[i];
  params_ = std::move(params);
  slot_params_ = parsed.slots;
}

void TpFIBQuery::SetSQLText(const std::string& text) {
  SQLClear();
  SQLAdd(text);
}

bool TpFIBQuery::Prepared() const {
  return statement_ != nullptr && database_ && prepared_generation_ == database_->Generation();
}

void TpFIBQuery::ReleaseMetadata() {
  for (Firebird::IMessageMetadata** m : {&server_in_, &in_meta_, &out_meta_}) {
    if (*m) (*m)->release();
    *m = nullptr;
  }
}

void TpFIBQuery::Unprepare() {
  Close();
  if (statement_) {
    try {
      Status st;
      statement_->free(&st);
    } catch (const Firebird::FbException&) {
      statement_->release();  // the connection is gone: only the client object remains
    }
    statement_ = nullptr;
  }
  ReleaseMetadata();
  columns_.clear();
  slots_.clear();
}

void TpFIBQuery::Prepare() {
  if (Prepared()) return;
  Unprepare();
  if (!database_) throw EDatabaseError("Statement has no database");
  Firebird::IAttachment* att = database_->RequireAttachment();
  const ParsedSql parsed = ParseParams(SQLText(), named_params_);
  TpFIBTransaction* tr = Transaction();
  // Preparing needs a transaction; an inactive one is started for that moment only.
  const bool started = !tr->Active();
  if (started) tr->StartTransaction();
  try {
    Call([&] {
      Status st;
      // The program's texts are UTF-8; the connection reads statement text as Latin-1.
      const std::string text = Utf8ToCp1252(parsed.sql);
      statement_ = att->prepare(&st, tr->RequireHandle(), 0, text.c_str(), SQL_DIALECT_V6,
                                Firebird::IStatement::PREPARE_PREFETCH_METADATA);
      statement_type_ = statement_->getType(&st);
      server_in_ = statement_->getInputMetadata(&st);
      out_meta_ = statement_->getOutputMetadata(&st);
      const unsigned n_in = server_in_->getCount(&st);
      slots_.assign(n_in, Slot{});
      for (unsigned i = 0; i < n_in; ++i) {
        Slot& s = slots_[i];
        s.server_type = static_cast<int>(server_in_->getType(&st, i));
        s.server_subtype = server_in_->getSubType(&st, i);
        s.server_length = server_in_->getLength(&st, i);
        s.server_scale = server_in_->getScale(&st, i);
        s.server_charset = server_in_->getCharSet(&st, i);
        switch (s.server_type) {
          case SQL_VARYING:
          case SQL_TEXT:
            s.kind = Kind::Text;
            s.capacity = std::max(1u, server_in_->getLength(&st, i));
            break;
          case SQL_SHORT:
          case SQL_LONG:
          case SQL_INT64: s.kind = server_in_->getScale(&st, i) < 0 ? Kind::Double : Kind::Int64; break;
          case SQL_FLOAT:
          case SQL_DOUBLE:
          case SQL_D_FLOAT: s.kind = Kind::Double; break;
          case SQL_TYPE_DATE:
          case SQL_TYPE_TIME:
          case SQL_TIMESTAMP: s.kind = Kind::Timestamp; break;
          case SQL_BOOLEAN: s.kind = Kind::Boolean; break;
          case SQL_BLOB: s.kind = Kind::Blob; break;
          default: s.kind = Kind::Text; s.capacity = kDefaultTextCapacity;
        }
      }
      const unsigned n_out = out_meta_->getCount(&st);
      columns_.assign(n_out, TFIBColumn{});
      for (unsigned i = 0; i < n_out; ++i) {
        TFIBColumn& c = columns_[i];
        c.query_ = this;
        const char* alias = out_meta_->getAlias(&st, i);
        c.name_ = Cp1252ToUtf8((alias && *alias) ? alias : out_meta_->getField(&st, i));
        c.type_ = static_cast<int>(out_meta_->getType(&st, i));
        c.subtype_ = out_meta_->getSubType(&st, i);
        c.scale_ = out_meta_->getScale(&st, i);
        c.length_ = out_meta_->getLength(&st, i);
        c.offset_ = out_meta_->getOffset(&st, i);
        c.null_offset_ = out_meta_->getNullOffset(&st, i);
      }
      out_buffer_.assign(out_meta_->getMessageLength(&st), 0);
    });
    if (slots_.size() != parsed.slots.size()) throw ERoutineFault("Parameter count mismatch in: " + SQLText());
    BuildInputMessage();
  } catch (...) {
    if (started && tr->Active()) tr->Rollback();
    Unprepare();
    throw;
  }
  if (started) tr->Commit();
  prepared_generation_ = database_->Generation();
}

void TpFIBQuery::CheckPrepared() {
  if (!Prepared()) Prepare();
}

void TpFIBQuery::BuildInputMessage() {
  Call([&] {
    Status st;
    if (in_meta_) {
      in_meta_->release();
      in_meta_ = nullptr;
    }
    // The builder starts from the server's description: a field whose type changes
    // needs its length set too (an INTEGER sent as BIGINT would keep 4 bytes).
    Firebird::IMetadataBuilder* b = server_in_->getBuilder(&st);
    try {
      for (unsigned i = 0; i < slots_.size(); ++i) {
        const Slot& s = slots_[i];
        switch (s.kind) {
          case Kind::Text:
            b->setType(&st, i, SQL_VARYING + 1);
            b->setLength(&st, i, s.capacity);
            b->setCharSet(&st, i, kCharsetIso8859_1);
            b->setSubType(&st, i, 0);
            b->setScale(&st, i, 0);
            break;
          case Kind::Int64:
            b->setType(&st, i, SQL_INT64 + 1);
            b->setLength(&st, i, sizeof(ISC_INT64));
            b->setSubType(&st, i, 0);
            b->setScale(&st, i, 0);
            break;
          case Kind::Currency:
            b->setType(&st, i, SQL_INT64 + 1);
            b->setLength(&st, i, sizeof(ISC_INT64));
            b->setSubType(&st, i, 0);
            b->setScale(&st, i, -4);
            break;
          case Kind::Double:
            b->setType(&st, i, SQL_DOUBLE + 1);
            b->setLength(&st, i, sizeof(double));
            b->setSubType(&st, i, 0);
            b->setScale(&st, i, 0);
            break;
          case Kind::Timestamp:
            b->setType(&st, i, SQL_TIMESTAMP + 1);
            b->setLength(&st, i, sizeof(ISC_TIMESTAMP));
            b->setSubType(&st, i, 0);
            b->setScale(&st, i, 0);
            break;
          case Kind::Boolean:
            b->setType(&st, i, SQL_BOOLEAN + 1);
            b->setLength(&st, i, sizeof(FB_BOOLEAN));
            b->setSubType(&st, i, 0);
            b->setScale(&st, i, 0);
            break;
          case Kind::Blob:
            b->setType(&st, i, SQL_BLOB + 1);
            b->setLength(&st, i, sizeof(ISC_QUAD));
            b->setSubType(&st, i, s.server_type == SQL_BLOB ? s.server_subtype : 0);
            b->setCharSet(&st, i, kCharsetIso8859_1);
            b->setScale(&st, i, 0);
            break;
        }
      }
      in_meta_ = b->getMetadata(&st);
    } catch (...) {
      b->release();
      throw;
    }
    b->release();
    for (unsigned i = 0; i < slots_.size(); ++i) {
      slots_[i].offset = in_meta_->getOffset(&st, i);
      slots_[i].null_offset = in_meta_->getNullOffset(&st, i);
    }
    in_buffer_.assign(in_meta_->getMessageLength(&st), 0);
  });
}

TpFIBQuery::Kind TpFIBQuery::KindFor(const Slot& slot, const Variant& v) const {
  switch (v.type()) {
    case Variant::Type::String:
      return slot.server_type == SQL_BLOB && v.string_if()->size() > kMaxVarchar ? Kind::Blob : Kind::Text;
    case Variant::Type::Integer: return Kind::Int64;
    case Variant::Type::Float: return Kind::Double;
    case Variant::Type::Currency: return Kind::Currency;
    case Variant::Type::DateTime: return Kind::Timestamp;
    case Variant::Type::Boolean: return slot.server_type == SQL_BOOLEAN ? Kind::Boolean : Kind::Int64;
    case Variant::Type::Bytes: return Kind::Blob;
    case Variant::Type::Null: return slot.kind;
  }
  return slot.kind;
}

void TpFIBQuery::BindParams() {
  Firebird::ITransaction* tr = Transaction()->RequireHandle();
  for (int attempt = 0;; ++attempt) {
    bool reshape = false;
    unsigned char* buf = in_buffer_.data();
    for (size_t i = 0; i < slots_.size(); ++i) {
      Slot& s = slots_[i];
      const Variant& v = params_[static_cast<size_t>(slot_params_[i])].Value();
      const short null_flag = v.IsNull() ? -1 : 0;
      std::memcpy(buf + s.null_offset, &null_flag, sizeof null_flag);
      if (v.IsNull()) continue;
      const Kind kind = KindFor(s, v);
      if (kind != s.kind) {
        s.kind = kind;
        if (kind == Kind::Text) s.capacity = std::max(s.capacity, kDefaultTextCapacity);
        reshape = true;
      }
      if (s.kind == Kind::Text) {
        // Every text is measured, even once a rebuild is due, so that one rebuild
        // fits them all.
        if (const std::string* text = v.string_if()) {
          Utf8ToCp1252Into(*text, scratch_);
        } else {
          Utf8ToCp1252Into(v.AsString(), scratch_);
        }
        if (scratch_.size() > s.capacity) {
          if (scratch_.size() > kMaxVarchar) {
            throw EDatabaseError("Text of " + std::to_string(scratch_.size()) +
                                 " characters is too long for parameter " + std::to_string(i + 1));
          }
          s.capacity = std::min<unsigned>(kMaxVarchar,
                                          std::max<unsigned>(static_cast<unsigned>(scratch_.size()), s.capacity * 2));
          reshape = true;
        }
      }
      if (reshape) continue;  // only the shapes matter until the message is rebuilt
      unsigned char* p = buf + s.offset;
      switch (s.kind) {
        case Kind::Text: {
          const auto len = static_cast<ISC_USHORT>(scratch_.size());
          std::memcpy(p, &len, sizeof len);
          std::memcpy(p + sizeof len, scratch_.data(), len);
          break;
        }
        case Kind::Int64: {
          const ISC_INT64 x = v.AsInteger();
          std::memcpy(p, &x, sizeof x);
          break;
        }
        case Kind::Currency: {
          // Money goes as its scaled integer, never through a double.
          const ISC_INT64 x = v.currency_if() ? v.currency_if()->scaled : std::llround(v.AsFloat() * 10000.0);
          std::memcpy(p, &x, sizeof x);
          break;
        }
        case Kind::Double: {
          const double x = v.AsFloat();
          std::memcpy(p, &x, sizeof x);
          break;
        }
        case Kind::Timestamp: {
          const ISC_TIMESTAMP ts = ToIscTimestamp(v.AsDateTime());
          std::memcpy(p, &ts, sizeof ts);
          break;
        }
        case Kind::Boolean: {
          const FB_BOOLEAN x = v.AsBoolean() ? FB_TRUE : FB_FALSE;
          std::memcpy(p, &x, sizeof x);
          break;
        }
        case Kind::Blob: {
          const ISC_QUAD id = v.bytes_if() ? WriteBlob(database_->RequireAttachment(), tr, v.bytes_if()->data)
                                           : WriteBlob(database_->RequireAttachment(), tr, Utf8ToCp1252(v.AsString()));
          std::memcpy(p, &id, sizeof id);
          break;
        }
      }
    }
    if (!reshape) return;
    if (attempt > 1) throw EDatabaseError("Cannot describe the parameters of: " + SQLText());
    BuildInputMessage();
  }
}

void TpFIBQuery::ExecQuery() { Execute(false); }

void TpFIBQuery::ExecSingleton() { Execute(true); }

void TpFIBQuery::Execute(bool singleton) {
  CheckPrepared();
  Close();
  BindParams();
  Firebird::ITransaction* tr = Transaction()->RequireHandle();
  Call([&] {
    Status st;
    if (!singleton && IsSelect(statement_type_)) {
      cursor_ = statement_->openCursor(&st, tr, in_meta_, in_buffer_.data(), out_meta_, 0);
      fetched_ = 0;
      eof_ = false;
      rows_affected_ = 0;
    } else if (singleton || !columns_.empty()) {  // one row: EXECUTE PROCEDURE, RETURNING, a singleton
      statement_->execute(&st, tr, in_meta_, in_buffer_.data(), out_meta_, out_buffer_.data());
      has_singleton_row_ = true;
      eof_ = false;
      fetched_ = 1;
      rows_affected_ = singleton ? 0 : static_cast<int64_t>(statement_->getAffectedRecords(&st));
    } else {
      statement_->execute(&st, tr, in_meta_, in_buffer_.data(), nullptr, nullptr);
      eof_ = true;
      fetched_ = 0;
      rows_affected_ = static_cast<int64_t>(statement_->getAffectedRecords(&st));
    }
  });
  if (cursor_) Fetch();
}

void TpFIBQuery::ExecWithParams(const std::vector<Variant>& values) {
  for (size_t i = 0; i < values.size() && i < params_.size(); ++i) params_[i].SetValue(values[i]);
  ExecQuery();
}

void TpFIBQuery::Fetch() {
  Call([&] {
    Status st;
    if (cursor_->fetchNext(&st, out_buffer_.data()) == Firebird::IStatus::RESULT_OK) {
      ++fetched_;
      eof_ = false;
    } else {
      eof_ = true;
    }
  });
}

void TpFIBQuery::Next() {
  if (eof_) return;
  if (cursor_) {
    Fetch();
  } else {
    eof_ = true;
  }
}

void TpFIBQuery::Close() {
  if (cursor_) {
    try {
      Status st;
      cursor_->close(&st);
    } catch (const Firebird::FbException&) {
      cursor_->release();  // its transaction already ended
    }
    cursor_ = nullptr;
  }
  has_singleton_row_ = false;
  eof_ = true;
}

int TpFIBQuery::ParamCount() { return static_cast<int>(params_.size()); }

TFIBParam& TpFIBQuery::Params(int index) {
  if (index < 0 || index >= ParamCount()) {
    throw ERoutineFault("Parameter index " + std::to_string(index) + " out of range in: " + SQLText());
  }
  return params_[static_cast<size_t>(index)];
}

TFIBParam& TpFIBQuery::ParamByName(const std::string& name) {
  for (TFIBParam& p : params_) {
    if (SameText(p.name_, name)) return p;
  }
  throw ERoutineFault("Parameter \"" + name + "\" not found in: " + SQLText());
}

void TpFIBQuery::ClearParams() {
  for (TFIBParam& p : params_) p.Clear();
}

int TpFIBQuery::FieldCount() {
  CheckPrepared();
  return static_cast<int>(columns_.size());
}

const TFIBColumn& TpFIBQuery::Fields(int index) {
  if (index < 0 || index >= FieldCount())
    throw ERoutineFault("Column index " + std::to_string(index) + " out of range");
  return columns_[static_cast<size_t>(index)];
}

const TFIBColumn* TpFIBQuery::FindField(const std::string& name) {
  CheckPrepared();
  for (const TFIBColumn& c : columns_) {
    if (SameText(c.name_, name)) return &c;
  }
  return nullptr;
}

const TFIBColumn& TpFIBQuery::FieldByName(const std::string& name) {
  if (const TFIBColumn* c = FindField(name)) return *c;
  throw ERoutineFault("Field \"" + name + "\" not found");
}

std::string TpFIBQuery::ParamTypeDeclaration(int index) {
  CheckPrepared();
  if (index < 0 || static_cast<size_t>(index) >= slots_.size()) return "";
  const Slot& s = slots_[static_cast<size_t>(index)];
  // Bytes per character of the character sets a column may use here.
  auto charset = [&](unsigned* bytes) -> const char* {
    switch (s.server_charset & 0xFF) {
      case 0: *bytes = 1; return "NONE";
      case 1: *bytes = 1; return "OCTETS";
      case 2: *bytes = 1; return "ASCII";
      case 3: *bytes = 3; return "UNICODE_FSS";
      case 4: *bytes = 4; return "UTF8";
      case 21: *bytes = 1; return "ISO8859_1";
      case 53: *bytes = 1; return "WIN1252";
      default: return nullptr;
    }
  };
  const auto numeric = [&](const char* plain, int precision) {
    return s.server_scale < 0 ? "NUMERIC(" + std::to_string(precision) + "," + std::to_string(-s.server_scale) + ")"
                              : std::string(plain);
  };
  switch (s.server_type) {
    case SQL_VARYING:
    case SQL_TEXT: {
      unsigned bytes = 1;
      const char* set = charset(&bytes);
      if (!set) return "";
      return std::string(s.server_type == SQL_TEXT ? "CHAR(" : "VARCHAR(") +
             std::to_string(std::max(1u, s.server_length / bytes)) + ") CHARACTER SET " + set;
    }
    case SQL_SHORT: return numeric("SMALLINT", 4);
    case SQL_LONG: return numeric("INTEGER", 9);
    case SQL_INT64: return numeric("BIGINT", 18);
    case SQL_FLOAT: return "FLOAT";
    case SQL_DOUBLE: return "DOUBLE PRECISION";
    case SQL_TYPE_DATE: return "DATE";
    case SQL_TYPE_TIME: return "TIME";
    case SQL_TIMESTAMP: return "TIMESTAMP";
    case SQL_BOOLEAN: return "BOOLEAN";
    case SQL_BLOB: {
      if (s.server_subtype != 1) return "BLOB SUB_TYPE " + std::to_string(s.server_subtype);
      unsigned bytes = 1;
      const char* set = charset(&bytes);
      return set ? std::string("BLOB SUB_TYPE 1 CHARACTER SET ") + set : std::string();
    }
    default: return "";
  }
}

int TpFIBQuery::ParamSlot(int slot) {
  CheckPrepared();
  return slot >= 0 && static_cast<size_t>(slot) < slot_params_.size() ? slot_params_[static_cast<size_t>(slot)] : -1;
}

int TpFIBQuery::SlotCount() {
  CheckPrepared();
  return static_cast<int>(slots_.size());
}

}  // namespace korvel::fib
