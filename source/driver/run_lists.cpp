// The two check-lists. An item's position selects its routine; its text is only
// shown. A null routine is listed and not run: that table is not migrated yet.
#include "source/driver/run_driver.h"
#include "source/tables/acte.h"
#include "source/tables/autorisation.h"
#include "source/tables/billing_tables.h"
#include "source/tables/etablissement.h"
#include "source/tables/examen.h"
#include "source/tables/facturation.h"
#include "source/tables/historiques.h"
#include "source/tables/injection.h"
#include "source/tables/journal.h"
#include "source/tables/medecin.h"
#include "source/tables/message_hl7.h"
#include "source/tables/parametres.h"
#include "source/tables/patient.h"
#include "source/tables/pret_film.h"
#include "source/tables/prive.h"
#include "source/tables/radiologiste.h"
#include "source/tables/securite.h"
#include "source/tables/simple_tables.h"
#include "source/tables/sorvane.h"
#include "source/tables/visite.h"

namespace korvel {

const std::vector<TableItem>& ListePrealable() {
  static const std::vector<TableItem> items = {
      {"Modalite", TransfertTableModalite},
      {"Modific", TransfertTableModific},
      {"Anatom", TransfertTableAnatom},
      {"Activite", TransfertTableActivite},
      {"Acte", TransfertTableActeTmp},
      {"Dictionnaire", TransfertTableDictio},
      {"ModCompl", TransfertTableModCompl},
      {"ModSoft", TransfertTableModSoft},
      {"MotCorr", TransfertTableMotCorr},
      {"Station", TransfertTableStation},
      {"TxtProto", TransfertTableTxtProto},
      {"TypePres", TransfertTableTypePres},
      {"Diagnostique", TransfertTableDiagnos},
      {"Codetransac", TransfertTableCodeTransac},
      {"EtatType", TransfertTableEtatType},
      {"EtatTypeTitre", TransfertTableEtatTypeTitre},
      {"RemMajoree", TransfertTableRemMajoree},
      {"Export", TransfertTableExport},
      {"Etablissement", TransfertTableEtablissement},
      {"Radiologiste", TransfertTableRadiol},
      {"Securite", TransfertTableSecurite},
      {"ParmEpur", TransfertTableParmEpur},
      {"Message", TransfertTableMessage},
      {"HL7ExamenHop", TransfertTableHL7ExamenHop},
      {"HL7ExamenRX", TransfertTableHL7ExamenRX},
      {"HL7Radiol", TransfertTableHL7Radiol},
  };
  return items;
}

const std::vector<TableItem>& ListeClinique() {
  static const std::vector<TableItem> items = {
      {"Patient", TransfertTablePatient},
      {"Referant", TransfertTableMedecin},
      {"Prive", TransfertTablePrive},
      {"ciePrivee_Acte", TransfertTablePriveActe},
      {"Rapport Prive", TransfertTableRapportPrive},
      {"Etat", TransfertTableEtat},
      {"R1606", TransfertTableR1606},
      {"R1606b", TransfertTableR1606b},
      {"Releve", TransfertTableReleve},
      {"FacturationExt", TransfertTableFacturationExt},
      {"Prescription (visite)", TransfertTablePrescription},
      {"Examen", TransfertTableExamen},
      {"Paiement", TransfertTablePaiement},
      {"PretFilm", TransfertTablePretFilm},
      {"Log", TransfertTableLog},
      {"Injection", TransfertTableInjection},
      {"Autorisation", TransfertTableAutorisation},
      {"HistoEpur", TransfertTableHistoEpur},
      {"HistoEtat", TransfertTableHistoEtat},
      {"HistoLot", TransfertTableHistoLot},
      {"HistoReleve", TransfertTableHistoReleve},
      {"HistoTransfert", TransfertTableHistoTransfert},
      {"Sorvane", TransfertTableSorvane},
      {"FACCSC", TransfertTableFaccsc},
      {"FACCSD", TransfertTableFaccsd},
  };
  return items;
}

std::set<std::string> TickedItemTexts(const std::function<bool(int list, int index)>& isChecked) {
  std::set<std::string> ticked;
  for (const auto& [items, list] : {std::pair{&ListePrealable(), 1}, std::pair{&ListeClinique(), 2}}) {
    for (size_t i = 0; i < items->size(); ++i) {
      if (isChecked(list, static_cast<int>(i))) ticked.insert((*items)[i].text);
    }
  }
  return ticked;
}

}  // namespace korvel
