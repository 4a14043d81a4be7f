#include "global/fib/database_login.h"

#include <exception>

#include "global/ini_file.h"

namespace korvel::fib {

std::string ReadDatabaseName(const std::string& iniPath) { return IniFile::Load(iniPath).Value("DatabaseName", ""); }

void IBDatabaseLogin(TpFIBDatabase& Database, const std::function<void(const std::string&)>& onError,
                     const std::string& folder) {
  try {
    const std::string dir = folder.empty() ? ExecutableFolder() : folder;
    Database.DatabaseName = ReadDatabaseName(dir + (dir.empty() || dir.back() == '/' ? "" : "/") + "Database.ini");
    Database.Open();
  } catch (const std::exception& e) {
    if (onError) onError(e.what());
  }
}

}  // namespace korvel::fib
