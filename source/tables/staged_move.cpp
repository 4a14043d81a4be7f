#include "source/tables/staged_move.h"

#include <algorithm>
#include <vector>

#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"

namespace korvel {
namespace {

// The statement with a condition on the staged keys where its marker stands ("" for
// the whole set: the statement's own text).
std::string WithKeys(const MoveSpec& spec, const std::string& condition) {
  std::string sql = spec.sql;
  size_t at = sql.find(kMoveKeys);
  std::string joined = condition.empty() ? "" : " AND " + condition;
  size_t marker = std::string(kMoveKeys).size();
  if (at == std::string::npos) {
    at = sql.find(kMoveWhereKeys);
    joined = condition.empty() ? "" : " WHERE " + condition;
    marker = std::string(kMoveWhereKeys).size();
  }
  // Where the condition goes is part of the routine's statement: without it the move
  // could not narrow, which is a fault of the routine.
  if (at == std::string::npos) throw ERoutineFault("Move into " + spec.target + " without a key marker: " + sql);
  sql.replace(at, marker, joined);
  return sql;
}

// The rows the statement selects with `condition` on them ("" for all), counted with
// its own FROM and WHERE: the SELECT after the INSERT's column list.
int64_t CountSelected(RunContext& run, const MoveSpec& spec, const std::string& condition,
                      const std::vector<Variant>& values = {}) {
  const std::string sql = WithKeys(spec, condition);
  const size_t open = sql.find('(');
  const size_t close = open == std::string::npos ? open : sql.find(')', open);
  if (close == std::string::npos) throw ERoutineFault("Move into " + spec.target + " without a column list: " + sql);
  // A derived table needs a name for each column: one per inserted column.
  std::string names = "C0";
  int column = 0;
  for (size_t at = sql.find(',', open); at < close; at = sql.find(',', at + 1)) {
    names += ", C" + std::to_string(++column);
  }
  fib::TpFIBQuery count(run.target.Db());
  count.SetSQLText("SELECT COUNT(*) FROM (" + sql.substr(close + 1) + ") AS T (" + names + ")");
  count.ExecWithParams(values);
  return count.Fields(0).AsInteger();
}

// A server error no row causes (a lost connection, another writer's lock): it ends the
// move, whose rows stay staged for the next run, instead of passing for a refusal of
// every row narrowed down to.
class EMoveFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string KeyText(const Variant& key) { return key.IsNull() ? std::string("NULL") : key.AsString(); }

// One move: its statements, prepared once, and what it has done so far.
class Mover {
 public:
  Mover(RunContext& run, const MoveSpec& spec, const std::string& extra)
      : run_(run), spec_(spec), base_extra_(extra), extra_(extra), range_(run.target.Db()), keys_(run.target.Db()) {}

  // Block moves: an identifier this run staged more than once (a legacy identifier
  // given twice). The final table would take whichever copy its statement met first and
  // drop the other without a word: the first staged copy moves, each later one is
  // refused here, logged with its line, and kept out of the block's statements.
  void SetAsideRepeats(const Variant& lo, const Variant& hi) {
    if (extra_ != base_extra_) {
      extra_ = base_extra_;
      range_.Unprepare();
    }
    if (spec_.row.empty()) return;
    std::vector<Variant> repeated;
    fib::TpFIBQuery keys(run_.target.Db());
    keys.SetSQLText("SELECT " + spec_.key + " FROM " + spec_.staging + " WHERE " + spec_.key +
                    " BETWEEN :KEY_LO AND :KEY_HI" + base_extra_ + " GROUP BY " + spec_.key + " HAVING COUNT(*) > 1");
    keys.ExecWithParams({lo, hi});
    for (; !keys.Eof(); keys.Next()) repeated.push_back(keys.Fields(0).AsVariant());
    keys.Close();
    if (repeated.empty()) return;
    std::vector<int64_t> later;
    fib::TpFIBQuery lines(run_.target.Db());
    lines.SetSQLText("SELECT " + spec_.row + " FROM " + spec_.staging + " WHERE " + spec_.key + " = :KEY_ONE" +
                     base_extra_ + " ORDER BY 1");
    for (const Variant& key : repeated) {
      lines.ExecWithParams({key});
      const int64_t first = lines.Fields(0).AsInteger();
      for (lines.Next(); !lines.Eof(); lines.Next()) {
        const int64_t row = lines.Fields(0).AsInteger();
        later.push_back(row);
        ++result.refused;
        run_.DoLogError(nullptr,
                        "Refuse par " + spec_.target + ", cle " + KeyText(key) + " (ligne " + std::to_string(row) +
                            "): identifiant deja pris par la ligne " + std::to_string(first) + " de ce transfert",
                        false);
      }
      lines.Close();
    }
    // Firebird takes at most 1 500 values in one IN list.
    for (size_t at = 0; at < later.size(); at += 1000) {
      std::string list;
      for (size_t i = at; i < std::min(later.size(), at + 1000); ++i) {
        list += (list.empty() ? "" : ", ") + std::to_string(later[i]);
      }
      extra_ += " AND " + spec_.row + " NOT IN (" + list + ")";
    }
    range_.Unprepare();
  }

