#include "global/text_encoding.h"

#include <array>
#include <cstdint>

namespace korvel {
namespace {

// Code points of Windows-1252 bytes 0x80..0x9F; 0 marks the undefined ones.
constexpr std::array<uint16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendCodePoint(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char ToCp1252(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp || (kHigh[i] == 0 && cp == 0x80 + i)) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  size_t len;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  return len;
}

}  // namespace

void AppendCp1252ToUtf8(std::string_view bytes, std::string& out) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else if (b < 0xA0) {
      const uint16_t cp = kHigh[b - 0x80];
      AppendCodePoint(cp ? cp : b, out);
    } else {
      AppendCodePoint(b, out);
    }
  }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  AppendCp1252ToUtf8(bytes, out);
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  Utf8ToCp1252Into(utf8, out);
  return out;
}

void Utf8ToCp1252Into(std::string_view utf8, std::string& out) {
  out.clear();
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    const size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      out.push_back(utf8[i++]);
      continue;
    }
    out.push_back(ToCp1252(cp));
    i += len;
  }
}

size_t Utf8Length(std::string_view utf8) {
  size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string Utf8Left(std::string_view utf8, size_t count) {
  size_t i = 0;
  for (size_t chars = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && chars++ == count) break;
  }
  return std::string(utf8.substr(0, i));
}

}  // namespace korvel
