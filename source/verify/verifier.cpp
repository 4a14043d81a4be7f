#include "source/verify/verifier.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <unordered_set>

#include "global/date_time.h"
#include "global/fib/database_login.h"
#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/flashfiler/ff_components.h"
#include "source/tables/journal_rules.h"

namespace korvel {
namespace {

// Which legacy records a run reads: all of them, those whose visit number lies in the
// run's dates (the "yyyymmdd-000".."yyyymmdd-999" numbers), or those whose date does.
// Stated here again on purpose: the check must not take the routines' word for it.
enum class RangeKind { whole, visitNumber, date };

// A rule of the routine that leaves a legacy record out without naming it.
enum class Rule {
  none,
  patientThreshold,  // patients under the run's first patient number
  patientOfVisit,    // visits whose patient is not in the target (deleted from staging)
  formOfLine,        // billing lines whose form is not in the target
  loanBorrower,      // loans without borrower, or of a file number no patient has
  journalRules,      // journal entries none of the new system's journals keeps
};

struct TableCheck {
  const char* item;     // the check-list text
  const char* legacy;   // the legacy table
  const char* idField;  // its identifier, kept in the target
  const char* index;    // the index the range is read on ("" for the whole table)
  RangeKind range;
  const char* targetIds;  // the target's identifiers
  const char* logName;    // the table log
  // The final tables its moves name in "Refuse par X, cle K" and "Conflit avec X, cle K".
  std::vector<std::string> moves;
  Rule rule;
};

const std::vector<TableCheck>& Checks() {
  static const std::vector<TableCheck> checks = {
      {"Patient",
       "patient",
       "AutoNum",
       "",
       RangeKind::whole,
       "SELECT ID_PATIENT FROM PATIENT",
       "TablePatient",
       {},
       Rule::patientThreshold},
      {"Etat",
       "Etat",
       "Sequence",
       "xEcDateSeq",
       RangeKind::date,
       "SELECT ID_ETAT FROM ETAT",
       "TableEtat",
       {},
       Rule::none},
      {"R1606",
       "R1606",
       "Autonum",
       "",
       RangeKind::whole,
       "SELECT ID_R1606 FROM R1606",
       "TableR1606",
       {"R1606"},
       Rule::none},
      {"R1606b",
       "R1606b",
       "AutoNum",
       "",
       RangeKind::whole,
       "SELECT ID_R1606B FROM R1606B",
       "TableR1606b",
       {"R1606b"},
       Rule::formOfLine},
      {"Releve", "Releve", "seq", "", RangeKind::whole, "SELECT ID_RELEVE FROM RELEVE", "TableReleve", {}, Rule::none},
      {"Prescription (visite)",
       "Prescrip",
       "AutoNum",
       "xnumero",
       RangeKind::visitNumber,
       "SELECT ID_VISITE FROM VISITE",
       "TablePrescription",
       {"Visite"},
       Rule::patientOfVisit},
      {"Examen",
       "Examen",
       "AutoNum",
       "xPrescripCode",
       RangeKind::visitNumber,
       "SELECT ID_EXAMEN FROM EXAMEN",
       "TableExamen",
       {"Examen"},
       Rule::none},
      {"Paiement",
       "Paiement",
       "AutoNum",
       "xEcDate",
       RangeKind::date,
       "SELECT ID_PAIEMENT FROM PAIEMENT",
       "TablePaiement",
       {"Paiement"},
       Rule::none},
      {"PretFilm",
       "PretFilm",
       "Autonum",
       "",
       RangeKind::whole,
       "SELECT ID_PRETFILM FROM PRETFILM",
       "TablePretFilm",
       {"pretFilm"},
       Rule::loanBorrower},
      {"Log",
       "Log",
       "AutoNum",
       "",
       RangeKind::whole,
       "SELECT ID_LOG FROM LOG UNION ALL SELECT ID_TRACELOG FROM TRACELOG",
       "TableLog",
       {"Log", "tracelog"},
       Rule::journalRules},
  };
  return checks;
}

using IdSet = std::unordered_set<int64_t>;

// An integer at the start of `text` (after `at`), if there is one.
std::optional<int64_t> IntegerAt(const std::string& text, size_t at) {
  size_t end = at;
  if (end < text.size() && text[end] == '-') ++end;
  const size_t digits = end;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == digits) return std::nullopt;
  return IntegerFromText(text.substr(at, end - at));
}

// The identifiers a table log names, in every day's folder under `logRoot`: refused
// records ("-> AutoNum: 12 ..."), duplicates ("a deja cette cle: 12"), and the moves'
// refusals and conflicts ("Refuse par Paiement, cle 12", "Conflit avec Paiement, cle 12").
IdSet NamedInLogs(const TableCheck& check, const std::string& logRoot) {
  IdSet named;
  std::error_code ec;
  const std::string field = "-> " + UpperCase(check.idField) + ": ";
  std::vector<std::string> moveHeads;
  for (const std::string& move : check.moves) {
    moveHeads.push_back("REFUSE PAR " + UpperCase(move) + ", CLE ");
    moveHeads.push_back("CONFLIT AVEC " + UpperCase(move) + ", CLE ");
  }
  const std::string duplicate = " A DEJA CETTE CLE: ";
  for (const auto& day : std::filesystem::directory_iterator(logRoot, ec)) {
    std::ifstream in(day.path() / (std::string(check.logName) + ".txt"), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      const std::string upper = UpperCase(line);
      size_t at = upper.find(field);
      if (at != std::string::npos) {
        if (auto id = IntegerAt(line, at + field.size())) named.insert(*id);
        continue;
      }
      if ((at = upper.find(duplicate)) != std::string::npos) {
        if (auto id = IntegerAt(line, at + duplicate.size())) named.insert(*id);
        continue;
      }
      for (const std::string& head : moveHeads) {
        if (upper.rfind(head, 0) == 0) {
          if (auto id = IntegerAt(line, head.size())) named.insert(*id);
          break;
        }
      }
    }
  }
  return named;
}

class TargetReader {
 public:
  explicit TargetReader(const std::string& databaseName) : transaction_(&db_) {
    db_.DatabaseName = databaseName;
    db_.UseMainConnectionSettings();
    db_.Open();
    transaction_.StartTransaction();
  }
  ~TargetReader() {
    try {
      transaction_.Rollback();  // it only read
    } catch (...) {
    }
  }

