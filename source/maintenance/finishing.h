// Finishing steps of a run: report models, logins and rights, closing statements.
#pragma once

#include <string>

namespace korvel {

class TTransfertRun;

void CopyModelToDatabase(TTransfertRun& run);
// Binds the prepared update to the model text, the default establishment and the
// department "R", and executes it.
void WriteToDataBase(TTransfertRun& run, const std::string& modelText);
void AjoutDesDroits(TTransfertRun& run);
void FinTransfert(TTransfertRun& run);

}  // namespace korvel
