// The source client's components, named after the FlashFiler client components the
// rest of the program is written against: a communications engine (server name and
// transport), a session on it (with the alias table), databases by alias, and tables
// with their fields.
//
// Only the single-user transport with the server name "SOLO" is served: it reads the
// .FF2 files of the alias folders on this machine, read-only. Any other server is
// reported as unreachable (EffDatabaseError, code 11278).
//
// Components refer to each other by pointer; a component must outlive those bound to
// it, or be destroyed after they are unbound (destruction unbinds automatically).
// Closing a component closes what depends on it (engine -> sessions -> databases ->
// tables). Single-threaded, like the window that owns them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "global/date_time.h"
#include "global/variant.h"
#include "source/flashfiler/ff2_file.h"
#include "source/flashfiler/ff_error.h"

namespace korvel {

enum class TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftLargeint,
  ftBytes,
  ftFixedChar,
  ftWideString,
};

// The component type that shows a stored field type (Char and the 8-bit strings are
// ftString; Byte/Int8/Int16 ftSmallint; Word32 ftInteger; Single/Double/Extended/Comp
// ftFloat; OLE, typed-binary and file BLOBs ftBlob; ByteArray ftBytes).
TFieldType FieldTypeOf(ff2::Ff2Type type);
const char* FieldTypeName(TFieldType type);

class TffTable;

// One field of an open table; its values are those of the table's current record.
// Fixed-size getters read the mapped record directly and never allocate.
class TField {
 public:
  TField(const TffTable& table, const ff2::FieldDef& def, int index);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  // UTF-8 name.
  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return data_type_; }
  ff2::Ff2Type StoredType() const { return type_; }
  int Index() const { return index_; }
  // Declared size: characters for texts, bytes for ByteArray, 0 otherwise.
  int Size() const { return size_; }
  bool Required() const { return required_; }

  // True when the field has no value, or when there is no current record.
  bool IsNull() const;
  // Text with fixed formats: integers in decimal, floats and currency via FloatToStr,
  // "True"/"False", dates "yyyy-mm-dd", date-times via DateTimeToStr, times "h:nn:ss",
  // texts and memos converted to UTF-8, other BLOBs and bytes as their raw bytes.
  // NULL gives "".
  std::string AsString() const;
  // The same text into `out` (its capacity is reused: no allocation once warm).
  void GetAsString(std::string& out) const;
  // Numbers: integers exact, floats rounded; texts parsed (EffDatabaseError when they
  // are not numbers); Booleans 0/1; date-times their day count. NULL gives 0.
  // Date getters (and AsString, AsVariant of date fields) raise EffDatabaseError for
  // damaged values outside 0001-01-01 .. 9999-12-31.
  int64_t AsInteger() const;
  double AsFloat() const;
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;
  // The value typed by the field: Null, String (texts, memos), Integer, Float,
  // Currency, DateTime, Boolean or Bytes (binary BLOBs, ByteArray).
  Variant AsVariant() const;
  // Raw bytes of a BLOB, memo or graphic field (memos stay in Windows-1252); "" when
  // NULL. For other fields, their stored bytes.
  std::string BlobContent() const;
  // The stored BLOB number; 0 when NULL or not a BLOB field.
  uint64_t BlobNumber() const;

 private:
  const uint8_t* Bytes() const;  // the field's bytes in the current record, or nullptr
  std::string_view RawText(const uint8_t* p) const;
  // Date types decoded; raises for values no calendar can show.
  TDateTime CheckedDateTime(const uint8_t* p) const;

  const TffTable& table_;
  std::string name_;
  ff2::Ff2Type type_;
  TFieldType data_type_;
  int index_;
  uint32_t offset_;
  uint32_t length_;
  uint32_t null_byte_;
  uint8_t null_mask_;
  int size_;
  bool required_;
};

enum class TffProtocol { ptSingleUser, ptTCPIP };

class TffSession;

