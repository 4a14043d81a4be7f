// The server's service manager: backup, restore and user security. An empty server
// name means the local service manager, which serves the embedded engine; otherwise
// "host:service_mgr". Database and backup paths are paths on the server's machine.
#pragma once

#include <string>
#include <vector>

namespace Firebird {
class IService;
}

namespace korvel::fib {

class TpFIBService {
 public:
  TpFIBService() = default;
  ~TpFIBService();
  TpFIBService(const TpFIBService&) = delete;
  TpFIBService& operator=(const TpFIBService&) = delete;

  std::string ServerName;
  // "user_name=...", "password=...", optionally "sql_role_name=...".
  std::vector<std::string> Params;

  void Attach();
  void Detach();
  bool Active() const { return service_ != nullptr; }

  // Backup without garbage collection; restore replacing the database. `verbose`
  // asks the server for one output line per step.
  void StartBackup(const std::string& database_path, const std::string& backup_path, bool verbose = false);
  void StartRestore(const std::string& backup_path, const std::string& database_path, unsigned page_size = 8192,
                    bool verbose = false);
  // Next output line of the running action; false once the action has ended (the
  // first call blocks until then when there is no output).
  bool GetNextLine(std::string& line);

  std::vector<std::string> DisplayUsers();
  void AddUser(const std::string& name, const std::string& password);

 private:
  void Start(const std::vector<unsigned char>& spb);

  Firebird::IService* service_ = nullptr;
  bool running_ = false;
};

}  // namespace korvel::fib
