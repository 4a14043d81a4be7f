#include "source/transfert/transfert_log_mgr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "global/database_error.h"
#include "global/text_encoding.h"

namespace korvel {
namespace {

constexpr std::string_view kRule = "============================================";  // 44
constexpr std::string_view kShortRule = "===============";                          // 15
constexpr std::string_view kCrLf = "\r\n";

// Server codes the table log names in plain words.
constexpr int64_t kNotValid = 335544347;
constexpr int64_t kForeignKey = 335544466;
constexpr int64_t kUniqueKeyViolation = 335544665;

void AddLine(std::string& out, std::string_view text) {
  out += text;
  out += kCrLf;
}

// UTF-8 to the log's bytes. A bare LF (server messages use them) becomes CR LF so that
// every line of the file ends alike.
void AppendLogBytes(std::string_view utf8, std::string& out) {
  const std::string bytes = Utf8ToCp1252(utf8);
  out.reserve(out.size() + bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) out.push_back('\r');
    out.push_back(bytes[i]);
  }
}

// Left-aligned in at least `width` characters, as "%-15s" pads.
std::string PadRight(std::string text, size_t width) {
  const size_t length = Utf8Length(text);
  if (length < width) text.append(width - length, ' ');
  return text;
}

// Why the target refused the record, from its server code.
std::string ClassifyDatabaseError(const EDatabaseError& error, const LogRecordSource& record,
                                  const std::string& number) {
  const int count = record.FieldCount();
  // A record of fewer than two fields still gets its segment.
  const std::string f0 = count > 0 ? record.Text(0) : std::string();
  const std::string f1 = count > 1 ? record.Text(1) : std::string();
  if (!error.HasServerCode()) {
    // Raised by the source reader, say: there is no server code or SQL message to show.
    return fmt::format("'{}, {}              -  Erreur sans code du serveur... - {}, '", f0, f1, number);
  }
  switch (error.IBErrorCode()) {
    case kNotValid: return fmt::format("'{}, {}     -  Valeur invalide ou null... - {}, '", f0, f1, number);
    case kForeignKey: return fmt::format("'{}        -  erreur de clé étrangère - {}, '", f0, number);
    case kUniqueKeyViolation: return fmt::format("'{}              - clé déjà présente  - {}, '", f0, number);
    default: return fmt::format("'{}, {}              -  {}... - {}, '", f0, f1, error.SQLMessage(), number);
  }
}

std::runtime_error SaveError(const std::string& path, int error_number) {
  return std::runtime_error("Impossible d'écrire le fichier " + path + " : " + std::strerror(error_number));
}

int OpenReplacing(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Writes all of `data`; returns the bytes written before a failure (errno set).
size_t WriteAll(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// LogFile

TTransfertLogMgr::LogFile::~LogFile() { CloseFile(); }

void TTransfertLogMgr::LogFile::SetName(std::string name) {
  CloseFile();
  name_ = std::move(name);
}

bool TTransfertLogMgr::LogFile::WriteRest() {
  written_ += WriteAll(fd_, std::string_view(text_).substr(written_));
  return written_ == text_.size();
}

void TTransfertLogMgr::LogFile::Append(const TTransfertLogMgr& mgr, std::string_view bytes) {
  text_ += bytes;
  if (fd_ < 0) {
    // One attempt per name: a folder that cannot be made is not retried on every line.
    if (name_.empty() || open_failed_) return;
    const std::string path = mgr.CreateSaveToFileName(name_);
    fd_ = OpenReplacing(path);
    if (fd_ < 0) {
      open_failed_ = true;
      return;
    }
    path_ = path;
    written_ = 0;
    has_save_point_ = false;
  }
  if (!write_failed_ && !WriteRest()) write_failed_ = true;  // Save() tries again
}

void TTransfertLogMgr::LogFile::Save(const TTransfertLogMgr& mgr) {
  const std::string path = mgr.CreateSaveToFileName(name_);
  if (fd_ >= 0 && path == path_ && WriteRest()) {
    write_failed_ = false;
  } else {
    const int fd = OpenReplacing(path);
    if (fd < 0) throw SaveError(path, errno);
    if (WriteAll(fd, text_) != text_.size()) {
      const int error_number = errno;
      ::close(fd);
      throw SaveError(path, error_number);
    }
    if (fd_ >= 0) {
      // The day changed since the file was opened: the earlier day's file keeps only
      // what it held at its own save point.
      if (path != path_) {
        if (has_save_point_) {
          // A failure leaves extra lines in the old file; the whole text is in the new one.
          (void)!::ftruncate(fd_, static_cast<off_t>(saved_size_));
        } else {
          ::unlink(path_.c_str());
        }
      }
      ::close(fd_);
    }
    fd_ = fd;
    path_ = path;
    written_ = text_.size();
    write_failed_ = false;
  }
  open_failed_ = false;
  has_save_point_ = true;
  saved_size_ = text_.size();
}

void TTransfertLogMgr::LogFile::CloseFile() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
  written_ = 0;
  saved_size_ = 0;
  has_save_point_ = false;
  open_failed_ = false;
  write_failed_ = false;
}

void TTransfertLogMgr::LogFile::ClearText() {
  text_.clear();
  written_ = 0;
  saved_size_ = 0;
}

// ---------------------------------------------------------------------------------------
// TTransfertLogMgr

TTransfertLogMgr::TTransfertLogMgr(Clock clock) : clock_(std::move(clock)) {}

TTransfertLogMgr::~TTransfertLogMgr() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; Close() called beforehand does.
  }
}

