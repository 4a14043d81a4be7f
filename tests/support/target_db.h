// Target databases for tests: one template built from schema/ per test run (rebuilt
// when a schema file is newer), copied for each test; and a Firebird server on
// 127.0.0.1 started and stopped by the test that needs it.
#pragma once

#include <string>

#include "support/child_server.h"

namespace korvel::testing {

// Makes this process's embedded engine use a private configuration with its own
// security database, so tests never touch the machine's users. Call before any
// database access (TestDatabase does).
void UseTestFirebirdRoot();

// A fresh copy of the template database at <scratch>/<name>.fdb.
std::string FreshDatabase(const std::string& name);

// A scratch folder for this test (emptied on first use in this process).
std::string ScratchDir();

// A Firebird server listening on 127.0.0.1:3050 with SYSDBA / quilmorane and its own
// security database; stopped when the object goes. Start() returns false (and
// says why) when it cannot start.
class LoopbackServer {
 public:
  LoopbackServer() = default;
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  bool Start(std::string* why);
  void Stop() { process_.Stop(); }

 private:
  ChildServer process_;
};

}  // namespace korvel::testing
