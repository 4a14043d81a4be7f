#include "support/target_db.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace korvel::testing {
namespace {

const fs::path kFirebirdHome = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
const fs::path kSystemSecurityDb = "/var/lib/firebird/3.0/system/security3.fdb";

// A configuration folder that borrows the installed engine and keeps its own
// security database.
fs::path MakeFirebirdRoot(const fs::path& root, const std::string& extra_conf) {
  fs::create_directories(root);
  for (const char* entry : {"UDF", "firebird.msg", "lib", "plugins", "plugins.conf", "fbtrace.conf"}) {
    const fs::path link = root / entry;
    if (!fs::exists(fs::symlink_status(link))) fs::create_symlink(kFirebirdHome / entry, link);
  }
  // The character-set module is not loaded through a symbolic link: it is copied.
  fs::create_directories(root / "intl");
  if (!fs::exists(root / "intl" / "libfbintl.so")) {
    fs::copy_file(kFirebirdHome / "intl" / "libfbintl.so", root / "intl" / "libfbintl.so");
  }
  if (!fs::exists(root / "intl" / "fbintl.conf")) {
    fs::copy_file(kFirebirdHome / "intl" / "fbintl.conf", root / "intl" / "fbintl.conf");
  }
  const fs::path security = root / "security3.fdb";
  if (!fs::exists(security)) fs::copy_file(kSystemSecurityDb, security);
  std::ofstream(root / "firebird.conf") << "SecurityDatabase = " << security.string() << "\n" << extra_conf;
  return root;
}

// The test's starting folder, kept so that a test may change directory afterwards.
fs::path BuildTestsDir() {
  static const fs::path dir = fs::current_path();
  return dir;
}

fs::path TemplatePath() { return BuildTestsDir() / "korvel-template.fdb"; }

bool TemplateIsCurrent() {
  std::error_code ec;
  const auto built = fs::last_write_time(TemplatePath(), ec);
  if (ec) return false;
  for (const auto& entry : fs::directory_iterator(fs::path(KORVEL_SOURCE_DIR) / "schema")) {
    if (entry.last_write_time() > built) return false;
  }
  const auto script = fs::last_write_time(fs::path(KORVEL_SOURCE_DIR) / "scripts" / "create-db");
  return script <= built;
}

void EnsureTemplate() {
  if (TemplateIsCurrent()) return;
  // Built under a private name then renamed, so a concurrent test never copies a
  // half-written file.
  const fs::path tmp = TemplatePath().string() + "." + std::to_string(getpid());
  const std::string cmd = std::string("bash '") + KORVEL_SOURCE_DIR + "/scripts/create-db' '" + tmp.string() + "'";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("cannot create the template database: " + cmd);
  fs::rename(tmp, TemplatePath());
}

}  // namespace

void UseTestFirebirdRoot() {
  static const bool done = [] {
    const fs::path root = MakeFirebirdRoot(BuildTestsDir() / "fbroot-embedded", "");
    setenv("FIREBIRD", root.c_str(), 1);
    return true;
  }();
  (void)done;
}

std::string ScratchDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path dir = BuildTestsDir() / "scratch";
  dir /= info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("global");
  static std::vector<fs::path> cleaned;
  if (std::find(cleaned.begin(), cleaned.end(), dir) == cleaned.end()) {
    fs::remove_all(dir);
    cleaned.push_back(dir);
  }
  fs::create_directories(dir);
  return dir.string();
}

std::string FreshDatabase(const std::string& name) {
  UseTestFirebirdRoot();
  EnsureTemplate();
  const fs::path target = fs::path(ScratchDir()) / (name + ".fdb");
  fs::copy_file(TemplatePath(), target, fs::copy_options::overwrite_existing);
  return target.string();
}

bool LoopbackServer::Start(std::string* why) {
  UseTestFirebirdRoot();
  const fs::path root =
      MakeFirebirdRoot(BuildTestsDir() / "fbroot-server", "RemoteServicePort = 3050\nRemoteBindAddress = 127.0.0.1\n");
  // The server's own SYSDBA password, set through the embedded engine on the
  // server's security database (the server is not running yet).
  const std::string set_password =
      "echo \"create or alter user SYSDBA password 'quilmorane' using plugin Srp;"
      " commit;\" | FIREBIRD='" +
      root.string() + "' isql-fb -q -user SYSDBA '" + (root / "security3.fdb").string() + "'";
  if (std::system(set_password.c_str()) != 0) {
    *why = "cannot set the server's SYSDBA password";
    return false;
  }
  return process_.Start(
      [&] {
        setenv("FIREBIRD", root.c_str(), 1);
        execl("/usr/sbin/firebird", "firebird", static_cast<char*>(nullptr));
      },
      3050, "the Firebird server", why);
}

}  // namespace korvel::testing
