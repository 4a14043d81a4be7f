// A statement on a target database: SQL text as lines, named (":name") or positional
// ("?") parameters bound from variants, and a result walked row by row. The
// statement is prepared once and reused; binding and fetching allocate nothing once
// the value shapes have settled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "global/date_time.h"
#include "global/variant.h"

namespace Firebird {
class IStatement;
class IResultSet;
class IMessageMetadata;
}  // namespace Firebird

namespace korvel::fib {

class TpFIBDatabase;
class TpFIBTransaction;
class TpFIBQuery;

// One parameter: a value that keeps its storage when cleared to NULL.
class TFIBParam : public TParamValue {
 public:
  const std::string& Name() const { return name_; }

 private:
  friend class TpFIBQuery;
  std::string name_;
};

// One column of the current row.
class TFIBColumn {
 public:
  const std::string& Name() const { return name_; }
  // Column type code without the nullable bit (SQL_VARYING = 448, SQL_LONG = 496...).
  int SQLType() const { return type_; }
  // Blob sub-type (1 text, 0 binary) or the numeric sub-type of integer columns.
  int SQLSubtype() const { return subtype_; }
  int Scale() const { return scale_; }
  bool IsNull() const;
  // Texts come back as UTF-8, blank padding of CHAR columns kept. Numbers use "."
  // as decimal point; dates "yyyy-mm-dd" (with " h:nn" when there is a time).
  std::string AsString() const;
  int64_t AsInteger() const;
  double AsFloat() const;
  TDateTime AsDateTime() const;
  Variant AsVariant() const;
  // Raw bytes of a blob column (text blobs in the connection's 8-bit set).
  std::string BlobContent() const;

 private:
  friend class TpFIBQuery;
  const unsigned char* Data() const;
  TpFIBQuery* query_ = nullptr;
  std::string name_;
  int type_ = 0, subtype_ = 0, scale_ = 0;
  unsigned length_ = 0, offset_ = 0, null_offset_ = 0;
};

class TpFIBQuery {
 public:
  explicit TpFIBQuery(TpFIBDatabase* database = nullptr, TpFIBTransaction* transaction = nullptr);
  virtual ~TpFIBQuery();
  TpFIBQuery(const TpFIBQuery&) = delete;
  TpFIBQuery& operator=(const TpFIBQuery&) = delete;

  TpFIBDatabase* Database() const { return database_; }
  void SetDatabase(TpFIBDatabase* database);
  // The transaction given, or the database's default one.
  TpFIBTransaction* Transaction() const;
  void SetTransaction(TpFIBTransaction* transaction) { transaction_ = transaction; }
  // Makes the query own `transaction` (freed with the query) and use it.
  void AdoptTransaction(std::unique_ptr<TpFIBTransaction> transaction);

  // SQL text. Changing it closes and unprepares the statement.
  const std::vector<std::string>& SQL() const { return sql_; }
  std::string SQLText() const;
  void SQLClear();
  void SQLAdd(const std::string& line);
  void SetSQLText(const std::string& text);

  void Prepare();
  bool Prepared() const;
  void Unprepare();

  // Executes with the current parameter values. A select opens its cursor and
  // fetches the first row.
  void ExecQuery();
  // Assigns the values to the parameters in order (first value, first parameter),
  // then executes.
  void ExecWithParams(const std::vector<Variant>& values);
  // Executes a select that yields exactly one row and gets that row in the same
  // round trip as the execution (a cursor costs a fetch more); the server raises when
  // it yields more than one.
  void ExecSingleton();
  // Closes the result; the statement stays prepared.
  void Close();
  bool Open() const { return cursor_ != nullptr || has_singleton_row_; }

  // Parameters (distinct names; a repeated name is one parameter). Prepares first.
  int ParamCount();
  TFIBParam& Params(int index);
  // Raises when the name is unknown.
  TFIBParam& ParamByName(const std::string& name);
  void ClearParams();
  // Only "?" markers are parameters (":name" is left to the server: EXECUTE BLOCK
  // variables). Takes effect at the next Prepare.
  void SetNamedParams(bool named) { named_params_ = named; }
  // The server's type of marker `slot`, as a declaration ("VARCHAR(60) CHARACTER SET
  // ISO8859_1", "NUMERIC(18,4)"...); "" for a type it cannot spell. Prepares first.
  std::string ParamTypeDeclaration(int slot);
  // Markers of the statement, and the parameter each takes.
  int SlotCount();
  int ParamSlot(int slot);

  // Result.
  int FieldCount();
  const TFIBColumn& Fields(int index);
  const TFIBColumn* FindField(const std::string& name);
  const TFIBColumn& FieldByName(const std::string& name);
  bool Eof() const { return eof_; }
  void Next();
  // Rows fetched since the statement was executed.
  int RecordCount() const { return fetched_; }
  // Rows changed by the last insert, update or delete.
  int64_t RowsAffected() const { return rows_affected_; }

 private:
  friend class TpFIBDatabase;
  friend class TFIBColumn;
  enum class Kind : unsigned char { Text, Int64, Double, Currency, Timestamp, Boolean, Blob };
  struct Slot {
    Kind kind = Kind::Text;
    unsigned capacity = 0;  // bytes, for Text
    int server_type = 0;
    int server_subtype = 0;
    unsigned server_length = 0;
    int server_scale = 0;
    unsigned server_charset = 0;
    unsigned offset = 0, null_offset = 0;
  };

  void CheckPrepared();
  // ExecQuery, or a select's one row returned with the execution (`singleton`).
  void Execute(bool singleton);
  void BuildInputMessage();
  void BindParams();
  Kind KindFor(const Slot& slot, const Variant& v) const;
  void Fetch();
  void ReleaseMetadata();

  TpFIBDatabase* database_ = nullptr;
  TpFIBTransaction* transaction_ = nullptr;
  std::unique_ptr<TpFIBTransaction> owned_transaction_;
  std::vector<std::string> sql_;

  Firebird::IStatement* statement_ = nullptr;
  unsigned prepared_generation_ = 0;
  unsigned statement_type_ = 0;
  Firebird::IMessageMetadata* server_in_ = nullptr;
  Firebird::IMessageMetadata* in_meta_ = nullptr;
  Firebird::IMessageMetadata* out_meta_ = nullptr;
  std::vector<unsigned char> in_buffer_;
  std::vector<unsigned char> out_buffer_;
  std::vector<Slot> slots_;
  std::vector<int> slot_params_;
  bool named_params_ = true;
  std::vector<TFIBParam> params_;
  std::vector<TFIBColumn> columns_;
  std::string scratch_;

  Firebird::IResultSet* cursor_ = nullptr;
  bool has_singleton_row_ = false;
  bool eof_ = true;
  int fetched_ = 0;
  int64_t rows_affected_ = 0;
};

// A statement whose result is meant to be walked, with its query text replaceable.
class TpFIBDataSet : public TpFIBQuery {
 public:
  using TpFIBQuery::TpFIBQuery;
  void SetSelectSQL(const std::string& text) { SetSQLText(text); }
  void OpenDataSet() { ExecQuery(); }
  bool Active() const { return Open(); }
};

}  // namespace korvel::fib
