// Film loans: staged in tmpPretFilm, lenders resolved to users (placeholder users
// created for the unknown ones), borrowers added as film destinations, loans moved into
// pretFilm by the patient's file number, then open loans linked to their examinations
// and returned loans written to each examination's loan history.
#pragma once

#include <string>

namespace korvel {

class RunContext;

void TransfertTablePretFilm(RunContext& run);

// "O" for "true", "N" for any other text, "" for "null" or a blank text (case matters).
std::string BooleanToString(const std::string& sBoolean);

// Every borrower of the staging column, cut to 9 characters, as an active film
// destination if it is not one yet.
void InsertDestFilm(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp);

}  // namespace korvel
