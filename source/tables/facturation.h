// Billing: transmissions and remittances, the 1606 forms and their lines, external
// billing and the per-visit billing supplements, payments.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableEtat(RunContext& run);
void TransfertTableReleve(RunContext& run);
void TransfertTableR1606(RunContext& run);
void TransfertTableR1606b(RunContext& run);
void TransfertTableFacturationExt(RunContext& run);
void TransfertTableFaccsc(RunContext& run);
void TransfertTableFaccsd(RunContext& run);
void TransfertTablePaiement(RunContext& run);

}  // namespace korvel