class TffCommsEngine {
 public:
  explicit TffCommsEngine(std::string engine_name = "");
  ~TffCommsEngine();
  TffCommsEngine(const TffCommsEngine&) = delete;
  TffCommsEngine& operator=(const TffCommsEngine&) = delete;

  const std::string& EngineName() const { return engine_name_; }
  const std::string& ServerName() const { return server_name_; }
  void SetServerName(const std::string& name) { server_name_ = name; }
  TffProtocol Protocol() const { return protocol_; }
  void SetProtocol(TffProtocol protocol) { protocol_ = protocol; }

  bool Active() const { return active_; }
  void SetActive(bool active) { active ? Open() : Close(); }
  // Raises EffDatabaseError 11278 for any server but "SOLO" over the single-user transport.
  void Open();
  // Closes the sessions on this engine first.
  void Close();

 private:
  friend class TffSession;
  std::string engine_name_;
  std::string server_name_ = "SOLO";
  TffProtocol protocol_ = TffProtocol::ptSingleUser;
  bool active_ = false;
  std::vector<TffSession*> sessions_;
};

class TffDatabase;

class TffSession {
 public:
  explicit TffSession(std::string session_name = "");
  ~TffSession();
  TffSession(const TffSession&) = delete;
  TffSession& operator=(const TffSession&) = delete;

  const std::string& SessionName() const { return session_name_; }
  void SetSessionName(const std::string& name) { session_name_ = name; }
  TffCommsEngine* CommsEngine() const { return engine_; }
  void SetCommsEngine(TffCommsEngine* engine);

  bool Active() const { return active_; }
  void SetActive(bool active) { active ? Open() : Close(); }
  // Opens the engine first when it is not active.
  void Open();
  // Closes the databases on this session first.
  void Close();

  // The alias table: by default the file named by the environment variable
  // KORVEL_ALIAS_FILE, else "korvel-aliases.ini" next to the executable (read when an
  // alias is first looked up). Lines "alias=folder"; relative folders are relative
  // to the alias file; names ignore letter case.
  void SetAliasFile(const std::string& path);
  const std::string& AliasFile() const;
  void AddAlias(const std::string& name, const std::string& folder);
  // Folder of an alias, if it exists.
  std::optional<std::string> AliasFolder(const std::string& alias) const;
  std::vector<std::string> AliasNames() const;

  // TEST ONLY: the next `count` table opens on this session fail as if the network
  // server had been lost (EffDatabaseError 11278, the unreachable-server message).
  void InjectOpenFailures(int count) { injected_open_failures_ = count; }
  // Used by TffTable::Open; consumes one injected failure.
  bool TakeInjectedOpenFailure();

 private:
  friend class TffCommsEngine;
  friend class TffDatabase;
  void LoadAliases() const;

  std::string session_name_;
  TffCommsEngine* engine_ = nullptr;
  bool active_ = false;
  std::vector<TffDatabase*> databases_;
  mutable std::string alias_file_;
  mutable bool aliases_loaded_ = false;
  mutable std::vector<std::pair<std::string, std::string>> aliases_;
  int injected_open_failures_ = 0;
};

class TffDatabase {
 public:
  TffDatabase();
  ~TffDatabase();
  TffDatabase(const TffDatabase&) = delete;
  TffDatabase& operator=(const TffDatabase&) = delete;

  TffSession* Session() const { return session_; }
  void SetSession(TffSession* session);
  const std::string& AliasName() const { return alias_name_; }
  void SetAliasName(const std::string& alias) { alias_name_ = alias; }
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(const std::string& name) { database_name_ = name; }

  bool Active() const { return active_; }
  void SetActive(bool active) { active ? Open() : Close(); }
  // Opens the session when needed and resolves the alias (case-insensitive) to its
  // folder. Raises EffDatabaseError for an unknown alias or a missing folder.
  void Open();
  // Closes the tables of this database first.
  void Close();
  // Folder of the open database.
  const std::string& Folder() const { return folder_; }

