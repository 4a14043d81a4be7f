// Shared helpers of the FlashFiler tests: scratch folders and a session over a folder.
#pragma once

#include <filesystem>
#include <string>

#include "source/flashfiler/ff_components.h"

namespace korvel::testing {

inline std::string SamplesDir() { return std::string(KORVEL_SHARED_DIR) + "/ff2/samples"; }

// A fresh empty folder under the test's working directory.
inline std::filesystem::path ScratchDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::current_path() / "ff2-scratch" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Engine, session and one database whose alias "radio" points at `folder`.
struct LocalSource {
  explicit LocalSource(const std::string& folder) : session("SessionTransfert") {
    session.SetCommsEngine(&engine);
    session.SetAliasFile("/nonexistent/korvel-aliases.ini");
    session.AddAlias("radio", folder);
    database.SetSession(&session);
    database.SetAliasName("radio");
  }
  // Opens `table` on this database in the order of `index`.
  void Open(TffTable& table, const std::string& name, const std::string& index = "Seq. Access Index") {
    table.SetDatabase(&database);
    table.SetTableName(name);
    table.SetIndexName(index);
    table.Open();
  }
  TffCommsEngine engine{"EngineTransfert"};
  TffSession session;
  TffDatabase database;
};

}  // namespace korvel::testing
