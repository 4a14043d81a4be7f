// A run core connected to a fresh target, with the engine's messages (what the table
// log would receive) kept for the test to read.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "global/fib/global_fib.h"
#include "support/run_fixture.h"

namespace korvel::testing {

class MaintenanceFixture : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    generic_log_start_ = GenericLog().size();  // the fixture's own source-table notice
  }
  std::string GenericLog() const { return LogExists("Log Generique") ? ReadLog("Log Generique") : ""; }
  // What the general error log received since the test began.
  std::string NewGenericLog() const { return GenericLog().substr(generic_log_start_); }

  // Setup statements run on their own connection before the run connects, so the
  // run's transaction never holds the objects they change.
  void Prepare(const std::vector<std::string>& statements) {
    fib::TpFIBDatabase db;
    db.DatabaseName = database;
    db.UseMainConnectionSettings();
    db.Open();
    for (const std::string& sql : statements) ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit(sql, {}, &db)) << sql;
  }
  void ConnectRun() {
    Connect();
    ctx->FDataMgr->OnHaveMsgEvent = [this](const void*, const std::string& text, bool) {
      engine_messages.push_back(text);
    };
  }
  // One value through the run's own connection and transaction.
  Variant RunValue(const std::string& sql) {
    ctx->FDataMgr->ExecuteDestQuery(sql);
    const fib::TFIBColumn* column = ctx->FDataMgr->GetExeQryField(0);
    return column && !column->IsNull() ? column->AsVariant() : Variant();
  }

  std::vector<std::string> engine_messages;

 private:
  size_t generic_log_start_ = 0;
};

}  // namespace korvel::testing
