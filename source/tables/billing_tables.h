// Routines of the legacy tables that drive billing: fee modifiers (two generations),
// complementary modifier rules, surcharges by territory, transaction codes, ledger
// activities, and the field layouts and titles of billing statements.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableModific(RunContext& run);
void TransfertTableModSoft(RunContext& run);
void TransfertTableModCompl(RunContext& run);
void TransfertTableRemMajoree(RunContext& run);
void TransfertTableCodeTransac(RunContext& run);
void TransfertTableActivite(RunContext& run);
void TransfertTableEtatType(RunContext& run);
void TransfertTableEtatTypeTitre(RunContext& run);

}  // namespace korvel
