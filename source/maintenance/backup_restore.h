// Backup of the target beside the database and restore over it, through the
// server's service manager.
#pragma once

#include <string>

namespace korvel {

class RunContext;

// Where the services work for a database name "server:path" (split at the first
// colon; no colon: the local service manager and the whole name as path).
struct ServiceTarget {
  std::string server;
  std::string databasePath;
  // Folder of the path with its separator, the separator again, then `fileName`.
  std::string BackupPath(const std::string& fileName) const;
};
ServiceTarget SplitDatabaseName(const std::string& databaseName);

void DatabaseBackupRestore(RunContext& run, const std::string& NomFichierFBK);
void DatabaseBackup(RunContext& run, const std::string& name);
void DatabaseRestore(RunContext& run, const std::string& name);

}  // namespace korvel
