// Large objects: written in segments below the 64 KiB limit, read to the end.
#pragma once

#include <firebird/Interface.h>

#include <string>

namespace korvel::fib {

ISC_QUAD WriteBlob(Firebird::IAttachment* att, Firebird::ITransaction* tr, const std::string& data);
std::string ReadBlob(Firebird::IAttachment* att, Firebird::ITransaction* tr, ISC_QUAD id);

}  // namespace korvel::fib
