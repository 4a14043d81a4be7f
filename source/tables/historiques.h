// The legacy history registers: purges and payer statements copied directly, billing
// lots, remittance statements and transfers to establishments staged, their users
// completed, then moved. Billing lots also gain every attestation number of a
// public-payer examination that is not a lot yet.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableHistoEpur(RunContext& run);
void TransfertTableHistoEtat(RunContext& run);
void TransfertTableHistoLot(RunContext& run);
void TransfertTableHistoReleve(RunContext& run);
void TransfertTableHistoTransfert(RunContext& run);

}  // namespace korvel
