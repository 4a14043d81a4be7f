// Internal messages of the legacy application's users, and the HL7 mapping tables of
// hospital examination codes and radiologists.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTableMessage(TTransfertRun& run);
void TransfertTableHL7ExamenHop(TTransfertRun& run);
void TransfertTableHL7ExamenRX(TTransfertRun& run);
void TransfertTableHL7Radiol(TTransfertRun& run);

}  // namespace korvel