  IdSet Integers(const std::string& sql) {
    IdSet ids;
    fib::TpFIBQuery query(&db_, &transaction_);
    query.SetSQLText(sql);
    for (query.ExecQuery(); !query.Eof(); query.Next()) {
      if (!query.Fields(0).IsNull()) ids.insert(query.Fields(0).AsInteger());
    }
    query.Close();
    return ids;
  }

  std::unordered_set<std::string> Texts(const std::string& sql) {
    std::unordered_set<std::string> texts;
    fib::TpFIBQuery query(&db_, &transaction_);
    query.SetSQLText(sql);
    for (query.ExecQuery(); !query.Eof(); query.Next()) {
      if (!query.Fields(0).IsNull()) texts.insert(TrimRight(query.Fields(0).AsString()));
    }
    query.Close();
    return texts;
  }

 private:
  fib::TpFIBDatabase db_;
  fib::TpFIBTransaction transaction_;
};

// What a rule needs from the target, read once per table.
struct RuleData {
  std::optional<int64_t> threshold;
  IdSet ids;                              // patients, forms or staged journal entries
  std::unordered_set<std::string> files;  // the patients' file numbers
};

RuleData ReadRuleData(Rule rule, const RunOptions& options, TargetReader& target) {
  RuleData data;
  switch (rule) {
    case Rule::none: break;
    case Rule::patientThreshold: data.threshold = IntegerFromText(options.firstPatientNumber); break;
    case Rule::patientOfVisit: data.ids = target.Integers("SELECT ID_PATIENT FROM PATIENT"); break;
    case Rule::formOfLine: data.ids = target.Integers("SELECT ID_R1606 FROM R1606"); break;
    case Rule::loanBorrower: data.files = target.Texts("SELECT DOSSIERPRINCIPAL FROM PATIENT"); break;
    case Rule::journalRules:
      data.ids = target.Integers("SELECT t.ID_LOG FROM TMPLOG t WHERE " + JournalKeeps("t") + " IS NOT TRUE");
      break;
  }
  return data;
}

bool PassedOver(Rule rule, const RuleData& data, const TffTable& table, int64_t id) {
  switch (rule) {
    case Rule::none: return false;
    case Rule::patientThreshold: return data.threshold && id < *data.threshold;
    case Rule::patientOfVisit:
    case Rule::formOfLine: {
      const TField* link = table.FieldByName("Autolien");
      return link->IsNull() || data.ids.count(link->AsInteger()) == 0;
    }
    case Rule::loanBorrower: {
      const TField* borrower = table.FieldByName("Emprunteur");
      const TField* file = table.FieldByName("Dossier");
      return borrower->IsNull() || Trim(borrower->AsString()).empty() || file->IsNull() ||
             data.files.count(TrimRight(file->AsString())) == 0;
    }
    case Rule::journalRules: return data.ids.count(id) > 0;
  }
  return false;
}

VerifiedTable Check(const TableCheck& check, const RunOptions& options, TffDatabase& legacy, TargetReader& target,
                    const std::string& logRoot) {
  VerifiedTable result;
  result.item = check.item;
  TffTable table;
  table.SetDatabase(&legacy);
  table.SetTableName(check.legacy);
  try {
    table.Open();
  } catch (const std::exception& e) {
    // A clinic without this table: the run read nothing from it either.
    result.error = std::string("table ancienne non ouverte: ") + e.what();
    return result;
  }
  const IdSet inTarget = target.Integers(check.targetIds);
  const RuleData rule = ReadRuleData(check.rule, options, target);
  const IdSet named = NamedInLogs(check, logRoot);
  if (check.range != RangeKind::whole) {
    table.SetIndexName(check.index);
    if (check.range == RangeKind::visitNumber) {
      table.SetRange({Variant(FormatDateTime("yyyymmdd", options.periodStart) + "-000")},
                     {Variant(FormatDateTime("yyyymmdd", options.periodEnd) + "-999")});
    } else {
      table.SetRange({Variant(DateOf(options.periodStart))}, {Variant(DateOf(options.periodEnd))});
    }
  }
  const TField* idField = table.FieldByName(check.idField);
  for (table.First(); !table.Eof(); table.Next()) {
    ++result.legacy;
    if (idField->IsNull()) {
      // No identifier to look for: the routines refuse such a record, or pass it over.
      if (check.rule == Rule::patientThreshold) {
        ++result.passedOver;
      } else {
        ++result.named;
      }
      continue;
    }
    const int64_t id = idField->AsInteger();
    if (inTarget.count(id)) {
      ++result.inTarget;
    } else if (named.count(id)) {
      ++result.named;
    } else if (PassedOver(check.rule, rule, table, id)) {
      ++result.passedOver;
    } else {
      result.missing.push_back(id);
    }
  }
  std::sort(result.missing.begin(), result.missing.end());
  return result;
}

}  // namespace

