// The window's dictation options written into the default establishment's row of the
// target.
#pragma once

namespace korvel {

class RunContext;

// Writes the dictation options (folders, server, import flags, copy station number)
// into the target's row of the default establishment. Errors go to the general
// error log; the target transaction is committed in every case.
void AssignDicteeDataOptions(RunContext& run);

}  // namespace korvel
