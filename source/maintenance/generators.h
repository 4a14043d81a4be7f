// Identifier generators: moved past the keys the migration wrote, and the global
// identifier prefix written to the target's settings.
#pragma once

#include <string>

namespace korvel {

class RunContext;

// Moves GEN_ID_<sNomTable> to the highest sNomCle of sNomTable.
void SetGenerator(RunContext& run, const std::string& sNomTable, const std::string& sNomCle,
                  const std::string& sMessage);
// SetGenerator for every user table of the target (SECURITE excepted).
void GestionDesGenerator(RunContext& run);
void UpdateIdGlobal(RunContext& run);

}  // namespace korvel
