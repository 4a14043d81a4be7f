// The act codes sent to the mammography interface (Sorvane): staged, completed as
// deactivated acts when the target lacks them, then copied into Sorvane.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableSorvane(RunContext& run);

}  // namespace korvel