void TTransfertLogMgr::Close() {
  // An unfinished table keeps on disk what was logged of it.
  table_log_.SetName({});
  table_open_ = false;
  final_log_.CloseFile();
  std::string first_error;
  for (LogFile* log : {&sql_log_, &misc_log_}) {
    if (log->Empty()) continue;
    try {
      log->Save(*this);
    } catch (const std::exception& e) {
      if (first_error.empty()) first_error = e.what();
    }
  }
  if (!first_error.empty()) throw std::runtime_error(first_error);
}

std::string TTransfertLogMgr::Folder() const {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::current_path(ec);
  folder /= "LogErreur";
  folder /= FormatDateTime("yyyymmdd", clock_());
  if (!sub_folder_.empty()) folder /= sub_folder_;
  return folder.string() + "/";
}

std::string TTransfertLogMgr::CreateSaveToFileName(const std::string& name) const {
  std::error_code ec;
  const std::filesystem::path folder = Folder();
  std::filesystem::create_directories(folder, ec);
  if (ec && !std::filesystem::is_directory(folder)) return folder.string();
  return (folder / (name + ".txt")).string();
}

std::string TTransfertLogMgr::TimeStamp() const { return FormatDateTime("yyyy-mm-dd hh:nn:ss", clock_()); }

void TTransfertLogMgr::AppendEntry(LogFile& log, const std::string& utf8_lines) {
  std::string bytes;
  AppendLogBytes(utf8_lines, bytes);
  log.Append(*this, bytes);
}

void TTransfertLogMgr::StartTransfertLog() {
  scratch_.clear();
  AddLine(scratch_, kRule);
  AddLine(scratch_, "Début du transfert:: " + TimeStamp());
  AddLine(scratch_, kRule);
  AddLine(scratch_, "");
  AppendEntry(final_log_, scratch_);
}

void TTransfertLogMgr::EndTransfertLog() {
  scratch_.clear();
  AddLine(scratch_, kRule);
  AddLine(scratch_, "Fin du transfert  :: " + TimeStamp());
  AddLine(scratch_, kRule);
  AppendEntry(final_log_, scratch_);
  final_log_.Save(*this);
}

bool TTransfertLogMgr::FinishTableFile() {
  bool saved = true;
  try {
    table_log_.Save(*this);
  } catch (const std::exception&) {
    saved = false;  // the run goes on; the lines open the next table's file
  }
  table_log_.SetName({});
  if (saved) table_log_.ClearText();
  table_open_ = false;
  return saved;
}

