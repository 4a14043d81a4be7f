#include "source/maintenance/backup_restore.h"

#include <exception>

#include "global/date_time.h"
#include "source/run/run_context.h"

namespace korvel {
namespace {

const char* const kServiceUser = "user_name=SYSDBA";
const char* const kServicePassword = "password=quilmorane";

// A step of a service: in the operation label and the monitor log, then a repaint.
void Announce(RunContext& run, const std::string& text) {
  run.UI().SetOperation(text);
  run.DoLogMonitor(text, Now());
  run.UI().ProcessEvents();
}

void LogServiceOutput(RunContext& run, fib::TpFIBService& service) {
  for (std::string line; service.GetNextLine(line);) run.DoLogMonitor(line, Now());
}

// Leaves the service detached after a failure, so the next step attaches afresh.
void DetachQuietly(fib::TpFIBService& service) {
  try {
    service.Detach();
  } catch (const std::exception&) {
  }
}

void PointAt(fib::TpFIBService& service, const ServiceTarget& target) {
  service.ServerName = target.server;
  service.Params = {kServiceUser, kServicePassword};
}

// The backup; false when it failed, after showing the error to the operator.
bool Backup(RunContext& run, const std::string& name) {
  fib::TpFIBService& service = run.BackupService1;
  const ServiceTarget target = SplitDatabaseName(run.target.Name());
  PointAt(service, target);
  const std::string backupPath = target.BackupPath(name);
  try {
    service.Attach();
    service.StartBackup(target.databasePath, backupPath, /*verbose=*/false);
    Announce(run, "Début backup: " + name);
    LogServiceOutput(run, service);
    Announce(run, "Fin backup: " + name);
    service.Detach();
    return true;
  } catch (const std::exception& e) {
    DetachQuietly(service);
    run.UI().ShowMessage(e.what());
    return false;
  }
}

}  // namespace

ServiceTarget SplitDatabaseName(const std::string& databaseName) {
  const size_t colon = databaseName.find(':');
  if (colon == std::string::npos) return ServiceTarget{"", databaseName};
  return ServiceTarget{databaseName.substr(0, colon), databaseName.substr(colon + 1)};
}

std::string ServiceTarget::BackupPath(const std::string& fileName) const {
  // The server's own separator style: "\" for a Windows server, "/" otherwise. The
  // doubled separator is what the server has always been given; it accepts it.
  const size_t last = databasePath.find_last_of("\\/");
  if (last == std::string::npos) return fileName;
  return databasePath.substr(0, last + 1) + databasePath[last] + fileName;
}

void DatabaseBackup(RunContext& run, const std::string& name) { Backup(run, name); }

void DatabaseRestore(RunContext& run, const std::string& name) {
  fib::TpFIBService& service = run.RestoreService1;
  const ServiceTarget target = SplitDatabaseName(run.target.Name());
  PointAt(service, target);
  try {
    service.Attach();
    service.StartRestore(target.BackupPath(name), target.databasePath, /*page_size=*/8192, /*verbose=*/false);
    Announce(run, "Début restore: " + name);
    LogServiceOutput(run, service);
    Announce(run, "Fin restore: " + name);
    service.Detach();
  } catch (const std::exception&) {
    DetachQuietly(service);
    throw;
  }
}

void DatabaseBackupRestore(RunContext& run, const std::string& NomFichierFBK) {
  run.target.CommitAndClose();
  // A restore replaces the database, and a restore that fails deletes it: never
  // restore from a backup that did not complete (the file would be missing, partial,
  // or a stale one of the same name). The database stays as it was.
  if (Backup(run, NomFichierFBK)) {
    DatabaseRestore(run, NomFichierFBK);
  } else {
    const std::string text = "Restore annulé, le backup a échoué: " + NomFichierFBK;
    run.DoLogMonitor(text, Now());
    run.DoLogMisc(text);
  }
  run.target.OpenAndBegin();
}

}  // namespace korvel
