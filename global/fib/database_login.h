// Opening the main target connection from the database settings file.
#pragma once

#include <functional>
#include <string>

#include "global/fib/fib_database.h"

namespace korvel::fib {

// Points Database at the "DatabaseName" of "Database.ini" in `folder` (the
// executable's folder when empty) and opens it. Any failure (missing file, refused
// connection) goes to onError with the error's message and is not raised; the
// connection then stays closed.
void IBDatabaseLogin(TpFIBDatabase& Database, const std::function<void(const std::string&)>& onError,
                     const std::string& folder = "");

// The "DatabaseName" value of a settings file; raises when the file cannot be read.
std::string ReadDatabaseName(const std::string& iniPath);

}  // namespace korvel::fib
