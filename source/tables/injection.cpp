#include "source/tables/injection.h"

#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/maintenance/index_control.h"
#include "source/run/run_context.h"
#include "source/run/traps.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

constexpr const char* kMessage = "Table Injection\r\n";

// Characters [from, to) of a UTF-8 text, counted in characters.
std::string Utf8Mid(const std::string& text, size_t from, size_t to) {
  const size_t begin = Utf8Left(text, from).size();
  const size_t end = Utf8Left(text, to).size();
  return end > begin ? text.substr(begin, end - begin) : std::string();
}

// The examinations of the injections whose visit has a staged injection matching
// `condition` (on `ti`), linked to reference row `id` unless already linked.
std::string LinkSql(const std::string& table, const std::string& id, const std::string& condition) {
  return "INSERT INTO " + table + " (ID_EXAMEN,ID_REFINJREACT) SELECT i.id_examen, " + id +
         " FROM injection i LEFT JOIN examen e on (e.id_examen=i.id_examen) WHERE EXISTS (SELECT FIRST 1 1 FROM "
         "tmpinjection ti WHERE ti.id_visite=e.id_visite AND " +
         condition + ") AND NOT EXISTS (SELECT 1 FROM " + table +
         " x WHERE x.id_examen = i.id_examen AND x.id_refinjreact = " + id + "){KEYS}";
}

void MoveLink(RunContext& run, const std::string& table, const std::string& sql) {
  MoveStaged(run, {table, sql, "injection i", "i.id_examen"});
  run.CommitEtProgress();
}

