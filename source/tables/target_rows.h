// Walking the rows of a query on the target while the routine writes: the query reads
// in a read-only snapshot transaction of its own, so the commits of the main
// transaction never close its cursor and the rows written never join the set read.
#pragma once

#include <functional>
#include <string>

#include "global/fib/fib_query.h"

namespace korvel {

class RunContext;

// Calls `row` for each row of `sql` until it returns false. Errors of the query itself
// propagate.
void ForEachTargetRow(RunContext& run, const std::string& sql, const std::function<bool(fib::TpFIBQuery&)>& row);

// Names a look-up by name found on several target rows, linked to none of them: `sql`
// gives each such name and how many rows carry it, logged as "<what> <name>: <n>
// <whats> de ce nom, <outcome>".
void LogSharedNames(RunContext& run, const std::string& sql, const std::string& what, const std::string& whats,
                    const std::string& outcome);

// A column's text, the empty text for NULL.
std::string TextOf(const fib::TFIBColumn& column);

}  // namespace korvel