  // The statement over [lo, hi] of the staged key; false with the server's message
  // when the server refuses it.
  bool RunRange(const Variant& lo, const Variant& hi, int64_t& rows, std::string& message) {
    PrepareRange();
    return Run(range_, {lo, hi}, rows, message);
  }

  // A statement the server cannot run at all raises here.
  void PrepareRange() {
    if (range_.Prepared()) return;
    range_.SetSQLText(WithKeys(spec_, spec_.key + " BETWEEN :KEY_LO AND :KEY_HI" + extra_));
    range_.Prepare();
  }

  // Tries every key of a failed set by halves: the whole set (no condition, no bounds;
  // rows without a key are tried together after the others), or a block (the
  // condition and its bounds), which already failed with `message` as a whole.
  void Narrow(const std::string& condition, const std::vector<Variant>& bounds, const std::string& message) {
    std::vector<Variant> keys;
    keys_.SetSQLText("SELECT DISTINCT " + spec_.key + " FROM " + spec_.staging + " WHERE " + spec_.key +
                     " IS NOT NULL" + condition + " ORDER BY 1");
    keys_.ExecWithParams(bounds);
    for (; !keys_.Eof(); keys_.Next()) keys.push_back(keys_.Fields(0).AsVariant());
    keys_.Close();
    const bool whole = bounds.empty();
    if (!keys.empty()) Halves(keys, 0, keys.size() - 1, whole ? nullptr : &message);
    // Rows without a key cannot be told apart: they move or are refused together.
    if (whole) MoveKeyless();
  }

  // Narrow, and when the narrowing itself fails (the staged keys cannot be read...),
  // say so: the move is then incomplete, never silently.
  void NarrowOrGiveUp(const std::string& condition, const std::vector<Variant>& bounds, const std::string& message) {
    try {
      Narrow(condition, bounds, message);
    } catch (const EDatabaseError& e) {
      result.ok = false;
      run_.DoLogError(nullptr, "Deplacement vers " + spec_.target + " interrompu: " + message + " / " + e.what(), true);
    }
  }

  // Staged rows without a key: no range reaches them, so they are tried together once.
  void MoveKeyless() {
    fib::TpFIBQuery nulls(run_.target.Db());
    nulls.SetSQLText(WithKeys(spec_, spec_.key + " IS NULL" + extra_));
    int64_t rows = 0;
    std::string message;
    if (Run(nulls, {}, rows, message)) {
      result.moved += rows;
    } else {
      RefuseOrSplit(Variant(), message);
    }
  }