const std::vector<std::string>& VerifiableItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> names;
    for (const TableCheck& check : Checks()) names.emplace_back(check.item);
    return names;
  }();
  return items;
}

bool Verification::Complete() const {
  for (const VerifiedTable& t : tables) {
    if (!t.missing.empty()) return false;
  }
  return true;
}

std::string Verification::Text() const {
  const auto line = [](const std::string& text) { return TrimRight(text) + "\n"; };
  std::string text = line(fmt::format("{:<24} {:>10} {:>10} {:>8} {:>8} {:>10}", "Table", "Ancien", "Cible", "Nommes",
                                      "Ignores", "Manquants"));
  for (const VerifiedTable& t : tables) {
    text += line(fmt::format("{:<24} {:>10} {:>10} {:>8} {:>8} {:>10}  {}", t.item, t.legacy, t.inTarget, t.named,
                             t.passedOver, t.missing.size(), t.error));
  }
  for (const VerifiedTable& t : tables) {
    if (t.missing.empty()) continue;
    text += "Manquants de " + t.item + ":";
    for (size_t i = 0; i < t.missing.size(); ++i) text += (i ? ", " : " ") + std::to_string(t.missing[i]);
    text += "\n";
  }
  return text;
}

std::string Verification::Save(const std::string& logRoot) const {
  const std::string folder = logRoot + "/" + FormatDateTime("yyyymmdd", Now());
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string crlf;
  for (const char c : Utf8ToCp1252(Text())) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const std::string path = folder + "/VERIFICATION.txt";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << crlf;
  return out ? path : std::string();
}

std::string TargetDatabaseName(const RunOptions& options, const std::string& settingsFolder) {
  if (!Trim(options.targetIniFile).empty())
    return fib::ReadDatabaseName(options.targetIniFolder + options.targetIniFile);
  return fib::ReadDatabaseName(settingsFolder + "Database.ini");
}

std::string LegacyFolder(const RunOptions& options) {
  TffSession session("SessionVerification");
  if (!options.aliasFile.empty()) session.SetAliasFile(options.aliasFile);
  const std::optional<std::string> folder = session.AliasFolder("radio");
  if (!folder) throw std::runtime_error("Alias 'radio' not found (alias file " + session.AliasFile() + ")");
  return *folder;
}

Verification VerifyMigration(const std::string& database, const std::string& legacyFolder, const RunOptions& options,
                             const std::set<std::string>& ticked, const std::string& logRoot) {
  TargetReader target(database);
  TffCommsEngine engine("EngineVerification");
  TffSession session("SessionVerification");
  session.SetCommsEngine(&engine);
  session.AddAlias("radio", legacyFolder);
  TffDatabase legacy;
  legacy.SetSession(&session);
  legacy.SetAliasName("radio");
  legacy.Open();
  Verification verification;
  for (const TableCheck& check : Checks()) {
    if (ticked.count(check.item)) verification.tables.push_back(Check(check, options, legacy, target, logRoot));
  }
  return verification;
}

}  // namespace korvel
