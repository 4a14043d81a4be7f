// Object names read from the target's catalogue, written back into statement text.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// A catalogue name (CHAR padding removed) as it must appear in a statement: as it is
// when it is a plain upper-case identifier, which is how the server stores unquoted
// names; otherwise in double quotes, so a name created quoted still resolves to itself.
std::string SqlObjectName(std::string_view storedName);

// True for an optional minus sign followed by one or more digits: the only text a
// value taken from the database may contribute to a statement it does not quote.
bool IsIntegerText(std::string_view text);

}  // namespace korvel
