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
