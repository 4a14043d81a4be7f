// The password transform shared with the new system: a keyed one-way function of a
// fixed 16-byte key, the clear text and the expiry date 2099-12-31, giving an 8-byte
// code written as 16 upper-case hexadecimal digits. The new system verifies user
// passwords with the same key and the same input layout (see the README).
#pragma once

#include <string>

namespace korvel {

// `clearText` is UTF-8; the transform reads it as its Windows-1252 bytes.
std::string EncryptPassword(const std::string& clearText);

}  // namespace korvel
