#include "global/ini_file.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "global/string_utils.h"

namespace korvel {

IniFile IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("Impossible de lire le fichier \"" + path + "\"");
  std::stringstream ss;
  ss << in.rdbuf();
  return Parse(ss.str());
}

IniFile IniFile::Parse(const std::string& text) {
  IniFile ini;
  for (const std::string& raw : Split(text, '\n')) {
    const std::string line = TrimRight(raw);
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '[' || line[0] == ';' || eq == std::string::npos) continue;
    ini.entries_.emplace_back(Trim(line.substr(0, eq)), line.substr(eq + 1));
  }
  return ini;
}

std::optional<std::string> IniFile::Value(const std::string& name) const {
  for (const auto& [key, value] : entries_) {
    if (SameText(key, name)) return value;
  }
  return std::nullopt;
}

std::string IniFile::Value(const std::string& name, const std::string& fallback) const {
  return Value(name).value_or(fallback);
}

std::string ExecutableFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace korvel