 private:
  friend class TffSession;
  friend class TffTable;
  std::string alias_name_;
  std::string database_name_;
  TffSession* session_ = nullptr;
  bool active_ = false;
  std::string folder_;
  std::vector<TffTable*> tables_;
};

// A table of a database: opened read-only from "<folder>/<TableName>.FF2" (file name
// matched without regard to case), read in the order of the chosen index, optionally
// restricted to an inclusive key range.
class TffTable {
 public:
  TffTable();
  ~TffTable();
  TffTable(const TffTable&) = delete;
  TffTable& operator=(const TffTable&) = delete;

  TffDatabase* Database() const { return database_; }
  void SetDatabase(TffDatabase* database);
  const std::string& TableName() const { return table_name_; }
  // Closes the table when it is open.
  void SetTableName(const std::string& name);
  const std::string& IndexName() const { return index_name_; }
  // "" / "Seq. Access Index" / "Sequential Access Index" = physical order. On an open
  // table an unknown name raises EffDatabaseError and changes nothing; a known one
  // reorders the table, drops the range and moves to the first record.
  void SetIndexName(const std::string& name);

  // Opens the database when needed, then the file; raises for an unknown index name.
  void Open();
  void Close();
  bool Active() const { return file_ != nullptr; }

  void First();
  void Next();
  bool Eof() const {
    SortIfPending();
    return position_ >= end_;
  }
  // Records in the current range (the whole table without a range).
  int64_t RecordCount() const;
  // Once closed, the records its range held when it closed (0 when never counted).
  int64_t ClosedRecordCount() const { return closed_count_; }
  // Position of the current record within the range, 0 first.
  int64_t RecNo() const {
    SortIfPending();
    return static_cast<int64_t>(position_ - begin_);
  }
  // Back to a position RecNo gave (a record logged after the cursor moved on).
  void MoveTo(int64_t recNo);

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // Raises EffDatabaseError when out of range.
  TField* Fields(int index) const;
  // Raises EFieldNotFound ("Field 'X' not found"); names ignore letter case.
  TField* FieldByName(const std::string& name) const;
  TField* FindField(const std::string& name) const;

  // Keeps the records whose key lies between `start` and `end` (both included),
  // compared on the current index's fields; fewer values than fields compare a prefix
  // of the key. Moves to the first record of the range. Raises on physical order.
  void SetRange(const std::vector<Variant>& start, const std::vector<Variant>& end);
  void CancelRange();

  // The mapped file of the open table (dump, tests).
  const ff2::Ff2File* File() const { return file_.get(); }
  // The file that Open would read, found in the database folder.
  std::string FindTableFile() const;

 private:
  friend class TField;
  friend class TffDatabase;
  void Fail(const std::string& message) const;
  void ApplyIndex(int index_number);
  // A named index is sorted on first use, so that a range set before then sorts only
  // the records inside it.
  void SortIfPending() const {
    if (sort_pending_) Sort(nullptr, nullptr);
  }
  void Sort(const std::vector<Variant>* start, const std::vector<Variant>* end) const;
  void SetPosition(size_t position) const;

  TffDatabase* database_ = nullptr;
  std::string table_name_;
  std::string index_name_;
  int index_number_ = 0;
  std::shared_ptr<const ff2::Ff2File> file_;
  // The order is sorted lazily (SortIfPending), hence mutable.
  mutable std::vector<uint64_t> sorted_;  // record order of a named index
  mutable const std::vector<uint64_t>* order_ = nullptr;
  mutable bool sort_pending_ = false;
  mutable bool sorted_range_only_ = false;  // sorted_ holds only a range's records
  mutable size_t begin_ = 0, end_ = 0, position_ = 0;
  int64_t closed_count_ = 0;
  mutable const uint8_t* current_ = nullptr;  // current record image, or nullptr
  mutable std::vector<uint8_t> record_copy_;  // the current record in index order
  std::vector<std::unique_ptr<TField>> fields_;
};

}  // namespace korvel
