// Reader of the small settings files ("Korvel.ini", "Database.ini"): lines of
// name=value, optional [section] headers ignored, names matched without regard to case.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvel {

class IniFile {
 public:
  // Reads the file; throws std::runtime_error naming it when it cannot be read.
  static IniFile Load(const std::string& path);
  static IniFile Parse(const std::string& text);

  // Value of the first entry of that name, if any.
  std::optional<std::string> Value(const std::string& name) const;
  std::string Value(const std::string& name, const std::string& fallback) const;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

// Folder of the running executable, with a trailing separator.
std::string ExecutableFolder();

}  // namespace korvel