void FinishInjections(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  // Sites become reference rows, each description once.
  MoveStaged(run, {"refinjreact",
                   "INSERT INTO refinjreact (CODEINJREACT, DESCRIPTION, TYPEINJREACT, CREATIONDH, CREATIONID, "
                   "DESACTIVE) SELECT DISTINCT '01', SUBSTR(i.siteinjection,1,50), 'SITEINJECTION', current_timestamp, "
                   "99999, 'N' FROM tmpinjection i WHERE i.siteinjection IS NOT NULL AND NOT EXISTS (SELECT 1 FROM "
                   "refinjreact r WHERE r.TYPEINJREACT = 'SITEINJECTION' AND r.description = "
                   "SUBSTR(i.siteinjection,1,50)){KEYS}",
                   "tmpinjection i", "SUBSTR(i.siteinjection,1,50)"});
  run.CommitEtProgress();
  // One injection per examination: the first staged injection with a product of the
  // visit, on the visit's lowest examination. "+ 0" keeps the server on the visit's
  // index: a MIN on the identifier would walk the whole primary key for each row.
  MoveStaged(
      run,
      {"injection",
       "INSERT INTO injection (ID_EXAMEN, DATEHEUREINJECTION,DEBIT, INJTECHOBSERVATION, INJTECHINITIALES, "
       "REACTIONTECHINITIALES, CREATIONDH, CREATIONID, DESACTIVE) SELECT (SELECT MIN(e.id_examen + 0) FROM examen e "
       "WHERE e.id_visite=i.id_visite), i.dateinjection, SUBSTR(i.quantiteproduit,1,10), i.messagerieprivee, "
       "i.id_technologue, i.id_technologue, "
       "i.dateinjection, (SELECT ID_Securite FROM securite WHERE utilisateur = SUBSTR(i.technicienne, 1, 20)),'N' "
       "FROM tmpinjection i WHERE i.produitcontraste is not null AND i.NO_LIGNE = (SELECT MIN(i3.NO_LIGNE) FROM "
       "tmpinjection i3 WHERE i3.id_visite = i.id_visite AND i3.produitcontraste IS NOT NULL) AND NOT EXISTS "
       "(SELECT FIRST 1 1 FROM injection i2 WHERE i2.id_examen = (SELECT MIN(e.id_examen + 0) FROM examen e WHERE "
       "e.id_visite=i.id_visite)) AND EXISTS (SELECT FIRST 1 e.id_examen FROM examen e WHERE "
       "e.id_visite=i.id_visite){KEYS}",
       "tmpinjection i", "i.NO_LIGNE"});
  run.CommitEtProgress();
  // Injections with a product that give no row: their visit has no examination in the
  // target, or another injection of the visit was taken.
  const ExecResult unattached = engine.ExecuteDestQuery(
      "SELECT COUNT(*) FROM tmpinjection i WHERE i.produitcontraste IS NOT NULL AND NOT EXISTS (SELECT 1 FROM "
      "injection j JOIN examen e ON e.id_examen = j.id_examen WHERE e.id_visite = i.id_visite AND i.NO_LIGNE = (SELECT "
      "MIN(i3.NO_LIGNE) FROM tmpinjection i3 WHERE i3.id_visite = i.id_visite AND i3.produitcontraste IS NOT NULL))");
  if (unattached.ok && !engine.GetExeQryEOF() && engine.GetExeQryField(0)->AsInteger() > 0) {
    run.DoLogError(nullptr,
                   "Injections avec produit sans examen ou deja presentes pour leur visite, non transferees: " +
                       engine.GetExeQryField(0)->AsString(),
                   false);
  }
  MoveLink(run, "injection_opacifiant", LinkSql("injection_opacifiant", "1", "ti.produitcontraste IS NOT NULL"));
  // Catheters: a format naming several gauges gives several rows.
  for (const auto& [id, gauge] : {std::pair{"2", "21"}, std::pair{"3", "23"}, std::pair{"4", "18"}}) {
    MoveLink(run, "injection_catheter",
             LinkSql("injection_catheter", id,
                     std::string("ti.formataiguille IS NOT NULL AND ti.formataiguille containing '") + gauge + "'"));
  }
  // The site of the visit's first staged injection that names one.
  MoveLink(run, "injection_siteinjection",
           "INSERT INTO injection_siteinjection (ID_EXAMEN,ID_REFINJREACT) SELECT i.id_examen, (SELECT "
           "MIN(r.id_refinjreact) FROM refinjreact r WHERE r.TYPEINJREACT = 'SITEINJECTION' AND r.description= (SELECT "
           "FIRST 1 SUBSTR(ti1.siteinjection,1,50) FROM tmpinjection ti1 WHERE ti1.id_visite=e.id_visite AND "
           "ti1.siteinjection IS NOT NULL ORDER BY ti1.NO_LIGNE)) FROM injection i LEFT JOIN examen e on "
           "(e.id_examen=i.id_examen) WHERE EXISTS (SELECT FIRST 1 1 FROM tmpinjection ti WHERE "
           "ti.id_visite=e.id_visite AND ti.siteinjection IS NOT NULL) AND NOT EXISTS (SELECT 1 FROM "
           "injection_siteinjection x WHERE x.id_examen = i.id_examen){KEYS}");
  // Minor reactions: the legacy texts the new system knows, matched exactly.
  static const std::pair<const char*, const char*> kReactions[] = {
      {"5", "NAUSÉES"},
      {"6", "NAUSEES, FRISSONS (ANXIETE+++)."},
      {"7", "Froid aux 2 membres supérieurs."},
      {"8", "BOUCHE SÈCHE"},
      {"9", "Voir notes"},
  };
  for (const auto& [id, description] : kReactions) {
    MoveLink(run, "injection_reactmineure",
             LinkSql("injection_reactmineure", id, "ti.reactioninjection=" + QuotedStr(description)));
  }
  // The network note becomes the technologist's remark of every examination of the
  // visit (the first staged note that exists), without a trace line per examination.
  // Each trigger is switched on its own: one that fails is logged, the other still
  // switches, and the table goes on.
  const auto switch_triggers = [&](bool inactive) {
    for (const char* trigger : {"TRIG_AFTERI_EXAMEN_LOG", "TRIG_AFTERU_EXAMEN"}) {
      SkipStepOnError(run, [&] { ChangeStateTrigger(run, trigger, kMessage, inactive); });
    }
  };
  switch_triggers(true);
  // Switched on again whatever happens in between, a failed commit included.
  SkipStepOnError(
      run,
      [&] {
        engine.ExecuteDestQuery(
            "UPDATE examen e SET e.technologueremarque=(SELECT FIRST 1 ti.messageriereseau FROM tmpinjection ti WHERE "
            "ti.id_visite=e.id_visite AND ti.messageriereseau IS NOT NULL ORDER BY ti.NO_LIGNE) WHERE EXISTS (SELECT "
            "FIRST "
            "1 1 FROM tmpinjection ti1 WHERE ti1.id_visite=e.id_visite AND ti1.messageriereseau IS NOT NULL)");
        run.CommitEtProgress();
      },
      StepLog::table);
  switch_triggers(false);
}

}  // namespace

