// Radiologists (from TMPRADIOLFF, loaded and checked against the provincial register
// before a run) and workstations (the legacy Station table, plus the dictation copy
// station chosen in the window).
#pragma once

namespace korvel {

class RunContext;

void TransfertTableRadiol(RunContext& run);
void TransfertTableStation(RunContext& run);

}  // namespace korvel
