// SHA-1 of a byte string, for showing BLOB content in dumps and checking it in tests.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// 40 lower-case hexadecimal digits.
std::string Sha1Hex(std::string_view data);

}  // namespace korvel
