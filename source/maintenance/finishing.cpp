#include "source/maintenance/finishing.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "global/date_time.h"
#include "global/fib/global_fib.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/maintenance/backup_restore.h"
#include "source/maintenance/index_control.h"
#include "source/maintenance/sql_names.h"
#include "source/run/run_context.h"
#include "source/run/traps.h"

namespace korvel {
namespace {

// The administrator's password, which is also the password of every login made here.
const char* const kPassword = "quilmorane";

// A model file as lines of text joined by CR LF with a final CR LF (lines end at CR LF,
// LF or CR). The file is 8-bit Windows text, like every file the clinic gives us.
std::string ReadModelText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file \"" + path + "\". " + std::strerror(errno));
  std::stringstream content;
  content << in.rdbuf();
  const std::string bytes = content.str();
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 32);
  for (size_t i = 0; i < bytes.size();) {
    size_t end = bytes.find_first_of("\r\n", i);
    if (end == std::string::npos) end = bytes.size();
    text.append(bytes, i, end - i);
    text += "\r\n";
    i = end;
    if (i < bytes.size()) i += (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
  }
  return Cp1252ToUtf8(text);
}

void Reconnect(RunContext& run) { run.target.CommitAndReconnect(); }

bool HasLogin(const std::vector<std::string>& slUsers, const std::string& login) {
  for (const std::string& user : slUsers) {
    if (SameText(user, login)) return true;
  }
  return false;
}

// The grant runs on the target connection in a transaction of its own.
void GrantAdministrateur(RunContext& run, const std::string& login) {
  SkipStepOnError(run, [&] {
    std::unique_ptr<fib::TpFIBQuery> grant = fib::GlobalFIB().NewQuery(
        run.target.Db(), false, "GRANT role_administrateur TO " + login + " WITH ADMIN OPTION", true);
    grant->Transaction()->StartTransaction();
    grant->ExecQuery();
    grant->Transaction()->Commit();
  });
}

}  // namespace

void CopyModelToDatabase(RunContext& run) {
  const RunOptions options = run.Options();
  const std::string principal = ReadModelText(options.mainModelFolder + options.mainModelFile);
  run.FDataMgr->InitUpdateDestination(
      "UPDATE ETABLISSEMENT_INFO SET MODELERAPPORT = :AParam0 WHERE ETABLISSEMENT = :AParam1 AND DEPARTEMENT = "
      ":AParam2");
  WriteToDataBase(run, principal);

  if (Trim(options.secondModelFile).empty()) return;
  const std::string secondaire = ReadModelText(options.secondModelFolder + options.secondModelFile);
  run.FDataMgr->InitUpdateDestination(
      "UPDATE ETABLISSEMENT_INFO SET MODELERAPPORTSEC = :AParam0 WHERE ETABLISSEMENT = :AParam1 AND DEPARTEMENT = "
      ":AParam2");
  WriteToDataBase(run, secondaire);
}

void WriteToDataBase(RunContext& run, const std::string& modelText) {
  SkipStepOnError(run, [&] {
    TTransfertData& data = *run.FDataMgr;
    TSrcToDest& converter = *run.FParamMgr;
    data.SetDestParam(0, converter.AssignSrcToDestNotNull(nullptr, TDefault{modelText}));
    data.SetDestParam(1, converter.AssignSrcToDestNotNull(nullptr, TDefault{run.numeroEtablis}));
    data.SetDestParam(2, converter.AssignSrcToDestNotNull(nullptr, TDefault{"R"}));
    run.target.Begin();
    data.Transfert();
    run.CommitEtProgress();
  });
}

void AjoutDesDroits(RunContext& run) {
  fib::TpFIBService& security = run.FBSecurityService;
  try {
    security.ServerName = SplitDatabaseName(run.target.Name()).server;
    security.Params = {"user_name=SYSDBA", std::string("password=") + kPassword};
    security.Attach();
    const std::vector<std::string> slUsers = security.DisplayUsers();
    security.Detach();

    TTransfertData& data = *run.FDataMgr;
    data.ExecuteDestQuery("SELECT ID_Securite FROM SECURITE");
    for (; !data.GetExeQryEOF(); data.NextExeQryRecord()) {
      const fib::TFIBColumn* id = data.GetExeQryField(0);
      const std::string idText = id && !id->IsNull() ? Trim(id->AsString()) : std::string();
      // The login name goes into the GRANT text: only a number may make it up.
      if (!IsIntegerText(idText)) {
        run.DoLogMisc("ID_Securite invalide pour un login: " + idText);
        continue;
      }
      const std::string login = "user_" + idText;
      security.Attach();
      if (!HasLogin(slUsers, login)) {
        SkipStepOnError(run, [&] { security.AddUser(login, kPassword); });
      }
      security.Detach();
      GrantAdministrateur(run, login);
    }
  } catch (...) {
    try {
      security.Detach();
    } catch (const std::exception&) {
    }
    Reconnect(run);
    throw;
  }
  Reconnect(run);
}

void FinTransfert(RunContext& run) {
  SkipStepOnError(run, [&] {
    TTransfertData& data = *run.FDataMgr;
    data.ExecuteDestQuery("INSERT INTO securite_etab_dep(id_securite, etablissement, codedep) SELECT id_securite, " +
                          QuotedStr(run.numeroEtablis) +
                          ", 'R' FROM SECURITE WHERE ID_Securite NOT IN (SELECT ID_SECURITE FROM SECURITE_ETAB_DEP)");
    data.CommitDestQuery();
    data.ExecuteDestQuery(
        "INSERT INTO SECURITE_ETAB_DEP_DICTYPE(ID_Securite_Etab_Dep, ID_DicteeType) SELECT s.id_securite_etab_dep, 1 "
        "FROM  securite_etab_dep s WHERE s.id_securite_etab_dep NOT IN (SELECT se.id_securite_etab_dep FROM "
        "SECURITE_ETAB_DEP_DICTYPE se)");
    // Each trigger on its own: one that cannot be switched on must not leave the
    // others off in production.
    for (const char* trigger : {"TRIG_BEFOREI_VISITE_CREATIONDH", "TRIG_BEFOREU_VISITE_MODIFDH",
                                "TRIG_AFTERI_EXAMEN_LOG", "TRIG_AFTERU_EXAMEN"}) {
      SkipStepOnError(run, [&] { ChangeStateTrigger(run, trigger, "", false); });
    }
    data.CommitDestQuery();
    data.ExecuteDestQuery("UPDATE Securite SET dernierAcces = '" + FormatDateTime("yyyy-mm-dd", Now()) + "'");
    data.CommitDestQuery();
  });
}

}  // namespace korvel
