// Finishing steps of a run: report models, logins and rights, closing statements.
#pragma once

#include <string>

namespace korvel {

class RunContext;

void CopyModelToDatabase(RunContext& run);
// Binds the prepared update to the model text, the default establishment and the
// department "R", and executes it.
void WriteToDataBase(RunContext& run, const std::string& modelText);
void AjoutDesDroits(RunContext& run);
void FinTransfert(RunContext& run);

}  // namespace korvel
