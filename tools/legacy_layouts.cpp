#include "tools/legacy_layouts.h"

#include <map>
#include <stdexcept>

namespace korvel::sample {
namespace {

using T = ff2::Ff2Type;

const std::map<std::string, std::vector<LegacyFieldDef>>& Layouts() {
  static const std::map<std::string, std::vector<LegacyFieldDef>> layouts = {
      {"Etablis", {{"Code", T::ShortString, 10}, {"Nom", T::ShortString, 60}}},
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

const std::vector<LegacyFieldDef>& LegacyLayoutTxtProtoShort() {
  static const std::vector<LegacyFieldDef> layout(LegacyLayout("TxtProto").begin(),
                                                  LegacyLayout("TxtProto").begin() + 4);
  return layout;
}

}  // namespace korvel::sample
