#include "source/cli/run_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "global/string_utils.h"
#include "source/driver/run_driver.h"

namespace korvel {
namespace {

bool ParseFlag(const std::string& value, bool& out) {
  const std::string v = LowerCase(Trim(value));
  if (v == "oui" || v == "yes" || v == "1" || v == "true" || v == "o") {
    out = true;
  } else if (v == "non" || v == "no" || v == "0" || v == "false" || v == "n" || v.empty()) {
    out = false;
  } else {
    return false;
  }
  return true;
}

// "dir/name" -> hint "dir/" and text "name", as the window's file fields hold them.
void SplitFile(const std::string& path, std::string& hint, std::string& name) {
  const size_t slash = path.find_last_of('/');
  hint = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

RunFile LoadRunFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read the run file \"" + path + "\"");
  const std::filesystem::path base = std::filesystem::absolute(path).parent_path();
  auto resolve = [&](const std::string& value) {
    if (value.empty() || value[0] == '/') return value;
    return (base / value).lexically_normal().string();
  };
  RunFile run;
  std::string section;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string text = Trim(line);
    auto fail = [&](const std::string& what) {
      throw std::runtime_error(path + ":" + std::to_string(number) + ": " + what);
    };
    if (text.empty() || text[0] == '#' || text[0] == ';') continue;
    if (text.front() == '[') {
      if (text.back() != ']') fail("unclosed section header");
      section = LowerCase(text.substr(1, text.size() - 2));
      if (section != "options" && section != "prealable" && section != "clinique") {
        fail("unknown section [" + section + "] (expected [options], [prealable] or [clinique])");
      }
      continue;
    }
    if (section == "prealable" || section == "clinique") {
      const int list = section == "prealable" ? 1 : 2;
      const auto& items = list == 1 ? ListePrealable() : ListeClinique();
      bool found = false;
      for (size_t i = 0; i < items.size(); ++i) {
        if (text == "Tous" || text == items[i].text) {
          run.checked.insert({list, static_cast<int>(i)});
          found = true;
        }
      }
      if (!found) fail("\"" + text + "\" is not an item of the list [" + section + "]");
      continue;
    }
    if (section.empty()) fail("option outside a section");
    const size_t eq = text.find('=');
    if (eq == std::string::npos) fail("expected name=value");
    const std::string key = LowerCase(Trim(text.substr(0, eq)));
    const std::string value = Trim(text.substr(eq + 1));
    RunOptions& o = run.options;
    if (key == "etablissement") {
      o.establishment = value;
    } else if (key == "debut" || key == "fin") {
      TDateTime date;
      if (!TryParseDateTime(value, date)) fail(key + ": \"" + value + "\" is not a date yyyy-mm-dd");
      (key == "debut" ? o.periodStart : o.periodEnd) = date;
    } else if (key == "modele_principal") {
      SplitFile(resolve(value), o.mainModelFolder, o.mainModelFile);
    } else if (key == "modele_secondaire") {
      SplitFile(resolve(value), o.secondModelFolder, o.secondModelFile);
    } else if (key == "database_ini") {
      SplitFile(resolve(value), o.targetIniFolder, o.targetIniFile);
    } else if (key == "prefixe_global") {
      // Kept untrimmed: a prefix of blanks is the operator's choice.
      o.globalPrefix = text.substr(eq + 1);
    } else if (key == "station_copie") {
      o.dictationCopyStation = value;
    } else if (key == "generateurs") {
      if (!ParseFlag(value, o.resetGenerators)) fail("generateurs: expected oui or non");
    } else if (key == "un_par_un") {
      if (!ParseFlag(value, o.recordAtATime)) fail("un_par_un: expected oui or non");
    } else if (key == "droits") {
      if (!ParseFlag(value, o.grantUserPermissions)) fail("droits: expected oui or non");
    } else if (key == "seuil_patient") {
      o.firstPatientNumber = value;
    } else if (key == "smtp") {
      o.smtpServer = value;
    } else if (key == "port") {
      o.smtpPort = value;
    } else if (key == "destinataire") {
      o.recipient = value;
    } else if (key == "alias") {
      o.aliasFile = resolve(value);
    } else {
      fail("unknown option \"" + key + "\"");
    }
  }
  return run;
}

}  // namespace korvel
