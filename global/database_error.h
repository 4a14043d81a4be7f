// The one exception type of database errors, from the target server or the source
// reader: a value refused. Routines catch it per record; any other error ends the
// table. ERoutineFault is the other side: a fault of the program, never of a record.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
  // A target-server error: every ISC code of its status vector, in order, and the
  // server's message text.
  EDatabaseError(const std::string& message, std::vector<int64_t> codes)
      : std::runtime_error(message), codes_(std::move(codes)) {}

  // The code that says what went wrong: the first code of the vector that is not one
  // of the generic DSQL wrappers (335544569 dynamic SQL error, 335544436 SQL error
  // code); 0 when the error carries no server code (the source reader, say).
  int64_t IBErrorCode() const;
  bool HasServerCode() const { return !codes_.empty(); }
  // True when `code` is anywhere in the status vector.
  bool HasCode(int64_t code) const;
  // An error that no row causes and no other row would escape: the connection or the
  // database lost, a lock held by another writer, memory exhausted. A statement that
  // meets one must stop, not be retried row by row.
  bool NotAboutARow() const;
  const std::vector<int64_t>& Codes() const { return codes_; }
  // The server's message text (the same as what()).
  std::string SQLMessage() const { return what(); }

 private:
  std::vector<int64_t> codes_;
};

inline int64_t EDatabaseError::IBErrorCode() const {
  for (const int64_t code : codes_) {
    if (code != 335544569 && code != 335544436) return code;
  }
  return codes_.empty() ? 0 : codes_.front();
}

inline bool EDatabaseError::NotAboutARow() const {
  static constexpr int64_t kCodes[] = {
      335544324,  // isc_bad_db_handle
      335544336,  // isc_deadlock
      335544344,  // isc_io_error
      335544345,  // isc_lock_conflict
      335544430,  // isc_virmemexh
      335544451,  // isc_update_conflict
      335544510,  // isc_lock_timeout
      335544528,  // isc_shutdown
      335544648,  // isc_conn_lost
      335544721,  // isc_network_error
      335544726,  // isc_net_read_err
      335544727,  // isc_net_write_err
      335544741,  // isc_lost_db_connection
      335544856,  // isc_att_shutdown
  };
  for (const int64_t code : kCodes) {
    if (HasCode(code)) return true;
  }
  return false;
}

inline bool EDatabaseError::HasCode(int64_t code) const {
  for (const int64_t c : codes_) {
    if (c == code) return true;
  }
  return false;
}

// A fault of a routine or of a table's layout (an unknown field or parameter name, a
// parameter index out of range): not an EDatabaseError, so the per-record traps let it
// through and it ends the table instead of looking like refused data.
class ERoutineFault : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

}  // namespace korvel
