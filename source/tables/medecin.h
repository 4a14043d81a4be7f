// Referring physicians: the rows of tmpMedecinFF (loaded and checked against the
// provincial register before a run) staged in tmpMedecin, then moved into Medecin.
#pragma once

#include <string>

namespace korvel {

class RunContext;

void TransfertTableMedecin(RunContext& run);

// A postal code within 6 characters: written without its blanks when that makes it
// fit ("H2X 1Y4" gives "H2X1Y4"), else its first 6 characters; trimmed, "" when blank.
std::string PostalCode6(const std::string& text);

}  // namespace korvel