  // Block moves: rows without an identifier are not moved (the final table would give
  // them a new one on every run); they are counted as refused and said.
  void RefuseKeyless(const std::string& notMoved) {
    int64_t keyless = 0;
    try {
      fib::TpFIBQuery count(run_.target.Db());
      count.SetSQLText("SELECT COUNT(*) FROM " + spec_.staging + " WHERE " + spec_.key + " IS NULL AND " + notMoved);
      count.ExecQuery();
      keyless = count.Fields(0).AsInteger();
    } catch (const EDatabaseError& e) {
      result.ok = false;
      run_.DoLogError(nullptr, "Deplacement vers " + spec_.target + ": " + e.what(), true);
      return;
    }
    if (keyless == 0) return;
    result.refused += keyless;
    run_.DoLogError(nullptr,
                    "Refuse par " + spec_.target + ": " + std::to_string(keyless) + " lignes de " +
                        spec_.staging.substr(0, spec_.staging.find(' ')) + " sans identifiant",
                    false);
  }

  MoveResult result;

 private:
  bool Run(fib::TpFIBQuery& query, const std::vector<Variant>& values, int64_t& rows, std::string& message) {
    ++result.statements;
    try {
      query.ExecWithParams(values);
      rows = query.RowsAffected();
      return true;
    } catch (const EDatabaseError& e) {
      if (e.NotAboutARow()) throw EMoveFault(e.what());
      // The server undoes the failed statement alone; the transaction goes on.
      message = e.what();
      return false;
    }
  }

  // keys[i..j], known to fail with *known when given.
  void Halves(const std::vector<Variant>& keys, size_t i, size_t j, const std::string* known) {
    int64_t rows = 0;
    std::string message;
    if (known) {
      message = *known;
    } else if (RunRange(keys[i], keys[j], rows, message)) {
      result.moved += rows;
      return;
    }
    if (i == j) {
      RefuseOrSplit(keys[i], message);
      return;
    }
    const size_t mid = i + (j - i) / 2;
    Halves(keys, i, mid, nullptr);
    Halves(keys, mid + 1, j, nullptr);
  }

  // A key refused as a whole: every row the statement took for it counts, and the
  // line says how many there were when more than one.
  void Refuse(const Variant& key, const std::string& message) {
    int64_t rows = 1;
    try {
      std::vector<Variant> keyValue;
      if (!key.IsNull()) keyValue.push_back(key);
      rows = std::max<int64_t>(1, CountSelected(run_, spec_, KeyIs(key) + extra_, keyValue));
    } catch (const EDatabaseError&) {
      // Not countable: the key counts once, as its line says.
    }
    result.refused += rows;
    run_.DoLogError(nullptr,
                    "Refuse par " + spec_.target + ", cle " + KeyText(key) +
                        (rows > 1 ? " (" + std::to_string(rows) + " lignes)" : "") + ": " + message,
                    false);
  }

  // A key (or the keyless rows) that fails alone: with several staged rows and a row
  // number, each row is tried on its own, in staging order.
  void RefuseOrSplit(const Variant& key, const std::string& message) {
    std::vector<Variant> keyValue;
    if (!key.IsNull()) keyValue.push_back(key);
    std::vector<int64_t> rows;
    if (!spec_.row.empty()) {
      fib::TpFIBQuery lines(run_.target.Db());
      lines.SetSQLText("SELECT " + spec_.row + " FROM " + spec_.staging + " WHERE " + KeyIs(key) + " ORDER BY 1");
      lines.ExecWithParams(keyValue);
      for (; !lines.Eof(); lines.Next()) rows.push_back(lines.Fields(0).AsInteger());
      lines.Close();
    }
    if (rows.size() < 2) {
      Refuse(key, message);
      return;
    }
    fib::TpFIBQuery one(run_.target.Db());
    one.SetSQLText(WithKeys(spec_, KeyIs(key) + " AND " + spec_.row + " = :ROW_NO" + extra_));
    for (const int64_t row : rows) {
      std::vector<Variant> values = keyValue;
      values.emplace_back(row);
      int64_t moved = 0;
      std::string why;
      if (Run(one, values, moved, why)) {
        result.moved += moved;
      } else {
        ++result.refused;
        run_.DoLogError(
            nullptr,
            "Refuse par " + spec_.target + ", cle " + KeyText(key) + " (ligne " + std::to_string(row) + "): " + why,
            false);
      }
    }
  }

  std::string KeyIs(const Variant& key) const { return spec_.key + (key.IsNull() ? " IS NULL" : " = :KEY_ONE"); }

