#include "tools/legacy_layouts.h"

#include <map>
#include <stdexcept>

namespace korvel::sample {
namespace {

using T = ff2::Ff2Type;

const std::map<std::string, std::vector<LegacyFieldDef>>& Layouts() {
  static const std::map<std::string, std::vector<LegacyFieldDef>> layouts = {
      // The acceptance reads the second field, the series test the eighth.
      {"Etablis",
       {{"Code", T::ShortString, 10},
        {"Nom", T::ShortString, 100},
        {"IndiceSpec", T::ShortString, 10},
        {"Logo", T::BlobGraphic, 0},
        {"Ville", T::ShortString, 30},
        {"Courriel", T::ShortString, 60},
        {"Territoire", T::ShortString, 10},
        {"Serie", T::ShortString, 10},
        {"FacturationRegie", T::Boolean, 0},
        {"FactCalCulRole1", T::Boolean, 0},
        {"Majoration140", T::Boolean, 0},
        {"FactCalculRole7", T::Boolean, 0},
        {"Mixte36", T::Boolean, 0}}},
      {"Acte",
       {{"CODE", T::ShortString, 10},          {"Description", T::ShortString, 255}, {"Abregee", T::ShortString, 60},
        {"Epuration", T::Boolean, 0},          {"CalculNombre", T::Int16, 0},        {"PlafondRole1", T::Currency, 0},
        {"PlafondRole7", T::Currency, 0},      {"MOD", T::ShortString, 10},          {"ageMin", T::Int16, 0},
        {"AgeMax", T::Int16, 0},               {"NBChiffreRamQ", T::Int16, 0},       {"debutPrive", T::StDate, 0},
        {"finPrive", T::StDate, 0},            {"prive", T::Currency, 0},            {"AncienDebutPrive", T::StDate, 0},
        {"AncienFinPrive", T::StDate, 0},      {"Ancienprive", T::Currency, 0},      {"modalite", T::ShortString, 10},
        {"modalite2", T::ShortString, 10},     {"activite", T::ShortString, 60},     {"unite", T::Double, 0},
        {"Region", T::ShortString, 10},        {"sansMajoration", T::Boolean, 0}}},
      {"Station",
       {{"Station", T::ShortString, 50}, {"DictioPath", T::ShortString, 255}, {"ActivationHop", T::Boolean, 0}}},
      // The acceptance reads the second field, the name test the fourth.
      {"Prive",
       {{"Code", T::ShortString, 10},        {"Contact", T::ShortString, 60},    {"Telephone", T::ShortString, 20},
        {"Nom", T::ShortString, 60},         {"Adresse", T::ShortString, 100},   {"Ville", T::ShortString, 60},
        {"Postal", T::ShortString, 10},      {"Telecopie", T::ShortString, 20},  {"Tvq", T::ShortString, 20},
        {"Tps", T::ShortString, 20},         {"NoFournisseur", T::ShortString, 20}, {"Paiement", T::ShortString, 20},
        {"Credit", T::ShortString, 20},      {"ChangeContact", T::ShortString, 30}, {"CieActif", T::Boolean, 0},
        {"AutorisationRequise", T::Boolean, 0}}},
      {"PriveActe", {{"Cie", T::ShortString, 10}, {"Code", T::ShortString, 10}, {"Montant", T::Currency, 0}}},
      {"RapportPrivee",
       {{"Numero", T::ShortString, 20},     {"DateProd", T::StDate, 0},  {"HeureProd", T::StTime, 0},
        {"DateAnnul", T::StDate, 0},        {"HeureAnnul", T::StTime, 0}, {"NbExamen", T::Int16, 0},
        {"Total", T::Currency, 0},          {"UsagerProd", T::ShortString, 30}, {"UsagerAnnul", T::ShortString, 30}}},
      // One record per recipient; the sender first, the subject fifth, the text sixth.
      {"Message",
       {{"De", T::ShortString, 30},   {"A", T::ShortString, 30},      {"DATE", T::StDate, 0},
        {"Heure", T::StTime, 0},      {"Objet", T::ShortString, 255}, {"Message", T::BlobMemo, 0}}},
      {"HL7ExamHop",
       {{"Autonum", T::AutoInc, 0},        {"Code", T::ShortString, 20},      {"Description", T::ShortString, 100},
        {"RensRequis", T::ShortString, 255}, {"RensCompl", T::ShortString, 255}, {"Cs", T::Boolean, 0},
        {"Facturation", T::ShortString, 20}}},
      {"HL7ExamRx",
       {{"Autonum", T::AutoInc, 0},      {"Autolien", T::Int32, 0},         {"CodeRx", T::ShortString, 10},
        {"Facturation", T::ShortString, 10}, {"Modificateur", T::ShortString, 10}}},
      {"HL7Radiol",
       {{"Code", T::ShortString, 20}, {"Licence", T::ShortString, 10}, {"Groupe", T::ShortString, 10},
        {"Facturation", T::Boolean, 0}}},
      {"patient",
       {{"AutoNum", T::AutoInc, 0},      {"Dossier", T::ShortString, 15},   {"Nom", T::ShortString, 40},
        {"Prenom", T::ShortString, 40},  {"Naissance", T::StDate, 0},      {"Sexe", T::ShortString, 1},
        {"Nam", T::ShortString, 12},     {"Expiration", T::StDate, 0},     {"Marital", T::ShortString, 40},
        {"Adresse", T::ShortString, 100}, {"Ville", T::ShortString, 60},   {"Postal", T::ShortString, 10},
        {"TelRes", T::ShortString, 20},  {"TelBur", T::ShortString, 20},   {"ExtBur", T::ShortString, 10},
        {"Occupation", T::ShortString, 40}, {"Conjoint", T::ShortString, 60}, {"Pere", T::ShortString, 60},
        {"Nas", T::ShortString, 12},     {"Langue", T::ShortString, 2},    {"Allergie", T::ShortString, 100},
        {"Texte", T::BlobMemo, 0},       {"Hopital", T::ShortString, 15},  {"Variable1", T::ShortString, 40},
        {"Variable2", T::ShortString, 40}, {"Variable3", T::ShortString, 40}, {"Variable4", T::ShortString, 40}}},
      // Visits, read in their number's order ("xnumero") over the run's range.
      {"Prescrip",
       {{"AutoNum", T::AutoInc, 0},        {"Numero", T::ShortString, 12},      {"Autolien", T::Int32, 0},
        {"Radiologiste", T::ShortString, 10}, {"Groupe", T::ShortString, 10},   {"RensClinique", T::BlobMemo, 0},
        {"Type", T::ShortString, 1},       {"Prive", T::ShortString, 10},       {"Etablissement", T::ShortString, 10},
        {"Accident", T::StDate, 0},        {"Diag", T::ShortString, 10},        {"CS", T::Boolean, 0},
        {"RensComp1", T::ShortString, 100}, {"RensComp2", T::ShortString, 100}, {"DateModif", T::StDate, 0},
        {"HeureModif", T::StTime, 0},      {"Telecom", T::StDate, 0},           {"Fax", T::StDate, 0},
        {"Epuration", T::Boolean, 0},      {"Opr", T::ShortString, 30},         {"HeureInscrit", T::StTime, 0},
        {"PlageHoraire", T::ShortString, 4}, {"Referant", T::ShortString, 10},  {"Referant1", T::ShortString, 10},
        {"Referant2", T::ShortString, 10}, {"Referant3", T::ShortString, 10}}},
      // Examinations, read in their visit number's order ("xPrescripCode").
      {"Examen",
       {{"AutoNum", T::AutoInc, 0},         {"Autolien", T::Int32, 0},          {"Prescription", T::ShortString, 12},
        {"Code", T::ShortString, 10},       {"Protocole", T::ShortString, 20},  {"Film", T::Int16, 0},
        {"TextePreins", T::ShortString, 20}, {"AnnulDate", T::StDate, 0},       {"AnnulOpr", T::ShortString, 30},
        {"ConcilDate", T::StDate, 0},       {"ConcilOpr", T::ShortString, 30},  {"Dictee", T::ShortString, 20},
        {"InitTech", T::ShortString, 30},   {"Lot", T::ShortString, 10},        {"Modificateur", T::ShortString, 10},
        {"Mod1", T::ShortString, 10},       {"Mod2", T::ShortString, 10},       {"Mod3", T::ShortString, 10},
        {"Mod4", T::ShortString, 10},       {"Nce", T::ShortString, 10},        {"Prive", T::Currency, 0},
        {"RefacLot", T::ShortString, 10},   {"RefacNce", T::ShortString, 10},   {"RefacOpr", T::ShortString, 30},
        {"Role1", T::ShortString, 5},       {"Role7", T::ShortString, 5},       {"Titre", T::ShortString, 100},
        {"Total", T::Currency, 0}}},
      // Billing. Transmissions and payments are read over the run's date range.
      {"Etat",
       {{"Sequence", T::Int32, 0}, {"EcDate", T::StDate, 0}, {"Type", T::ShortString, 5},
        {"Enregistrement", T::ShortString, 255}}},
      {"Releve",
       {{"seq", T::AutoInc, 0},           {"DateReleve", T::StDate, 0},     {"Envoie", T::StDate, 0},
        {"Creation", T::StDate, 0},       {"Transmission", T::StDate, 0},   {"Attestation", T::ShortString, 10},
        {"Code", T::ShortString, 10},     {"Licence", T::ShortString, 10},  {"NCE", T::ShortString, 10},
        {"RANG", T::Int16, 0},            {"Sequence", T::Int32, 0},        {"Type", T::ShortString, 5},
        {"CodeErreur", T::ShortString, 10}, {"Action", T::ShortString, 10}, {"Message", T::ShortString, 255},
        {"Ligne", T::Int16, 0},           {"NbErr", T::Int16, 0},           {"NbSoum", T::Int16, 0},
        {"NbValide", T::Int16, 0},        {"NbReFus", T::Int16, 0},         {"NbAnnul", T::Int16, 0},
        {"Montant", T::Currency, 0}}},
      {"R1606",
       {{"Autonum", T::AutoInc, 0},        {"DateDebut", T::StDate, 0},      {"DateFin", T::StDate, 0},
        {"NombreTotal", T::Int16, 0},      {"GrandTotal", T::Currency, 0},   {"NoDemande", T::ShortString, 20},
        {"Etablissement", T::ShortString, 10}, {"CS", T::Boolean, 0},        {"DateEtatCompte", T::StDate, 0},
        {"Licence", T::ShortString, 10},   {"Groupe", T::ShortString, 10}}},
      // The fee of a line is a float in the legacy table; its total a currency.
      {"R1606b",
       {{"AutoNum", T::AutoInc, 0}, {"Autolien", T::Int32, 0},  {"Code", T::ShortString, 10},
        {"Mod", T::ShortString, 10}, {"Nombre", T::Int16, 0},   {"Tarif", T::Double, 0},
        {"Total", T::Currency, 0}}},
      // The acceptance reads the third field (the radiologist).
      {"FacturationExt",
       {{"DateDebut", T::StDate, 0},     {"DateFin", T::StDate, 0},     {"Radiologiste", T::ShortString, 10},
        {"Etablissement", T::ShortString, 10}, {"Plafonnement", T::Boolean, 0}, {"NbExamen", T::Int32, 0},
        {"Montant", T::Currency, 0}}},
      {"faccsc",
       {{"possibilite", T::ShortString, 10}, {"NAM", T::ShortString, 12},  {"nom", T::ShortString, 40},
        {"prenom", T::ShortString, 40},      {"adresse", T::ShortString, 100}, {"ville", T::ShortString, 60},
        {"codepostal", T::ShortString, 10},  {"Naissance", T::StDate, 0},  {"prescrip", T::ShortString, 12}}},
      {"faccsd",
       {{"prescrip", T::ShortString, 12}, {"adresse", T::ShortString, 100}, {"ville", T::ShortString, 60},
        {"codepostal", T::ShortString, 10}, {"naSociale", T::ShortString, 12}}},
      {"Paiement",
       {{"AutoNum", T::AutoInc, 0},       {"EcDate", T::StDate, 0},          {"Lot", T::ShortString, 10},
        {"Nce", T::ShortString, 10},      {"Paye", T::Currency, 0},          {"Transac", T::ShortString, 10},
        {"Message", T::ShortString, 255}, {"RecDate", T::StDate, 0},         {"Cheque", T::ShortString, 20},
        {"Licence", T::ShortString, 10},  {"Groupe", T::ShortString, 10}}},
      // The loan number is the first field; Complet a boolean the routine reads as text.
      {"PretFilm",
       {{"Autonum", T::AutoInc, 0},          {"DateEmprunt", T::StDate, 0},      {"DateRetour", T::StDate, 0},
        {"Details", T::ShortString, 255},    {"Emprunteur", T::ShortString, 40}, {"Film", T::Int16, 0},
        {"Complet", T::Boolean, 0},          {"Dossier", T::ShortString, 10},    {"Preteur", T::ShortString, 40},
        {"prescription", T::ShortString, 20}, {"Examen", T::ShortString, 10},    {"NAM", T::ShortString, 12}}},
      {"Injection",
       {{"AutoNum", T::AutoInc, 0},                {"Autolien", T::Int32, 0},
        {"ProduitContraste", T::ShortString, 40},  {"QuantiteProduit", T::ShortString, 20},
        {"FormatAiguille", T::ShortString, 20},    {"SiteInjection", T::ShortString, 60},
        {"ReactionInjection", T::ShortString, 100}, {"DateInjection", T::StDate, 0},
        {"HeureInjection", T::StTime, 0},          {"Technicienne", T::ShortString, 10},
        {"MessageriePrivee", T::ShortString, 255}, {"MessagerieReseau", T::ShortString, 255}}},
      {"Log",
       {{"AutoNum", T::AutoInc, 0},        {"Date", T::StDate, 0},         {"Heure", T::StTime, 0},
        {"Remarque", T::ShortString, 255}, {"Poste", T::ShortString, 60},  {"Usager", T::ShortString, 30}}},
      {"HistoEpur",
       {{"NomTable", T::ShortString, 40}, {"DateEffect", T::StDate, 0}, {"DateDeb", T::StDate, 0},
        {"DateFin", T::StDate, 0},        {"NbrEpure", T::Int32, 0},    {"Commentaire", T::ShortString, 255}}},
      {"HistoEtat",
       {{"EcDate", T::StDate, 0},     {"Reception", T::StDate, 0},          {"Fusion", T::StDate, 0},
        {"Impression", T::StDate, 0}, {"NoPaiement", T::ShortString, 20}, {"Coupure", T::StDate, 0}}},
      // The acceptance of lots and remittances reads their key in the second field.
      {"HistoLot",
       {{"AutoNum", T::AutoInc, 0},         {"Numero", T::ShortString, 10},   {"ProducDate", T::StDate, 0},
        {"ProducOpr", T::ShortString, 30},  {"TransDate", T::StDate, 0},      {"TransOpr", T::ShortString, 30},
        {"ConvDate", T::StDate, 0},         {"ConvOpr", T::ShortString, 30},  {"ConvRefNo", T::ShortString, 20},
        {"AnnulDate", T::StDate, 0},        {"AnnulOpr", T::ShortString, 30}}},
      {"HistoReleve",
       {{"AutoNum", T::AutoInc, 0},        {"ReleveDate", T::StDate, 0}, {"RecepDate", T::StDate, 0},
        {"RecepOpr", T::ShortString, 30},  {"ImprDate", T::StDate, 0},   {"ImprOpr", T::ShortString, 30}}},
      // The transfer type first: the acceptance wants the first four fields filled.
      {"HistoTransfert",
       {{"Type", T::ShortString, 20},          {"Date", T::StDate, 0},     {"Heure", T::StTime, 0},
        {"OPR", T::ShortString, 30},           {"Etablissement", T::ShortString, 10},
        {"Courriel", T::ShortString, 100}}},
      // The visit is the second field.
      {"Autorisation",
       {{"numero", T::ShortString, 20}, {"Autolien", T::Int32, 0}, {"DateAutorisation", T::StDate, 0}}},
      {"Sorvane", {{"CODE", T::ShortString, 10}, {"Description", T::ShortString, 60}}},
      {"Securite",
       {{"Initiale", T::ShortString, 30},         {"password", T::ShortString, 20},
        {"Nom", T::ShortString, 60},              {"FichierCreerPrescription", T::Boolean, 0},
        {"FichierDetruirePrescrip", T::Boolean, 0}, {"TableActe", T::Boolean, 0},
        {"TablePrive", T::Boolean, 0},            {"TableDiagnos", T::Boolean, 0},
        {"TableEtablis", T::Boolean, 0},          {"TableReferant", T::Boolean, 0},
        {"TableModif", T::Boolean, 0},            {"TableRadiol", T::Boolean, 0},
        {"TableTexteProto", T::Boolean, 0},       {"TableProtocoleLot", T::Boolean, 0},
        {"TableSiteAnatom", T::Boolean, 0},       {"TableCodeSpec", T::Boolean, 0},
        {"TableTypePrescrip", T::Boolean, 0},     {"TableParm", T::Boolean, 0}}},
      {"Parm",
       {{"Agence No", T::ShortString, 10},          {"Agence Nom", T::ShortString, 50},
        {"Agence Adresse", T::ShortString, 30},     {"Agence Ville", T::ShortString, 30},
        {"Agence Code Postal", T::ShortString, 10}, {"Agence Telephone", T::ShortString, 15},
        {"AgenceSite", T::ShortString, 1},          {"AgenceFax", T::ShortString, 15},
        {"RegieTel", T::ShortString, 15},           {"RegieMotPasseRegie", T::ShortString, 10},
        {"RegieUsagerRegie", T::ShortString, 10},   {"Code Regional", T::ShortString, 3},
        {"Prochain No Dossier", T::ShortString, 15}, {"ImpExamNonLu", T::Boolean, 0},
        {"InterfaceSorvane", T::Boolean, 0},        {"InterfaceSorvaneProchain", T::Int32, 0},
        {"InterfaceSorvaneData", T::ShortString, 100}, {"InterMedDossierHop", T::ShortString, 1},
        {"NumerisationPACS", T::StDate, 0},         {"ProchainFichierQRP", T::Int32, 0}}},
      // The purge update reads these by position: the alarm, then groups of four per kind
      // of record (purge flag, days of warning, last purge, interval in days).
      {"ParmEpur",
       {{"Alarme", T::Boolean, 0},
        {"AlarmeJours", T::Int16, 0},
        {"EpurePrescrip", T::Boolean, 0},        {"EpurePrescripJours", T::Int16, 0},
        {"EpurePrescripDerniere", T::StDate, 0}, {"EpurePrescripInt", T::Int16, 0},
        {"EpureHistoLot", T::Boolean, 0},        {"EpureHistoLotJours", T::Int16, 0},
        {"EpureHistoLotDerniere", T::StDate, 0}, {"EpureHistoLotInt", T::Int16, 0},
        {"EpureEtat", T::Boolean, 0},            {"EpureEtatJours", T::Int16, 0},
        {"EpureEtatDerniere", T::StDate, 0},     {"EpureEtatInt", T::Int16, 0},
        {"EpureReleve", T::Boolean, 0},          {"EpureReleveJours", T::Int16, 0},
        {"EpureReleveDerniere", T::StDate, 0},   {"EpureReleveDetailInt", T::Int16, 0},
        {"EpurePaiement", T::Boolean, 0},        {"EpurePaiementJours", T::Int16, 0},
        {"EpurePaiementDerniere", T::StDate, 0}, {"EpurePaiementInt", T::Int16, 0},
        {"EpureHistoLog", T::Boolean, 0},        {"EpureHistoLogJours", T::Int16, 0},
        {"EpureHistoLogDerniere", T::StDate, 0}, {"EpureHistoLogInt", T::Int16, 0},
        {"EpureReleveDetail", T::Boolean, 0},    {"EpureReleveDetailJours", T::Int16, 0},
        {"EpureReleveDetailDerniere", T::StDate, 0}, {"EpureReleveInt", T::Int16, 0},
        {"EpureR1606", T::Boolean, 0},           {"EpureR1606Jours", T::Int16, 0},
        {"EpureR1606Derniere", T::StDate, 0},    {"EpureR1606Int", T::Int16, 0}}},
      {"Anatom", {{"CODE", T::ShortString, 10}, {"Description", T::ShortString, 100}}},
      {"Modalite", {{"Modalite", T::ShortString, 10}, {"Description", T::ShortString, 100}}},
      {"Dictio", {{"Mot", T::ShortString, 60}, {"Description", T::ShortString, 255}}},
      {"MotCorr", {{"Remplacer", T::ShortString, 60}, {"Par", T::ShortString, 255}}},
      {"Diagnos", {{"CODE", T::ShortString, 10}, {"Description", T::ShortString, 255}}},
      {"TypePres", {{"Code", T::ShortString, 10}, {"Description", T::ShortString, 40}}},
      {"TxtProto",
       {{"Code", T::ShortString, 20},
        {"Description", T::ShortString, 100},
        {"Texte", T::BlobMemo, 0},
        {"Impression", T::Boolean, 0},
        {"DescriptionAnglaise", T::ShortString, 100},
        {"TexteAnglais", T::BlobMemo, 0}}},
      {"Export",
       {{"autonum", T::AutoInc, 0}, {"DATE", T::StDate, 0}, {"HEURE", T::StTime, 0}, {"TYPE", T::ShortString, 20}}},
      {"Modific",
       {{"Code", T::ShortString, 10},       {"Omni", T::Boolean, 0},          {"Spec", T::ShortString, 10},
        {"Description", T::ShortString, 100}, {"Explication", T::BlobMemo, 0}, {"Plafond", T::Currency, 0},
        {"PlafondAtteint", T::Boolean, 0},  {"Csst", T::Boolean, 0},          {"BS", T::Boolean, 0},
        {"UniteBase", T::Double, 0},        {"UniteAdd", T::Double, 0},       {"CodeA", T::ShortString, 10},
        {"CodeB", T::ShortString, 10},      {"Garde", T::Boolean, 0},         {"CodeC", T::ShortString, 10},
        {"ActesExclus", T::ShortString, 255}, {"Role7", T::Boolean, 0}}},
      {"ModSoft",
       {{"Code", T::ShortString, 10},       {"Omni", T::Boolean, 0},          {"Spec", T::ShortString, 10},
        {"Description", T::ShortString, 100}, {"Explication", T::BlobMemo, 0}, {"Plafond", T::Currency, 0},
        {"PlafondAtteint", T::Boolean, 0},  {"Csst", T::Boolean, 0},          {"BS", T::Boolean, 0},
        {"UniteBase", T::Double, 0},        {"UniteAdd", T::Double, 0},       {"CodeA", T::ShortString, 10},
        {"CodeB", T::ShortString, 10},      {"Garde", T::Boolean, 0}}},
      {"ModCompl",
       {{"MOD", T::ShortString, 10},
        {"CODE1", T::ShortString, 10},
        {"CODE2", T::ShortString, 10},
        {"CS", T::Boolean, 0},
        {"Renseignement", T::ShortString, 255},
        {"ArretSurEcran", T::Boolean, 0}}},
      {"RemMajoree",
       {{"Territoire", T::ShortString, 10}, {"T1a", T::Double, 0}, {"T1B", T::Double, 0}, {"T1C", T::Double, 0},
        {"T1D", T::Double, 0}, {"T1E", T::Double, 0}, {"T1F", T::Double, 0}, {"T2A", T::Double, 0},
        {"T3A", T::Double, 0}, {"T3B", T::Double, 0}, {"T4A", T::Double, 0}, {"T4B", T::Double, 0},
        {"T4C", T::Double, 0}, {"T4D", T::Double, 0}, {"T4E", T::Double, 0}}},
      {"CodeTransac", {{"CODE", T::ShortString, 10}, {"Description", T::ShortString, 100}}},
      {"Activite",
       {{"AUTONUM", T::AutoInc, 0}, {"Activite", T::ShortString, 60}, {"CompteGrLivre", T::ShortString, 20}}},
      {"EtatType",
       {{"Type", T::Int16, 0},
        {"Categorie", T::ShortString, 20},
        {"Champ", T::ShortString, 40},
        {"Description", T::ShortString, 100},
        {"Position", T::Int16, 0},
        {"Longueur", T::Int16, 0}}},
      {"EtatTypeTitre", {{"Numero", T::Int16, 0}, {"Categorie", T::ShortString, 20}, {"NOM", T::ShortString, 100}}},
  };
  return layouts;
}

}  // namespace

const std::vector<LegacyFieldDef>& LegacyLayout(const std::string& table) {
  const auto& layouts = Layouts();
  const auto it = layouts.find(table);
  if (it == layouts.end()) throw std::invalid_argument("no legacy layout for table \"" + table + "\"");
  return it->second;
}

const std::vector<LegacyIndexDef>& LegacyIndexes(const std::string& table) {
  static const std::map<std::string, std::vector<LegacyIndexDef>> indexes = {
      {"Parm", {{"Primaire", {"Agence No"}}}},
      {"Prescrip", {{"xnumero", {"Numero"}}}},
      {"Examen", {{"xPrescripCode", {"Prescription", "Code"}}}},
      {"Etat", {{"xEcDateSeq", {"EcDate", "Sequence"}}}},
      {"Paiement", {{"xEcDate", {"EcDate"}}}},
  };
  static const std::vector<LegacyIndexDef> none;
  const auto it = indexes.find(table);
  return it == indexes.end() ? none : it->second;
}

std::vector<Variant> LegacyRow(const std::string& table, const std::vector<std::pair<std::string, Variant>>& values) {
  const auto& layout = LegacyLayout(table);
  std::vector<Variant> row(layout.size());
  for (const auto& [name, value] : values) {
    size_t i = 0;
    while (i < layout.size() && name != layout[i].name) ++i;
    if (i == layout.size()) throw std::invalid_argument("no field \"" + name + "\" in legacy table \"" + table + "\"");
    row[i] = value;
  }
  return row;
}

const std::vector<LegacyFieldDef>& LegacyLayoutTxtProtoShort() {
  static const std::vector<LegacyFieldDef> layout(LegacyLayout("TxtProto").begin(),
                                                  LegacyLayout("TxtProto").begin() + 4);
  return layout;
}

}  // namespace korvel::sample
