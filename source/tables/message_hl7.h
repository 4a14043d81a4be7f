// Internal messages of the legacy application's users, and the HL7 mapping tables of
// hospital examination codes and radiologists.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableMessage(RunContext& run);
void TransfertTableHL7ExamenHop(RunContext& run);
void TransfertTableHL7ExamenRX(RunContext& run);
void TransfertTableHL7Radiol(RunContext& run);

}  // namespace korvel
