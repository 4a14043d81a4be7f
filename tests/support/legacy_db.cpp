#include "support/legacy_db.h"

#include "source/flashfiler/ff2_writer.h"

namespace korvel::testing {

void WriteLegacyTable(const std::string& folder, const std::string& name, const std::vector<LegacyField>& fields,
                      const std::vector<std::vector<Variant>>& rows, const std::vector<LegacyIndex>& indexes) {
  ff2::Ff2Writer writer(folder + "/" + name + ".FF2");
  for (const LegacyField& f : fields) writer.AddField(f.name, f.type, f.size);
  for (const LegacyIndex& i : indexes) writer.AddIndex(i.name, i.fields, i.case_insensitive);
  for (const auto& row : rows) writer.AppendRecord(row);
  writer.Finish();
}

LegacySession::LegacySession(const std::string& folder) : engine("EngineTransfert"), session("SessionTransfert") {
  engine.SetServerName("SOLO");
  session.SetCommsEngine(&engine);
  session.AddAlias("radio", folder);
  radio.SetSession(&session);
  radio.SetAliasName("radio");
}

}  // namespace korvel::testing
