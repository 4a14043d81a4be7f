// A run core on real parts for tests: a legacy folder ("radio" alias) the test fills
// with .FF2 tables, a fresh target database named in a Database.ini, the test's own
// folder as current directory (so LogErreur lands there) and a recording interface.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "global/fib/fib_database.h"
#include "global/variant.h"
#include "source/driver/run_driver.h"
#include "support/recording_ui.h"

namespace korvel::testing {

// A legacy record by field name.
using LegacyValues = std::vector<std::pair<std::string, Variant>>;

// Opens a connection of its own on the target `database` (beside the run's): a reader
// in its own transaction, or another writer.
void OpenTarget(fib::TpFIBDatabase& db, const std::string& database);

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes <legacy>/<table>.FF2 with the sample clinic's layout of that table.
  void WriteTable(const std::string& table, const std::vector<std::vector<Variant>>& rows);
  // The same from records given by field name; the other fields are NULL.
  void WriteRows(const std::string& table, const std::vector<LegacyValues>& records);
  // A statement on the run's connection (the engine's free statement), which must pass.
  void Exec(const std::string& sql);
  // Connects the target and binds the engine, as the first step of a run does.
  void Connect() { run->ForceNewDataPath(); }
  // Text of LogErreur/<today>/<name>.txt, turned into UTF-8 with LF line ends.
  std::string ReadLog(const std::string& name) const;
  bool LogExists(const std::string& name) const;
  // First column of a select on the target, in its own transaction.
  Variant Select(const std::string& sql);
  int64_t Count(const std::string& table, const std::string& where = "");

  RecordingUI ui;
  std::unique_ptr<RunDriver> run;
  RunContext* ctx = nullptr;  // the run's context, which the routines receive
  std::string folder;         // the test's folder (current directory)
  std::string legacy;         // the "radio" alias folder
  std::string database;       // target database path
};

}  // namespace korvel::testing
