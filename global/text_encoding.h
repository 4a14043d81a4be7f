// Conversions between the program's UTF-8 texts and the 8-bit Windows-1252 texts of
// the legacy files, the target connection (bytes sent as ISO8859_1) and the log files.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// Windows-1252 bytes to UTF-8. The five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, so every
// byte survives a round trip.
std::string Cp1252ToUtf8(std::string_view bytes);
void AppendCp1252ToUtf8(std::string_view bytes, std::string& out);

// UTF-8 to Windows-1252. A character with no Windows-1252 byte becomes '?'; an invalid
// UTF-8 sequence is taken byte by byte.
std::string Utf8ToCp1252(std::string_view utf8);
// Same, into `out` (cleared first; its storage is reused).
void Utf8ToCp1252Into(std::string_view utf8, std::string& out);

// Number of characters (not bytes) of a UTF-8 text.
size_t Utf8Length(std::string_view utf8);
// The first `count` characters of a UTF-8 text.
std::string Utf8Left(std::string_view utf8, size_t count);

}  // namespace korvel
