// Moving staged rows into their final table without losing any. An INSERT ... SELECT
// is all-or-nothing on the server: one refused row (a duplicate, a NULL in a NOT NULL
// column, a text too long, a singleton sub-select finding two rows) drops every row of
// the statement. A move runs the statement once; only when the server refuses it does
// it narrow the set by the staged key (halves, down to single keys), so every row that
// can move moves, and each refused key is written in the table log with the server's
// message. Cost: one statement when nothing is refused; about 2·log2(n) more per
// refused key.
//
// Moves write in the run's main transaction and never count as added records; each
// writes one line in the table log: rows to move, moved, refused (and already present,
// for a move that can tell).
#pragma once

#include <cstdint>
#include <string>

#include "source/run/run_context.h"

namespace korvel {

// Where a statement takes the condition on the staged key: the move replaces it with
// "" for the whole set (the statement's own text), or with " AND <condition>"; in a
// statement without WHERE clause, kMoveWhereKeys becomes " WHERE <condition>".
inline constexpr const char* kMoveKeys = "{KEYS}";
inline constexpr const char* kMoveWhereKeys = "{WHERE_KEYS}";

struct MoveSpec {
  // The table written, as the log names it.
  std::string target;
  // INSERT ... SELECT ... with kMoveKeys once, inside its WHERE clause (or
  // kMoveWhereKeys where a WHERE clause would go).
  std::string sql;
  // The staged rows as the statement reads them, alias included ("tmpVisite p").
  std::string staging;
  // The staged key expression ("p.AutoNum", "SUBSTR(p.Securite, 1, 20)").
  std::string key;
  // When not empty: the condition, on a row of the statement, that the final table
  // holds it already (an earlier run moved it). Such rows are left out and counted as
  // already present, so a run made again neither doubles them nor logs them as refused.
  std::string present = "";
  // When not empty: the staged row's own number ("p.NO_LIGNE"). A key that fails alone
  // is then tried row by row, so two rows of one key (a legacy identifier given twice)
  // move the first and refuse the second, each counted and logged on its own.
  std::string row = "";
  // Whether a move with nothing to move still writes its line (the completion of a
  // reference table from an empty column stays silent).
  bool logEmpty = true;
};

struct MoveResult {
  // False when the move did not run to its end: a statement the server cannot run, an
  // error no row causes (a lost connection, another writer's lock), or a stop. It is
  // logged, also in "Log Generique" for a fault; the rows not moved stay staged and are
  // not counted as refused.
  bool ok = true;
  int64_t moved = 0;
  int64_t refused = 0;
  // Rows the final table held already (only counted when the move says how to tell).
  int64_t present = 0;
  // Copies an earlier run staged of an identifier staged again later, left for the
  // later copy (block moves of a staging that may hold a record more than once).
  int64_t superseded = 0;
  // The rows the move had to account for, counted on their own before it ran; -1 when
  // the move does not count them apart (its count is then the sum of the others).
  int64_t expected = -1;
  // Move statements the server ran (1 for a whole move nothing refused).
  int64_t statements = 0;
  int64_t Staged() const { return moved + refused + present + superseded; }
  // Every row counted on its own is moved, refused, present or superseded.
  bool Accounted() const { return expected < 0 || expected == Staged(); }
};

// The statement of a move as the server receives it for the whole set.
std::string WholeMoveSql(const MoveSpec& spec);

// Moves every staged row the statement selects.
MoveResult MoveStaged(RunContext& run, const MoveSpec& spec);

// Moves in blocks of `blockSize` consecutive identifiers (an integer key), each block
// one statement and one commit, walking only the identifiers staged and not moved yet:
// `notMoved` is the condition that says so ("NOT EXISTS (SELECT 1 FROM Visite v WHERE
// v.id_visite = p.AutoNum)"). The first block starts at the smallest such identifier,
// each next one at the next staged identifier above the last block, so gaps cost
// nothing, and a second range, a stopped run or a re-run moves exactly what is missing.
// Stops after the current block when the run is stopped (the move is then incomplete
// when something is left).
MoveResult MoveStagedBlocks(RunContext& run, const MoveSpec& spec, const std::string& notMoved, int blockSize = 2500);

// The highest value of an identifier column of a final table, as text ("0" when the
// table is empty): with it, a move's `present` condition can name the rows that were
// there before the move, so two staged rows of one key in this move are still refused
// by the final table's key instead of one of them being taken for an earlier run's.
std::string HighestId(RunContext& run, const std::string& table, const std::string& column);

// A block move's staging that may hold a record more than once (a stopped run, a range
// run twice), and the final table its rows go to.
struct StagedCopies {
  std::string finalTable, finalKey;       // "Paiement", "ID_Paiement"
  std::string staging, alias, stagedKey;  // "tmpPaiement", "p", "Id_paiement"
  std::string firstLine;                  // this run's first staged line (FirstStagingLine)
};

// Moves in blocks the rows of `copies` not moved yet (NotMovedLatestCopy), and
// accounts for every row it considers (this run's, and earlier runs' not moved yet),
// counted apart before the move: moved, refused, already in the final table ("deja
// presents" when an earlier run staged that identifier too, so moved it; a conflict,
// logged with its key and counted as refused, when the row was the target's own), or
// an earlier copy a later one superseded ("copies anterieures"; one whose values differ
// from the latest copy's is named in the log).
MoveResult MoveStagedBlocks(RunContext& run, const MoveSpec& spec, const StagedCopies& copies, int blockSize = 2500);

// The staging line number the next staged row will take (every staging table numbers
// its rows from one generator): read before a routine stages anything, it tells this
// run's rows from an earlier run's.
std::string FirstStagingLine(RunContext& run);

// The `notMoved` of a staging table that may hold a record more than once (a stopped
// run, a range run twice): not in the final table yet, and not an earlier run's copy
// that a later one superseded (a higher NO_LIGNE). Rows this run staged (NO_LIGNE from
// `firstLine` on) are all offered: two legacy records of one identifier then meet the
// final table's key, which refuses the second, logged, instead of leaving it behind
// without a word. `alias` names the staged row in the move statement.
std::string NotMovedLatestCopy(const StagedCopies& copies);

}  // namespace korvel