  RunContext& run_;
  const MoveSpec& spec_;
  const std::string base_extra_;
  std::string extra_;
  fib::TpFIBQuery range_;
  fib::TpFIBQuery keys_;
};

void EnsureTransaction(RunContext& run) { run.target.Begin(); }

// What a move's line says beyond moved and refused.
enum class Shown { refusals, present, copies };

void LogMove(RunContext& run, const MoveSpec& spec, const MoveResult& result, Shown shown) {
  run.Summary.AddMove(result.ok, result.moved, result.refused, result.present, result.superseded);
  const int64_t toMove = result.expected >= 0 ? result.expected : result.Staged();
  if (toMove == 0 && result.Staged() == 0 && !spec.logEmpty) return;
  std::string line = "Deplacement vers " + spec.target + ": " + std::to_string(toMove) + " a deplacer, " +
                     std::to_string(result.moved) + " deplaces, " + std::to_string(result.refused) + " refuses";
  if (shown != Shown::refusals) line += ", " + std::to_string(result.present) + " deja presents";
  if (shown == Shown::copies) line += ", " + std::to_string(result.superseded) + " copies anterieures";
  if (!result.ok) line += ", incomplet";
  // A complete move that cannot say what became of some rows: never a silent loss.
  if (result.ok && !result.Accounted()) {
    line += ", " + std::to_string(toMove - result.Staged()) + " lignes non comptees";
    run.Summary.UnaccountedMove();
  }
  run.DoLogError(nullptr, line, false);
}

// A move ended by a fault: said in the table log and in "Log Generique"; what it moved
// before stays moved, the rest stays staged.
void Fault(RunContext& run, const MoveSpec& spec, MoveResult& result, const EMoveFault& e) {
  result.ok = false;
  const std::string message = "Deplacement vers " + spec.target + " interrompu: " + e.what();
  run.DoLogError(nullptr, message, false);
  run.DoLogMisc(message);
}

// A statement the server cannot even run (an unknown column...): a fault of the move,
// logged once with its text in the table log and in "Log Generique". Its rows stay
// staged; none of them is a refused row.
MoveResult Unrunnable(RunContext& run, const MoveSpec& spec, const std::string& sql, const std::exception& e) {
  MoveResult result;
  result.ok = false;
  run.DoLogError(nullptr, std::string(e.what()) + sql, true);
  run.DoLogMisc("Deplacement vers " + spec.target + " impossible: " + e.what());
  return result;
}

MoveResult MoveBlocks(RunContext& run, const MoveSpec& spec, const std::string& notMoved, int blockSize,
                      const MoveResult& start, Shown shown);

// The log lines naming the superseded copies (`superseded`, a condition on the staged
// row) whose values differ from their identifier's latest copy: the operator sees which
// legacy records changed between two runs. Every staged column but the line number and
// large texts is compared.
std::vector<std::string> DifferingCopies(RunContext& run, const StagedCopies& c, const std::string& superseded) {
  std::string differs;
  fib::TpFIBQuery columns(run.target.Db());
  columns.SetSQLText(
      "SELECT TRIM(rf.RDB$FIELD_NAME) FROM RDB$RELATION_FIELDS rf JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = "
      "rf.RDB$FIELD_SOURCE WHERE rf.RDB$RELATION_NAME = UPPER(:T) AND f.RDB$FIELD_TYPE <> 261 AND "
      "rf.RDB$FIELD_NAME <> 'NO_LIGNE' ORDER BY rf.RDB$FIELD_POSITION");
  for (columns.ExecWithParams({Variant(c.staging)}); !columns.Eof(); columns.Next()) {
    const std::string name = columns.Fields(0).AsString();
    differs += (differs.empty() ? "" : " OR ") + std::string("l.\"") + name + "\" IS DISTINCT FROM " + c.alias + ".\"" +
               name + "\"";
  }
  columns.Close();
  std::vector<std::string> lines;
  if (differs.empty()) return lines;
  const std::string staged = c.alias + "." + c.stagedKey;
  fib::TpFIBQuery copies(run.target.Db());
  copies.SetSQLText("SELECT " + staged + ", " + c.alias + ".NO_LIGNE, l.NO_LIGNE FROM " + c.staging + " " + c.alias +
                    " JOIN " + c.staging + " l ON l." + c.stagedKey + " = " + staged +
                    " AND l.NO_LIGNE = (SELECT MAX(s4.NO_LIGNE) FROM " + c.staging + " s4 WHERE s4." + c.stagedKey +
                    " = " + staged + ") WHERE " + superseded + " AND (" + differs + ") ORDER BY 1, 2");
  for (copies.ExecQuery(); !copies.Eof(); copies.Next()) {
    lines.push_back("Copie anterieure de " + c.finalTable + ", cle " + copies.Fields(0).AsString() + " (ligne " +
                    std::to_string(copies.Fields(1).AsInteger()) + "): valeurs differentes de la ligne " +
                    std::to_string(copies.Fields(2).AsInteger()) + ", remplacee par celle-ci");
  }
  copies.Close();
  return lines;
}

}  // namespace

std::string WholeMoveSql(const MoveSpec& spec) { return WithKeys(spec, ""); }

std::string HighestId(RunContext& run, const std::string& table, const std::string& column) {
  EnsureTransaction(run);
  fib::TpFIBQuery highest(run.target.Db());
  highest.SetSQLText("SELECT COALESCE(MAX(" + column + "), 0) FROM " + table);
  highest.ExecQuery();
  return std::to_string(highest.Fields(0).AsInteger());
}

std::string FirstStagingLine(RunContext& run) {
  EnsureTransaction(run);
  fib::TpFIBQuery line(run.target.Db());
  line.SetSQLText("SELECT GEN_ID(GEN_NO_LIGNE_TMP, 0) + 1 FROM RDB$DATABASE");
  line.ExecQuery();
  return std::to_string(line.Fields(0).AsInteger());
}

std::string NotMovedLatestCopy(const StagedCopies& c) {
  const std::string staged = c.alias + "." + c.stagedKey;
  // "+ 0" keeps the server on the identifier's index: a range on the row number would
  // scan the rest of staging for every row.
  return "NOT EXISTS (SELECT 1 FROM " + c.finalTable + " x WHERE x." + c.finalKey + " = " + staged + ") AND NOT (" +
         c.alias + ".NO_LIGNE < " + c.firstLine + " AND EXISTS (SELECT 1 FROM " + c.staging + " s2 WHERE s2." +
         c.stagedKey + " = " + staged + " AND s2.NO_LIGNE + 0 > " + c.alias + ".NO_LIGNE))";
}

MoveResult MoveStagedBlocks(RunContext& run, const MoveSpec& spec, const StagedCopies& c, int blockSize) {
  EnsureTransaction(run);
  const std::string staged = c.alias + "." + c.stagedKey;
  const std::string inFinal =
      "EXISTS (SELECT 1 FROM " + c.finalTable + " x WHERE x." + c.finalKey + " = " + staged + ")";
  const std::string thisRun = c.alias + ".NO_LIGNE >= " + c.firstLine;
  const std::string superseded = c.alias + ".NO_LIGNE < " + c.firstLine + " AND NOT " + inFinal +
                                 " AND EXISTS (SELECT 1 FROM " + c.staging + " s2 WHERE s2." + c.stagedKey + " = " +
                                 staged + " AND s2.NO_LIGNE + 0 > " + c.alias + ".NO_LIGNE)";
  // One counting statement before the move: the rows it must account for (this run's,
  // and earlier runs' not in the final table yet), this run's already there, and the
  // earlier copies a later one superseded.
  const std::string count_sql = "SELECT COUNT(*), COALESCE(SUM(IIF(" + thisRun + " AND " + inFinal +
                                ", 1, 0)), 0), COALESCE(SUM(IIF(" + superseded + ", 1, 0)), 0) FROM " + c.staging +
                                " " + c.alias + " WHERE " + thisRun + " OR NOT " + inFinal;
  MoveResult start;
  int64_t present = 0;
  std::vector<std::pair<std::string, int64_t>> conflicts;
  std::vector<std::string> differing;
  try {
    fib::TpFIBQuery count(run.target.Db());
    count.SetSQLText(count_sql);
    count.ExecQuery();
    start.expected = count.Fields(0).AsInteger();
    present = count.Fields(1).AsInteger();
    start.superseded = count.Fields(2).AsInteger();
    count.Close();
    if (present > 0) {
      // Those no earlier run staged were there before Korvel: a conflict to correct.
      fib::TpFIBQuery theirs(run.target.Db());
      theirs.SetSQLText("SELECT " + staged + ", " + c.alias + ".NO_LIGNE FROM " + c.staging + " " + c.alias +
                        " WHERE " + thisRun + " AND " + inFinal + " AND NOT EXISTS (SELECT 1 FROM " + c.staging +
                        " s3 WHERE s3." + c.stagedKey + " = " + staged + " AND s3.NO_LIGNE < " + c.firstLine +
                        ") ORDER BY 1, 2");
      for (theirs.ExecQuery(); !theirs.Eof(); theirs.Next()) {
        conflicts.emplace_back(theirs.Fields(0).AsString(), theirs.Fields(1).AsInteger());
      }
      theirs.Close();
    }
    if (start.superseded > 0) differing = DifferingCopies(run, c, superseded);
  } catch (const EDatabaseError& e) {
    MoveResult result = Unrunnable(run, spec, count_sql, e);
    LogMove(run, spec, result, Shown::refusals);
    return result;
  }
  for (const auto& [key, line] : conflicts) {
    run.DoLogError(nullptr,
                   "Conflit avec " + spec.target + ", cle " + key + " (ligne " + std::to_string(line) +
                       "): deja dans la cible avant ce transfert, non deplacee",
                   false);
  }
  for (const std::string& line : differing) run.DoLogError(nullptr, line, false);
  start.present = present - static_cast<int64_t>(conflicts.size());
  start.refused = static_cast<int64_t>(conflicts.size());
  return MoveBlocks(run, spec, NotMovedLatestCopy(c), blockSize, start, Shown::copies);
}

MoveResult MoveStaged(RunContext& run, const MoveSpec& spec) {
  EnsureTransaction(run);
  const std::string notPresent = spec.present.empty() ? "" : "NOT (" + spec.present + ")";
  const std::string whole = WithKeys(spec, notPresent);
  const Shown shown = spec.present.empty() ? Shown::refusals : Shown::present;
  fib::TpFIBQuery statement(run.target.Db());
  int64_t present = 0;
  try {
    statement.SetSQLText(whole);
    statement.Prepare();
    if (!spec.present.empty()) present = CountSelected(run, spec, "(" + spec.present + ")");
  } catch (const EDatabaseError& e) {
    MoveResult result = Unrunnable(run, spec, whole, e);
    LogMove(run, spec, result, shown);
    return result;
  }
  Mover mover(run, spec, notPresent.empty() ? "" : " AND " + notPresent);
  mover.result.present = present;
  try {
    try {
      ++mover.result.statements;
      statement.ExecQuery();
      mover.result.moved = statement.RowsAffected();
    } catch (const EDatabaseError& e) {
      if (e.NotAboutARow()) throw EMoveFault(e.what());
      // Once the move must narrow, the rows to account for are counted apart: a key
      // refused whole must not pass for fewer rows than it held. (A statement that
      // went through at once moved every row it selected.)
      try {
        mover.result.expected = CountSelected(run, spec, "");
      } catch (const EDatabaseError&) {
        // A statement too odd to count: its line is then the sum of what happened.
      }
      mover.NarrowOrGiveUp("", {}, e.what());
    }
  } catch (const EMoveFault& e) {
    Fault(run, spec, mover.result, e);
  }
  LogMove(run, spec, mover.result, shown);
  return mover.result;
}

MoveResult MoveStagedBlocks(RunContext& run, const MoveSpec& spec, const std::string& notMoved, int blockSize) {
  return MoveBlocks(run, spec, notMoved, blockSize, MoveResult(), Shown::refusals);
}

namespace {

MoveResult MoveBlocks(RunContext& run, const MoveSpec& spec, const std::string& notMoved, int blockSize,
                      const MoveResult& start, Shown shown) {
  if (blockSize < 1) throw ERoutineFault("Move into " + spec.target + " in blocks of " + std::to_string(blockSize));
  EnsureTransaction(run);
  const std::string extra = " AND " + notMoved;
  // The first block starts at the smallest identifier not moved yet (one walk over what
  // earlier runs moved); each next one at the next staged identifier, found on the
  // index in one step: a per-block search for "not moved yet" would scan the rest of
  // the staging table every block. Rows of a block already moved are left out by the
  // block statement itself.
  const std::string next_sql =
      "SELECT FIRST 1 " + spec.key + " FROM " + spec.staging + " WHERE " + spec.key + " > :LAST ORDER BY " + spec.key;
  fib::TpFIBQuery first(run.target.Db());
  fib::TpFIBQuery next(run.target.Db());
  Mover mover(run, spec, extra);
  mover.result.present = start.present;
  mover.result.refused = start.refused;
  mover.result.superseded = start.superseded;
  mover.result.expected = start.expected;
  try {
    first.SetSQLText("SELECT FIRST 1 " + spec.key + " FROM " + spec.staging + " WHERE " + spec.key +
                     " IS NOT NULL AND " + notMoved + " ORDER BY " + spec.key);
    first.Prepare();
    next.SetSQLText(next_sql);
    next.Prepare();
    mover.PrepareRange();
  } catch (const EDatabaseError& e) {
    MoveResult result = Unrunnable(run, spec, WithKeys(spec, notMoved), e);
    result.present = start.present;
    result.refused = start.refused;
    result.superseded = start.superseded;
    result.expected = start.expected;
    LogMove(run, spec, result, shown);
    return result;
  }
  fib::TpFIBQuery* finder = &first;
  std::vector<Variant> after;
  for (;;) {
    EnsureTransaction(run);
    finder->ExecWithParams(after);
    if (finder->Eof()) break;
    const int64_t lo = finder->Fields(0).AsInteger();
    finder->Close();
    const int64_t hi = lo + blockSize - 1;
    int64_t rows = 0;
    std::string message;
    try {
      mover.SetAsideRepeats(Variant(lo), Variant(hi));
      if (mover.RunRange(Variant(lo), Variant(hi), rows, message)) {
        mover.result.moved += rows;
      } else {
        mover.NarrowOrGiveUp(" AND " + spec.key + " BETWEEN :KEY_LO AND :KEY_HI" + extra, {Variant(lo), Variant(hi)},
                             message);
      }
    } catch (const EMoveFault& e) {
      Fault(run, spec, mover.result, e);
      break;
    } catch (const EDatabaseError& e) {
      // The block's own look-ups failed (its repeated identifiers, its statement
      // prepared again): the move cannot go on either.
      Fault(run, spec, mover.result, EMoveFault(e.what()));
      break;
    }
    run.UI().SetProgress(hi + 1, 0);
    run.CommitEtProgress();
    finder = &next;
    after = {Variant(hi)};
    if (!run.StopAllProcess) {
      // What is left stays staged and not moved: the next run's blocks find it. The move
      // is then incomplete, and says so only when something is left.
      fib::TpFIBQuery rest(run.target.Db());
      rest.SetSQLText("SELECT FIRST 1 " + spec.key + " FROM " + spec.staging + " WHERE " + spec.key + " > :LAST AND " +
                      notMoved);
      rest.ExecWithParams({Variant(hi)});
      const bool left = !rest.Eof();
      rest.Close();
      if (left) {
        mover.result.ok = false;
        run.DoLogError(nullptr,
                       "Deplacement vers " + spec.target + " arrete apres le bloc " + std::to_string(lo) + "-" +
                           std::to_string(hi),
                       false);
      }
      finder = &next;
      break;
    }
  }
  finder->Close();
  if (mover.result.ok || !run.StopAllProcess) mover.RefuseKeyless(notMoved);  // not after a fault
  LogMove(run, spec, mover.result, shown);
  return mover.result;
}

}  // namespace

}  // namespace korvel