TechnologueName SplitInitiales(const std::string& sIniTech) {
  if (Utf8Length(sIniTech) == 2) return {Utf8Mid(sIniTech, 1, 2), Utf8Mid(sIniTech, 0, 1)};
  return {Utf8Mid(sIniTech, 2, 5), Utf8Mid(sIniTech, 0, 2)};
}

std::string InsertTechnologue(RunContext& run, std::unordered_map<std::string, std::string>& known,
                              const std::string& sIniTech) {
  if (Trim(sIniTech).empty()) return "";
  const auto found = known.find(sIniTech);
  if (found != known.end()) return found->second;
  const TechnologueName parts = SplitInitiales(sIniTech);
  // Stored upper-cased, so looked up upper-cased: lower-case initials find the
  // technologist they created.
  const Variant nom(AnsiUpperCase(parts.nom)), prenom(AnsiUpperCase(parts.prenom));
  SkipStepOnError(run, [&] {
    fib::TpFIBQuery insert(run.target.Db());
    insert.SetSQLText(
        "INSERT INTO TECHNOLOGUE(nom, prenom, desactive, STAGIAIRETECH) SELECT FIRST 1 CAST(:NOM AS VARCHAR(60)), "
        "CAST(:PRENOM AS VARCHAR(60)),'N','N' FROM examen WHERE NOT EXISTS (SELECT FIRST 1 1 FROM technologue t WHERE "
        "t.nom=:NOM AND t.prenom=:PRENOM)");
    insert.ExecWithParams({nom, prenom});
  });
  std::string id;
  fib::TpFIBQuery lookup(run.target.Db());
  lookup.SetSQLText("SELECT t.id_technologue FROM technologue t WHERE t.nom=:NOM AND t.prenom=:PRENOM");
  lookup.ExecWithParams({nom, prenom});
  if (!lookup.Eof()) id = lookup.Fields(0).AsString();
  lookup.Close();
  known.emplace(sIniTech, id);
  return id;
}

void TransfertTableInjection(RunContext& run) {
  std::unordered_map<std::string, std::string> technologues;
  RoutineHooks hooks;
  hooks.assign = [&](RecordParams& p) {
    static const char* const kFields[] = {"Autolien",      "ProduitContraste",  "QuantiteProduit", "FormatAiguille",
                                          "SiteInjection", "ReactionInjection", "DateInjection",   "HeureInjection",
                                          "Technicienne",  "MessageriePrivee",  "MessagerieReseau"};
    for (int i = 0; i < 11; ++i) p.Copy(i, p.Field(kFields[i]));
    const TField& initiales = p.Field("Technicienne");
    const std::string id = InsertTechnologue(run, technologues, initiales.IsNull() ? "" : initiales.AsString());
    if (id.empty()) {
      p.Set("ID_TECHNOLOGUE", TParamValue());
    } else {
      p.Constant("ID_TECHNOLOGUE", id);
    }
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    FinishInjections(run);
  };
  TableRoutine routine{"TableInjection", "Injection", "Injection",
                       "INSERT INTO tmpinjection(ID_VISITE, PRODUITCONTRASTE, QUANTITEPRODUIT, FORMATAIGUILLE, "
                       "SITEINJECTION, REACTIONINJECTION, DATEINJECTION, HEUREINJECTION, TECHNICIENNE, "
                       "MESSAGERIEPRIVEE, MESSAGERIERESEAU, ID_TECHNOLOGUE)",
                       12};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
