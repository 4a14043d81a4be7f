// Errors of the FlashFiler source client: an unreachable server, a missing alias,
// table or index, a field that does not exist, or a table file that cannot be read.
#pragma once

#include <string>

#include "global/database_error.h"

namespace korvel {

// FlashFiler-style error codes this client reports. Faults of the table file itself
// carry kFfErrNone: they have no counterpart in the server's code list.
constexpr int kFfErrNone = 0;
constexpr int kFfErrServerUnreachable = 11278;

// The message of an unreachable server; callers compare its first 55 characters.
inline constexpr const char* kFfMsgCannotConnect = "FlashFiler: Cannot locate or connect to network server.";

class EffDatabaseError : public EDatabaseError {
 public:
  EffDatabaseError(int error_code, const std::string& message) : EDatabaseError(message), error_code_(error_code) {}
  explicit EffDatabaseError(const std::string& message) : EffDatabaseError(kFfErrNone, message) {}

  int ErrorCode() const { return error_code_; }

 private:
  int error_code_;
};

// A field name that the table does not have (Delphi: "Field 'X' not found").
class EFieldNotFound : public EffDatabaseError {
 public:
  explicit EFieldNotFound(const std::string& field_name) : EffDatabaseError("Field '" + field_name + "' not found") {}
};

}  // namespace korvel
