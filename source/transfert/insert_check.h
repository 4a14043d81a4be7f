// What the server would say of an insert's values, without running it: an inspection
// reads the target and never writes there, yet must refuse the records the migration's
// insert would see refused. Only the refusals that depend on a value and its column
// alone are known here: a text longer than its column (trailing blanks aside, as the
// server cuts them), an integer out of its column's range, a text that is no number
// for a number column. Constraints that compare rows (keys, references, checks) are
// not, beyond the duplicate check the engine makes itself.
#pragma once

#include <optional>

#include "global/database_error.h"
#include "global/fib/fib_query.h"

namespace korvel {

// The error the server would raise for the first value of `insert` (prepared, its
// parameters set) that its column cannot take; nothing when each can.
std::optional<EDatabaseError> InsertRefusal(fib::TpFIBQuery& insert);

}  // namespace korvel
