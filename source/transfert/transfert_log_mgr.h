// The transfer log: the only writer of the text files the operator reads after a
// migration, under "LogErreur/<yyyyMMdd>/" in the current directory. One file per table
// (start, refused records, counts, end), the run's "RAPPORT FINAL", the services'
// "Monitor Log" and the general errors' "Log Generique". Files are Windows-1252 with
// CR LF line ends; texts given to the manager are UTF-8.
//
// Every entry reaches its file (write(2), no fsync) the moment it is logged, so a crash
// or a kill keeps what was logged before it. Each file still ends up with exactly the
// text and the name it would have had if written whole at its save point: a table log
// when its table ends, the final report at the end of each run, the monitor and general
// logs when the manager closes.
//
// Not thread-safe: one manager per window, used from one thread.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "global/date_time.h"

namespace korvel {

// The source record a refused row came from, as the log reads it. The caller adapts its
// source table to this; only the fields the log needs are asked for.
class LogRecordSource {
 public:
  virtual ~LogRecordSource() = default;
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int index) const = 0;
  // Binary and text large objects (blob, memo, graphic, formatted memo): left out of
  // the record dump.
  virtual bool IsBlobLike(int index) const = 0;
  // The value as text, UTF-8, the way the legacy field read it as a string: NULL gives
  // ""; text untrimmed; integers in decimal; floats and currency amounts as FloatToStr
  // ("." decimal point, no "$"); dates "yyyy-mm-dd"; date-times "yyyy-mm-dd h:nn", the
  // time left out at midnight; times "h:nn"; Booleans "True" / "False". Asked only for
  // fields that are not blob-like, and for the first two fields whatever their kind.
  virtual std::string Text(int index) const = 0;
};

// A record given as a plain list, for callers that already hold the texts.
struct LogField {
  std::string name;
  bool blob_like = false;
  std::string text;
};

class LogRecord : public LogRecordSource {
 public:
  LogRecord() = default;
  explicit LogRecord(std::vector<LogField> fields) : fields_(std::move(fields)) {}
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  std::string FieldName(int index) const override { return fields_[index].name; }
  bool IsBlobLike(int index) const override { return fields_[index].blob_like; }
  std::string Text(int index) const override { return fields_[index].text; }

 private:
  std::vector<LogField> fields_;
};

class TTransfertLogMgr {
 public:
  // Gives the time of the time stamps and the date of the log folder.
  using Clock = std::function<TDateTime()>;

  explicit TTransfertLogMgr(Clock clock = Now);
  // Calls Close() and swallows its error: call Close() first to see it.
  ~TTransfertLogMgr();
  TTransfertLogMgr(const TTransfertLogMgr&) = delete;
  TTransfertLogMgr& operator=(const TTransfertLogMgr&) = delete;

  // Closes the files; saves "Monitor Log" and "Log Generique" when they hold anything
  // (otherwise no such file is written). Throws std::runtime_error when one of them
  // cannot be saved. A table left unfinished keeps, on disk, what was logged of it.
  void Close();

  // "<cwd>/LogErreur/<yyyyMMdd>/" for today (not created here), or the folder `name`
  // in it after SetSubFolder(name) ("" for the day's folder again): an inspection's
  // logs go apart from a migration's.
  std::string Folder() const;
  void SetSubFolder(const std::string& name) { sub_folder_ = name; }
  // "<cwd>/LogErreur/<yyyyMMdd>/<name>.txt" for today, creating the folder. When the
  // folder cannot be created, the folder path alone (so that the save that follows fails).
  std::string CreateSaveToFileName(const std::string& name) const;

  // Start and end of a run, in the final report. EndTransfertLog saves the whole report
  // (every run since the manager was made) as "RAPPORT FINAL"; throws std::runtime_error
  // when it cannot.
  void StartTransfertLog();
  void EndTransfertLog();

  // Starts the log of one table; `name` is also its file name, which is replaced. A
  // previous table left unfinished is first closed under its own name.
  void StartTableLog(const std::string& name);
  // Ends the current table's log (`copied` added out of `tried` read) and adds its line
  // to the final report. A failed save is ignored: the lines are then kept and open the
  // next table's file.
  void EndTableLog(int32_t copied, int32_t tried);
  // Closes the current table's log as it is, without end entry or final-report line:
  // for a table whose routine ended by an error. Does nothing when no table is open.
  void CloseTableLog();

  // A record the target refused: its position in this table's errors, its field values
  // and why (a database error is classified by its server code), then `error`'s message.
  void TableErrorLog(const std::exception& error, const LogRecordSource& record);
  // A message from the engine or the converter; `save_call_stack` adds four empty lines.
  void TableErrorLog(const std::string& message, bool save_call_stack);

  // A services message with its own time.
  void MonitorLog(const std::string& message, TDateTime time);
  void GenericErrorLog(const std::string& message);

  const std::string& TableName() const { return table_name_; }
  // Told the name of every table log that starts (the run's summary keeps them).
  void SetOnTableLog(std::function<void(const std::string&)> onTableLog) { on_table_log_ = std::move(onTableLog); }
  int32_t TblError() const { return tbl_error_; }

 private:
  // One log: its whole text in memory (as the file must end up) and the file it is
  // appended to as it grows.
  class LogFile {
   public:
    explicit LogFile(std::string name = {}) : name_(std::move(name)) {}
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Closes the file and names the next one; while the name is empty, lines have no
    // file and stay in memory.
    void SetName(std::string name);
    bool Empty() const { return text_.empty(); }
    // Adds Windows-1252 text and writes it out. The file is opened (replaced) at the
    // first append after SetName; when it cannot be, the text waits for Save().
    void Append(const TTransfertLogMgr& mgr, std::string_view bytes);
    // Makes the file under today's name hold exactly the whole text. When the day has
    // changed since it was opened, the old file goes back to its last saved content (or
    // away if it never had one). Throws std::runtime_error on failure.
    void Save(const TTransfertLogMgr& mgr);
    // Closes the file; the next Append opens it again and writes the whole text.
    void CloseFile();
    void ClearText();

   private:
    bool WriteRest();

    std::string name_;
    std::string text_;
    int fd_ = -1;
    std::string path_;    // the file fd_ is open on
    size_t written_ = 0;  // bytes of text_ already in path_
    size_t saved_size_ = 0;
    bool has_save_point_ = false;
    bool open_failed_ = false;
    bool write_failed_ = false;
  };

  std::string TimeStamp() const;
  // Adds one entry, given as UTF-8 lines each ending in "\r\n".
  void AppendEntry(LogFile& log, const std::string& utf8_lines);
  // Saves and closes the table log; false when the save failed (lines kept).
  bool FinishTableFile();

  Clock clock_;
  std::string sub_folder_;
  std::function<void(const std::string&)> on_table_log_;
  std::string table_name_;
  int32_t tbl_error_ = 0;
  bool table_open_ = false;
  std::string scratch_;  // reused for composing entries
  LogFile table_log_;
  LogFile sql_log_{"Monitor Log"};
  LogFile misc_log_{"Log Generique"};
  LogFile final_log_{"RAPPORT FINAL"};
};

}  // namespace korvel