void TTransfertLogMgr::StartTableLog(const std::string& name) {
  // A table whose routine ended by an error keeps its lines in its own file.
  if (table_open_) FinishTableFile();
  tbl_error_ = 0;
  table_name_ = name;
  table_log_.SetName(name);
  if (on_table_log_) on_table_log_(name);
  table_open_ = true;
  scratch_.clear();
  scratch_ += kShortRule;
  scratch_ += name;
  scratch_ += ".txt";
  AddLine(scratch_, kShortRule);
  AddLine(scratch_, "Début du transfert:: " + TimeStamp());
  AppendEntry(table_log_, scratch_);
}

void TTransfertLogMgr::EndTableLog(int32_t copied, int32_t tried) {
  const std::string count_text = "Nombre total de Record de transferer : ";
  scratch_.clear();
  AddLine(scratch_, count_text + std::to_string(copied));
  AddLine(scratch_, "Fin du transfert  :: " + TimeStamp());
  AddLine(scratch_, kRule);
  AppendEntry(table_log_, scratch_);
  // Without a StartTableLog the lines have no file of their own and wait for the next table.
  if (table_open_) FinishTableFile();

  scratch_.clear();
  AddLine(scratch_, fmt::format("{}, {}{}/{}", table_name_, count_text, copied, tried));
  AddLine(scratch_, kRule);
  AddLine(scratch_, "");
  AppendEntry(final_log_, scratch_);
}

void TTransfertLogMgr::CloseTableLog() {
  if (table_open_) FinishTableFile();
}

void TTransfertLogMgr::TableErrorLog(const std::exception& error, const LogRecordSource& record) {
  ++tbl_error_;
  const std::string number = std::to_string(tbl_error_);
  std::string line = "   Erreur : " + number + " :  -> ";
  const int count = record.FieldCount();
  for (int i = 0; i < count; ++i) {
    if (record.IsBlobLike(i)) continue;
    line += record.FieldName(i);
    line += ": ";
    line += record.Text(i);
    line += ' ';
  }
  if (const auto* db_error = dynamic_cast<const EDatabaseError*>(&error)) {
    line += PadRight(ClassifyDatabaseError(*db_error, record, number), 15);
  }
  line += error.what();

  scratch_.clear();
  AddLine(scratch_, line);
  AddLine(scratch_, kRule);
  AddLine(scratch_, kRule);
  AddLine(scratch_, "Date Heure: " + TimeStamp());
  AppendEntry(table_log_, scratch_);
}

void TTransfertLogMgr::TableErrorLog(const std::string& message, bool save_call_stack) {
  scratch_.clear();
  AddLine(scratch_, kRule);
  AddLine(scratch_, message);
  if (save_call_stack) {
    // Two lines that each hold a line break: four empty lines in the file.
    AddLine(scratch_, kCrLf);
    AddLine(scratch_, kCrLf);
  }
  AddLine(scratch_, "Date Heure: " + TimeStamp());
  AddLine(scratch_, kRule);
  AppendEntry(table_log_, scratch_);
}

void TTransfertLogMgr::MonitorLog(const std::string& message, TDateTime time) {
  scratch_.clear();
  AddLine(scratch_, kRule);
  AddLine(scratch_, FormatDateTime("yyyy-mm-dd hh:nn:ss", time) + ": " + message);
  AddLine(scratch_, kRule);
  AppendEntry(sql_log_, scratch_);
}

void TTransfertLogMgr::GenericErrorLog(const std::string& message) {
  scratch_.clear();
  AddLine(scratch_, kRule);
  AddLine(scratch_, message);
  AddLine(scratch_, kRule);
  AddLine(scratch_, "Date Heure: " + TimeStamp());
  AddLine(scratch_, kRule);
  AppendEntry(misc_log_, scratch_);
}

}  // namespace korvel
