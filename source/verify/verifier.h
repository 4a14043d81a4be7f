// An independent check of a finished migration: for each ticked table whose legacy
// identifier the target keeps, every legacy record of the run's range is found in the
// target, or named in a table log (refused, a conflict, a duplicate), or left out by a
// rule of its routine (a patient under the threshold, a visit whose patient is not in
// the target...), or reported missing. It reads the legacy files, the target and the
// logs afresh and trusts no counter the run kept; it writes nothing to the target.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "source/run/operator_port.h"

namespace korvel {

struct VerifiedTable {
  std::string item;  // the check-list item
  int64_t legacy = 0, inTarget = 0, named = 0, passedOver = 0;
  std::vector<int64_t> missing;  // legacy identifiers, ascending
  // Why the table could not be checked (its legacy file, the target's table...);
  // empty when it was.
  std::string error;
};

struct Verification {
  std::vector<VerifiedTable> tables;
  // Every legacy record accounted for, and every table checked.
  bool Complete() const;
  // The report: a line per table, then the missing identifiers of each table.
  std::string Text() const;
  // Writes the report as <logRoot>/<today>/VERIFICATION.txt (Windows-1252, CRLF, like
  // the logs) and returns that path; "" when it cannot be written.
  std::string Save(const std::string& logRoot) const;
};

// The items a verification can check, by their check-list text.
const std::vector<std::string>& VerifiableItems();

// The target a run with `options` writes: the database its settings file names, else
// the one of "Database.ini" in `settingsFolder`. Throws when the file cannot be read.
std::string TargetDatabaseName(const RunOptions& options, const std::string& settingsFolder);

// The folder of the legacy tables a run with `options` reads: the "radio" alias of its
// alias file (or of the default one). Throws when there is none.
std::string LegacyFolder(const RunOptions& options);

// Checks the `ticked` items (others are left out) of a run made with `options` from
// the legacy tables in `legacyFolder` into `database`, whose logs are under `logRoot`
// (the LogErreur folder: every day's logs are read). Throws when the target or the
// legacy folder cannot be opened.
Verification VerifyMigration(const std::string& database, const std::string& legacyFolder, const RunOptions& options,
                             const std::set<std::string>& ticked, const std::string& logRoot);

}  // namespace korvel
